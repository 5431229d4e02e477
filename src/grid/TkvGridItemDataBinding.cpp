#include "grid/TkvGridItemDataBinding.h"

#include "grid/TkvGridColumn.h"
#include "grid/TkvGridTableView.h"

#include <QFontMetrics>

namespace kestrum {

QString TkvGridItemDBDataBinding::FieldName() const
{
    TkvCustomGridTableView *view = Item()->GridView();
    return view ? view->DataController().FieldName(Item()->Index()) : QString();
}

void TkvGridItemDBDataBinding::SetFieldName(const QString &fieldName)
{
    TkvCustomGridTableView *view = Item()->GridView();
    if (!view || FieldName() == fieldName)
        return;
    view->DataController().SetFieldName(Item()->Index(), fieldName);
    // Caption, width and editor may all derive from the new field.
    view->LayoutChanged();
}

TkvGridFieldInfo TkvGridItemDBDataBinding::Field() const
{
    TkvCustomGridTableView *view = Item()->GridView();
    return view ? view->DataController().FieldInfo(Item()->Index()) : TkvGridFieldInfo{};
}

QString TkvGridItemDBDataBinding::DefaultCaption() const
{
    const TkvGridFieldInfo field = Field();
    return field.Exists ? field.DisplayName : FieldName();
}

int TkvGridItemDBDataBinding::DefaultWidth() const
{
    const TkvGridFieldInfo field = Field();
    if (!field.Exists)
        return TkvGridItemDataBinding::DefaultWidth();
    TkvCustomGridTableView *view = Item()->GridView();
    const auto *column = dynamic_cast<const TkvGridColumn *>(Item());
    const TkvGridStylePtr style = column ? column->Styles().Content : nullptr;
    const QFont font = view->Styles().Resolve(style, TkvGridStyleSlot::Content).Font;
    return QFontMetrics(font).horizontalAdvance(QLatin1Char('0')) * field.DisplayWidth + 4;
}

} // namespace kestrum

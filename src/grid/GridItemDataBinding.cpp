#include "grid/GridItemDataBinding.h"

#include "grid/GridColumn.h"
#include "grid/GridTableView.h"

#include <QFontMetrics>

namespace kestrum {

bool TkvGridItemDefaultValuesProvider::CanSetEditMode() const
{
    return !DefaultReadOnly();
}

bool TkvGridItemDefaultValuesProvider::IsDataAvailable() const
{
    return FBinding.Field().Exists;
}

bool TkvGridItemDefaultValuesProvider::DefaultReadOnly() const
{
    const TkvGridFieldInfo field = FBinding.Field();
    return field.Exists && field.ReadOnly;
}

QString TkvGridItemDefaultValuesProvider::DefaultDisplayFormat() const
{
    return FBinding.Field().DisplayFormat;
}

QString TkvGridItemDefaultValuesProvider::DefaultEditFormat() const
{
    return FBinding.Field().EditFormat;
}

bool TkvGridItemDefaultValuesProvider::IsDisplayFormatDefined() const
{
    return !DefaultDisplayFormat().isEmpty();
}

std::optional<TkvEditAlignmentHorz> TkvGridItemDefaultValuesProvider::DefaultAlignment() const
{
    const TkvGridFieldInfo field = FBinding.Field();
    if (!field.Exists)
        return std::nullopt;
    switch (field.Alignment) {
    case TkvGridAlignmentHorz::RightJustify:
        return taRightJustify;
    case TkvGridAlignmentHorz::Center:
        return taCenter;
    default:
        return taLeftJustify;
    }
}

int TkvGridItemDefaultValuesProvider::DefaultMaxLength() const
{
    return FBinding.Field().MaxLength;
}

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

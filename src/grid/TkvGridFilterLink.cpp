#include "grid/TkvGridFilterLink.h"

#include "editors/CalcEdit.h"
#include "editors/DateEditProperties.h"
#include "editors/MaskEditProperties.h"
#include "editors/TextEditProperties.h"
#include "filter/DataFilterCriteria.h"
#include "grid/TkvGridColumn.h"
#include "grid/TkvGridDataControllerSource.h"
#include "grid/TkvGridTableController.h"
#include "grid/TkvGridTableView.h"

#include <stdexcept>

namespace kestrum {

std::unique_ptr<TkvCustomEditProperties> CreateGridEditorProperties(TkvGridEditorItemKind kind)
{
    switch (kind) {
    case TkvGridEditorItemKind::Mask:
    // Money columns take the mask edit until the currency edit joins the editor kinds.
    case TkvGridEditorItemKind::Currency:
        return std::make_unique<TkvMaskEditProperties>();
    case TkvGridEditorItemKind::Date:
        return std::make_unique<TkvDateEditProperties>();
    case TkvGridEditorItemKind::Memo:
        return std::make_unique<TkvMemoProperties>();
    default:
        return std::make_unique<TkvCustomEditProperties>();
    }
}

TkvGridFilterLink::TkvGridFilterLink(TkvGridTableView &view)
    : FView(view), FCriteria([&view]() -> TkvDataFilterCriteria & {
          if (TkvDataFilterCriteria *criteria = view.Filter())
              return *criteria;
          throw std::logic_error("the grid view has no filter criteria");
      }())
{
}

TkvGridFilterLink::~TkvGridFilterLink() = default;

bool TkvGridFilterLink::HasCriteria(const TkvGridTableView &view)
{
    return view.Filter() != nullptr;
}

int TkvGridFilterLink::ItemCount() const
{
    return FView.ColumnCount();
}

TkvGridColumn *TkvGridFilterLink::Column(int index) const
{
    return index >= 0 && index < FView.ColumnCount() ? FView.Columns(index) : nullptr;
}

QString TkvGridFilterLink::ItemCaption(int index) const
{
    const TkvGridColumn *column = Column(index);
    return column ? column->Caption() : QString();
}

QString TkvGridFilterLink::ItemFieldName(int index) const
{
    return Column(index) ? FView.DataController().FieldName(index) : QString();
}

TkvCustomEditProperties *TkvGridFilterLink::ItemProperties(int index) const
{
    const TkvGridColumn *column = Column(index);
    if (!column)
        return nullptr;
    // The column's own editor properties, so a value editor in the dialogs
    // is the kind of editor the column's cells use, with its settings.
    if (TkvCustomEditProperties *own = column->GetProperties())
        return own;
    if (FProperties.size() < std::size_t(FView.ColumnCount()))
        FProperties.resize(std::size_t(FView.ColumnCount()));
    auto &[kind, properties] = FProperties[std::size_t(index)];
    const TkvGridEditorItemKind columnKind = column->EffectiveEditorItem();
    if (!properties || kind != columnKind) {
        properties = CreateGridEditorProperties(columnKind);
        kind = columnKind;
    }
    return properties.get();
}

TkvValueTypeClass TkvGridFilterLink::ItemValueTypeClass(int index) const
{
    if (!Column(index))
        return nullptr;
    const TkvCustomDataController &controller = FCriteria.DataController();
    return index < controller.ItemCount() ? controller.GetItemValueTypeClass(index) : nullptr;
}

int TkvGridFilterLink::ItemID(int index) const
{
    const TkvGridColumn *column = Column(index);
    return column ? column->ID() : -1;
}

TkvFilterItemLink TkvGridFilterLink::ItemLink(int index) const
{
    return Column(index) ? FCriteria.ItemField(index) : nullptr;
}

TkvFilterCriteria &TkvGridFilterLink::Criteria()
{
    return FCriteria;
}

bool TkvGridFilterLink::IsItemOffered(int index) const
{
    const TkvGridColumn *column = Column(index);
    return column && column->Visible() && column->IsFilterBuilderItem();
}

int TkvGridFilterLink::CurrentItem() const
{
    const TkvCustomGridTableItem *focused = FView.Controller().FocusedItem();
    return focused ? focused->Index() : -1;
}

} // namespace kestrum

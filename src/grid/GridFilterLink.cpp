#include "grid/GridFilterLink.h"

#include "filter/DataFilterCriteria.h"
#include "grid/GridColumn.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"

#include <stdexcept>

namespace kestrum {

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
    // The column's properties in force, so a value editor in the dialogs is
    // the kind of editor the column's cells use, with its settings.
    const TkvGridColumn *column = Column(index);
    return column ? column->GetProperties() : nullptr;
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

#include "grid/GridAccessibleModel.h"

#include "grid/GridFilterController.h"
#include "grid/GridHeaderController.h"
#include "grid/GridTableView.h"

namespace kestrum {

int TkvGridAccessibleModel::RowCount() const
{
    return FGridView.DataController().RowCount();
}

int TkvGridAccessibleModel::ColumnCount() const
{
    return FGridView.VisibleColumnCount();
}

bool TkvGridAccessibleModel::HasHeader() const
{
    return FGridView.OptionsView().Header();
}

bool TkvGridAccessibleModel::HasFooter() const
{
    return FGridView.OptionsView().Footer();
}

TkvGridColumn *TkvGridAccessibleModel::Column(int column) const
{
    if (column < 0 || column >= ColumnCount())
        return nullptr;
    return FGridView.VisibleColumns(column);
}

bool TkvGridAccessibleModel::IsGroupRow(int rowIndex) const
{
    const TkvGridRowSource &source = FGridView.DataController();
    return ValidRow(rowIndex) && source.GetRowInfo(rowIndex).Level < source.GroupingItemCount();
}

bool TkvGridAccessibleModel::IsRowExpanded(int rowIndex) const
{
    return IsGroupRow(rowIndex) && FGridView.DataController().GetRowInfo(rowIndex).Expanded;
}

QString TkvGridAccessibleModel::CellText(int rowIndex, int column) const
{
    TkvGridColumn *item = Column(column);
    if (!item || !ValidRow(rowIndex))
        return {};
    const TkvGridRowSource &source = FGridView.DataController();
    const TkvGridRowInfo info = source.GetRowInfo(rowIndex);
    if (info.Level < source.GroupingItemCount()) {
        // A group row is one band of text; it is read once, in its first cell.
        if (column != 0)
            return {};
        const auto *group = dynamic_cast<const TkvGridGroupRow *>(FGridView.ViewData().Records(rowIndex));
        return group ? group->GroupText() : QString();
    }
    if (info.RecordIndex < 0)
        return {};
    return source.DisplayText(info.RecordIndex, item->Index());
}

QString TkvGridAccessibleModel::HeaderText(int column) const
{
    TkvGridColumn *item = Column(column);
    return item ? item->Caption() : QString();
}

QString TkvGridAccessibleModel::FooterText(int column) const
{
    TkvGridColumn *item = Column(column);
    return item && HasFooter() ? FGridView.DataController().FooterText(item->Index()) : QString();
}

bool TkvGridAccessibleModel::IsRowSelected(int rowIndex) const
{
    return ValidRow(rowIndex) && FGridView.DataController().IsRowSelected(rowIndex);
}

int TkvGridAccessibleModel::SelectedRowCount() const
{
    return FGridView.DataController().SelectedRowCount();
}

QRect TkvGridAccessibleModel::CellBounds(int rowIndex, int column) const
{
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    if (!viewInfo.IsCalculated() || !Column(column))
        return {};
    const TkvGridRowViewInfo *row = viewInfo.FindRow(rowIndex);
    if (!row)
        return {};
    if (row->IsGroup)
        return column == 0 ? row->GroupCell.Bounds : QRect();
    for (const TkvGridCellViewInfo &cell : viewInfo.Cells(*row))
        if (cell.Item == Column(column))
            return cell.Bounds;
    return {};
}

QRect TkvGridAccessibleModel::HeaderBounds(int column) const
{
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    if (!viewInfo.IsCalculated())
        return {};
    for (const TkvGridHeaderCellViewInfo &cell : viewInfo.HeaderCells())
        if (cell.VisibleIndex == column)
            return cell.Bounds;
    return {};
}

QRect TkvGridAccessibleModel::FooterBounds(int column) const
{
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    TkvGridColumn *item = Column(column);
    if (!viewInfo.IsCalculated() || !item)
        return {};
    for (const TkvGridCellViewInfo &cell : viewInfo.FooterCells())
        if (cell.Item == item)
            return cell.Bounds;
    return {};
}

QRect TkvGridAccessibleModel::FooterAreaBounds() const
{
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    return viewInfo.IsCalculated() ? viewInfo.FooterBounds() : QRect();
}

int TkvGridAccessibleModel::FocusedRowIndex() const
{
    const int rowIndex = FGridView.DataController().FocusedRowIndex();
    return ValidRow(rowIndex) ? rowIndex : -1;
}

int TkvGridAccessibleModel::FocusedColumn() const
{
    const TkvCustomGridTableItem *item = FGridView.Controller().FocusedItem();
    if (!item || !item->Visible())
        return -1;
    // A group row has one cell, its first.
    if (IsGroupRow(FocusedRowIndex()))
        return 0;
    return item->VisibleIndex();
}

bool TkvGridAccessibleModel::FocusCell(int rowIndex, int column)
{
    TkvGridColumn *item = Column(column);
    if (!item || !ValidRow(rowIndex))
        return false;
    TkvGridTableController &controller = FGridView.Controller();
    if (!controller.SetFocusedRowIndex(rowIndex) && FocusedRowIndex() != rowIndex)
        return false;
    if (!IsGroupRow(rowIndex) && item->CanFocus())
        controller.SetFocusedItem(item);
    return true;
}

void TkvGridAccessibleModel::SetRowExpanded(int rowIndex, bool expanded)
{
    if (IsGroupRow(rowIndex) && IsRowExpanded(rowIndex) != expanded)
        FGridView.DataController().ChangeExpanding(rowIndex, expanded, false);
}

bool TkvGridAccessibleModel::HeaderSorts(int column) const
{
    TkvGridColumn *item = Column(column);
    return item && item->CanSort();
}

bool TkvGridAccessibleModel::HeaderFilters(int column) const
{
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    if (!viewInfo.IsCalculated())
        return false;
    for (const TkvGridHeaderCellViewInfo &cell : viewInfo.HeaderCells())
        if (cell.VisibleIndex == column)
            for (const TkvGridHeaderAreaViewInfo &area : cell.Areas)
                if (area.Kind == TkvGridHeaderAreaKind::FilterButton)
                    return true;
    return false;
}

void TkvGridAccessibleModel::ClickHeader(int column)
{
    if (HeaderSorts(column))
        FGridView.Controller().HeaderController().ClickSort(Column(column), {});
}

bool TkvGridAccessibleModel::DropDownHeaderFilter(int column)
{
    return HeaderFilters(column) && FGridView.Controller().FilterController().DropDownFilter(
                                        Column(column), TkvGridHeaderContainer::HeaderRow);
}

} // namespace kestrum

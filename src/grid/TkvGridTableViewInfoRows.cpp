// The row half of the table layout: the rows from the top row down the rows
// area (heights from the cache), each data row's cells made when first asked
// for, and the row arithmetic that scrolling and paging rely on.
#include "grid/TkvGridTableViewInfo.h"

#include "grid/TkvGridLookAndFeelPainter.h"
#include "grid/TkvGridTableController.h"
#include "grid/TkvGridTableView.h"
#include "grid/TkvGridTableViewInfoCache.h"
#include "grid/TkvGridViewData.h"

#include <algorithm>

namespace kestrum {

TkvGridRowViewInfo::TkvGridRowViewInfo(TkvGridRowViewInfo &&other) noexcept
{
    *this = std::move(other);
}

TkvGridRowViewInfo &TkvGridRowViewInfo::operator=(TkvGridRowViewInfo &&other) noexcept
{
    if (this == &other)
        return *this;
    if (Record && Record->ViewInfo() == this)
        Record->SetViewInfo(nullptr);
    Record = other.Record;
    other.Record = nullptr;
    if (Record)
        Record->SetViewInfo(this);
    RowIndex = other.RowIndex;
    Level = other.Level;
    IsGroup = other.IsGroup;
    IsNewItemRow = other.IsNewItemRow;
    Expanded = other.Expanded;
    Focused = other.Focused;
    Selected = other.Selected;
    Bounds = other.Bounds;
    IndentBounds = other.IndentBounds;
    ExpandButtonBounds = other.ExpandButtonBounds;
    GroupCell = std::move(other.GroupCell);
    Cells = std::move(other.Cells);
    CellsCalculated = other.CellsCalculated;
    return *this;
}

TkvGridRowViewInfo::~TkvGridRowViewInfo()
{
    if (Record && Record->ViewInfo() == this)
        Record->SetViewInfo(nullptr);
}

int TkvGridTableViewInfo::RowHeight(int rowIndex) const
{
    TkvGridTableViewInfoCache &cache = FGridView->ViewInfoCache();
    if (const int cached = cache.Height(rowIndex); cached > 0)
        return cached;
    const TkvGridRowSource &source = FGridView->DataController();
    const bool isGroup = source.GetRowInfo(rowIndex).Level < source.GroupingItemCount();
    const int height = isGroup ? FGroupRowHeight : FDataRowHeight;
    cache.SetHeight(rowIndex, height);
    return height;
}

void TkvGridTableViewInfo::CalculateRows()
{
    FRows.clear();
    if (!FCalculated)
        return;
    TkvGridRowSource &source = FGridView->DataController();
    TkvGridViewData &viewData = FGridView->ViewData();
    const TkvGridOptionsView &options = FGridView->OptionsView();
    const int groupingCount = source.GroupingItemCount();
    const int rowCount = std::min(source.RowCount(), viewData.RecordCount());
    const int left = ScrolledLeft();
    const int focusedRowIndex = source.FocusedRowIndex();
    int y = FRowsAreaBounds.top();
    const int bottom = FRowsAreaBounds.top() + FRowsAreaBounds.height();

    if (options.NewItemRow() && viewData.NewItemRecord()) {
        TkvGridRowViewInfo row;
        row.RowIndex = -1;
        row.IsNewItemRow = true;
        row.Record = viewData.NewItemRecord();
        row.Record->SetViewInfo(&row);
        row.Focused = row.Record->Focused();
        row.Bounds = QRect(left, y, FDataWidth, FNewItemRowHeight);
        row.IndentBounds = QRect(left, y, FGroupIndent, FNewItemRowHeight);
        FRows.push_back(std::move(row));
        y += FNewItemRowHeight + options.NewItemRowSeparatorWidth();
    }

    const int top = FGridView->Controller().TopRowIndex();
    for (int rowIndex = std::max(0, top); rowIndex < rowCount; ++rowIndex) {
        // At least one row counts as visible whenever the view has rows.
        if (y >= bottom && rowIndex > top)
            break;
        const TkvGridRowInfo info = source.GetRowInfo(rowIndex);
        const int height = RowHeight(rowIndex);
        TkvGridRowViewInfo row;
        row.RowIndex = rowIndex;
        row.Level = info.Level;
        row.IsGroup = info.Level < groupingCount;
        row.Expanded = info.Expanded;
        row.Focused = rowIndex == focusedRowIndex;
        row.Selected = source.IsRowSelected(rowIndex);
        row.Bounds = QRect(left, y, FDataWidth, height);
        if (row.IsGroup) {
            const int indent = info.Level * FLevelIndent;
            row.IndentBounds = QRect(left, y, indent, height);
            const int buttonSize = FGridView->LookAndFeelPainter().ExpandButtonSize();
            row.ExpandButtonBounds = QRect(left + indent + (FLevelIndent - buttonSize) / 2,
                                           y + (height - buttonSize) / 2, buttonSize, buttonSize);
        } else
            row.IndentBounds = QRect(left, y, FGroupIndent, height);
        FRows.push_back(std::move(row));
        y += height;
    }
    // Link the row objects only after the vector stopped moving.
    for (TkvGridRowViewInfo &row : FRows) {
        if (row.IsNewItemRow)
            continue;
        row.Record = viewData.Records(row.RowIndex);
        if (row.Record)
            row.Record->SetViewInfo(&row);
        if (row.IsGroup)
            CalculateRowCells(row);
    }
}

const TkvGridRowViewInfo *TkvGridTableViewInfo::FindRow(int rowIndex) const
{
    for (const TkvGridRowViewInfo &row : FRows)
        if (row.RowIndex == rowIndex && !row.IsNewItemRow)
            return &row;
    return nullptr;
}

const std::vector<TkvGridCellViewInfo> &TkvGridTableViewInfo::Cells(const TkvGridRowViewInfo &row) const
{
    if (!row.CellsCalculated)
        CalculateRowCells(row);
    return row.Cells;
}

void TkvGridTableViewInfo::CalculateRowCells(const TkvGridRowViewInfo &row) const
{
    row.CellsCalculated = true;
    row.Cells.clear();
    auto &mutableRow = const_cast<TkvGridRowViewInfo &>(row);
    const TkvGridOptionsView &options = FGridView->OptionsView();
    const TkvGridOptionsSelection &selection = FGridView->OptionsSelection();
    const bool horizontalLines = options.GridLines() == glBoth || options.GridLines() == glHorizontal;
    const bool verticalLines = options.GridLines() == glBoth || options.GridLines() == glVertical;

    if (row.IsGroup) {
        TkvGridCellViewInfo &cell = mutableRow.GroupCell;
        const int indent = row.Level * FLevelIndent;
        cell.Bounds = QRect(row.Bounds.left() + indent, row.Bounds.top(), std::max(0, FDataWidth - indent),
                            row.Bounds.height());
        cell.Borders = {0, 0, 0, horizontalLines ? 1 : 0};
        cell.RowIndex = row.RowIndex;
        cell.AlignVert = TkvAlignmentVert::vaCenter;
        if (auto *group = dynamic_cast<TkvGridGroupRow *>(row.Record))
            cell.Text = group->GroupText();
        TkvGridStylePtr style;
        if (FGridView->Styles().OnGetGroupStyle)
            FGridView->Styles().OnGetGroupStyle(FGridView, row.Record, row.Level, style);
        if (!style)
            style = FGridView->Styles().Group();
        cell.Params = FGridView->Styles().Resolve(style, TkvGridStyleSlot::Group);
        return;
    }

    // Whether the row counts as selected at all.
    bool rowSelected = row.Selected || (row.Focused && !selection.MultiSelect());
    if (selection.HideSelection() && !FGridView->IsFocused())
        rowSelected = false;
    TkvCustomGridTableItem *focusedItem = FGridView->Controller().FocusedItem();
    const bool cellSelect = selection.CellSelect();
    const int count = FGridView->VisibleColumnCount();
    row.Cells.reserve(static_cast<std::size_t>(count));
    int x = row.Bounds.left();
    for (int i = 0; i < count; ++i) {
        TkvGridColumn *column = FGridView->VisibleColumns(i);
        const int width = FHeaderCellWidths[static_cast<std::size_t>(i)];
        TkvGridCellViewInfo cell;
        const int indent = i == 0 ? FGroupIndent : 0;
        cell.Bounds = QRect(x + indent, row.Bounds.top(), width - indent, row.Bounds.height());
        cell.Borders = {0, 0, verticalLines ? 1 : 0, horizontalLines ? 1 : 0};
        cell.Item = column;
        cell.RowIndex = row.RowIndex;
        if (row.Record)
            cell.Text = column->GetDisplayText(row.Record);
        cell.AlignHorz = column->DataBinding() ? column->DataBinding()->DefaultAlignment()
                                               : TkvGridAlignmentHorz::LeftJustify;
        cell.AlignVert = TkvAlignmentVert::vaCenter;
        cell.EndEllipsis = options.CellEndEllipsis();
        cell.FocusedCell = row.Focused && cellSelect && column == focusedItem;
        if (selection.InvertSelect())
            cell.Selected = rowSelected && !cell.FocusedCell;
        else
            cell.Selected = (cell.FocusedCell && !(row.Record && row.Record->Editing()) &&
                             (!selection.HideSelection() || FGridView->IsFocused())) ||
                            (selection.MultiSelect() && rowSelected);
        if (cell.Selected)
            cell.Params = FGridView->Styles().Params(FGridView->IsFocused() ? TkvGridStyleSlot::Selection
                                                                            : TkvGridStyleSlot::Inactive);
        else {
            TkvGridStylePtr style = column->Styles().Content;
            if (!style && column->Styles().OnGetContentStyle)
                column->Styles().OnGetContentStyle(FGridView, row.Record, column, style);
            if (!style && FGridView->Styles().OnGetContentStyle)
                FGridView->Styles().OnGetContentStyle(FGridView, row.Record, column, style);
            if (!style) {
                const TkvGridStyleSlot slot =
                    row.RowIndex % 2 == 0 ? TkvGridStyleSlot::ContentEven : TkvGridStyleSlot::ContentOdd;
                style = FGridView->Styles().Slot(slot);
            }
            if (!style)
                style = FGridView->Styles().Content();
            cell.Params = FGridView->Styles().Resolve(style, TkvGridStyleSlot::Content);
        }
        row.Cells.push_back(std::move(cell));
        x += width;
    }
}

int TkvGridTableViewInfo::VisibleRowCount() const
{
    int count = 0;
    for (const TkvGridRowViewInfo &row : FRows)
        if (!row.IsNewItemRow)
            ++count;
    return count;
}

int TkvGridTableViewInfo::LastFullyVisibleRowIndex() const
{
    const int bottom = FRowsAreaBounds.top() + FRowsAreaBounds.height();
    int last = -1;
    for (const TkvGridRowViewInfo &row : FRows) {
        if (row.IsNewItemRow)
            continue;
        if (last < 0 || row.Bounds.top() + row.Bounds.height() <= bottom)
            last = row.RowIndex;
        if (row.Bounds.top() + row.Bounds.height() > bottom)
            break;
    }
    return last;
}

int TkvGridTableViewInfo::FullyVisibleRowCountFrom(int topRowIndex) const
{
    int available = FRowsAreaBounds.height();
    if (FGridView->OptionsView().NewItemRow())
        available -= FNewItemRowHeight + FGridView->OptionsView().NewItemRowSeparatorWidth();
    const int rowCount = FGridView->DataController().RowCount();
    int count = 0;
    for (int rowIndex = std::max(0, topRowIndex); rowIndex < rowCount; ++rowIndex) {
        available -= RowHeight(rowIndex);
        if (available < 0)
            break;
        ++count;
    }
    return std::max(1, count);
}

int TkvGridTableViewInfo::TopRowIndexForBottomRow(int rowIndex) const
{
    int available = FRowsAreaBounds.height();
    if (FGridView->OptionsView().NewItemRow())
        available -= FNewItemRowHeight + FGridView->OptionsView().NewItemRowSeparatorWidth();
    int top = rowIndex;
    available -= RowHeight(rowIndex);
    while (top > 0) {
        const int height = RowHeight(top - 1);
        if (available - height < 0)
            break;
        available -= height;
        --top;
    }
    return std::max(0, top);
}

int TkvGridTableViewInfo::MaxTopRowIndex() const
{
    const int rowCount = FGridView->DataController().RowCount();
    if (rowCount == 0)
        return 0;
    return TopRowIndexForBottomRow(rowCount - 1);
}

} // namespace kestrum

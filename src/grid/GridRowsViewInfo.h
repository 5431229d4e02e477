#pragma once
// The rows of the table layout: the new-item row and the rows from the top
// row down the rows area, heights from the view's cache, each data row's
// cells made when first asked for, and the row arithmetic that scrolling and
// paging rely on. The table layout owns it and gives it the metrics and
// column widths it computed.
#include "grid/GridCellViewInfo.h"
#include "grid/GridRowSource.h"

#include <QRect>

#include <vector>

namespace kestrum {

class TkvCustomGridRecord;
class TkvGridTableView;
class TkvGridTableViewInfo;

//! One group footer below the last row of its group: a strip of footer cells at the columns' places.
struct TkvGridGroupFooterViewInfo {
    int Level = 0; //!< the grouping level whose group ends here
    QRect Bounds;  //!< the strip, starting one level indent right of the group's indent
    std::vector<TkvGridCellViewInfo> Cells;
};

struct TkvGridRowViewInfo {
    TkvCustomGridRecord *Record = nullptr; //!< linked while laid out
    int RowIndex = -1;                     //!< -1 for the new-item row
    int Level = 0;
    bool IsGroup = false;
    bool IsNewItemRow = false;
    bool Expanded = false;
    bool Focused = false;
    bool Selected = false;
    QRect Bounds;          //!< the whole row, from the rows area's left edge to the data width
    QRect DataBounds;      //!< the band of the cells (group rows: of the group cell)
    QRect PreviewBounds;   //!< data rows with a preview: the preview's band
    QRect SeparatorBounds; //!< the row separator at the row's bottom, when one is drawn
    TkvGridCellViewInfo PreviewCell;
    std::vector<TkvGridGroupFooterViewInfo> GroupFooters; //!< innermost first
    QRect IndentBounds;                                   //!< the indent left of the row's content
    QRect ExpandButtonBounds;                             //!< group rows
    TkvGridCellViewInfo GroupCell;                        //!< group rows: the one cell with the group text
    //! Data rows: one cell per visible column, created when first asked for.
    mutable std::vector<TkvGridCellViewInfo> Cells;
    mutable bool CellsCalculated = false;

    TkvGridRowViewInfo() = default;
    TkvGridRowViewInfo(const TkvGridRowViewInfo &) = delete;
    TkvGridRowViewInfo &operator=(const TkvGridRowViewInfo &) = delete;
    TkvGridRowViewInfo(TkvGridRowViewInfo &&) noexcept;
    TkvGridRowViewInfo &operator=(TkvGridRowViewInfo &&) noexcept;
    ~TkvGridRowViewInfo();
};

class TkvGridRowsViewInfo {
public:
    TkvGridRowsViewInfo(TkvGridTableView *view, const TkvGridTableViewInfo &layout)
        : FGridView(view), FLayout(layout)
    {
    }
    TkvGridRowsViewInfo(const TkvGridRowsViewInfo &) = delete;
    TkvGridRowsViewInfo &operator=(const TkvGridRowsViewInfo &) = delete;

    //! Lays the rows out from the top row down the layout's rows area.
    void Calculate();
    void Clear() { FRows.clear(); }

    const std::vector<TkvGridRowViewInfo> &Rows() const { return FRows; }
    //! The row laid out for a row index, or nullptr when it is not visible.
    const TkvGridRowViewInfo *FindRow(int rowIndex) const;
    //! The data cells of a row, computed on first use.
    const std::vector<TkvGridCellViewInfo> &Cells(const TkvGridRowViewInfo &row) const;
    //! The height of a row by its row index (from the cache when known).
    int RowHeight(int rowIndex) const;
    //! Rows laid out, the cut last one included (at least one when rows exist).
    int VisibleRowCount() const;
    //! The last row that fits completely, or the first laid out when none does.
    int LastFullyVisibleRowIndex() const;
    //! The top row that shows rowIndex as the last completely visible row.
    int TopRowIndexForBottomRow(int rowIndex) const;
    //! The largest top row index that still fills the rows area.
    int MaxTopRowIndex() const;
    //! Rows that fit completely below a top row (at least one).
    int FullyVisibleRowCountFrom(int topRowIndex) const;

private:
    void CalculateRowCells(const TkvGridRowViewInfo &row) const;
    void CalculateRowParts(TkvGridRowViewInfo &row, int dataHeight) const;
    void CalculateGroupFooters(TkvGridRowViewInfo &row) const;
    //! The height of a row's cell band (and preview), measured when cells or the preview grow with their
    //! text.
    int MeasureDataRowHeight(int rowIndex, int *previewHeight) const;
    int PreviewHeight(TkvCustomGridRecord *record) const;
    //! The levels whose group footers follow a row, innermost first.
    void GroupFooterLevels(int rowIndex, const TkvGridRowInfo &info, std::vector<int> &levels) const;
    int RowSeparatorWidth() const;
    bool MeasuresRows() const;
    TkvGridViewParams PreviewParams(TkvCustomGridRecord *record) const;
    //! The space for rows below the new-item row.
    int AvailableRowsHeight() const;

    TkvGridTableView *FGridView;
    const TkvGridTableViewInfo &FLayout;
    std::vector<TkvGridRowViewInfo> FRows;
};

} // namespace kestrum

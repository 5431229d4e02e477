#pragma once
// The table view's layout: which parts exist (group-by box, header, rows,
// footer, filter box, indicator), their heights, every header cell, the
// visible rows from the top row downwards with their cells, the footer cells
// with their summary texts, and hit testing. Plain code: the painter draws
// what it computed and tests query it. Only visible rows are laid out.
#include "grid/GridCellViewInfo.h"
#include "grid/GridFilterBoxViewInfo.h"
#include "grid/GridIndicatorViewInfo.h"
#include "grid/GridRowSource.h"
#include "grid/GridRowsViewInfo.h"
#include "grid/GridStyles.h"
#include "grid/GridTypes.h"

#include <QRect>
#include <QString>

#include <vector>

namespace kestrum {

class TkvCustomGridRecord;
class TkvCustomGridTableItem;
class TkvGridTableView;
class TkvGridColumn;
enum class TkvGridHeaderContainer : std::uint8_t;

enum class TkvGridHeaderAreaKind : std::uint8_t { SizingEdge, FilterButton, SortMark, Glyph };

struct TkvGridHeaderAreaViewInfo {
    TkvGridHeaderAreaKind Kind;
    QRect Bounds;
    //! Filter button: pressed while its drop-down is open.
    TkvGridCellState State = TkvGridCellState::Normal;
    //! Filter button: its column holds a condition.
    bool Active = false;
};

struct TkvGridHeaderCellViewInfo : TkvGridCellViewInfo {
    TkvGridColumn *Column = nullptr;
    int VisibleIndex = -1;
    QRect CaptionBounds;
    std::vector<TkvGridHeaderAreaViewInfo> Areas;
};

//! The parts whose background OnCustomDrawPartBackground may draw.
enum class TkvGridPartKind : std::uint8_t { Background, GroupByBox, Header, Footer, FilterBox, Indicator };

struct TkvGridPartViewInfo : TkvGridCellViewInfo {
    TkvGridPartKind Part = TkvGridPartKind::Background;
};

struct TkvGridHitTest {
    TkvGridHitKind Kind = TkvGridHitKind::None;
    int RowIndex = -1;
    int VisibleColumnIndex = -1;
    TkvGridColumn *Column = nullptr;
};

class TkvGridTableViewInfo {
public:
    explicit TkvGridTableViewInfo(TkvGridTableView *view) : FGridView(view), FRows(view, *this) {}
    TkvGridTableViewInfo(const TkvGridTableViewInfo &) = delete;
    TkvGridTableViewInfo &operator=(const TkvGridTableViewInfo &) = delete;

    TkvGridTableView &GridView() const { return *FGridView; }

    //! Lays the view out in its bounds.
    void Calculate();
    //! Lays out the rows again only (the top row moved); parts keep their sizes.
    void CalculateRows();
    bool IsCalculating() const { return FCalculating; }
    bool IsCalculated() const { return FCalculated; }

    // Part rectangles in view coordinates; empty when a part is not shown.
    const QRect &Bounds() const { return FBounds; }
    const QRect &GroupByBoxBounds() const { return FGroupByBoxBounds; }
    const QRect &HeaderBounds() const { return FHeaderBounds; }
    const QRect &RowsAreaBounds() const { return FRowsAreaBounds; }
    const QRect &FooterBounds() const { return FFooterBounds; }
    const QRect &FilterBoxBounds() const { return FFilterBoxBounds; }
    const QRect &IndicatorBounds() const { return FIndicatorBounds; }

    // Metrics.
    int LevelIndent() const { return FLevelIndent; }
    int GroupIndent() const { return FGroupIndent; }
    int DataWidth() const { return FDataWidth; }
    int HeaderHeight() const { return FHeaderHeight; }
    int DataRowHeight() const { return FDataRowHeight; }
    int GroupRowHeight() const { return FGroupRowHeight; }
    int FooterHeight() const { return FFooterHeight; }
    int GroupByBoxHeight() const { return FGroupByBoxHeight; }
    int FilterBoxHeight() const { return FFilterBoxHeight; }
    int GroupFooterHeight() const { return FGroupFooterHeight; }
    int NewItemRowHeight() const { return FNewItemRowHeight; }
    //! The height of a row by its row index (from the cache when known).
    int RowHeight(int rowIndex) const { return FRows.RowHeight(rowIndex); }
    //! The width of each laid-out visible column, the group indent included in the first.
    const std::vector<int> &ColumnWidths() const { return FHeaderCellWidths; }
    //! The visible columns the last layout gave widths to. Cells may be built
    //! between a column being shown and the next layout; a column shown since
    //! has no cell until then.
    int LaidOutColumnCount() const;
    //! The left edge of the data, scrolled horizontally.
    int ScrolledLeft() const;
    TkvGridViewParams FooterParams(TkvGridColumn *column) const;

    // Header, group-by box and footer.
    const std::vector<TkvGridHeaderCellViewInfo> &HeaderCells() const { return FHeaderCells; }
    const std::vector<TkvGridHeaderCellViewInfo> &GroupByBoxHeaders() const { return FGroupByBoxHeaders; }
    const std::vector<TkvGridCellViewInfo> &FooterCells() const { return FFooterCells; }
    //! The indicator column's cells: the header's, one per laid-out row, the footer's.
    const std::vector<TkvGridIndicatorCellViewInfo> &IndicatorCells() const { return FIndicator.Cells(); }
    //! The hint shown while no column is grouped; empty otherwise.
    const QString &GroupByBoxText() const { return FGroupByBoxText; }
    const QRect &GroupByBoxTextBounds() const { return FGroupByBoxTextBounds; }
    const QString &FilterBoxText() const { return FFilterBox.Text(); }
    const QRect &FilterBoxTextBounds() const { return FFilterBox.TextBounds(); }
    const std::vector<TkvGridFilterBoxButtonViewInfo> &FilterBoxButtons() const
    {
        return FFilterBox.Buttons();
    }

    // Rows.
    const std::vector<TkvGridRowViewInfo> &Rows() const { return FRows.Rows(); }
    //! The row laid out for a row index, or nullptr when it is not visible.
    const TkvGridRowViewInfo *FindRow(int rowIndex) const { return FRows.FindRow(rowIndex); }
    //! The data cells of a row, computed on first use.
    const std::vector<TkvGridCellViewInfo> &Cells(const TkvGridRowViewInfo &row) const
    {
        return FRows.Cells(row);
    }
    //! Rows laid out, the cut last one included (at least one when rows exist).
    int VisibleRowCount() const { return FRows.VisibleRowCount(); }
    //! The last row that fits completely, or the first laid out when none does.
    int LastFullyVisibleRowIndex() const { return FRows.LastFullyVisibleRowIndex(); }
    //! The top row that shows rowIndex as the last completely visible row.
    int TopRowIndexForBottomRow(int rowIndex) const { return FRows.TopRowIndexForBottomRow(rowIndex); }
    //! The largest top row index that still fills the rows area.
    int MaxTopRowIndex() const { return FRows.MaxTopRowIndex(); }
    //! Rows that fit completely below a top row (at least one).
    int FullyVisibleRowCountFrom(int topRowIndex) const
    {
        return FRows.FullyVisibleRowCountFrom(topRowIndex);
    }

    //! The part of the view a point lies in.
    TkvGridHitTest HitTest(const QPoint &point) const;

private:
    void CalculateWidths();
    void CalculateHeights();
    void CalculateParts();
    void CalculateHeaderCells();
    void CalculateGroupByBox();
    void CalculateFooterCells();
    void CalculateFilterBox();
    //! The filter box's height for the current criteria, 0 when it is not shown.
    int CalculateFilterBoxHeight() const;
    void SetFilterButtonState(TkvGridHeaderCellViewInfo &cell, TkvGridHeaderContainer container) const;
    void WriteBackAutoWidths();
    int HeaderCellHeight(const TkvGridViewParams &params) const;
    int HeaderCaptionHeight(int visibleIndex, const TkvGridViewParams &params) const;
    TkvGridViewParams HeaderParams(TkvGridColumn *column) const;

    TkvGridTableView *FGridView;
    bool FCalculating = false;
    bool FCalculated = false;
    QRect FBounds;
    QRect FGroupByBoxBounds;
    QRect FHeaderBounds;
    QRect FRowsAreaBounds;
    QRect FFooterBounds;
    QRect FFilterBoxBounds;
    QRect FIndicatorBounds;
    int FLevelIndent = 0;
    int FGroupIndent = 0;
    int FDataWidth = 0;
    int FHeaderHeight = 0;
    int FDataRowHeight = 0;
    int FGroupRowHeight = 0;
    int FFooterHeight = 0;
    int FGroupByBoxHeight = 0;
    int FFilterBoxHeight = 0;
    int FNewItemRowHeight = 0;
    int FGroupFooterHeight = 0;
    TkvGridIndicatorViewInfo FIndicator;
    std::vector<int> FHeaderCellWidths;
    std::vector<TkvGridHeaderCellViewInfo> FHeaderCells;
    std::vector<TkvGridHeaderCellViewInfo> FGroupByBoxHeaders;
    std::vector<TkvGridCellViewInfo> FFooterCells;
    QString FGroupByBoxText;
    QRect FGroupByBoxTextBounds;
    TkvGridFilterBoxViewInfo FFilterBox;
    TkvGridRowsViewInfo FRows;
};

//! The group-by box's hint while no column is grouped.
QString GroupByBoxHintText();

} // namespace kestrum

#pragma once
// The table view's layout: which parts exist (group-by box, header, rows,
// footer, filter box, indicator), their heights, every header cell, the
// visible rows from the top row downwards with their cells, the footer cells
// with their summary texts, and hit testing. Plain code: the painter draws
// what it computed and tests query it. Only visible rows are laid out.
#include "grid/GridFilterBoxViewInfo.h"
#include "grid/GridRowSource.h"
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

struct TkvGridCellBorders {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

struct TkvGridCellViewInfo {
    QRect Bounds;
    TkvGridCellBorders Borders;
    QString Text;
    TkvGridAlignmentHorz AlignHorz = TkvGridAlignmentHorz::LeftJustify;
    TkvAlignmentVert AlignVert = TkvAlignmentVert::vaCenter;
    bool MultiLine = false;
    bool EndEllipsis = false;
    TkvGridViewParams Params;
    TkvGridCellState State = TkvGridCellState::Normal;
    TkvCustomGridTableItem *Item = nullptr;
    int RowIndex = -1;
    bool Selected = false;    //!< drawn in the selection (or inactive) style
    bool FocusedCell = false; //!< the focused cell of the focused row
    QRect EditButtonBounds;   //!< the editor's drop-down button, when the cell shows it

    //! Bounds minus borders.
    QRect ContentBounds() const;
    //! Content inset by 2 pixels on every side, left of an edit button.
    QRect TextBounds() const;
};

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

//! One group footer below the last row of its group: a strip of footer cells at the columns' places.
struct TkvGridGroupFooterViewInfo {
    int Level = 0; //!< the grouping level whose group ends here
    QRect Bounds;  //!< the strip, starting one level indent right of the group's indent
    std::vector<TkvGridCellViewInfo> Cells;
};

//! The kind of a cell of the indicator column.
enum class TkvGridIndicatorKind : std::uint8_t { Header, Row, Footer };
//! What a row's indicator cell shows.
enum class TkvGridIndicatorGlyph : std::uint8_t { None, Focused, Editing, Inserting, NewItemRow };

struct TkvGridIndicatorCellViewInfo : TkvGridCellViewInfo {
    TkvGridIndicatorKind Kind = TkvGridIndicatorKind::Row;
    TkvGridIndicatorGlyph Glyph = TkvGridIndicatorGlyph::None;
};

//! The parts whose background OnCustomDrawPartBackground may draw.
enum class TkvGridPartKind : std::uint8_t { Background, GroupByBox, Header, Footer, FilterBox, Indicator };

struct TkvGridPartViewInfo : TkvGridCellViewInfo {
    TkvGridPartKind Part = TkvGridPartKind::Background;
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

struct TkvGridHitTest {
    TkvGridHitKind Kind = TkvGridHitKind::None;
    int RowIndex = -1;
    int VisibleColumnIndex = -1;
    TkvGridColumn *Column = nullptr;
};

class TkvGridTableViewInfo {
public:
    explicit TkvGridTableViewInfo(TkvGridTableView *view) : FGridView(view) {}
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
    //! The height of a row by its row index (from the cache when known).
    int RowHeight(int rowIndex) const;

    // Header, group-by box and footer.
    const std::vector<TkvGridHeaderCellViewInfo> &HeaderCells() const { return FHeaderCells; }
    const std::vector<TkvGridHeaderCellViewInfo> &GroupByBoxHeaders() const { return FGroupByBoxHeaders; }
    const std::vector<TkvGridCellViewInfo> &FooterCells() const { return FFooterCells; }
    //! The indicator column's cells: the header's, one per laid-out row, the footer's.
    const std::vector<TkvGridIndicatorCellViewInfo> &IndicatorCells() const { return FIndicatorCells; }
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
    const std::vector<TkvGridRowViewInfo> &Rows() const { return FRows; }
    //! The row laid out for a row index, or nullptr when it is not visible.
    const TkvGridRowViewInfo *FindRow(int rowIndex) const;
    //! The data cells of a row, computed on first use.
    const std::vector<TkvGridCellViewInfo> &Cells(const TkvGridRowViewInfo &row) const;
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
    void CalculateRowCells(const TkvGridRowViewInfo &row) const;
    void CalculateRowParts(TkvGridRowViewInfo &row, int dataHeight) const;
    void CalculateGroupFooters(TkvGridRowViewInfo &row) const;
    void CalculateIndicatorCells();
    void WriteBackAutoWidths();
    int HeaderCellHeight(const TkvGridViewParams &params) const;
    int HeaderCaptionHeight(int visibleIndex, const TkvGridViewParams &params) const;
    //! The height of a row's cell band (and preview), measured when cells or the preview grow with their
    //! text.
    int MeasureDataRowHeight(int rowIndex, int recordIndex, int *previewHeight) const;
    int PreviewHeight(TkvCustomGridRecord *record) const;
    //! The levels whose group footers follow a row, innermost first.
    void GroupFooterLevels(int rowIndex, const TkvGridRowInfo &info, std::vector<int> &levels) const;
    int RowSeparatorWidth() const;
    bool MeasuresRows() const;
    int ScrolledLeft() const;
    TkvGridViewParams HeaderParams(TkvGridColumn *column) const;
    TkvGridViewParams FooterParams(TkvGridColumn *column) const;
    TkvGridViewParams PreviewParams(TkvCustomGridRecord *record) const;

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
    std::vector<TkvGridIndicatorCellViewInfo> FIndicatorCells;
    std::vector<int> FHeaderCellWidths;
    //! The visible columns the last layout gave widths to. Cells may be built
    //! between a column being shown and the next layout; a column shown since
    //! has no cell until then.
    int LaidOutColumnCount() const;
    std::vector<TkvGridHeaderCellViewInfo> FHeaderCells;
    std::vector<TkvGridHeaderCellViewInfo> FGroupByBoxHeaders;
    std::vector<TkvGridCellViewInfo> FFooterCells;
    QString FGroupByBoxText;
    QRect FGroupByBoxTextBounds;
    TkvGridFilterBoxViewInfo FFilterBox;
    std::vector<TkvGridRowViewInfo> FRows;
};

//! The group-by box's hint while no column is grouped.
QString GroupByBoxHintText();

} // namespace kestrum

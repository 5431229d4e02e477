// Header interactions played as press, move and release on the controller,
// over the real data controller: click to sort, sizing, and header drags
// between the header row and the group-by box.
#include "data/DataSorting.h"
#include "data/ValueTypes.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridTableView.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrum;

namespace {

constexpr TkvGridShiftState NoKeys{};
constexpr TkvGridShiftState ShiftKey{true, false, false};
constexpr TkvGridShiftState CtrlKey{false, true, false};

struct HeaderGrid {
    std::unique_ptr<TkvGridTableView> View;
    TkvGridColumn *Amount = nullptr;
    TkvGridColumn *Item = nullptr;
    TkvGridColumn *Remark = nullptr;
    std::string Events;

    TkvCustomDataController &Controller() const { return View->ControllerSource()->Controller(); }
    TkvGridTableController &Ctl() const { return View->Controller(); }

    //! Record indexes of the rows, group rows as "[text]".
    std::string Rows() const
    {
        std::string text;
        TkvCustomDataController &controller = Controller();
        for (int row = 0; row < controller.RowCount(); ++row) {
            const TkvRowInfo info = controller.GetRowInfo(row);
            if (!text.empty())
                text += ' ';
            text += info.IsGroupRow ? "[" + std::to_string(info.RecordIndex) + "]"
                                    : std::to_string(info.RecordIndex);
        }
        return text;
    }
    const TkvGridHeaderCellViewInfo &Header(TkvGridColumn *column) const
    {
        for (const auto &cell : View->ViewInfo().HeaderCells())
            if (cell.Column == column)
                return cell;
        for (const auto &cell : View->ViewInfo().GroupByBoxHeaders())
            if (cell.Column == column)
                return cell;
        throw std::runtime_error("no header");
    }
    //! A point on the caption of the column's header (header row or group-by box).
    QPoint On(TkvGridColumn *column) const
    {
        const QRect &bounds = Header(column).Bounds;
        return QPoint(bounds.left() + 6, bounds.center().y());
    }
    QPoint SizingEdge(TkvGridColumn *column) const
    {
        const QRect &bounds = Header(column).Bounds;
        return QPoint(bounds.right(), bounds.center().y());
    }
    //! The gap before a column's header in the header row.
    QPoint GapBefore(TkvGridColumn *column) const
    {
        const QRect &bounds = Header(column).Bounds;
        return QPoint(bounds.left() + 2, bounds.center().y());
    }
    QPoint AfterLastHeader() const
    {
        const QRect &bounds = View->ViewInfo().HeaderCells().back().Bounds;
        return QPoint(bounds.right() - 2, bounds.center().y());
    }
    QPoint InGroupByBox() const
    {
        const QRect &box = View->ViewInfo().GroupByBoxBounds();
        return QPoint(box.right() - 10, box.center().y());
    }
    QPoint InRows() const { return View->ViewInfo().RowsAreaBounds().center(); }

    void Click(TkvGridColumn *column, TkvGridShiftState shift = NoKeys)
    {
        const QPoint point = On(column);
        Ctl().MouseDown(TkvGridMouseButton::Left, point, shift, false);
        Ctl().MouseUp(TkvGridMouseButton::Left, point, shift);
    }
    //! Press, move in two steps, release.
    void Drag(const QPoint &from, const QPoint &to)
    {
        Ctl().MouseDown(TkvGridMouseButton::Left, from, NoKeys, false);
        Ctl().MouseMove((from + to) / 2, NoKeys);
        Ctl().MouseMove(to, NoKeys);
        Ctl().MouseUp(TkvGridMouseButton::Left, to, NoKeys);
    }
};

HeaderGrid MakeHeaderGrid(int recordCount = 4)
{
    HeaderGrid grid;
    grid.View = MakeGridView<TkvGridTableView>();
    TkvGridTableView &view = *grid.View;
    view.BeginLoading();
    grid.Amount = view.CreateColumn("amount");
    grid.Item = view.CreateColumn("item");
    grid.Remark = view.CreateColumn("remark");
    for (TkvGridColumn *column : {grid.Amount, grid.Item, grid.Remark})
        column->SetWidth(100);
    view.SetBounds(QRect(0, 0, 600, 300));
    TkvCustomDataController &controller = grid.Controller();
    controller.ChangeValueTypeClass(0, TkvFloatValueType::Instance());
    controller.ChangeValueTypeClass(1, TkvWideStringValueType::Instance());
    controller.ChangeValueTypeClass(2, TkvWideStringValueType::Instance());
    view.EndLoading();
    // Amounts 40, 10, 30, 20, ...; items alternate b, a; remarks count down.
    controller.BeginBatch();
    controller.SetRecordCount(recordCount);
    const double amounts[] = {40, 10, 30, 20};
    for (int r = 0; r < recordCount; ++r) {
        controller.SetValue(r, 0, Variant(amounts[r % 4] + 100 * (r / 4)));
        controller.SetValue(r, 1, Variant(QString(r % 2 ? "a" : "b")));
        controller.SetValue(r, 2, Variant(QString::number(1000 - r)));
    }
    controller.EndBatch();
    view.OnColumnHeaderClick = [&events = grid.Events](TkvGridTableView *, TkvGridColumn *) {
        events += "view-click ";
    };
    view.OnColumnPosChanged = [&events = grid.Events](TkvGridTableView *, TkvGridColumn *column) {
        events += "pos:" + column->Name().toStdString() + " ";
    };
    view.OnColumnSizeChanged = [&events = grid.Events](TkvGridTableView *, TkvGridColumn *column) {
        events += "size:" + column->Name().toStdString() + " ";
    };
    view.OnWaitCursor = [&events = grid.Events](bool busy) { events += busy ? "wait " : "restore "; };
    return grid;
}

// --- click to sort -----------------------------------------------------------------

TEST(GridHeaderSort, PlainClicksSortAscendingThenAlternate)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.Amount->OnHeaderClick = [&](TkvGridColumn *) { grid.Events += "column-click "; };
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.On(grid.Amount), NoKeys, false);
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::Pressed);
    EXPECT_EQ(grid.View->PressedColumn(), grid.Amount);
    EXPECT_EQ(grid.Events, "column-click view-click ");
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, grid.On(grid.Amount) + QPoint(1, 1), NoKeys);
    EXPECT_EQ(grid.View->PressedColumn(), nullptr);
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    EXPECT_EQ(grid.Events, "column-click view-click wait restore ");
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::Ascending);
    EXPECT_EQ(grid.Rows(), "1 3 2 0");
    grid.Click(grid.Amount);
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::Descending);
    EXPECT_EQ(grid.Rows(), "0 2 3 1");
    grid.Click(grid.Amount);
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::Ascending);
    // The header shows the order.
    bool marked = false;
    for (const auto &area : grid.Header(grid.Amount).Areas)
        marked |= area.Kind == TkvGridHeaderAreaKind::SortMark;
    EXPECT_TRUE(marked);
}

TEST(GridHeaderSort, ShiftAddsOrFlipsAKeyCtrlRemovesOnePlainClickLeavesOnlyOne)
{
    HeaderGrid grid = MakeHeaderGrid();
    const TkvDataControllerSorting &sorting = *DataSortingOf(grid.Controller());
    grid.Click(grid.Item);             // item ascending
    grid.Click(grid.Amount, ShiftKey); // then amount
    EXPECT_EQ(sorting.GetItemSortingIndex(1), 0);
    EXPECT_EQ(sorting.GetItemSortingIndex(0), 1);
    EXPECT_EQ(grid.Rows(), "1 3 2 0");
    grid.Click(grid.Amount, ShiftKey); // flips, keeps its place
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::Descending);
    EXPECT_EQ(sorting.GetItemSortingIndex(0), 1);
    EXPECT_EQ(grid.Rows(), "3 1 0 2");
    grid.Click(grid.Item, CtrlKey); // removed; amount stays
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::None);
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::Descending);
    EXPECT_EQ(grid.Rows(), "0 2 3 1");
    grid.Click(grid.Item, CtrlKey); // not sorted: nothing to remove
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::None);
    grid.Click(grid.Remark); // a plain click: the only sort column
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::None);
    EXPECT_EQ(grid.Remark->SortOrder(), TkvGridSortMark::Ascending);
    EXPECT_EQ(grid.Rows(), "0 3 2 1"); // texts compare ordinally: "1000" first
}

TEST(GridHeaderSort, PlainClickOnAGroupedColumnTogglesItAndKeepsTheOtherSorts)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.Click(grid.Amount);
    grid.Item->SetGroupIndex(0);
    grid.View->OptionsCustomize().SetColumnHidingOnGrouping(false);
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::Ascending); // the grouping direction
    grid.Click(grid.Item);
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::Descending);
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::Ascending);
    EXPECT_EQ(grid.Rows(), "[2] [1]"); // b before a, each group's first record by amount
    // A plain click on another column keeps the grouped column's direction.
    grid.Click(grid.Remark);
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::Descending);
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::None);
}

TEST(GridHeaderSort, AColumnThatMayNotSortStillFiresItsClickButKeepsItsOrder)
{
    HeaderGrid grid = MakeHeaderGrid();
    int clicks = 0;
    grid.Item->OnHeaderClick = [&](TkvGridColumn *) { ++clicks; };
    grid.Item->Options().SetSorting(false);
    grid.Click(grid.Item);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::None);
    EXPECT_EQ(grid.Events, "view-click "); // no hourglass either
    grid.Item->Options().SetSorting(true);
    grid.View->OptionsCustomize().SetColumnSorting(false);
    grid.Click(grid.Item);
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::None);
}

TEST(GridHeaderSort, LeavingTheDragRectangleAndComingBackDoesNotSort)
{
    HeaderGrid grid = MakeHeaderGrid();
    const QPoint press = grid.On(grid.Amount);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, press, NoKeys, false);
    grid.Ctl().MouseMove(press + QPoint(grid.Ctl().DragThreshold(), 0), NoKeys); // still inside
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::Pressed);
    grid.Ctl().MouseMove(press + QPoint(30, 0), NoKeys);
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::Dragging);
    EXPECT_EQ(grid.View->PressedColumn(), nullptr); // a drag clears the pressed column
    grid.Ctl().MouseMove(press, NoKeys);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, press, NoKeys);
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::None);
    EXPECT_EQ(grid.Amount->Index(), 0);
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    // A press with another button, and a double click, press no header.
    grid.Ctl().MouseDown(TkvGridMouseButton::Right, press, NoKeys, false);
    EXPECT_EQ(grid.View->PressedColumn(), nullptr);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, press, NoKeys, true);
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
}

TEST(GridHeaderSort, TheFocusedRecordStaysFocusedVisibleAndAloneSelected)
{
    HeaderGrid grid = MakeHeaderGrid(200);
    grid.Controller().ChangeFocusedRowIndex(0); // amount 40, the largest of the first block
    int focusNotices = 0;
    grid.View->OnFocusedRecordChanged = [&](TkvCustomGridTableView *, TkvCustomGridRecord *,
                                            TkvCustomGridRecord *, bool) { ++focusNotices; };
    grid.Click(grid.Amount);
    grid.Click(grid.Amount); // descending: record 0 (amount 40) goes near the bottom
    EXPECT_EQ(grid.Controller().FocusedRecordIndex(), 0);
    const int focused = grid.Controller().FocusedRowIndex();
    EXPECT_EQ(focused, 196);
    EXPECT_GE(focused, grid.Ctl().TopRowIndex());
    EXPECT_LT(focused, grid.Ctl().TopRowIndex() + grid.View->ViewInfo().VisibleRowCount());
    EXPECT_EQ(focusNotices, 2);
    int selectedRows = 0;
    for (const TkvGridRowViewInfo &row : grid.View->ViewInfo().Rows())
        selectedRows += grid.Controller().IsRowSelected(row.RowIndex);
    EXPECT_EQ(selectedRows, 1);
    EXPECT_TRUE(grid.Controller().IsRowSelected(focused));
}

// --- sizing ------------------------------------------------------------------------

TEST(GridHeaderSizing, DraggingTheEdgeSizesWithinTheMinimum)
{
    HeaderGrid grid = MakeHeaderGrid();
    const QPoint edge = grid.SizingEdge(grid.Amount);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, edge, NoKeys, false);
    ASSERT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::Sizing);
    grid.Ctl().MouseMove(edge + QPoint(30, 5), NoKeys);
    EXPECT_EQ(grid.Ctl().SizingWidth(), 130);
    EXPECT_EQ(grid.Ctl().SizingLinePos(), grid.Header(grid.Amount).Bounds.left() + 129);
    EXPECT_EQ(grid.Amount->Width(), 100); // nothing changes before the release
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, edge + QPoint(30, 5), NoKeys);
    EXPECT_EQ(grid.Amount->Width(), 130);
    EXPECT_EQ(grid.Events, "size:amount ");
    EXPECT_EQ(grid.Header(grid.Item).Bounds.left(), grid.Header(grid.Amount).Bounds.right() + 1);

    grid.Events.clear();
    grid.Amount->SetMinWidth(25);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.SizingEdge(grid.Amount), NoKeys, false);
    grid.Ctl().MouseMove(QPoint(-500, 10), NoKeys);
    EXPECT_EQ(grid.Ctl().SizingWidth(), 25);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, QPoint(-500, 10), NoKeys);
    EXPECT_EQ(grid.Amount->Width(), 25);

    // Released where it started: no change, no event.
    grid.Events.clear();
    const QPoint again = grid.SizingEdge(grid.Amount);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, again, NoKeys, false);
    grid.Ctl().MouseMove(again + QPoint(20, 0), NoKeys);
    grid.Ctl().MouseMove(again, NoKeys);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, again, NoKeys);
    EXPECT_EQ(grid.Events, "");
    EXPECT_EQ(grid.Amount->Width(), 25);
}

TEST(GridHeaderSizing, TheFirstColumnsGroupIndentIsNotPartOfItsWidth)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.View->OptionsCustomize().SetColumnHidingOnGrouping(false);
    grid.Item->SetGroupIndex(0);
    const int indent = grid.View->ViewInfo().GroupIndent();
    ASSERT_GT(indent, 0);
    EXPECT_EQ(grid.Header(grid.Amount).Bounds.width(), 100 + indent);
    const QPoint edge = grid.SizingEdge(grid.Amount);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, edge, NoKeys, false);
    grid.Ctl().MouseMove(edge + QPoint(10, 0), NoKeys);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, edge + QPoint(10, 0), NoKeys);
    EXPECT_EQ(grid.Amount->Width(), 110);
    // The minimum counts the indent too.
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.SizingEdge(grid.Amount), NoKeys, false);
    grid.Ctl().MouseMove(QPoint(0, edge.y()), NoKeys);
    EXPECT_EQ(grid.Ctl().SizingWidth(), grid.Amount->MinWidth() + indent);
    grid.Ctl().CancelHeaderAction();
    EXPECT_EQ(grid.Amount->Width(), 110);
}

TEST(GridHeaderSizing, AutoWidthLeavesTheColumnsToTheRightTheirMinimum)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.View->OptionsView().SetColumnAutoWidth(true);
    const QPoint edge = grid.SizingEdge(grid.Amount);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, edge, NoKeys, false);
    grid.Ctl().MouseMove(edge + QPoint(2000, 0), NoKeys);
    const QRect rows = grid.View->ViewInfo().RowsAreaBounds();
    EXPECT_EQ(grid.Ctl().SizingWidth(), rows.right() + 1 - grid.Header(grid.Amount).Bounds.left() -
                                            grid.Item->MinWidth() - grid.Remark->MinWidth());
    grid.Ctl().CancelHeaderAction();
}

TEST(GridHeaderSizing, DoubleClickOnTheEdgeFitsTheWidestTextAndAColumnThatMayNotSizeIgnoresIt)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.Remark->SetWidth(300);
    const int best = grid.Remark->CalculateBestFitWidth();
    ASSERT_LT(best, 300);
    const QPoint edge = grid.SizingEdge(grid.Remark);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, edge, NoKeys, false);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, edge, NoKeys);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, edge, NoKeys, true);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, edge, NoKeys);
    EXPECT_EQ(grid.Remark->Width(), best);
    EXPECT_EQ(grid.Events, "wait restore size:remark ");

    grid.Item->Options().SetHorzSizing(false);
    bool hasEdge = false;
    for (const auto &area : grid.Header(grid.Item).Areas)
        hasEdge |= area.Kind == TkvGridHeaderAreaKind::SizingEdge;
    EXPECT_FALSE(hasEdge);
    const QRect item = grid.Header(grid.Item).Bounds;
    // The right border of the item header is now plain header: a press there is a header press.
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, QPoint(item.right() - 1, item.center().y()), NoKeys,
                         false);
    EXPECT_NE(grid.Ctl().HeaderState(), TkvGridHeaderState::Sizing);
    grid.Ctl().CancelHeaderAction();
}

// --- header drag ---------------------------------------------------------------------

TEST(GridHeaderDrag, IntoTheGroupByBoxGroupsAndHidesThenBackUngroupsAndShows)
{
    HeaderGrid grid = MakeHeaderGrid();
    const QPoint from = grid.On(grid.Item);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, from, NoKeys, false);
    grid.Ctl().MouseMove(grid.InGroupByBox(), NoKeys);
    EXPECT_EQ(grid.Ctl().DragDestination(), TkvGridHeaderContainer::GroupByBox);
    EXPECT_EQ(grid.Ctl().DragZone(), 0);
    EXPECT_TRUE(grid.Ctl().IsDropAllowed());
    // The dragged header follows the pointer where it was grabbed.
    ASSERT_NE(grid.Ctl().DragImage(), nullptr);
    EXPECT_EQ(grid.Ctl().DragImage()->Column, grid.Item);
    EXPECT_EQ(grid.Ctl().DragImage()->Bounds.topLeft() - grid.Header(grid.Item).Bounds.topLeft(),
              grid.InGroupByBox() - from);
    // With nothing grouped the marker is the box itself, 6 in and 8 off top and bottom.
    const QRect box = grid.View->ViewInfo().GroupByBoxBounds();
    EXPECT_EQ(grid.Ctl().DropMarkerBounds(),
              QRect(box.left() + 6, box.top() + 8, box.width() - 6, box.height() - 16));
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, grid.InGroupByBox(), NoKeys);
    EXPECT_EQ(grid.Item->GroupIndex(), 0);
    EXPECT_FALSE(grid.Item->Visible());
    EXPECT_EQ(grid.Rows(), "[1] [0]");
    EXPECT_EQ(grid.Events, "view-click wait restore pos:item "); // the press fires the click event

    // Back from the box into the header row, before the remark column.
    grid.Events.clear();
    grid.Drag(grid.On(grid.Item), grid.GapBefore(grid.Remark));
    EXPECT_EQ(grid.Item->GroupIndex(), -1);
    EXPECT_TRUE(grid.Item->Visible());
    EXPECT_EQ(grid.Item->Index(), 1);
    EXPECT_EQ(grid.Rows(), "0 1 2 3");
    EXPECT_EQ(grid.Events, "view-click wait restore pos:item "); // the press fires the click event
}

TEST(GridHeaderDrag, OffTheGridFromTheBoxUngroupsAndShowsWhatWasVisible)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.Drag(grid.On(grid.Item), grid.InGroupByBox());
    ASSERT_EQ(grid.Item->GroupIndex(), 0);
    grid.Drag(grid.On(grid.Item), grid.InRows());
    EXPECT_EQ(grid.Item->GroupIndex(), -1);
    EXPECT_TRUE(grid.Item->Visible());
    // A column grouped while hidden stays hidden when ungrouped.
    grid.View->OptionsCustomize().SetColumnHiding(true);
    grid.Drag(grid.On(grid.Remark), grid.InRows());
    ASSERT_FALSE(grid.Remark->Visible());
    grid.Remark->SetGroupIndex(0);
    grid.Drag(grid.On(grid.Remark), grid.InRows());
    EXPECT_EQ(grid.Remark->GroupIndex(), -1);
    EXPECT_FALSE(grid.Remark->Visible());
}

TEST(GridHeaderDrag, MovesInTheHeaderRowAndRefusesDropsThatChangeNothing)
{
    HeaderGrid grid = MakeHeaderGrid();
    // Its own gaps (before itself, after itself) change nothing.
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.On(grid.Item), NoKeys, false);
    grid.Ctl().MouseMove(grid.GapBefore(grid.Remark), NoKeys);
    EXPECT_EQ(grid.Ctl().DragZone(), 2);
    EXPECT_FALSE(grid.Ctl().IsDropAllowed());
    EXPECT_TRUE(grid.Ctl().DropMarkerBounds().isEmpty());
    grid.Ctl().MouseMove(grid.GapBefore(grid.Item), NoKeys);
    EXPECT_FALSE(grid.Ctl().IsDropAllowed());
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, grid.GapBefore(grid.Item), NoKeys);
    EXPECT_EQ(grid.Events, "view-click ");
    EXPECT_EQ(grid.Item->Index(), 1);

    grid.Drag(grid.On(grid.Amount), grid.AfterLastHeader());
    EXPECT_EQ(grid.Amount->Index(), 2);
    EXPECT_EQ(grid.View->VisibleColumns(0), grid.Item);
    grid.Drag(grid.On(grid.Amount), grid.GapBefore(grid.Item));
    EXPECT_EQ(grid.Amount->Index(), 0);
    EXPECT_EQ(grid.Events,
              "view-click view-click wait restore pos:amount view-click wait restore pos:amount ");

    // A column that may not move stays.
    grid.Events.clear();
    grid.Remark->Options().SetMoving(false);
    grid.Drag(grid.On(grid.Remark), grid.GapBefore(grid.Amount));
    EXPECT_EQ(grid.Remark->Index(), 2);
    EXPECT_EQ(grid.Events, "view-click ");
}

TEST(GridHeaderDrag, OffTheGridNeedsColumnHidingAndNeverTakesTheLastVisibleColumn)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.Drag(grid.On(grid.Remark), grid.InRows());
    EXPECT_TRUE(grid.Remark->Visible()); // ColumnHiding is off
    EXPECT_EQ(grid.Events, "view-click ");
    grid.Ctl().SetCustomizing(true); // an open customization form allows it
    grid.Drag(grid.On(grid.Remark), grid.InRows());
    EXPECT_FALSE(grid.Remark->Visible());
    grid.Ctl().SetCustomizing(false);
    grid.View->OptionsCustomize().SetColumnHiding(true);
    grid.Drag(grid.On(grid.Item), grid.InRows());
    EXPECT_FALSE(grid.Item->Visible());
    ASSERT_EQ(grid.View->VisibleColumnCount(), 1);
    grid.Drag(grid.On(grid.Amount), grid.InRows());
    EXPECT_TRUE(grid.Amount->Visible());
    // ...and does not group it away either: hiding on grouping needs it to move.
    grid.Drag(grid.On(grid.Amount), grid.InGroupByBox());
    EXPECT_EQ(grid.Amount->GroupIndex(), 0);
    EXPECT_TRUE(grid.Amount->Visible());
}

TEST(GridHeaderDrag, GroupByBoxZonesOrderLevelsAndRefuseTheOwnGaps)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.View->OptionsCustomize().SetColumnHidingOnGrouping(false);
    grid.Item->SetGroupIndex(0);
    grid.Remark->SetGroupIndex(1);
    const auto &box = grid.View->ViewInfo().GroupByBoxHeaders();
    ASSERT_EQ(box.size(), 2u);
    // The item header's own right gap (zone 1) changes nothing.
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.On(grid.Item), NoKeys, false);
    const QRect remarkBox = box[1].Bounds;
    grid.Ctl().MouseMove(QPoint(remarkBox.left() + 2, remarkBox.center().y()), NoKeys);
    EXPECT_EQ(grid.Ctl().DragDestination(), TkvGridHeaderContainer::GroupByBox);
    EXPECT_EQ(grid.Ctl().DragZone(), 1);
    EXPECT_FALSE(grid.Ctl().IsDropAllowed());
    // After the last: allowed, to level 1 (2 minus one, as it was grouped below).
    grid.Ctl().MouseMove(QPoint(remarkBox.right() - 2, remarkBox.center().y()), NoKeys);
    EXPECT_EQ(grid.Ctl().DragZone(), 2);
    ASSERT_TRUE(grid.Ctl().IsDropAllowed());
    EXPECT_EQ(grid.Ctl().DropMarkerBounds().left(), remarkBox.right() + 2);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, QPoint(remarkBox.right() - 2, remarkBox.center().y()),
                       NoKeys);
    EXPECT_EQ(grid.Item->GroupIndex(), 1);
    EXPECT_EQ(grid.Remark->GroupIndex(), 0);
    // The amount header dropped before the first box header becomes level 0.
    grid.Drag(grid.On(grid.Amount), QPoint(grid.View->ViewInfo().GroupByBoxHeaders()[0].Bounds.left() + 2,
                                           grid.View->ViewInfo().GroupByBoxHeaders()[0].Bounds.center().y()));
    EXPECT_EQ(grid.Amount->GroupIndex(), 0);
    EXPECT_EQ(grid.Remark->GroupIndex(), 1);
    // A column that may not group is refused there.
    HeaderGrid other = MakeHeaderGrid();
    other.Item->Options().SetGrouping(false);
    other.Drag(other.On(other.Item), other.InGroupByBox());
    EXPECT_EQ(other.Item->GroupIndex(), -1);
    EXPECT_TRUE(other.Item->Visible());
}

TEST(GridHeaderDrag, AGroupByBoxHeaderSortsOnAClick)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.Drag(grid.On(grid.Item), grid.InGroupByBox());
    ASSERT_EQ(grid.Rows(), "[1] [0]");
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.On(grid.Item), NoKeys, false);
    EXPECT_EQ(grid.View->PressedColumn(), grid.Item);
    EXPECT_EQ(grid.Header(grid.Item).State, TkvGridCellState::Pressed);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, grid.On(grid.Item), NoKeys);
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::Descending);
    EXPECT_EQ(grid.Rows(), "[0] [1]");
    // Its filter button is no place to sort from. The button's place is copied
    // first: a press lays the header out again and frees its areas.
    QRect filterButton;
    for (const auto &area : grid.Header(grid.Item).Areas)
        if (area.Kind == TkvGridHeaderAreaKind::FilterButton)
            filterButton = area.Bounds;
    ASSERT_FALSE(filterButton.isNull());
    EXPECT_EQ(grid.View->ViewInfo().HitTest(filterButton.center()).Kind, TkvGridHitKind::HeaderFilterButton);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, filterButton.center(), NoKeys, false);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, filterButton.center(), NoKeys);
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::Descending);
}

TEST(GridHeaderDrag, NearAnEndOfTheHeaderRowTheViewScrolls)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.View->SetBounds(QRect(0, 0, 200, 300));
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.On(grid.Amount), NoKeys, false);
    const QRect header = grid.View->ViewInfo().HeaderBounds();
    grid.Ctl().MouseMove(QPoint(grid.View->ViewInfo().RowsAreaBounds().right() - 5, header.center().y()),
                         NoKeys);
    ASSERT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::Dragging);
    EXPECT_EQ(grid.Ctl().DragScrollDirection(), 1);
    grid.Ctl().DragScrollStep();
    grid.Ctl().DragScrollStep();
    EXPECT_EQ(grid.Ctl().LeftPos(), 2 * TkvGridTableController::DragScrollDelta);
    grid.Ctl().MouseMove(QPoint(grid.View->ViewInfo().RowsAreaBounds().center().x(), header.center().y()),
                         NoKeys);
    EXPECT_EQ(grid.Ctl().DragScrollDirection(), 0);
    grid.Ctl().MouseMove(QPoint(grid.View->ViewInfo().RowsAreaBounds().left() + 3, header.center().y()),
                         NoKeys);
    EXPECT_EQ(grid.Ctl().DragScrollDirection(), -1);
    grid.Ctl().CancelHeaderAction();
    EXPECT_EQ(grid.Ctl().DragScrollDirection(), 0);
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
}

TEST(GridHeaderDrag, EscCancelsADragAndASizingWithoutEffect)
{
    HeaderGrid grid = MakeHeaderGrid();
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.On(grid.Item), NoKeys, false);
    grid.Ctl().MouseMove(grid.InGroupByBox(), NoKeys);
    ASSERT_TRUE(grid.Ctl().IsDropAllowed());
    EXPECT_TRUE(grid.Ctl().KeyDown(TkvGridKey::Escape, NoKeys));
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, grid.InGroupByBox(), NoKeys);
    EXPECT_EQ(grid.Item->GroupIndex(), -1);
    EXPECT_TRUE(grid.Item->Visible());

    const QPoint edge = grid.SizingEdge(grid.Amount);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, edge, NoKeys, false);
    grid.Ctl().MouseMove(edge + QPoint(40, 0), NoKeys);
    EXPECT_TRUE(grid.Ctl().KeyDown(TkvGridKey::Escape, NoKeys));
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, edge + QPoint(40, 0), NoKeys);
    EXPECT_EQ(grid.Amount->Width(), 100);
    EXPECT_EQ(grid.Events, "view-click ");
}

} // namespace

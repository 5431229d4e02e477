// Row focus by mouse and keys, group expansion by keys and mouse, and
// scrolling by wheel and scroll bar.
#include "GridTestSource.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr TkvGridShiftState NoShift{};
constexpr TkvGridShiftState Ctrl{false, true, false};

LedgerGrid MakeGridWithRows(int count)
{
    std::vector<std::vector<QString>> records;
    for (int i = 0; i < count; ++i)
        records.push_back({QString::number(i), QString::fromUtf8(i % 3 ? "奖金" : "工资"), "", ""});
    LedgerGrid grid = MakeLedgerGrid(true, records);
    grid.Source().Reload();
    return grid;
}

QPoint CellCenter(const TkvGridTableView &view, int rowIndex, int visibleColumn)
{
    const TkvGridRowViewInfo *row = view.ViewInfo().FindRow(rowIndex);
    return view.ViewInfo().Cells(*row)[static_cast<std::size_t>(visibleColumn)].Bounds.center();
}

} // namespace

TEST(GridController, ClickingADataRowFocusesRowAndCell)
{
    LedgerGrid grid = MakeGridWithRows(10);
    TkvGridTableController &controller = grid.View->Controller();
    controller.MouseDown(TkvGridMouseButton::Left, CellCenter(*grid.View, 3, 2), NoShift, false);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 3);
    EXPECT_EQ(controller.FocusedItem(), grid.Date);
    // The middle button does not focus.
    controller.MouseDown(TkvGridMouseButton::Middle, CellCenter(*grid.View, 5, 0), NoShift, false);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 3);
    // The focused cell is drawn in its content style inside the highlighted row.
    const TkvGridRowViewInfo *row = grid.View->ViewInfo().FindRow(3);
    ASSERT_NE(row, nullptr);
    const auto &cells = grid.View->ViewInfo().Cells(*row);
    EXPECT_TRUE(cells[2].FocusedCell);
    EXPECT_FALSE(cells[2].Selected);
    EXPECT_TRUE(cells[0].Selected);
}

TEST(GridController, KeysMoveTheFocusedRow)
{
    LedgerGrid grid = MakeGridWithRows(100);
    TkvGridTableController &controller = grid.View->Controller();
    const int fit = grid.View->ViewInfo().FullyVisibleRowCountFrom(0);
    ASSERT_GT(fit, 2);
    auto press = [&](TkvGridKey key, TkvGridShiftState shift = NoShift) {
        controller.KeyDown(key, shift);
        return grid.Source().FocusedRowIndex();
    };
    EXPECT_EQ(press(TkvGridKey::Down), 0);
    EXPECT_EQ(press(TkvGridKey::Down), 1);
    EXPECT_EQ(press(TkvGridKey::Up), 0);
    EXPECT_EQ(press(TkvGridKey::Up), 0);
    EXPECT_EQ(press(TkvGridKey::PageDown), fit - 1);
    // Page Down on the last visible row: it becomes the top row, then the new last visible row is focused.
    EXPECT_EQ(press(TkvGridKey::PageDown), 2 * fit - 2);
    EXPECT_EQ(controller.TopRowIndex(), fit - 1);
    EXPECT_EQ(press(TkvGridKey::PageUp), fit - 1);
    EXPECT_EQ(press(TkvGridKey::PageUp), 0);
    EXPECT_EQ(controller.TopRowIndex(), 0);
    EXPECT_EQ(press(TkvGridKey::End, Ctrl), 99);
    EXPECT_EQ(controller.TopRowIndex(), 100 - fit);
    EXPECT_EQ(press(TkvGridKey::Down), 99); // appending is off
    EXPECT_EQ(press(TkvGridKey::Home, Ctrl), 0);
    EXPECT_EQ(controller.TopRowIndex(), 0);
}

TEST(GridController, HomeEndAndArrowsMoveBetweenCellsOfADataRow)
{
    LedgerGrid grid = MakeGridWithRows(5);
    TkvGridTableController &controller = grid.View->Controller();
    controller.SetFocusedRowIndex(1);
    EXPECT_EQ(controller.FocusedItem(), grid.Amount);
    controller.KeyDown(TkvGridKey::End, NoShift);
    EXPECT_EQ(controller.FocusedItem(), grid.Remark);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 1);
    controller.KeyDown(TkvGridKey::Left, NoShift);
    EXPECT_EQ(controller.FocusedItem(), grid.Date);
    controller.KeyDown(TkvGridKey::Home, NoShift);
    EXPECT_EQ(controller.FocusedItem(), grid.Amount);
    // At the first cell, Left scrolls horizontally instead (clamped at 0).
    EXPECT_TRUE(controller.KeyDown(TkvGridKey::Left, NoShift));
    EXPECT_EQ(controller.LeftPos(), 0);
    grid.View->SetBounds(QRect(0, 0, 300, 300));
    controller.KeyDown(TkvGridKey::End, NoShift);
    EXPECT_GT(controller.LeftPos(), 0); // the remark column was scrolled into view
}

TEST(GridController, GroupRowsCollapseAndExpandByKeysAndMouse)
{
    LedgerGrid grid = MakeGridWithRows(6);
    TkvGridTableView &view = *grid.View;
    TkvGridTableController &controller = view.Controller();
    grid.Item->SetGroupIndex(0);
    EXPECT_EQ(LaidOutRows(view), "G0:进帐项 : 奖金 (SUM=12.00)|G0:进帐项 : 工资 (SUM=3.00)");
    controller.SetFocusedRowIndex(1);
    controller.KeyDown(TkvGridKey::Right, NoShift);
    EXPECT_EQ(LaidOutRows(view), "G0:进帐项 : 奖金 (SUM=12.00)|G0:进帐项 : 工资 (SUM=3.00)|D1:0|D1:3");
    controller.KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 2);
    controller.SetFocusedRowIndex(1);
    controller.KeyDown(TkvGridKey::Left, NoShift);
    EXPECT_EQ(LaidOutRows(view), "G0:进帐项 : 奖金 (SUM=12.00)|G0:进帐项 : 工资 (SUM=3.00)");
    // Clicking the expand button toggles without focusing.
    const QPoint button = view.ViewInfo().Rows()[0].ExpandButtonBounds.center();
    controller.MouseDown(TkvGridMouseButton::Left, button, NoShift, false);
    EXPECT_EQ(view.ViewData().RecordCount(), 6);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 5);
    // A double click on a group row focuses and toggles it.
    const QPoint text(300, view.ViewInfo().Rows()[0].Bounds.center().y());
    controller.MouseDown(TkvGridMouseButton::Left, text, NoShift, false);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 0);
    controller.MouseDown(TkvGridMouseButton::Left, text, NoShift, true);
    EXPECT_EQ(view.ViewData().RecordCount(), 2);
}

TEST(GridController, WheelAndScrollBarMoveTheTopRow)
{
    LedgerGrid grid = MakeGridWithRows(200);
    TkvGridTableController &controller = grid.View->Controller();
    controller.MouseWheel(-1, 3);
    EXPECT_EQ(controller.TopRowIndex(), 3);
    EXPECT_EQ(grid.View->ViewInfo().Rows().front().RowIndex, 3);
    controller.MouseWheel(2, 3);
    EXPECT_EQ(controller.TopRowIndex(), 0);
    controller.Scroll(true, TkvGridScrollCode::LineDown);
    EXPECT_EQ(controller.TopRowIndex(), 1);
    const int fit = grid.View->ViewInfo().FullyVisibleRowCountFrom(1);
    controller.Scroll(true, TkvGridScrollCode::PageDown);
    EXPECT_EQ(controller.TopRowIndex(), fit);
    controller.Scroll(true, TkvGridScrollCode::Track, 100000);
    EXPECT_EQ(controller.TopRowIndex(), grid.View->ViewInfo().MaxTopRowIndex());
    EXPECT_EQ(grid.View->ViewInfo().LastFullyVisibleRowIndex(), 199);
    // Focusing a row above the top row scrolls it into view.
    controller.SetFocusedRowIndex(5);
    EXPECT_EQ(controller.TopRowIndex(), 5);
}

TEST(GridController, DoubleClickingARowWhoseFocusingReloadsReadsOnlyTheNewRowObjects)
{
    // Posting the edited record on a focus move rebuilds every row object.
    LedgerGrid grid = MakeGridWithRows(10);
    TkvGridTableController &controller = grid.View->Controller();
    controller.SetFocusedRowIndex(1);
    grid.Source().ReloadOnFocusChange = true;
    const std::string before = grid.Source().Notices;
    controller.MouseDown(TkvGridMouseButton::Left, CellCenter(*grid.View, 4, 2), NoShift, true);
    EXPECT_EQ(grid.Source().Notices.substr(before.size()), "FD");
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 4);
    EXPECT_EQ(controller.FocusedItem(), grid.Date);
    controller.MouseDown(TkvGridMouseButton::Left, CellCenter(*grid.View, 6, 1), NoShift, false);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 6);
    EXPECT_EQ(controller.FocusedItem(), grid.Item);
}

TEST(GridController, FocusingACellOutOfViewScrollsItIntoViewAndBack)
{
    // No update lock: every scroll step lays the view out again at once.
    LedgerGrid grid = MakeGridWithRows(5);
    TkvGridTableController &controller = grid.View->Controller();
    grid.View->SetBounds(QRect(0, 0, 300, 300));
    controller.SetFocusedRowIndex(0);
    controller.SetFocusedItem(grid.Remark);
    ASSERT_GT(controller.LeftPos(), 0);
    const TkvGridTableViewInfo &viewInfo = grid.View->ViewInfo();
    for (const TkvGridHeaderCellViewInfo &header : viewInfo.HeaderCells())
        if (header.Column == grid.Remark) {
            EXPECT_GE(header.Bounds.left(), viewInfo.RowsAreaBounds().left());
            EXPECT_LT(header.Bounds.left(), viewInfo.RowsAreaBounds().right());
        }
    controller.SetFocusedItem(grid.Amount);
    EXPECT_EQ(controller.LeftPos(), 0);
}

TEST(GridController, FineWheelDeltasAddUpToWholeNotches)
{
    LedgerGrid grid = MakeGridWithRows(200);
    TkvGridTableController &controller = grid.View->Controller();
    // Touchpad deltas of a quarter notch: four of them scroll one notch.
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(controller.MouseWheelDelta(QPoint(0, -30), QPoint(), NoShift, 3));
    EXPECT_EQ(controller.TopRowIndex(), 0);
    EXPECT_TRUE(controller.MouseWheelDelta(QPoint(0, -30), QPoint(), NoShift, 3));
    EXPECT_EQ(controller.TopRowIndex(), 3);
    // A notch and a half, then the other way: the half is dropped, not paid back.
    controller.MouseWheelDelta(QPoint(0, -180), QPoint(), NoShift, 3);
    EXPECT_EQ(controller.TopRowIndex(), 6);
    controller.MouseWheelDelta(QPoint(0, 90), QPoint(), NoShift, 3);
    EXPECT_EQ(controller.TopRowIndex(), 6);
    controller.MouseWheelDelta(QPoint(0, 30), QPoint(), NoShift, 3);
    EXPECT_EQ(controller.TopRowIndex(), 3);
}

TEST(GridController, HorizontalWheelScrollsTheColumnsAndHandlersTakeMessagesFirst)
{
    LedgerGrid grid = MakeGridWithRows(200);
    TkvGridTableController &controller = grid.View->Controller();
    grid.View->SetBounds(QRect(0, 0, 300, 300));
    controller.MouseWheelDelta(QPoint(-120, 0), QPoint(), NoShift, 3);
    EXPECT_EQ(controller.LeftPos(), 30);
    controller.MouseWheelDelta(QPoint(60, 0), QPoint(), NoShift, 3);
    controller.MouseWheelDelta(QPoint(60, 0), QPoint(), NoShift, 3);
    EXPECT_EQ(controller.LeftPos(), 0);

    int seen = 0;
    grid.View->OnMouseWheel = [&](TkvGridTableView *, TkvGridShiftState, int delta, const QPoint &) {
        seen = delta;
        return delta < 0;
    };
    EXPECT_TRUE(controller.MouseWheelDelta(QPoint(0, -120), QPoint(5, 5), NoShift, 3));
    EXPECT_EQ(seen, -120);
    EXPECT_EQ(controller.TopRowIndex(), 0);
    grid.View->OnMouseWheel = nullptr;

    // With every row in view only the horizontal scroll bar is shown: the wheel turns it.
    LedgerGrid few = MakeGridWithRows(2);
    TkvGridTableController &fewController = few.View->Controller();
    few.View->SetBounds(QRect(0, 0, 300, 300));
    ASSERT_FALSE(fewController.VerticalScrollBarShown());
    ASSERT_TRUE(fewController.HorizontalScrollBarShown());
    fewController.MouseWheelDelta(QPoint(0, -120), QPoint(), NoShift, 3);
    EXPECT_EQ(fewController.LeftPos(), 30);
}

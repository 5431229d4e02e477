// Scrolling: the top row kept in range, scroll bar codes, wheel notches and
// the rest of fine deltas, and bringing a row into view.
#include "GridTestSource.h"

#include "grid/GridScrollController.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

LedgerGrid GridWithRecords(int count)
{
    std::vector<std::vector<QString>> records;
    for (int i = 0; i < count; ++i)
        records.push_back({QString::number(i + 1), QString::fromUtf8("工资"), "2006-7-1", ""});
    LedgerGrid grid = MakeLedgerGrid(true, records);
    grid.Source().Reload();
    return grid;
}

} // namespace

TEST(GridScrollController, ScrollCodesMoveTheTopRowWithinRange)
{
    LedgerGrid grid = GridWithRecords(200);
    TkvGridScrollController &scroll = grid.View->Controller().ScrollController();
    const TkvGridTableViewInfo &layout = grid.View->ViewInfo();
    const int maxTop = layout.MaxTopRowIndex();
    ASSERT_GT(maxTop, 0);
    EXPECT_TRUE(scroll.VerticalScrollBarShown());

    scroll.Scroll(true, TkvGridScrollCode::LineUp, 0);
    EXPECT_EQ(scroll.TopRowIndex(), 0);
    scroll.Scroll(true, TkvGridScrollCode::LineDown, 0);
    EXPECT_EQ(scroll.TopRowIndex(), 1);
    const int fit = layout.FullyVisibleRowCountFrom(1);
    scroll.Scroll(true, TkvGridScrollCode::PageDown, 0);
    // The last completely visible row becomes the top row.
    EXPECT_EQ(scroll.TopRowIndex(), 1 + fit - 1);
    scroll.Scroll(true, TkvGridScrollCode::PageUp, 0);
    EXPECT_EQ(scroll.TopRowIndex(), 1);
    scroll.Scroll(true, TkvGridScrollCode::Track, 100000);
    EXPECT_EQ(scroll.TopRowIndex(), maxTop);
    scroll.Scroll(true, TkvGridScrollCode::Top, 0);
    EXPECT_EQ(scroll.TopRowIndex(), 0);
    scroll.Scroll(true, TkvGridScrollCode::Bottom, 0);
    EXPECT_EQ(scroll.TopRowIndex(), maxTop);
    EXPECT_EQ(layout.Rows().front().RowIndex, maxTop);

    // Horizontally the offset stays between 0 and the data width the rows area cannot show.
    scroll.SetLeftPos(-20);
    EXPECT_EQ(scroll.LeftPos(), 0);
    scroll.Scroll(false, TkvGridScrollCode::Bottom, 0);
    EXPECT_EQ(scroll.LeftPos(), std::max(0, layout.DataWidth() - layout.RowsAreaBounds().width()));
}

TEST(GridScrollController, WheelScrollsWholeNotchesAndKeepsTheRest)
{
    LedgerGrid grid = GridWithRecords(200);
    TkvGridScrollController &scroll = grid.View->Controller().ScrollController();
    scroll.SetTopRowIndex(50);
    // Half a notch does nothing; the second half completes it: three rows up.
    EXPECT_FALSE(scroll.MouseWheelDelta(QPoint(0, 60), QPoint(), TkvGridShiftState(), 3));
    EXPECT_EQ(scroll.TopRowIndex(), 50);
    EXPECT_TRUE(scroll.MouseWheelDelta(QPoint(0, 60), QPoint(), TkvGridShiftState(), 3));
    EXPECT_EQ(scroll.TopRowIndex(), 47);
    // Turning the other way drops the kept rest.
    EXPECT_FALSE(scroll.MouseWheelDelta(QPoint(0, 100), QPoint(), TkvGridShiftState(), 3));
    EXPECT_FALSE(scroll.MouseWheelDelta(QPoint(0, -100), QPoint(), TkvGridShiftState(), 3));
    EXPECT_EQ(scroll.TopRowIndex(), 47);
    EXPECT_TRUE(scroll.MouseWheelDelta(QPoint(0, -240), QPoint(), TkvGridShiftState(), 1));
    EXPECT_EQ(scroll.TopRowIndex(), 49);
}

TEST(GridScrollController, MakeRowVisibleScrollsAsLittleAsPossible)
{
    LedgerGrid grid = GridWithRecords(200);
    TkvGridScrollController &scroll = grid.View->Controller().ScrollController();
    const TkvGridTableViewInfo &layout = grid.View->ViewInfo();
    scroll.SetTopRowIndex(20);
    const int fit = layout.FullyVisibleRowCountFrom(20);
    scroll.MakeRowVisible(20 + fit - 1);
    EXPECT_EQ(scroll.TopRowIndex(), 20);
    scroll.MakeRowVisible(20 + fit);
    EXPECT_EQ(scroll.TopRowIndex(), 21);
    EXPECT_EQ(layout.LastFullyVisibleRowIndex(), 20 + fit);
    scroll.MakeRowVisible(5);
    EXPECT_EQ(scroll.TopRowIndex(), 5);
    scroll.MakeRowVisible(-1);
    EXPECT_EQ(scroll.TopRowIndex(), 5);
}

// The header, filter and keyboard controllers driven directly: sorting by a
// header click, the filter box buttons pressed and released, and the
// keyboard's moves of the focus.
#include "GridFilterTestGrid.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

TEST(GridHeaderControllerDirect, ClickSortTogglesTheOrderAndShiftKeepsTheOtherColumns)
{
    FilterGrid grid = MakeLedger();
    TkvGridHeaderController &header = grid.Ctl().HeaderController();
    EXPECT_EQ(header.State(), TkvGridHeaderState::None);
    header.ClickSort(grid.Amount, TkvGridShiftState());
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::Ascending);
    header.ClickSort(grid.Amount, TkvGridShiftState());
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::Descending);
    // Shift adds a column to the sort; a plain click on another column takes the sort alone.
    header.ClickSort(grid.Item, TkvGridShiftState{true, false, false});
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::Descending);
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::Ascending);
    header.ClickSort(grid.Remark, TkvGridShiftState());
    EXPECT_EQ(grid.Amount->SortOrder(), TkvGridSortMark::None);
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::None);
    EXPECT_EQ(grid.Remark->SortOrder(), TkvGridSortMark::Ascending);
    // Ctrl removes the column from the sort.
    header.ClickSort(grid.Remark, TkvGridShiftState{false, true, false});
    EXPECT_EQ(grid.Remark->SortOrder(), TkvGridSortMark::None);
    EXPECT_EQ(header.State(), TkvGridHeaderState::None);
}

TEST(GridFilterControllerDirect, FilterBoxButtonsClickOnlyWhenReleasedOnThemselves)
{
    FilterGrid grid = MakeLedger();
    grid.Choose(grid.Item, "工资");
    ASSERT_EQ(grid.VisibleRecords(), 2);
    TkvGridFilterController &filter = grid.Ctl().FilterController();
    const auto *check = grid.FilterBoxButton(TkvGridHitKind::FilterBoxActivateButton);
    ASSERT_NE(check, nullptr);
    const QPoint onCheck = check->Bounds.center();

    filter.FilterBoxMouseDown(TkvGridHitKind::FilterBoxActivateButton);
    EXPECT_EQ(filter.PressedFilterBoxButton(), TkvGridHitKind::FilterBoxActivateButton);
    // Released away from the button: nothing is clicked.
    filter.FilterBoxMouseUp(grid.View->ViewInfo().FilterBoxTextBounds().center());
    EXPECT_EQ(filter.PressedFilterBoxButton(), TkvGridHitKind::None);
    EXPECT_TRUE(grid.Filter().Active());

    filter.FilterBoxMouseDown(TkvGridHitKind::FilterBoxActivateButton);
    filter.FilterBoxMouseUp(onCheck);
    EXPECT_FALSE(grid.Filter().Active());
    EXPECT_EQ(grid.VisibleRecords(), 5);

    filter.FilterBoxButtonClick(TkvGridHitKind::FilterBoxActivateButton);
    EXPECT_TRUE(grid.Filter().Active());
    EXPECT_EQ(grid.VisibleRecords(), 2);
    filter.FilterBoxButtonClick(TkvGridHitKind::FilterBoxCloseButton);
    EXPECT_EQ(grid.VisibleRecords(), 5);
    EXPECT_TRUE(grid.View->ViewInfo().FilterBoxBounds().isNull());
}

TEST(GridKeyboardControllerDirect, MovesTheFocusByRowAndByCell)
{
    FilterGrid grid = MakeLedger();
    TkvGridKeyboardController &keyboard = grid.Ctl().KeyboardController();
    keyboard.GoToLast();
    EXPECT_EQ(grid.Ctl().FocusedRowIndex(), 4);
    keyboard.GoToFirst();
    EXPECT_EQ(grid.Ctl().FocusedRowIndex(), 0);
    EXPECT_TRUE(keyboard.FocusNextRow(0, true));
    EXPECT_EQ(grid.Ctl().FocusedRowIndex(), 1);
    EXPECT_TRUE(keyboard.FocusNextRow(1, false));
    EXPECT_EQ(grid.Ctl().FocusedRowIndex(), 0);

    grid.Ctl().SetFocusedItem(grid.Amount);
    EXPECT_TRUE(keyboard.FocusNextCell(true, true));
    EXPECT_EQ(grid.Ctl().FocusedItem(), grid.Item);
    EXPECT_EQ(grid.Ctl().FocusedRowIndex(), 0);
    keyboard.FocusFirstOrLastCell(true);
    EXPECT_EQ(grid.Ctl().FocusedItem(), grid.Amount);
    // Down arrow: the next row.
    EXPECT_TRUE(keyboard.KeyDown(TkvGridKey::Down, TkvGridShiftState()));
    EXPECT_EQ(grid.Ctl().FocusedRowIndex(), 1);
}

} // namespace

// Selecting several rows with keys and the mouse, the release that finishes
// a press on a selected row, leaving the grid, the cell click event and the
// view's navigator buttons.
#include "GridTestSource.h"

#include "data/ValueTypes.h"
#include "grid/GridDataControllerSource.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr TkvGridShiftState NoShift{};
constexpr TkvGridShiftState ShiftKey{true, false, false};
constexpr TkvGridShiftState Ctrl{false, true, false};
constexpr TkvGridShiftState CtrlShift{true, true, false};

struct SelectGrid {
    std::unique_ptr<TkvGridTableView> View;
    TkvGridColumn *Amount = nullptr;
    TkvGridColumn *Item = nullptr;
    TkvGridTableController &Controller() const { return View->Controller(); }
    TkvGridRowSource &Source() const { return View->DataController(); }
    //! The selected row indexes, "0 1 2".
    std::string Selected() const
    {
        std::string out;
        for (int i = 0; i < Source().RowCount(); ++i)
            if (Source().IsRowSelected(i))
                out += (out.empty() ? "" : " ") + std::to_string(i);
        return out;
    }
    QPoint CellCenter(int rowIndex, int visibleColumn = 1) const
    {
        const TkvGridRowViewInfo *row = View->ViewInfo().FindRow(rowIndex);
        return View->ViewInfo().Cells(*row)[std::size_t(visibleColumn)].Bounds.center();
    }
    void Click(int rowIndex, TkvGridShiftState shift, int visibleColumn = 1)
    {
        const QPoint point = CellCenter(rowIndex, visibleColumn);
        Controller().MouseDown(TkvGridMouseButton::Left, point, shift, false);
        Controller().MouseUp(TkvGridMouseButton::Left, point, shift);
    }
};

SelectGrid MakeSelectGrid(int count)
{
    SelectGrid grid;
    grid.View = MakeGridView<TkvGridTableView>();
    TkvGridTableView &view = *grid.View;
    view.BeginLoading();
    grid.Amount = view.CreateColumn("amount");
    grid.Item = view.CreateColumn("item");
    view.SetBounds(QRect(0, 0, 600, 400));
    TkvCustomDataController &controller = view.ControllerSource()->Controller();
    controller.ChangeValueTypeClass(0, TkvFloatValueType::Instance());
    controller.ChangeValueTypeClass(1, TkvWideStringValueType::Instance());
    view.EndLoading();
    controller.BeginBatch();
    controller.SetRecordCount(count);
    for (int i = 0; i < count; ++i) {
        controller.SetValue(i, 0, Variant(double(i)));
        controller.SetValue(i, 1, Variant(QString::number(i)));
    }
    controller.EndBatch();
    view.OptionsSelection().SetMultiSelect(true);
    view.SetFocused(true);
    return grid;
}

} // namespace

TEST(GridMultiSelect, ShiftWithMovesSelectsFromTheAnchorAndCtrlMovesKeepTheSelection)
{
    SelectGrid grid = MakeSelectGrid(20);
    TkvGridTableController &controller = grid.Controller();
    controller.SetFocusedRowIndex(3);
    controller.KeyDown(TkvGridKey::Down, NoShift); // plain move: the row alone, the anchor
    EXPECT_EQ(grid.Selected(), "4");
    controller.KeyDown(TkvGridKey::Down, ShiftKey);
    controller.KeyDown(TkvGridKey::Down, ShiftKey);
    EXPECT_EQ(grid.Selected(), "4 5 6");
    // Back past the anchor: the range turns round it and replaces the old one.
    for (int i = 0; i < 4; ++i)
        controller.KeyDown(TkvGridKey::Up, ShiftKey);
    EXPECT_EQ(grid.Selected(), "2 3 4");
    // Ctrl moves the focus and the anchor, not the selection; Ctrl+Space toggles the row.
    controller.KeyDown(TkvGridKey::Down, Ctrl);
    controller.KeyDown(TkvGridKey::Down, Ctrl);
    controller.KeyDown(TkvGridKey::Down, Ctrl);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 5);
    EXPECT_EQ(grid.Selected(), "2 3 4");
    EXPECT_TRUE(controller.KeyDown(TkvGridKey::Space, Ctrl));
    EXPECT_EQ(grid.Selected(), "2 3 4 5");
    // The space that Ctrl+Space types is dropped, once.
    EXPECT_TRUE(controller.SuppressNextCharacter());
    EXPECT_TRUE(controller.KeyPress(QChar(u' ')));
    EXPECT_FALSE(controller.SuppressNextCharacter());
    controller.KeyDown(TkvGridKey::Space, Ctrl);
    EXPECT_EQ(grid.Selected(), "2 3 4");
    controller.KeyPress(QChar(u' '));
    // Deselecting the anchor row dropped the anchor; a plain Space makes the row the anchor.
    controller.KeyDown(TkvGridKey::Space, NoShift);
    EXPECT_EQ(grid.Selected(), "5");
    // Shift+End from the anchor (row 5) to the last row; Ctrl+A selects every row.
    controller.KeyDown(TkvGridKey::End, CtrlShift);
    EXPECT_EQ(grid.Selected().substr(0, 9), "5 6 7 8 9");
    EXPECT_EQ(grid.Source().SelectedRowCount(), 15);
    EXPECT_TRUE(controller.KeyDown(TkvGridKey::A, Ctrl));
    EXPECT_EQ(grid.Source().SelectedRowCount(), 20);
    // A plain Page Up makes the focused row the only selected row.
    controller.KeyDown(TkvGridKey::PageUp, NoShift);
    EXPECT_EQ(grid.Source().SelectedRowCount(), 1);
    EXPECT_TRUE(grid.Source().IsRowSelected(grid.Source().FocusedRowIndex()));
}

TEST(GridMultiSelect, KeysDoNotSelectWithoutMultiSelectOrFocus)
{
    SelectGrid grid = MakeSelectGrid(10);
    grid.View->SetFocused(false);
    grid.Controller().SetFocusedRowIndex(2);
    grid.Controller().KeyDown(TkvGridKey::Down, ShiftKey);
    EXPECT_EQ(grid.Selected(), "");
    grid.View->SetFocused(true);
    grid.View->OptionsSelection().SetMultiSelect(false);
    grid.Controller().KeyDown(TkvGridKey::Down, ShiftKey);
    EXPECT_EQ(grid.Selected(), "4"); // single selection follows the focus
    EXPECT_TRUE(grid.Controller().KeyDown(TkvGridKey::A, Ctrl));
    EXPECT_EQ(grid.Selected(), "4");
}

TEST(GridMultiSelect, ShiftClickSelectsARangeAndCtrlClickTogglesOnRelease)
{
    SelectGrid grid = MakeSelectGrid(12);
    grid.Click(2, NoShift);
    EXPECT_EQ(grid.Selected(), "2");
    grid.Click(5, ShiftKey);
    EXPECT_EQ(grid.Selected(), "2 3 4 5");
    grid.Click(0, ShiftKey); // the anchor stays at the plain click
    EXPECT_EQ(grid.Selected(), "0 1 2");
    grid.Click(7, Ctrl);
    EXPECT_EQ(grid.Selected(), "0 1 2 7");
    grid.Click(9, CtrlShift); // from the new anchor, added
    EXPECT_EQ(grid.Selected(), "0 1 2 7 8 9");
    // Ctrl on a selected row deselects it only when the button comes up.
    TkvGridTableController &controller = grid.Controller();
    const QPoint one = grid.CellCenter(1);
    controller.MouseDown(TkvGridMouseButton::Left, one, Ctrl, false);
    EXPECT_EQ(grid.Selected(), "0 1 2 7 8 9");
    controller.MouseUp(TkvGridMouseButton::Left, one, Ctrl);
    EXPECT_EQ(grid.Selected(), "0 2 7 8 9");
    // A plain press on a selected row keeps the selection until the release makes it the only one.
    const QPoint eight = grid.CellCenter(8);
    controller.MouseDown(TkvGridMouseButton::Left, eight, NoShift, false);
    EXPECT_EQ(grid.Selected(), "0 2 7 8 9");
    controller.MouseUp(TkvGridMouseButton::Left, eight, NoShift);
    EXPECT_EQ(grid.Selected(), "8");
    // Released over another row, the deferred change is dropped.
    grid.Click(10, ShiftKey);
    controller.MouseDown(TkvGridMouseButton::Left, grid.CellCenter(9), NoShift, false);
    controller.MouseUp(TkvGridMouseButton::Left, grid.CellCenter(3), NoShift);
    EXPECT_EQ(grid.Selected(), "8 9 10");
}

TEST(GridMultiSelect, LeavingTheGridDeselectsALoneFocusedRow)
{
    SelectGrid grid = MakeSelectGrid(6);
    grid.Click(2, NoShift);
    grid.Controller().FocusExit();
    EXPECT_EQ(grid.Selected(), "");
    grid.Click(2, NoShift);
    grid.Click(4, ShiftKey);
    grid.Controller().FocusExit();
    EXPECT_EQ(grid.Selected(), "2 3 4");
    grid.Click(1, NoShift);
    grid.View->OptionsSelection().SetUnselectFocusedRecordOnExit(false);
    grid.Controller().FocusExit();
    EXPECT_EQ(grid.Selected(), "1");
}

TEST(GridMultiSelect, CellClickFiresOnReleaseWithTheCellAndItsHandledFlag)
{
    SelectGrid grid = MakeSelectGrid(6);
    std::vector<std::string> clicks;
    grid.View->OnCellClick = [&](TkvGridTableView *, const TkvGridCellViewInfo &cell,
                                 TkvGridMouseButton button, TkvGridShiftState shift, bool &handled) {
        clicks.push_back(cell.Text.toStdString() + (button == TkvGridMouseButton::Right ? "R" : "L") +
                         (shift.Ctrl ? "^" : ""));
        handled = true;
    };
    grid.Click(3, NoShift, 1);
    grid.Click(4, Ctrl, 0);
    const QPoint point = grid.CellCenter(2);
    grid.Controller().MouseDown(TkvGridMouseButton::Right, point, NoShift, false);
    grid.Controller().MouseUp(TkvGridMouseButton::Right, point, NoShift);
    ASSERT_EQ(clicks.size(), 3u);
    EXPECT_EQ(clicks[0], "3L");
    EXPECT_EQ(clicks[1], "4L^");
    EXPECT_EQ(clicks[2], "2R");
    // Released outside any cell: no click.
    grid.Controller().MouseUp(TkvGridMouseButton::Left, QPoint(590, 390), NoShift);
    EXPECT_EQ(clicks.size(), 3u);
}

TEST(GridMultiSelect, NavigatorButtonsMoveTheViewAndAskOnlyTheGridsQuestion)
{
    SelectGrid grid = MakeSelectGrid(5);
    TkvNavigatorControlButtons &buttons = grid.View->NavigatorButtons();
    EXPECT_FALSE(buttons.ConfirmDelete()); // the view switches it off
    grid.Controller().SetFocusedRowIndex(0);
    EXPECT_FALSE(buttons.IsButtonEnabled(nbPrior));
    EXPECT_TRUE(buttons.IsButtonEnabled(nbNext));
    buttons.ClickButton(nbNext);
    buttons.ClickButton(nbNext);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 2);
    buttons.ClickButton(nbLast);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 4);
    EXPECT_FALSE(buttons.IsButtonEnabled(nbNext));
    buttons.ClickButton(nbFirst);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 0);
    // A controller without a record set can neither insert nor delete: nothing is asked.
    TMessageBoxRecorder recorder;
    EXPECT_FALSE(buttons.IsButtonEnabled(nbDelete));
    buttons.ClickButton(nbDelete);
    EXPECT_TRUE(recorder.Boxes().isEmpty());
    EXPECT_FALSE(grid.Controller().DeleteWithConfirmation());
    EXPECT_EQ(grid.Source().RowCount(), 5);
}

TEST(GridPullFocusing, TheFocusFollowsTheHeldMouseAndScrollsPastTheRows)
{
    SelectGrid grid = MakeSelectGrid(100);
    TkvGridTableController &controller = grid.Controller();
    grid.View->OptionsSelection().SetMultiSelect(false);
    controller.MouseDown(TkvGridMouseButton::Left, grid.CellCenter(2), NoShift, false);
    controller.PullFocusingMove(grid.CellCenter(5));
    EXPECT_FALSE(controller.IsPullFocusing()); // the option is off
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 2);

    grid.View->OptionsBehavior().SetPullFocusing(true);
    controller.MouseDown(TkvGridMouseButton::Left, grid.CellCenter(2), NoShift, false);
    ASSERT_TRUE(controller.IsPullFocusing());
    controller.PullFocusingMove(grid.CellCenter(6));
    EXPECT_EQ(grid.Source().FocusedRowIndex(), 6);
    // Below the rows the view scrolls down a row per step, the focus on the last row shown.
    const QRect area = grid.View->ViewInfo().RowsAreaBounds();
    controller.PullFocusingMove(QPoint(100, area.bottom() + 5));
    EXPECT_EQ(controller.PullScrollDirection(), 1);
    controller.PullScrollStep();
    controller.PullScrollStep();
    EXPECT_EQ(controller.TopRowIndex(), 2);
    EXPECT_EQ(grid.Source().FocusedRowIndex(), grid.View->ViewInfo().LastFullyVisibleRowIndex());
    controller.MouseUp(TkvGridMouseButton::Left, QPoint(100, area.bottom() + 5), NoShift);
    EXPECT_FALSE(controller.IsPullFocusing());
    controller.PullScrollStep();
    EXPECT_EQ(controller.TopRowIndex(), 2);
}

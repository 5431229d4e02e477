// AlwaysShowEditor over a ledger file: the cell editor stands on the focused
// cell after every move of the focus, by key, by mouse and by the record set
// itself, always with the value of the record now focused; and without the
// option a move opens nothing.
#include "support/IncomeGridFixture.h"

#include "grid/GridSite.h"

#include <QApplication>
#include <QFocusEvent>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr TkvGridShiftState NoShift{};

class GridAlwaysShowEditorTest : public IncomeGridFixture {
protected:
    void SetUp() override
    {
        IncomeGridFixture::SetUp();
        if (HasFatalFailure())
            return;
        AddThreeIncomes();
    }

    void Open(bool alwaysShowEditor)
    {
        OpenGrid(QSize(800, 400), [&] { View->OptionsBehavior().SetAlwaysShowEditor(alwaysShowEditor); });
        View->SetFocused(true);
    }
    QPoint CellCenter(int rowIndex, TkvGridColumn *column) const
    {
        const TkvGridRowViewInfo *row = View->ViewInfo().FindRow(rowIndex);
        for (const TkvGridCellViewInfo &cell : View->ViewInfo().Cells(*row))
            if (cell.Item == column)
                return cell.Bounds.center();
        return {};
    }
    //! The editor is open on the column, laid over the cell of the focused row.
    bool EditorOn(TkvGridColumn *column) const
    {
        if (!Editor() || Editing().EditingItem() != column)
            return false;
        const TkvGridRowViewInfo *row = View->ViewInfo().FindRow(FocusedRow());
        for (const TkvGridCellViewInfo &cell : View->ViewInfo().Cells(*row))
            if (cell.Item == column)
                return Editing().EditorBounds() == cell.ContentBounds();
        return false;
    }
};

} // namespace

TEST_F(GridAlwaysShowEditorTest, KeysMoveTheEditorWithTheFocusAndItShowsTheNewRecordsValue)
{
    Open(true);
    Controller().SetFocusedRowIndex(0);
    Controller().SetFocusedItem(Item);
    ASSERT_TRUE(EditorOn(Item));
    EXPECT_EQ(EditorText(), "工资");
    EXPECT_EQ(Query.State(), dsBrowse); // showing is no edit
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(FocusedRow(), 1);
    ASSERT_TRUE(EditorOn(Item));
    EXPECT_EQ(EditorText(), "红包");
    // A changed value goes to its own record when the row changes.
    Type("x");
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(FocusedRow(), 2);
    EXPECT_EQ(StoredColumn(), "工资,x,奖金");
    ASSERT_TRUE(EditorOn(Item));
    EXPECT_EQ(EditorText(), "奖金");
    // A cell move by key: the editor follows to the new column.
    Controller().SetFocusedItem(Amount);
    ASSERT_TRUE(EditorOn(Amount));
    EXPECT_EQ(EditorText(), "7");
    // Home moves to the first cell (the amount already): Ctrl+Home to the first row.
    Controller().KeyDown(TkvGridKey::Home, TkvGridShiftState{false, true, false});
    EXPECT_EQ(FocusedRow(), 0);
    ASSERT_TRUE(EditorOn(Amount));
    EXPECT_EQ(EditorText(), "100");
    // Enter writes and shows the editor again; Esc drops and shows it again.
    Type("9");
    Press(Qt::Key_Return);
    ASSERT_TRUE(EditorOn(Amount));
    EXPECT_EQ(EditorText(), "9");
    Press(Qt::Key_Escape);
    EXPECT_TRUE(EditorOn(Amount));
}

TEST_F(GridAlwaysShowEditorTest, ClicksAndRecordSetMovesBringTheEditorAlong)
{
    Open(true);
    Controller().SetFocusedRowIndex(0);
    Controller().SetFocusedItem(Date);
    ASSERT_TRUE(EditorOn(Date));
    // A press on another row's cell: the editor stands there at once, with its value.
    const QPoint point = CellCenter(2, Item);
    Controller().MouseDown(TkvGridMouseButton::Left, point, NoShift, false);
    Controller().MouseUp(TkvGridMouseButton::Left, point, NoShift);
    EXPECT_EQ(FocusedRow(), 2);
    ASSERT_TRUE(EditorOn(Item));
    EXPECT_EQ(EditorText(), "奖金");
    // The record set moving (a navigator button) moves the editor's record too.
    Query.First();
    EXPECT_EQ(FocusedRow(), 0);
    ASSERT_TRUE(EditorOn(Item));
    EXPECT_EQ(EditorText(), "工资");
    // A grouped view: on a group row there is no cell, so no editor.
    Item->SetGroupIndex(0);
    View->ViewData().Expand(true);
    Controller().SetFocusedRowIndex(0);
    ASSERT_TRUE(View->ViewData().Records(0)->Expandable());
    ASSERT_EQ(FocusedRow(), 0);
    EXPECT_EQ(Editor(), nullptr);
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_TRUE(EditorOn(Item));
}

TEST_F(GridAlwaysShowEditorTest, TheGridTakingTheKeyboardFocusShowsTheEditor)
{
    Open(true);
    View->SetFocused(false);
    Controller().SetFocusedRowIndex(1);
    Controller().SetFocusedItem(Item);
    EXPECT_EQ(Editor(), nullptr); // not while the grid lacks the focus
    TkvGridSite *site = Grid.Site();
    ASSERT_NE(site, nullptr);
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(site, &in);
    ASSERT_TRUE(EditorOn(Item));
    EXPECT_EQ(EditorText(), "红包");
}

TEST_F(GridAlwaysShowEditorTest, WithoutTheOptionMovesOpenNoEditor)
{
    Open(false);
    Controller().SetFocusedRowIndex(0);
    Controller().SetFocusedItem(Item);
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    Query.First();
    EXPECT_EQ(Editor(), nullptr);
    // Enter opens it; a row change closes it again.
    Controller().KeyDown(TkvGridKey::Enter, NoShift);
    ASSERT_NE(Editor(), nullptr);
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(Editor(), nullptr);
}

// Guards: cells built between showing a column and the next layout read a width that layout had not made yet.
TEST_F(GridAlwaysShowEditorTest, AColumnShownWhileUpdatesAreHeldGetsItsEditorOnceLaidOut)
{
    OpenGrid(QSize(800, 400), [&] {
        View->OptionsBehavior().SetAlwaysShowEditor(true);
        for (TkvGridColumn *column : {Amount, Item, Date})
            column->SetVisible(false);
    });
    View->SetFocused(true);
    ASSERT_EQ(Controller().FocusedItem(), nullptr);
    View->BeginUpdate();
    Item->SetVisible(true); // takes the cell focus, and the editor comes with it
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().EditingItem(), Item);
    View->EndUpdate();
    EXPECT_TRUE(EditorOn(Item));
    EXPECT_EQ(EditorText(), "工资");
}

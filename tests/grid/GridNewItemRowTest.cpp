// The new-item row of the income grid over a ledger file: the keys that
// reach and leave it, an entry typed into it that is posted as a new row of
// the table, an entry left untouched that goes again, and the mouse.
#include "support/IncomeGridFixture.h"

#include "data/DataController.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridViewData.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr TkvGridShiftState NoShift{};

class GridNewItemRowTest : public IncomeGridFixture {
protected:
    void SetUp() override
    {
        IncomeGridFixture::SetUp();
        if (HasFatalFailure())
            return;
        AddThreeIncomes();
        OpenGrid(QSize(800, 400), [this] { View->OptionsView().SetNewItemRow(true); });
        View->SetFocused(true);
    }

    TkvCustomDataController &Data() const { return View->ControllerSource()->Controller(); }
    bool OnNewItemRow() const { return View->DataController().NewItemRowFocused(); }
    const TkvGridRowViewInfo *NewItemRowInfo() const
    {
        for (const TkvGridRowViewInfo &row : View->ViewInfo().Rows())
            if (row.IsNewItemRow)
                return &row;
        return nullptr;
    }
    std::string NewItemCellText(TkvGridColumn *column) const
    {
        if (const TkvGridRowViewInfo *row = NewItemRowInfo())
            for (const TkvGridCellViewInfo &cell : View->ViewInfo().Cells(*row))
                if (cell.Item == column)
                    return cell.Text.toStdString();
        return "<none>";
    }
    void Key(TkvGridKey key) { Controller().KeyDown(key, NoShift); }
};

} // namespace

TEST_F(GridNewItemRowTest, UpFromTheFirstRowReachesTheNewItemRowWithoutMovingTheRecordSet)
{
    Controller().SetFocusedRowIndex(1);
    Key(TkvGridKey::Up);
    EXPECT_EQ(FocusedRow(), 0);
    EXPECT_FALSE(OnNewItemRow());
    Key(TkvGridKey::Up);
    EXPECT_TRUE(OnNewItemRow());
    EXPECT_EQ(FocusedRow(), -1);
    EXPECT_EQ(Data().FocusedRecordIndex(), Data().NewItemRecordIndex());
    EXPECT_LT(Data().NewItemRecordIndex(), -1); // never taken for "no record"
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(FieldText("进帐人"), "工资"); // the record set stays on the row left
    ASSERT_NE(View->ViewData().NewItemRecord(), nullptr);
    EXPECT_TRUE(View->ViewData().NewItemRecord()->Focused());
    EXPECT_FALSE(View->ViewData().Records(0)->Focused());
    // Page Up stays; Down goes to the top row and moves the record set there.
    Key(TkvGridKey::PageUp);
    EXPECT_TRUE(OnNewItemRow());
    Key(TkvGridKey::Down);
    EXPECT_FALSE(OnNewItemRow());
    EXPECT_EQ(FocusedRow(), 0);
    EXPECT_EQ(FieldText("进帐人"), "工资");
    // Page Up from the first row reaches it too, Page Down leaves it.
    Key(TkvGridKey::PageUp);
    EXPECT_TRUE(OnNewItemRow());
    Key(TkvGridKey::PageDown);
    EXPECT_FALSE(OnNewItemRow());
    EXPECT_EQ(FocusedRow(), 0);
    // A scroll of the record set (a navigator button) takes the focus to its row.
    Key(TkvGridKey::Up);
    ASSERT_TRUE(OnNewItemRow());
    Query.Last();
    EXPECT_FALSE(OnNewItemRow());
    EXPECT_EQ(FocusedRow(), 2);
}

TEST_F(GridNewItemRowTest, AnEntryTypedIntoTheNewItemRowIsPostedAsANewRowWhenTheFocusLeaves)
{
    Key(TkvGridKey::Up);
    ASSERT_TRUE(OnNewItemRow());
    Controller().SetFocusedItem(Item);
    EXPECT_TRUE(Controller().KeyPress(QChar(u'x')));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(EditorText(), "x"); // an empty cell: no row's value shows through
    EXPECT_EQ(Query.State(), dsInsert);
    EXPECT_EQ(Data().RowCount(), 3); // no placeholder row among the rows
    EXPECT_TRUE(Data().IsEditingNewItem());
    Type(QString::fromUtf8("利息"));
    Press(Qt::Key_Return);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Query.State(), dsInsert);
    EXPECT_EQ(Data().GetDisplayText(Data().NewItemRecordIndex(), Item->Index()).toStdString(), "x利息");
    EXPECT_EQ(NewItemCellText(Item), "x利息"); // the row shows the entry's values
    EXPECT_EQ(StoredColumn(), "工资,红包,奖金");
    // Down posts the entry; the focus goes to the top row.
    Key(TkvGridKey::Down);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(StoredColumn(), "工资,红包,奖金,x利息");
    EXPECT_EQ(Data().RowCount(), 4);
    EXPECT_EQ(CellText(3, Item), "x利息");
    EXPECT_FALSE(OnNewItemRow());
    EXPECT_EQ(FocusedRow(), 0);
    EXPECT_EQ(FieldText("进帐人"), "工资");
    // Back on the new-item row, it is empty again.
    Key(TkvGridKey::Up);
    ASSERT_TRUE(OnNewItemRow());
    EXPECT_EQ(NewItemCellText(Item), "");
    Controller().KeyDown(TkvGridKey::Enter, NoShift);
    EXPECT_EQ(EditorText(), "");
}

TEST_F(GridNewItemRowTest, LeavingAnUntouchedEntryDropsItAndEscCancelsATypedOne)
{
    Key(TkvGridKey::Up);
    Controller().SetFocusedItem(Amount);
    Data().Edit(); // an entry begun, nothing typed
    ASSERT_EQ(Query.State(), dsInsert);
    Key(TkvGridKey::Down);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(Data().RowCount(), 3);
    EXPECT_EQ(RawValue(FPath, "select count(*) from gain"), "3");
    EXPECT_EQ(FocusedRow(), 0);

    // Esc in the editor drops the text; Esc at the grid cancels the entry, the row keeps the focus.
    Key(TkvGridKey::Up);
    Controller().SetFocusedItem(Item);
    Controller().KeyPress(QChar(u'z'));
    ASSERT_NE(Editor(), nullptr);
    Press(Qt::Key_Return);
    ASSERT_EQ(Query.State(), dsInsert);
    Key(TkvGridKey::Escape);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_TRUE(OnNewItemRow());
    EXPECT_EQ(NewItemCellText(Item), "");
    EXPECT_EQ(Data().RowCount(), 3);
    EXPECT_EQ(RawValue(FPath, "select count(*) from gain"), "3");
}

TEST_F(GridNewItemRowTest, TabPastTheLastCellPostsTheEntryAndTheNewItemRowKeepsTheFocus)
{
    View->OptionsBehavior().SetFocusCellOnTab(true);
    View->OptionsBehavior().SetFocusCellOnCycle(true);
    Amount->SetSortOrder(TkvGridSortMark::Ascending);
    Controller().SetFocusedRowIndex(0);
    Key(TkvGridKey::Up);
    ASSERT_TRUE(OnNewItemRow());
    Controller().SetFocusedItem(Amount);
    Controller().KeyPress(QChar(u'5'));
    ASSERT_NE(Editor(), nullptr);
    Press(Qt::Key_Return);
    Key(TkvGridKey::Tab);
    EXPECT_EQ(Controller().FocusedItem(), Item);
    Controller().KeyPress(QChar(u'q'));
    ASSERT_NE(Editor(), nullptr);
    Press(Qt::Key_Return);
    Controller().SetFocusedItem(Date);
    Key(TkvGridKey::Tab); // wraps: the entry is posted
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(StoredColumn(), "工资,红包,奖金,q");
    EXPECT_TRUE(OnNewItemRow());
    EXPECT_EQ(Controller().FocusedItem(), Amount);
    // Sorted by amount, the new entry stands first; the footer-less rows show it.
    EXPECT_EQ(Data().RowCount(), 4);
    EXPECT_EQ(CellText(0, Amount), "5");
    EXPECT_EQ(NewItemCellText(Amount), "");
    // Leaving the row for a row while sorted lands on the row asked for.
    Key(TkvGridKey::Down);
    EXPECT_EQ(FocusedRow(), 0);
    EXPECT_EQ(FieldText("进帐人"), "q");
}

TEST_F(GridNewItemRowTest, ClickingTheNewItemRowFocusesItAndTheReleaseOpensTheEditorOverIt)
{
    Controller().SetFocusedRowIndex(2);
    const TkvGridRowViewInfo *row = NewItemRowInfo();
    ASSERT_NE(row, nullptr);
    QRect cell;
    for (const TkvGridCellViewInfo &info : View->ViewInfo().Cells(*row))
        if (info.Item == Item)
            cell = info.Bounds;
    ASSERT_FALSE(cell.isEmpty());
    Controller().MouseDown(TkvGridMouseButton::Left, cell.center(), NoShift, false);
    EXPECT_TRUE(OnNewItemRow());
    EXPECT_EQ(Controller().FocusedItem(), Item);
    Controller().MouseUp(TkvGridMouseButton::Left, cell.center(), NoShift);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_TRUE(Editing().EditorBounds().intersects(cell)); // over the row, not parked off view
    Type("m");
    Press(Qt::Key_Return);
    // A click on a data row posts the entry and focuses the row clicked.
    const QRect second = View->ViewInfo().Cells(*View->ViewInfo().FindRow(1))[0].Bounds;
    Controller().MouseDown(TkvGridMouseButton::Left, second.center(), NoShift, false);
    EXPECT_EQ(StoredColumn(), "工资,红包,奖金,m");
    EXPECT_FALSE(OnNewItemRow());
    EXPECT_EQ(FocusedRow(), 1);
    EXPECT_EQ(FieldText("进帐人"), "红包");
}

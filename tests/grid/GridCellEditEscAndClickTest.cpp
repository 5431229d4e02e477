// The cell editor over a ledger file, where what it does with a key or a
// click decides whether an entry survives: the first Esc closes the editor
// and only a second one cancels the record, a text refused without a message
// keeps the focus on its row, OnCellClick can keep the editor shut, and a
// cell with edit buttons opens its editor on the press.
#include "support/IncomeGridFixture.h"

#include "editors/CustomEdit.h"
#include "grid/GridSite.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class GridCellEditEscAndClickTest : public IncomeGridFixture {
protected:
    void SetUp() override
    {
        IncomeGridFixture::SetUp();
        if (HasFatalFailure())
            return;
        AddThreeIncomes();
        OpenGrid();
        View->SetFocused(true);
    }

    void FocusCell(int rowIndex, TkvGridColumn *column)
    {
        Controller().SetFocusedRowIndex(rowIndex);
        Controller().SetFocusedItem(column);
    }
    QPoint CellCenter(int rowIndex, TkvGridColumn *column) const
    {
        if (const TkvGridRowViewInfo *row = View->ViewInfo().FindRow(rowIndex))
            for (const TkvGridCellViewInfo &cell : View->ViewInfo().Cells(*row))
                if (cell.Item == column)
                    return cell.Bounds.center();
        return {};
    }
    void Click(int rowIndex, TkvGridColumn *column)
    {
        const QPoint point = CellCenter(rowIndex, column);
        Controller().MouseDown(TkvGridMouseButton::Left, point, {}, false);
        Controller().MouseUp(TkvGridMouseButton::Left, point, {});
    }
    //! A key as the keyboard sends it to the grid site (not into an editor).
    void PressAtGrid(Qt::Key key) { QTest::keyClick(Grid.Site(), key); }
};

} // namespace

// Guards: the Esc the closing editor left unused travelled on to the grid and cancelled the record.
TEST_F(GridCellEditEscAndClickTest, FirstEscClosesTheEditorAndOnlyASecondEscCancelsTheRecord)
{
    FocusCell(0, Amount);
    Controller().KeyDown(TkvGridKey::Enter, {});
    ASSERT_NE(Editor(), nullptr);
    Type("5");
    Press(Qt::Key_Return); // written, the record stays in edit state
    ASSERT_EQ(Editor(), nullptr);
    ASSERT_EQ(Query.State(), dsEdit);
    PressAtGrid(Qt::Key_Return); // opens the editor again
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(EditorText(), "5");

    Press(Qt::Key_Escape); // nothing typed: the editor closes, the record keeps its change
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Query.State(), dsEdit);
    EXPECT_EQ(FieldText("本次进帐"), "5");

    PressAtGrid(Qt::Key_Escape); // now at the grid: the record's edit is cancelled
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(FieldText("本次进帐"), "100");
}

// Guards: Esc in the editor of a cell clicked right after the navigator's add removed the new record.
TEST_F(GridCellEditEscAndClickTest, EscInTheEditorOfANewRecordKeepsTheRecord)
{
    Query.Insert(); // the navigator's add
    ASSERT_EQ(Query.State(), dsInsert);
    ASSERT_EQ(View->DataController().RowCount(), 4);
    const int newRow = FocusedRow();
    Click(newRow, Item);
    ASSERT_NE(Editor(), nullptr);
    Press(Qt::Key_Escape);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Query.State(), dsInsert);
    EXPECT_EQ(View->DataController().RowCount(), 4);
    EXPECT_EQ(FocusedRow(), newRow);
    PressAtGrid(Qt::Key_Escape);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(View->DataController().RowCount(), 3);
}

// Guards: a write from inside the editor cleared ChangedSinceEntry, so the next Esc passed the editor by.
TEST_F(GridCellEditEscAndClickTest, AWriteFromInsideTheEditorClearsOnlyThePendingChange)
{
    FocusCell(1, Item);
    Controller().KeyDown(TkvGridKey::Enter, {});
    ASSERT_NE(Editor(), nullptr);
    Type("x");
    ASSERT_TRUE(Editor()->HasPendingChange());
    EXPECT_TRUE(Editing().PostCellValue());
    EXPECT_EQ(FieldText("进帐人"), "x");
    EXPECT_FALSE(Editor()->HasPendingChange());
    EXPECT_TRUE(Editor()->ChangedSinceEntry());
    // The Esc that follows belongs to the editor: it closes it, the written value stays.
    Press(Qt::Key_Escape);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Query.State(), dsEdit);
    EXPECT_EQ(FieldText("进帐人"), "x");
}

// Guards: a text refused without a message let the row move go ahead, the editor left over the new row.
TEST_F(GridCellEditEscAndClickTest, ATextRefusedWithoutAMessageKeepsTheFocusAndTheEditorOnItsRow)
{
    Item->GetProperties()->OnValidate = [](TkvCustomEdit *, QString &text, QString &errorText, bool &error) {
        if (text == "bad") {
            error = true;
            errorText.clear();
        }
    };
    FocusCell(0, Item);
    Controller().KeyDown(TkvGridKey::Enter, {});
    ASSERT_NE(Editor(), nullptr);
    Type("bad");
    Press(Qt::Key_Down);
    EXPECT_EQ(FocusedRow(), 0);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(EditorText(), "bad");
    EXPECT_EQ(FieldText("进帐人"), "工资");

    // A click on another row is a move as well.
    const QPoint point = CellCenter(2, Date);
    Controller().MouseDown(TkvGridMouseButton::Left, point, {}, false);
    EXPECT_EQ(FocusedRow(), 0);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().EditingItem(), Item);
    EXPECT_EQ(StoredColumn(), "工资,红包,奖金");

    // A text it takes goes to the record, and the move goes ahead.
    Editor()->SelectAll();
    Type("good");
    Press(Qt::Key_Down);
    EXPECT_EQ(FocusedRow(), 1);
    EXPECT_EQ(StoredColumn(), "good,红包,奖金");
}

// Guards: the editor opened on the release before OnCellClick ran, so handled came too late.
TEST_F(GridCellEditEscAndClickTest, OnCellClickThatHandlesTheClickKeepsTheEditorShut)
{
    int clicks = 0;
    View->OnCellClick = [&](TkvGridTableView *, const TkvGridCellViewInfo &cell, TkvGridMouseButton,
                            TkvGridShiftState, bool &handled) {
        ++clicks;
        handled = cell.Item == Item;
    };
    Click(1, Item);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(FocusedRow(), 1);
    EXPECT_EQ(Editor(), nullptr);
    Click(1, Date); // left unhandled: the editor opens
    EXPECT_EQ(clicks, 2);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().EditingItem(), Date);
}

// Guards: CellMouseDown was never called, so a cell showing edit buttons never opened its editor on the
// press.
TEST_F(GridCellEditEscAndClickTest, ACellWithEditButtonsOpensItsEditorOnThePress)
{
    Date->Options().SetShowEditButtons(isebAlways);
    FocusCell(0, Amount);
    const QPoint point = CellCenter(2, Date);
    Controller().MouseDown(TkvGridMouseButton::Left, point, {}, false);
    EXPECT_EQ(FocusedRow(), 2);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().EditingItem(), Date);
    Controller().MouseUp(TkvGridMouseButton::Left, point, {});
    EXPECT_EQ(Editing().EditingItem(), Date);
    // A cell without buttons still waits for the release.
    Press(Qt::Key_Escape);
    const QPoint item = CellCenter(1, Item);
    Controller().MouseDown(TkvGridMouseButton::Left, item, {}, false);
    EXPECT_EQ(Editor(), nullptr);
    Controller().MouseUp(TkvGridMouseButton::Left, item, {});
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().EditingItem(), Item);
}

// Guards: after a post that sorted the record elsewhere, the view named as previous row whatever row now
// stood at the old index.
TEST_F(GridCellEditEscAndClickTest, AfterAPostThatSortsTheRecordElsewhereThePreviousRowIsThatRecords)
{
    Amount->SetSortOrder(TkvGridSortMark::Ascending); // 7 奖金, 20.5 红包, 100 工资
    std::string log;
    auto item = [&](TkvCustomGridRecord *record) {
        return record ? record->DisplayText(Item->Index()).toStdString() : std::string("-");
    };
    View->OnFocusedRecordChanged = [&](TkvCustomGridTableView *, TkvCustomGridRecord *previous,
                                       TkvCustomGridRecord *focused, bool) {
        log += (log.empty() ? "" : " ") + item(previous) + ">" + item(focused);
    };
    FocusCell(0, Amount);
    log.clear();
    Controller().KeyDown(TkvGridKey::Enter, {});
    Type("500");
    Press(Qt::Key_Up); // posted: 奖金 sorts to the last row, then the focus goes one row up
    EXPECT_EQ(FocusedRow(), 1);
    EXPECT_EQ(StoredColumn("本次进帐"), "100.0,20.5,500.0");
    // Every notice names the record that had the focus before it, never the one that took its old row.
    EXPECT_EQ(log.find("红包>"), std::string::npos) << log;
    EXPECT_NE(log.find("奖金>工资"), std::string::npos) << log;
    View->OnFocusedRecordChanged =
        nullptr; // the log goes with this test; closing the query still moves the focus
}

// The grid's keyboard and mouse over a record set of a ledger file: moving
// to another row posts first, also when sorting or grouping moves the posted
// record; clicks while a record is edited; Insert, Delete with and without
// the question, Esc, leaving the grid; incremental search.
#include "GridTestSource.h"
#include "support/IncomeGridFixture.h"
#include "grid/GridEditingController.h"

#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "support/DbTestSupport.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridSite.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr TkvGridShiftState NoShift{};
constexpr TkvGridShiftState ShiftKey{true, false, false};
constexpr TkvGridShiftState Ctrl{false, true, false};

class GridKeysTest : public IncomeGridFixture {
protected:
    void SetUp() override
    {
        IncomeGridFixture::SetUp();
        if (HasFatalFailure())
            return;
        AddGain(10, "2006-07-01", "apple");
        AddGain(20, "2006-07-02", "banana");
        AddGain(30, "2006-07-03", "apricot");
        AddGain(40, "2006-07-04", "banana");
        OpenGrid(QSize(800, 400));
    }

    //! The amount of the record set's current row (the focused record).
    QString CurrentAmount() { return Query.FieldByName(QString::fromUtf8("本次进帐"))->AsString(); }
    QString CurrentItem() { return Query.FieldByName(QString::fromUtf8("进帐人"))->AsString(); }
    //! Puts the focused record into edit state with a new amount, as a bound editor does.
    void EditAmount(double amount)
    {
        Query.Edit();
        Query.FieldByName(QString::fromUtf8("本次进帐"))->SetAsFloat(amount);
    }
    std::string StoredAmounts()
    {
        return RawValue(FPath,
                        "select group_concat(本次进帐, ',') from (select 本次进帐 from gain order by 1)");
    }
    //! The amounts in row order, group rows as "[item]".
    std::string RowTexts() const
    {
        std::string out;
        TkvGridViewData &rows = View->ViewData();
        for (int i = 0; i < rows.RecordCount(); ++i) {
            TkvCustomGridRecord *row = rows.Records(i);
            if (!out.empty())
                out += ' ';
            out += row->HasCells() ? row->DisplayText(Amount->Index()).toStdString()
                                   : "[" + row->DisplayText(-1).toStdString() + "]";
        }
        return out;
    }
    QPoint CellCenter(int rowIndex, int visibleColumn) const
    {
        const TkvGridRowViewInfo *row = View->ViewInfo().FindRow(rowIndex);
        return View->ViewInfo().Cells(*row)[std::size_t(visibleColumn)].Bounds.center();
    }

};

} // namespace

TEST_F(GridKeysTest, DownWhileEditingASortedRecordMovesFromWhereThePostPutIt)
{
    // Regression: the row to move to was chosen before the post, so the focus landed on the
    // record that used to follow the edited one.
    Amount->SetSortOrder(TkvGridSortMark::Ascending);
    Controller().SetFocusedRowIndex(0);
    ASSERT_EQ(CurrentAmount().toStdString(), "10");
    EditAmount(25);
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(StoredAmounts(), "20.0,25.0,30.0,40.0");
    EXPECT_EQ(RowTexts(), "20 25 30 40");
    EXPECT_EQ(FocusedRow(), 2);
    EXPECT_EQ(CurrentAmount().toStdString(), "30");
    // Up from a record that sorts to the top lands before nothing: it stays on it.
    EditAmount(5);
    Controller().KeyDown(TkvGridKey::Up, NoShift);
    EXPECT_EQ(RowTexts(), "5 20 25 40");
    EXPECT_EQ(FocusedRow(), 0);
    EXPECT_EQ(CurrentAmount().toStdString(), "5");
}

TEST_F(GridKeysTest, DownWhileEditingAGroupedRecordMovesFromWhereThePostPutIt)
{
    Amount->SetSortOrder(TkvGridSortMark::Ascending);
    Item->SetGroupIndex(0);
    View->ViewData().Expand(true);
    ASSERT_EQ(RowTexts(), "[apple] 10 [apricot] 30 [banana] 20 40");
    Controller().SetFocusedRowIndex(5); // banana 20
    EditAmount(45);
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(RowTexts(), "[apple] 10 [apricot] 30 [banana] 40 45");
    // 45 is the last row now: there is no row after it to go to.
    EXPECT_EQ(FocusedRow(), 6);
    EXPECT_EQ(CurrentAmount().toStdString(), "45");
    // From the last record of a group, Down reaches the next group's row.
    Controller().SetFocusedRowIndex(1); // apple 10
    EditAmount(11);
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(FocusedRow(), 2);
    EXPECT_EQ(RowTexts(), "[apple] 11 [apricot] 30 [banana] 40 45");
    Controller().SetFocusedRowIndex(6); // banana 45
    EditAmount(39);
    Controller().KeyDown(TkvGridKey::Up, NoShift);
    EXPECT_EQ(RowTexts(), "[apple] 11 [apricot] 30 [banana] 39 40");
    EXPECT_EQ(FocusedRow(), 4); // the banana group row above 39
    EXPECT_EQ(StoredAmounts(), "11.0,30.0,39.0,40.0");
}

TEST_F(GridKeysTest, ClickingAnotherRowWhileEditingFocusesTheClickedRecordAndCell)
{
    Amount->SetSortOrder(TkvGridSortMark::Ascending);
    Controller().SetFocusedRowIndex(0);
    EditAmount(35);
    // Row 2 shows 30; after the post it stands on row 1.
    Controller().MouseDown(TkvGridMouseButton::Left, CellCenter(2, 2), NoShift, false);
    EXPECT_EQ(RowTexts(), "20 30 35 40");
    EXPECT_EQ(CurrentAmount().toStdString(), "30");
    EXPECT_EQ(FocusedRow(), 1);
    EXPECT_EQ(Controller().FocusedItem(), Date);
    // A double click while editing, grouped: the clicked group row is focused and toggled.
    Item->SetGroupIndex(0);
    View->ViewData().Expand(true);
    ASSERT_EQ(RowTexts(), "[apple] 35 [apricot] 30 [banana] 20 40");
    Controller().SetFocusedRowIndex(6); // banana 40
    EditAmount(1);
    const QPoint apricotGroup(300, View->ViewInfo().FindRow(2)->Bounds.center().y());
    Controller().MouseDown(TkvGridMouseButton::Left, apricotGroup, NoShift, true);
    EXPECT_EQ(StoredAmounts(), "1.0,20.0,30.0,35.0");
    EXPECT_EQ(RowTexts(), "[apple] 35 [apricot] [banana] 1 20");
    EXPECT_EQ(FocusedRow(), 2);
    // Clicking a data row while editing, grouped: the clicked record and cell take the focus.
    Controller().SetFocusedRowIndex(4); // banana 1
    EditAmount(25);
    Controller().MouseDown(TkvGridMouseButton::Left, CellCenter(1, 1), NoShift, false); // apple 35
    EXPECT_EQ(RowTexts(), "[apple] 35 [apricot] [banana] 20 25");
    EXPECT_EQ(CurrentAmount().toStdString(), "35");
    EXPECT_EQ(FocusedRow(), 1);
    EXPECT_EQ(Controller().FocusedItem(), Item);
}

TEST_F(GridKeysTest, InsertStartsARecordBeforeTheFocusedOneAndMovingOffAnUntouchedOneDropsIt)
{
    Controller().SetFocusedRowIndex(1);
    Controller().KeyDown(TkvGridKey::Insert, NoShift);
    ASSERT_EQ(Query.State(), dsInsert);
    EXPECT_EQ(View->DataController().RowCount(), 5);
    EXPECT_EQ(FocusedRow(), 1);
    // Down from the untouched new record: it goes, the focus is on the row that followed it.
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(View->DataController().RowCount(), 4);
    EXPECT_EQ(CurrentAmount().toStdString(), "20");
    EXPECT_EQ(StoredAmounts(), "10.0,20.0,30.0,40.0");
    // A new record with a value is posted by the move.
    Controller().KeyDown(TkvGridKey::Insert, NoShift);
    EditAmount(15);
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(StoredAmounts(), "10.0,15.0,20.0,30.0,40.0");
    // Esc cancels an edit at the grid.
    EditAmount(99);
    EXPECT_TRUE(Controller().KeyDown(TkvGridKey::Escape, NoShift));
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(StoredAmounts(), "10.0,15.0,20.0,30.0,40.0");
    EXPECT_FALSE(Controller().KeyDown(TkvGridKey::Escape, NoShift)); // nothing to cancel
    // Without the option Insert does nothing; Down on the last row appends only with Appending.
    View->OptionsData().SetInserting(false);
    EXPECT_FALSE(Controller().KeyDown(TkvGridKey::Insert, NoShift));
    EXPECT_EQ(Query.State(), dsBrowse);
    Controller().KeyDown(TkvGridKey::End, Ctrl);
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(Query.State(), dsBrowse);
    View->OptionsData().SetAppending(true);
    Controller().KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_EQ(Query.State(), dsInsert);
    EXPECT_EQ(FocusedRow(), 5);
    // Up from an untouched appended record (the last row) drops it.
    Controller().KeyDown(TkvGridKey::Up, NoShift);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(View->DataController().RowCount(), 5);
}

TEST_F(GridKeysTest, LeavingTheGridDropsAnUntouchedNewRecordAndKeepsATouchedOne)
{
    Controller().SetFocusedRowIndex(2);
    Controller().KeyDown(TkvGridKey::Insert, NoShift);
    ASSERT_EQ(Query.State(), dsInsert);
    Controller().FocusExit();
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(View->DataController().RowCount(), 4);
    EXPECT_EQ(StoredAmounts(), "10.0,20.0,30.0,40.0");

    Controller().KeyDown(TkvGridKey::Insert, NoShift);
    EditAmount(12);
    Controller().FocusExit();
    EXPECT_EQ(Query.State(), dsInsert); // it stays for the navigator's save
    EXPECT_EQ(CurrentAmount().toStdString(), "12");
    Query.Post();
    EXPECT_EQ(StoredAmounts(), "10.0,12.0,20.0,30.0,40.0");

    // Without CancelOnExit an untouched new record survives leaving the grid.
    View->OptionsData().SetCancelOnExit(false);
    Controller().KeyDown(TkvGridKey::Insert, NoShift);
    Controller().FocusExit();
    EXPECT_EQ(Query.State(), dsInsert);
    Query.Cancel();
}

TEST_F(GridKeysTest, DeleteAsksFirstAndCancelKeepsTheRecord)
{
    Controller().SetFocusedRowIndex(1);
    {
        QStringList asked;
        const TMessageBoxHook previous = SetMessageBoxHook([&](const TMessageBoxRequest &request) {
            asked << request.Caption + "|" + request.Text + "|" + request.Buttons.join(",");
            EXPECT_EQ(request.Icon, miQuestion);
            return 1; // Cancel
        });
        EXPECT_TRUE(Controller().KeyDown(TkvGridKey::Delete, NoShift));
        SetMessageBoxHook(previous);
        EXPECT_EQ(asked.join(";").toStdString(), "确定|删除纪录?|确定,取消");
    }
    EXPECT_EQ(StoredAmounts(), "10.0,20.0,30.0,40.0");

    TMessageBoxRecorder recorder; // answers OK
    EXPECT_TRUE(Controller().KeyDown(TkvGridKey::Delete, Ctrl));
    EXPECT_EQ(recorder.Boxes().join(";").toStdString(), "确定|删除纪录?");
    EXPECT_EQ(StoredAmounts(), "10.0,30.0,40.0");
    EXPECT_EQ(View->DataController().RowCount(), 3);
    // Shift+Delete is not the grid's.
    EXPECT_FALSE(Controller().KeyDown(TkvGridKey::Delete, ShiftKey));

    // Without the question the record goes at once; without Deleting the key is left alone.
    recorder.Clear();
    View->OptionsData().SetDeletingConfirmation(false);
    Controller().KeyDown(TkvGridKey::Delete, NoShift);
    EXPECT_TRUE(recorder.Boxes().isEmpty());
    EXPECT_EQ(View->DataController().RowCount(), 2);
    View->OptionsData().SetDeleting(false);
    EXPECT_FALSE(Controller().KeyDown(TkvGridKey::Delete, NoShift));
    EXPECT_EQ(View->DataController().RowCount(), 2);
}

TEST_F(GridKeysTest, DeletingSeveralSelectedRowsAsksForAllOfThem)
{
    View->OptionsSelection().SetMultiSelect(true);
    View->SetFocused(true);
    Controller().SetFocusedRowIndex(0);
    Controller().KeyDown(TkvGridKey::Down, ShiftKey);
    Controller().KeyDown(TkvGridKey::Down, ShiftKey);
    ASSERT_EQ(View->DataController().SelectedRowCount(), 3);
    TMessageBoxRecorder recorder;
    Controller().KeyDown(TkvGridKey::Delete, NoShift);
    EXPECT_EQ(recorder.Boxes().join(";").toStdString(), "确定|删除所有选择纪录?");
    EXPECT_EQ(StoredAmounts(), "40.0");
    // One selected row that is the focused row is a single record.
    recorder.Clear();
    Controller().SetFocusedRowIndex(0);
    Controller().KeyDown(TkvGridKey::Home, Ctrl);
    ASSERT_EQ(View->DataController().SelectedRowCount(), 1);
    Controller().KeyDown(TkvGridKey::Delete, NoShift);
    EXPECT_EQ(recorder.Boxes().join(";").toStdString(), "确定|删除纪录?");
    EXPECT_EQ(View->DataController().RowCount(), 0);
}

TEST_F(GridKeysTest, TypingSearchesTheFocusedColumnAndBackspaceAndEscEditTheSearch)
{
    View->OptionsBehavior().SetIncSearch(true);
    Controller().SetFocusedRowIndex(0);
    Controller().SetFocusedItem(Item);
    TkvGridRowSource &source = View->DataController();
    EXPECT_TRUE(Controller().KeyPress(QChar(u'a')));
    EXPECT_TRUE(Controller().KeyPress(QChar(u'P')));
    EXPECT_EQ(CurrentItem().toStdString(), "apple");
    Controller().KeyPress(QChar(u'r'));
    EXPECT_EQ(CurrentItem().toStdString(), "apricot");
    EXPECT_EQ(source.IncSearchText().toStdString(), "aPr");
    // A character that matches nothing keeps the text and the row.
    Controller().KeyPress(QChar(u'x'));
    EXPECT_EQ(source.IncSearchText().toStdString(), "aPr");
    EXPECT_TRUE(Controller().KeyDown(TkvGridKey::Backspace, NoShift));
    EXPECT_EQ(source.IncSearchText().toStdString(), "aP");
    EXPECT_EQ(CurrentItem().toStdString(), "apricot");
    // Ctrl+Up and Ctrl+Down go to the previous and next match of the same text.
    EXPECT_TRUE(Controller().KeyDown(TkvGridKey::Up, Ctrl));
    EXPECT_EQ(CurrentItem().toStdString(), "apple");
    EXPECT_TRUE(Controller().KeyDown(TkvGridKey::Down, Ctrl));
    EXPECT_EQ(CurrentItem().toStdString(), "apricot");
    EXPECT_TRUE(source.IsIncSearching());
    // Esc ends the search and nothing else.
    EXPECT_TRUE(Controller().KeyDown(TkvGridKey::Escape, NoShift));
    EXPECT_FALSE(source.IsIncSearching());
    EXPECT_EQ(CurrentItem().toStdString(), "apricot");
    // Backspace down to nothing ends it too; a move ends it.
    Controller().KeyPress(QChar(u'b'));
    EXPECT_EQ(CurrentItem().toStdString(), "banana");
    Controller().KeyDown(TkvGridKey::Backspace, NoShift);
    EXPECT_FALSE(source.IsIncSearching());
    Controller().KeyPress(QChar(u'b'));
    ASSERT_TRUE(source.IsIncSearching());
    Controller().KeyDown(TkvGridKey::Up, NoShift);
    EXPECT_FALSE(source.IsIncSearching());
    // No search while the record is edited, nor in a column that does not search: the
    // character goes on to the focused row, whose cell editor takes it.
    EditAmount(11);
    Controller().KeyPress(QChar(u'a'));
    EXPECT_FALSE(source.IsIncSearching());
    Controller().EditingController().CloseCellEditor(false);
    Query.Cancel();
    Item->Options().SetIncSearch(false);
    Controller().KeyPress(QChar(u'a'));
    EXPECT_FALSE(source.IsIncSearching());
    Controller().EditingController().CloseCellEditor(false);
}

TEST_F(GridKeysTest, KeysTypedIntoTheSiteSearchAndLeavingItDropsANewRecord)
{
    View->OptionsBehavior().SetIncSearch(true);
    Controller().SetFocusedRowIndex(0);
    Controller().SetFocusedItem(Item);
    TkvGridSite *site = Grid.Site();
    ASSERT_NE(site, nullptr);
    std::string seenByView;
    View->OnKeyDown = [&](TkvGridTableView *, TkvGridKey &key, TkvGridShiftState) {
        seenByView += "k";
        if (key == TkvGridKey::End)
            key = TkvGridKey::None; // the view's handler takes End
    };
    QTest::keyClick(site, Qt::Key_B);
    QTest::keyClick(site, Qt::Key_A);
    EXPECT_EQ(CurrentItem().toStdString(), "banana");
    QTest::keyClick(site, Qt::Key_Backspace);
    EXPECT_EQ(View->DataController().IncSearchText().toStdString(), "b");
    QTest::keyClick(site, Qt::Key_Escape);
    EXPECT_FALSE(View->DataController().IsIncSearching());
    QTest::keyClick(site, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(CurrentItem().toStdString(), "banana"); // not moved: the view took the key
    EXPECT_EQ(seenByView, "kkkk");                    // A, Backspace, Esc, End: the keys the grid knows

    QTest::keyClick(site, Qt::Key_Insert);
    ASSERT_EQ(Query.State(), dsInsert);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(site, &out);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(View->DataController().RowCount(), 4);
}

TEST(GridNewItemRowKeys, UpAndPageUpFromTheFirstRowReachTheNewItemRowAndDownLeavesIt)
{
    std::vector<std::vector<QString>> records;
    for (int i = 0; i < 30; ++i)
        records.push_back({QString::number(i), "x", "", ""});
    LedgerGrid grid = MakeLedgerGrid(true, records);
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    TkvGridTableController &controller = view.Controller();
    GridTestSource &source = grid.Source();
    controller.SetFocusedRowIndex(1);
    // Without the row, Up stops at the first row.
    controller.KeyDown(TkvGridKey::Up, NoShift);
    controller.KeyDown(TkvGridKey::Up, NoShift);
    EXPECT_EQ(source.FocusedRowIndex(), 0);
    EXPECT_FALSE(source.NewItemRowFocused());

    view.OptionsView().SetNewItemRow(true);
    controller.SetFocusedRowIndex(1);
    controller.KeyDown(TkvGridKey::Up, NoShift);
    EXPECT_EQ(source.FocusedRowIndex(), 0);
    EXPECT_TRUE(controller.KeyDown(TkvGridKey::Up, NoShift));
    EXPECT_TRUE(source.NewItemRowFocused());
    // On the new-item row Left and Right move between its cells; Page Up stays there.
    controller.SetFocusedItem(grid.Amount);
    EXPECT_TRUE(controller.KeyDown(TkvGridKey::Right, NoShift));
    EXPECT_EQ(controller.FocusedItem(), grid.Item);
    EXPECT_TRUE(controller.KeyDown(TkvGridKey::PageUp, NoShift));
    EXPECT_TRUE(source.NewItemRowFocused());
    // Down (and Page Down) go to the top row shown.
    controller.KeyDown(TkvGridKey::Down, NoShift);
    EXPECT_FALSE(source.NewItemRowFocused());
    EXPECT_EQ(source.FocusedRowIndex(), 0);
    EXPECT_TRUE(controller.KeyDown(TkvGridKey::PageUp, NoShift)); // from the first row: the new-item row
    EXPECT_TRUE(source.NewItemRowFocused());
    controller.SetTopRowIndex(5);
    controller.KeyDown(TkvGridKey::PageDown, NoShift);
    EXPECT_FALSE(source.NewItemRowFocused());
    EXPECT_EQ(source.FocusedRowIndex(), 5);
    // From a row with rows above, Page Up pages as usual.
    controller.KeyDown(TkvGridKey::Down, NoShift);
    controller.KeyDown(TkvGridKey::PageUp, NoShift);
    EXPECT_FALSE(source.NewItemRowFocused());
    EXPECT_EQ(source.FocusedRowIndex(), 5);
}

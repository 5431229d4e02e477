// The record-set controller's modes over a real ledger file: grid mode (only
// the buffer window held), key fields, smart refresh, lookups, and providers
// that share a record set.
#include "IncomeControllerFixture.h"
#include "data/DbDataController.h"
#include "data/DataControllerGroups.h"
#include "db/DbTestSupport.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class DbDataModesTest : public test::IncomeControllerFixture {
protected:
    void SetUp() override
    {
        IncomeControllerFixture::SetUp();
        if (HasFatalFailure())
            return;
        const char *items[] = {"工资", "红包", "利息", "奖金", "稿费",
                               "租金", "分红", "退税", "补贴", "礼金"};
        for (int i = 0; i < 10; ++i) {
            const std::string date = "2024-01-" + std::string(i < 9 ? "0" : "") + std::to_string(i + 1);
            AddGain(10.0 * (i + 1), date.c_str(), items[i]);
        }
        BindIncome("select * from gain order by 进帐时间");
    }

    //! The item column of the rows, "*" marking the focused one.
    std::string Rows(TkvCustomDataController &controller, int item = 2)
    {
        std::string text;
        for (int r = 0; r < controller.RowCount(); ++r) {
            if (r)
                text += ",";
            if (r == controller.FocusedRowIndex())
                text += "*";
            const TkvRowInfo row = controller.GetRowInfo(r);
            text += row.IsGroupRow ? "+" : "";
            text += controller.GetDisplayText(row.RecordIndex, item).toStdString();
        }
        return text;
    }
    std::string Rows() { return Rows(Controller); }

    std::string Current() { return Query.FieldByName("进帐人")->AsString().toStdString(); }

    //! The items of the selected records, in record order.
    std::string Selected()
    {
        std::string text;
        for (const int record : Controller.Selection().RecordIndexes())
            text += (text.empty() ? "" : ",") + Controller.GetDisplayText(record, 2).toStdString();
        return text;
    }
};

// ---------------------------------------------------------------------------
// Grid mode

TEST_F(DbDataModesTest, GridModeHoldsTheBufferWindowAndReadsValuesFromTheRecordSet)
{
    Controller.DataModeController().SetGridModeBufferCount(4);
    Controller.DataModeController().SetGridMode(true);
    Query.Open();
    ASSERT_TRUE(Controller.DBProvider().IsGridMode());
    EXPECT_EQ(Rows(), "*工资,红包,利息,奖金");
    EXPECT_EQ(Controller.GetValue(2, 0).toDouble(), 30.0);
    // The items take no room: only the row number of each record is kept.
    EXPECT_EQ(Controller.GetItemField(0)->ValueDef()->BufferSize(), 0);
    ASSERT_NE(Controller.RecordNumberField(), nullptr);
    EXPECT_EQ(Controller.GetFieldValue(3, Controller.RecordNumberField()).toInt32(), 4);
    // Values written to the controller are ignored; the record set holds them.
    Controller.SetValue(0, 2, Variant::fromUtf8("改"));
    EXPECT_EQ(Controller.GetDisplayText(0, 2).toStdString(), "工资");

    Controller.GotoLast(); // the record set moves; the window follows it
    EXPECT_EQ(Current(), "礼金");
    EXPECT_EQ(Rows(), "分红,退税,补贴,*礼金");
    EXPECT_TRUE(Controller.IsEOF());
    EXPECT_FALSE(Controller.IsBOF());
    EXPECT_EQ(Controller.RecordCount(), 4);
    EXPECT_EQ(Controller.GetFieldValue(0, Controller.RecordNumberField()).toInt32(), 7);
    Controller.ShiftCursor(-5);
    EXPECT_EQ(Current(), "稿费");
    EXPECT_EQ(Rows(), "*稿费,租金,分红,退税");
    Controller.GotoPrev();
    EXPECT_EQ(Current(), "奖金");
    Controller.GotoFirst();
    EXPECT_TRUE(Controller.IsBOF());
    EXPECT_EQ(Rows(), "*工资,红包,利息,奖金");

    // Focusing a row of the window moves the record set there.
    Controller.ChangeFocusedRowIndex(2);
    EXPECT_EQ(Current(), "利息");
    // Typed values show before the post: they are read from the record set.
    Query.Edit();
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("存款利息"));
    EXPECT_EQ(Controller.GetDisplayText(2, 2).toStdString(), "存款利息");
    Query.Post();
    EXPECT_EQ(Rows(), "工资,红包,*存款利息,奖金");
}

TEST_F(DbDataModesTest, GridModeShowsAPendingInsertInItsPlace)
{
    Controller.DataModeController().SetGridModeBufferCount(3);
    Controller.DataModeController().SetGridMode(true);
    Query.Open();
    Query.Next();
    Controller.Insert(); // before 红包
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("新"));
    EXPECT_EQ(Rows(), "工资,*新,红包");
    EXPECT_TRUE(Controller.IsEditing());
    Controller.Cancel();
    EXPECT_EQ(Rows(), "工资,*红包,利息");
}

TEST_F(DbDataModesTest, GridModeLocateAndSearchAreDoneByTheRecordSet)
{
    Controller.DataModeController().SetGridModeBufferCount(3);
    Controller.DataModeController().SetGridMode(true);
    Query.Open();
    // A row far outside the window.
    EXPECT_TRUE(Controller.Locate(2, QString::fromUtf8("补")));
    EXPECT_EQ(Current(), "补贴");
    EXPECT_EQ(Controller.IncrementalSearchText().toStdString(), "补");
    EXPECT_EQ(Controller.GetDisplayText(Controller.FocusedRecordIndex(), 2).toStdString(), "补贴");
    // A search wraps round to the rows before the current one.
    EXPECT_TRUE(Controller.Locate(0, "2"));
    EXPECT_EQ(Current(), "红包");
    EXPECT_FALSE(Controller.LocateNext(true)); // 20 is the only amount starting with 2
    EXPECT_EQ(Current(), "红包");
    EXPECT_TRUE(Controller.Locate(0, "1"));
    EXPECT_EQ(Current(), "礼金"); // 100: from 红包 on, before wrapping to 工资
    EXPECT_FALSE(Controller.LocateNext(true));
    EXPECT_TRUE(Controller.LocateNext(false));
    EXPECT_EQ(Current(), "工资");
    EXPECT_FALSE(Controller.Locate(2, QString::fromUtf8("无此项")));
    EXPECT_EQ(Current(), "工资");
}

TEST_F(DbDataModesTest, TogglingGridModeReloadsTheRows)
{
    Query.Open();
    Query.MoveBy(4);
    ASSERT_EQ(Controller.RowCount(), 10);
    Controller.DataModeController().SetGridModeBufferCount(3);
    Controller.DataModeController().SetGridMode(true);
    EXPECT_EQ(Rows(), "*稿费,租金,分红"); // the link's window starts at its row
    EXPECT_EQ(Controller.Storage().CheckConsistency(), "");
    Controller.DataModeController().SetGridMode(false);
    EXPECT_EQ(Controller.RowCount(), 10);
    EXPECT_EQ(Controller.FocusedRecordIndex(), 4);
    EXPECT_EQ(Controller.RecordNumberField(), nullptr);
    EXPECT_EQ(Controller.GetValue(9, 0).toDouble(), 100.0);
    EXPECT_EQ(Controller.Storage().CheckConsistency(), "");
}

TEST_F(DbDataModesTest, GroupingSwitchesGridModeOffWhileItLasts)
{
    Controller.DataModeController().SetGridModeBufferCount(3);
    Controller.DataModeController().SetGridMode(true);
    Query.Open();
    ASSERT_EQ(Controller.RecordCount(), 3);
    DataGroupsOf(Controller)->PlaceInGrouping(0, 0); // by amount: every record is needed
    EXPECT_FALSE(Controller.DBProvider().IsGridMode());
    EXPECT_EQ(Controller.RecordCount(), 10);
    EXPECT_EQ(Controller.RowCount(), 11); // ten groups, the focused one expanded
    EXPECT_EQ(Controller.GetValue(9, 0).toDouble(), 100.0);
    DataGroupsOf(Controller)->PlaceInGrouping(0, -1);
    EXPECT_TRUE(Controller.DBProvider().IsGridMode());
    EXPECT_EQ(Controller.RecordCount(), 3);
    EXPECT_EQ(Rows(), "*工资,红包,利息");
}

TEST_F(DbDataModesTest, SelectedRowsAreKeptByBookmarkOnlyInGridMode)
{
    Controller.SetMultiSelect(true);
    Query.Open();
    try {
        Controller.GetSelectedBookmark(0);
        FAIL() << "a bookmark outside grid mode";
    } catch (const EkvInvalidDataControllerOperation &error) {
        EXPECT_STREQ(error.what(), "DataController not in GridMode");
    }
    EXPECT_THROW(Controller.SelectionAnchorBookmark(), EkvInvalidDataControllerOperation);

    Controller.DataModeController().SetGridModeBufferCount(3);
    Controller.DataModeController().SetGridMode(true);
    Controller.ChangeRowSelection(1, true); // 红包
    Controller.Selection().SetAnchorRowIndex(1);
    Controller.ChangeRowSelection(1, true);
    ASSERT_EQ(Controller.SelectedBookmarkCount(), 1);
    const TBookmark redPacket = Controller.GetSelectedBookmark(0);
    EXPECT_EQ(Controller.SelectionAnchorBookmark(), redPacket);
    Controller.GotoLast(); // 红包 leaves the window and stays selected
    EXPECT_EQ(Controller.SelectedRowCount(), 0);
    EXPECT_EQ(Controller.SelectedBookmarkCount(), 1);
    Controller.ChangeRowSelection(2, true); // 礼金
    EXPECT_EQ(Controller.SelectedBookmarkCount(), 2);
    Controller.GotoFirst();
    EXPECT_EQ(Selected(), "红包");
    EXPECT_EQ(Controller.Selection().AnchorRowIndex(), 1);
    Query.GotoBookmark(Controller.GetSelectedBookmark(1));
    EXPECT_EQ(Current(), "礼金");

    // Deleting the window's selected rows deletes those rows of the record set.
    Controller.GotoLast();
    Controller.ChangeRowSelection(0, true); // 退税, beside 礼金 selected before
    Controller.DeleteSelection();
    EXPECT_EQ(Rows(), "租金,分红,*补贴");
    EXPECT_EQ(Query.RecordCount(), 8);
}

// ---------------------------------------------------------------------------
// Key fields

TEST_F(DbDataModesTest, KeyFieldsAreLoadedWithTheRecordsAndMoveTheRecordSetByKey)
{
    Controller.SetKeyFieldNames("id");
    Query.Open();
    ASSERT_TRUE(Controller.HasKeyFields());
    EXPECT_EQ(Controller.GetRecordKeyValues(3).toInt32(), 4);
    EXPECT_EQ(Controller.KeyField()->SubFields().front()->ValueTypeClass(), TkvIntegerValueType::Instance());
    Controller.ChangeFocusedRowIndex(6);
    EXPECT_EQ(Current(), "分红");
    EXPECT_EQ(Controller.RecordKey(6), Controller.CurrentRowKey());
    Controller.SetKeyFieldNames("id;进帐人");
    EXPECT_EQ(Controller.KeyField()->SubFields().size(), 2u);
    EXPECT_EQ(Controller.GetRecordKeyValues(1).elements().at(1).toString().toStdString(), "红包");
    Controller.ChangeFocusedRowIndex(1);
    EXPECT_EQ(Current(), "红包");
    EXPECT_EQ(Controller.FindRecordIndexOfCurrentRow(), 1);
    Controller.SetKeyFieldNames("");
    EXPECT_EQ(Controller.KeyField(), nullptr);
    EXPECT_EQ(Controller.Fields().Count(), 4);
}

// Rows added before the selected ones shift their record indexes: the
// selection and the expanded details follow their rows by key.
TEST_F(DbDataModesTest, SelectionAndExpandedDetailsAreRestoredByKeyAfterAReload)
{
    int detailLevel = 0;
    Controller.Relations().Add(&detailLevel);
    Controller.SetKeyFieldNames("id");
    Controller.SetMultiSelect(true);
    Query.Open();
    Controller.ChangeFocusedRowIndex(4); // 稿费
    Controller.ChangeRowSelection(2, true);
    Controller.ChangeRowSelection(4, true);
    Controller.ChangeDetailExpanding(2, true);
    ASSERT_EQ(Selected(), "利息,稿费");
    Log.clear();
    AddGain(1, "2023-12-01", "早一");
    AddGain(2, "2023-12-02", "早二");
    Query.Refresh();
    EXPECT_EQ(Controller.RecordCount(), 12);
    EXPECT_EQ(Selected(), "利息,稿费");
    EXPECT_TRUE(Controller.IsDetailExpanded(4));
    EXPECT_FALSE(Controller.IsDetailExpanded(2));
    EXPECT_EQ(Controller.FocusedRecordIndex(), 6);
    EXPECT_EQ(Current(), "稿费");
    EXPECT_TRUE(Controller.IsRowSelected(4));
}

TEST_F(DbDataModesTest, WithoutKeyFieldsTheSelectionStaysByRecordIndex)
{
    Controller.SetMultiSelect(true);
    Query.Open();
    Controller.ChangeRowSelection(2, true);
    AddGain(1, "2023-12-01", "早一");
    Query.Refresh();
    EXPECT_EQ(Selected(), "红包");
}

// With one row selectable, the selection is the focused row also after a
// reload that put an entry before it (an undo re-inserting an older entry).
TEST_F(DbDataModesTest, SingleSelectionFollowsTheFocusedRecordAcrossAReload)
{
    Query.Open();
    Controller.ChangeFocusedRowIndex(2);
    ASSERT_EQ(Selected(), "利息");
    AddGain(1, "2023-12-01", "早一");
    Query.Refresh();
    EXPECT_EQ(Current(), "利息");
    EXPECT_EQ(Selected(), "利息");
    ASSERT_EQ(Controller.Selection().Count(), 1);
    EXPECT_EQ(Controller.Selection().Items(0).RowIndex, Controller.FocusedRowIndex());
}

// ---------------------------------------------------------------------------
// Smart refresh

// A change that comes without the row it concerns (here a post made while
// controls were disabled): with smart refresh and key fields only the edited
// record is read again; otherwise every row is.
TEST_F(DbDataModesTest, SmartRefreshRereadsOnlyTheEditedRecord)
{
    Controller.SetKeyFieldNames("id");
    Controller.DataModeController().SetSmartRefresh(true);
    Query.Open();
    Controller.ChangeFocusedRowIndex(3);
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(44.0));
    Query.DisableControls();
    Query.Post();
    Log.clear();
    Query.EnableControls();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_NE(Log.find("Data(dckRecord,-1,3)"), std::string::npos) << Log;
    EXPECT_EQ(Controller.GetValue(3, 0).toDouble(), 44.0);
    EXPECT_EQ(Controller.FocusedRecordIndex(), 3);

    // The edited row deleted before the change arrives: its record goes.
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(45.0));
    Query.DisableControls();
    Query.Post();
    Query.Delete();
    Log.clear();
    Query.EnableControls();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "工资,红包,利息,*稿费,租金,分红,退税,补贴,礼金");
    EXPECT_EQ(Current(), "稿费");

    // An added entry posted while controls were disabled becomes its row.
    Controller.ChangeFocusedRowIndex(0);
    Controller.Insert();
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("新"));
    Query.DisableControls();
    Query.Post();
    Log.clear();
    Query.EnableControls();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "*新,工资,红包,利息,稿费,租金,分红,退税,补贴,礼金");
    EXPECT_GT(Controller.GetRecordKeyValues(0).toInt32(), 10);

    // Without the switch the same change reloads everything.
    Controller.DataModeController().SetSmartRefresh(false);
    Controller.ChangeFocusedRowIndex(2);
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(21.0));
    Query.DisableControls();
    Query.Post();
    Log.clear();
    Query.EnableControls();
    EXPECT_NE(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Controller.GetValue(2, 0).toDouble(), 21.0);
}

TEST_F(DbDataModesTest, RefreshWithNothingEditedReloadsEvenWithSmartRefresh)
{
    Controller.SetKeyFieldNames("id");
    Controller.DataModeController().SetSmartRefresh(true);
    Query.Open();
    AddGain(5, "2025-01-01", "后加");
    Query.Refresh();
    EXPECT_EQ(Controller.RowCount(), 11);
}

// ---------------------------------------------------------------------------
// Lookup fields

TEST_F(DbDataModesTest, LookupFieldsShowTheLookedUpValueAndAreEditedByKey)
{
    test::RawExec(FPath, "CREATE TABLE kinds (label VARCHAR(20), kind VARCHAR(20));"
                         "INSERT INTO kinds VALUES ('工资', '劳动'), ('利息', '投资'), ('分红', '投资');");
    std::unique_ptr<TDbQuery> kinds = OpenQuery("select * from kinds");
    TDbLookupFieldDef lookup;
    lookup.FieldName = QString::fromUtf8("类别");
    lookup.KeyFields = QString::fromUtf8("进帐人");
    lookup.LookupDataSet = kinds.get();
    lookup.LookupKeyFields = "label";
    lookup.LookupResultField = "kind";
    Query.AddLookupField(lookup);
    int kindColumn = 0;
    Controller.AttachItem(&kindColumn);
    Controller.ChangeFieldName(4, QString::fromUtf8("类别"));
    Query.Open();
    TDbField *kind = Query.FieldByName(QString::fromUtf8("类别"));
    ASSERT_TRUE(kind->IsLookup());
    EXPECT_FALSE(kind->CanModify());
    EXPECT_EQ(Rows(Controller, 4), "*劳动,,投资,,,,投资,,,");
    // The key field is bound as the lookup's sub-field and loaded with it.
    auto *field = Controller.GetItemDBField(4);
    ASSERT_EQ(field->SubFields().size(), 1u);
    EXPECT_EQ(Controller.GetFieldValue(2, field->SubFields().front()).toString().toStdString(), "利息");

    Controller.ChangeFocusedRowIndex(1);
    EXPECT_EQ(Controller.ReadEditValue(4, TkvDataEditValueSource::evsKey).toString().toStdString(), "红包");
    EXPECT_TRUE(Controller.WriteEditValue(4, Variant::fromUtf8("分红"), TkvDataEditValueSource::evsKey));
    EXPECT_EQ(Controller.GetDisplayText(1, 4).toStdString(), "投资"); // shown before the post
    Controller.Post();
    EXPECT_EQ(Rows(Controller, 2), "工资,*分红,利息,奖金,稿费,租金,分红,退税,补贴,礼金");
    EXPECT_EQ(Rows(Controller, 4), "劳动,*投资,投资,,,,投资,,,");
    // Reopening makes the lookup field again.
    Query.Close();
    Query.Open();
    EXPECT_EQ(Controller.GetDisplayText(0, 4).toStdString(), "劳动");
}

TEST_F(DbDataModesTest, BlobAndBooleanFieldsStoreTheirTextWhenTheOwnerAsks)
{
    struct Owner : IkvDataControllerOwner {
        bool Wants = false;
        bool WantsDisplayText(TkvDataItem) const override { return Wants; }
    } owner;
    TkvGridDBDataController controller(&owner);
    int column = 0;
    controller.AttachItem(&column);
    controller.ChangeFieldName(0, QString::fromUtf8("备注"));
    controller.SetDataSource(&Source);
    Query.Open();
    ASSERT_EQ(Query.FieldByName(QString::fromUtf8("备注"))->DataType(), ftMemo);
    EXPECT_FALSE(controller.GetItemTextStored(0));
    owner.Wants = true;
    controller.BindFields();
    EXPECT_TRUE(controller.GetItemTextStored(0));
    Query.FieldByName(QString::fromUtf8("备注"))->OnGetText = [](TDbField *, QString &text, bool) {
        text = "[" + text + "]";
    };
    Query.Refresh();
    EXPECT_EQ(controller.GetDisplayText(0, 0).toStdString(), "[]");
}

// ---------------------------------------------------------------------------
// Providers that share a record set

// One provider moves the record set; while it does, the record set changes
// under both. The other provider skips that change and hears of it once the
// movement is done.
TEST_F(DbDataModesTest, AProviderThatMovedTheRecordSetRefreshesTheOthersWhenDone)
{
    int column = 0;
    TkvGridDBDataController other;
    other.AttachItem(&column);
    other.ChangeFieldName(0, QString::fromUtf8("进帐人"));
    other.SetDataSource(&Source);
    Query.Open();
    bool once = true;
    Query.AfterScroll = [this, &once](TDbQuery *dataSet) {
        if (!once)
            return;
        once = false;
        AddGain(1, "2023-01-01", "插入");
        dataSet->Refresh();
    };
    Controller.ChangeFocusedRowIndex(3);
    EXPECT_EQ(Controller.RowCount(), 11);
    EXPECT_EQ(other.RowCount(), 11);
    EXPECT_EQ(Rows(other, 0), Rows(Controller));
}

// A layout change that arrives while the provider cannot rebuild waits for
// the next data-set change.
TEST_F(DbDataModesTest, PendingLayoutChangeIsRebuiltAtTheNextDataSetChange)
{
    int column = 0;
    TkvGridDBDataController other;
    other.AttachItem(&column);
    other.ChangeFieldName(0, QString::fromUtf8("本次进帐"));
    other.SetDataSource(&Source);
    Query.Open();
    bool once = true;
    Query.AfterScroll = [&once](TDbQuery *dataSet) {
        if (once)
            dataSet->FieldByName(QString::fromUtf8("本次进帐"))->SetCurrency(true);
        once = false;
    };
    Controller.ChangeFocusedRowIndex(1);
    // The other controller took the new display text once the move was done.
    EXPECT_TRUE(other.GetItemTextStored(0));
    EXPECT_EQ(other.GetDisplayText(0, 0).toStdString(), "￥10.00");
}

} // namespace
} // namespace kestrum

// Grid mode: only the buffer window of the record set is held, values are
// read from the record set, and moving and searching are done by it.
#include "TenIncomesFixture.h"
#include "data/DataControllerGroups.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class DbGridWindowTest : public test::TenIncomesOn<test::EngineFixture> {};

TEST_P(DbGridWindowTest, GridModeHoldsTheBufferWindowAndReadsValuesFromTheRecordSet)
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

TEST_P(DbGridWindowTest, GridModeShowsAPendingInsertInItsPlace)
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

TEST_P(DbGridWindowTest, GridModeLocateAndSearchAreDoneByTheRecordSet)
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

// Guards a backward search from the current row that never wrapped round to
// the last rows: it read the current row again in their place.
TEST_P(DbGridWindowTest, ABackwardSearchWrapsRoundToTheLastRows)
{
    Controller.DataModeController().SetGridModeBufferCount(3);
    Controller.DataModeController().SetGridMode(true);
    Query.Open();
    Controller.ChangeFocusedRowIndex(2);
    ASSERT_EQ(Current(), "利息");
    TkvCustomDataField *item = Controller.GetItemField(2);
    EXPECT_TRUE(Controller.DBProvider().LocateByText(item, QString::fromUtf8("礼"), false, false));
    EXPECT_EQ(Current(), "礼金");
    EXPECT_TRUE(Controller.DBProvider().LocateByText(item, QString::fromUtf8("红"), false, false));
    EXPECT_EQ(Current(), "红包");
}

TEST_P(DbGridWindowTest, TogglingGridModeReloadsTheRows)
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

TEST_P(DbGridWindowTest, GroupingSwitchesGridModeOffWhileItLasts)
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

TEST_P(DbGridWindowTest, SelectedRowsAreKeptByBookmarkOnlyInGridMode)
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

INSTANTIATE_TEST_SUITE_P(Engines, DbGridWindowTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum

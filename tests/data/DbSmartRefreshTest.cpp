// Smart refresh: after a post only the edited record is read again.
#include "TenIncomesFixture.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class DbSmartRefreshTest : public test::TenIncomesOn<test::EngineFixture> {};

// A change that comes without the row it concerns (here a post made while
// controls were disabled): with smart refresh and key fields only the edited
// record is read again; otherwise every row is.
TEST_P(DbSmartRefreshTest, SmartRefreshRereadsOnlyTheEditedRecord)
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

// Guards against an entry added before the first row being taken for the
// new-item row at its post: the record's values were cleared and every row
// read again (seconds at ten million entries).
TEST_P(DbSmartRefreshTest, AnEntryAddedBeforeTheFirstRowIsFollowedAlone)
{
    Controller.SetKeyFieldNames("id");
    Query.Open();
    Controller.ChangeFocusedRowIndex(0);
    Query.Insert();
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("新"));
    Query.FieldByName("本次进帐")->SetValue(Variant(7.0));
    Log.clear();
    Query.Post();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "*新,工资,红包,利息,奖金,稿费,租金,分红,退税,补贴,礼金");
    EXPECT_EQ(Controller.GetValue(0, 0).toDouble(), 7.0);
    EXPECT_GT(Controller.GetRecordKeyValues(0).toInt32(), 10);

    // The first row edited, and an entry before it cancelled: the same.
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(8.0));
    Log.clear();
    Query.Post();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Controller.GetValue(0, 0).toDouble(), 8.0);
    Query.Insert();
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("再"));
    Log.clear();
    Query.Cancel();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "*新,工资,红包,利息,奖金,稿费,租金,分红,退税,补贴,礼金");
    EXPECT_EQ(Controller.GetValue(0, 0).toDouble(), 8.0);
}

TEST_P(DbSmartRefreshTest, RefreshWithNothingEditedReloadsEvenWithSmartRefresh)
{
    Controller.SetKeyFieldNames("id");
    Controller.DataModeController().SetSmartRefresh(true);
    Query.Open();
    AddGain(5, "2025-01-01", "后加");
    Query.Refresh();
    EXPECT_EQ(Controller.RowCount(), 11);
}

INSTANTIATE_TEST_SUITE_P(Engines, DbSmartRefreshTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum

// Records named by key: moving the record set by key, and the selection and
// expanded details found again by key after a reload.
#include "TenIncomesFixture.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class DbDataKeysTest : public test::TenIncomesOn<test::EngineFixture> {};

TEST_P(DbDataKeysTest, KeyFieldsAreLoadedWithTheRecordsAndMoveTheRecordSetByKey)
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
TEST_P(DbDataKeysTest, SelectionAndExpandedDetailsAreRestoredByKeyAfterAReload)
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

TEST_P(DbDataKeysTest, WithoutKeyFieldsTheSelectionStaysByRecordIndex)
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
TEST_P(DbDataKeysTest, SingleSelectionFollowsTheFocusedRecordAcrossAReload)
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

INSTANTIATE_TEST_SUITE_P(Engines, DbDataKeysTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum

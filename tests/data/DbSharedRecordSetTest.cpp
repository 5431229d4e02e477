// Providers that share a record set: one that moves it tells the others when
// it is done, and a layout change waits until they can rebuild.
#include "TenIncomesFixture.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class DbSharedRecordSetTest : public test::TenIncomesOn<test::EngineFixture> {};

// One provider moves the record set; while it does, the record set changes
// under both. The other provider skips that change and hears of it once the
// movement is done.
TEST_P(DbSharedRecordSetTest, AProviderThatMovedTheRecordSetRefreshesTheOthersWhenDone)
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
TEST_P(DbSharedRecordSetTest, PendingLayoutChangeIsRebuiltAtTheNextDataSetChange)
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

INSTANTIATE_TEST_SUITE_P(Engines, DbSharedRecordSetTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum

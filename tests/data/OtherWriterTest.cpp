// Rows another program writes into the table a grid shows: the changed row
// is read again alone, a new row appears, a deleted one goes, the focus and
// the row being edited are left alone, and a file says only that something
// changed, which reads the rows again keeping the focused one.
#include "TenIncomesFixture.h"
#include "data/DataSorting.h"
#include "data/DbChangeDispatcher.h"
#include "db/DbConnection.h"
#include "db/DbDriver.h"
#include "db/DbErrors.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class OtherWriterTest : public test::TenIncomesOn<test::EngineFixture> {
protected:
    void SetUp() override
    {
        TenIncomesOn::SetUp();
        if (NotSetUp())
            return;
        Controller.SetKeyFieldNames("id");
        Controller.DataModeController().SetSmartRefresh(true);
        Query.Open();
        Dispatcher.Add(Controller.DBProvider());
    }

    //! Another program's statement on the ledger.
    void Other(const std::string &sql) { Exec(sql); }
    std::int64_t OtherKey(const char *item)
    {
        return std::stoll(Value(std::string("SELECT id FROM gain WHERE 进帐人 = '") + item + "'"));
    }
    bool Heard(std::vector<TDbChange> changes)
    {
        Log.clear();
        return Dispatcher.Dispatch(changes);
    }

    TkvDbChangeDispatcher Dispatcher;
};

TEST_P(OtherWriterTest, ARowAnotherProgramWroteIsFollowedAloneAndTheFocusStays)
{
    Controller.ChangeFocusedRowIndex(5); // 租金
    Other("UPDATE gain SET 本次进帐 = 33.5, 进帐人 = '利息二' WHERE 进帐人 = '利息'");
    EXPECT_FALSE(Heard({{"gain", OtherKey("利息二")}}));
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "工资,红包,利息二,奖金,稿费,*租金,分红,退税,补贴,礼金");
    EXPECT_EQ(Controller.GetValue(2, 0).toDouble(), 33.5);
    EXPECT_EQ(Current(), "租金");

    // A new entry appears, with its own key, the focus where it was.
    Other("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (7, '2024-01-20', '新进帐')");
    Heard({{"gain", OtherKey("新进帐")}});
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "工资,红包,利息二,奖金,稿费,*租金,分红,退税,补贴,礼金,新进帐");
    EXPECT_EQ(Controller.GetRecordKeyValues(10).toInt64(), OtherKey("新进帐"));

    // A deleted one goes: one before the focused row, then the focused row itself.
    const std::int64_t bonus = OtherKey("奖金"), rent = OtherKey("租金");
    Other("DELETE FROM gain WHERE 进帐人 IN ('奖金', '租金')");
    Heard({{"gain", bonus}, {"gain", rent}});
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "工资,红包,利息二,稿费,*分红,退税,补贴,礼金,新进帐");
    EXPECT_EQ(Current(), "分红");
    EXPECT_EQ(Query.RecordCount(), 9);

    // The next entry is saved over the row as the file now holds it.
    Controller.ChangeFocusedRowIndex(2);
    Query.Edit();
    Query.FieldByName("备注")->SetText(QString::fromUtf8("已核对"));
    EXPECT_NO_THROW(Query.Post());
    EXPECT_EQ(Cells("SELECT 本次进帐, 备注 FROM gain WHERE 进帐人 = '利息二'"), "33.5|已核对");
}

TEST_P(OtherWriterTest, ASortedListPutsAnotherProgramsRowsInTheirPlaces)
{
    TkvDataControllerSorting *sorting = DataSortingOf(Controller);
    ASSERT_NE(sorting, nullptr);
    sorting->ApplySortOrder(0, soDescending);
    Controller.ChangeFocusedRowIndex(1);
    EXPECT_EQ(Rows(), "礼金,*补贴,退税,分红,租金,稿费,奖金,利息,红包,工资");
    Other("UPDATE gain SET 本次进帐 = 55 WHERE 进帐人 = '工资'");
    Other("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (75, '2024-01-20', '新进帐')");
    Heard({{"gain", OtherKey("工资")}, {"gain", OtherKey("新进帐")}});
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "礼金,*补贴,退税,新进帐,分红,租金,工资,稿费,奖金,利息,红包");
    EXPECT_EQ(Current(), "补贴");
}

TEST_P(OtherWriterTest, AnEntryPutBackUnderItsOldKeyStandsWhereReadingTheRowsAgainPutsIt)
{
    // Guards against a row with an old key (an undone delete) being shown last.
    Controller.ChangeFocusedRowIndex(5); // 租金
    const std::int64_t bonus = OtherKey("奖金");
    Other("DELETE FROM gain WHERE 进帐人 = '奖金'");
    Heard({{"gain", bonus}});
    Other("INSERT INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (" + std::to_string(bonus) +
          ", 40, '2024-01-04', '奖金')");
    Heard({{"gain", bonus}});
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "工资,红包,利息,奖金,稿费,*租金,分红,退税,补贴,礼金");
    EXPECT_EQ(Current(), "租金");
    Query.Prior();
    Query.Prior();
    EXPECT_EQ(Current(), "奖金"); // the record set holds it there too

    // Sorted by amount, it comes back between its neighbours by amount; the
    // focus went on to the next row when it went.
    DataSortingOf(Controller)->ApplySortOrder(0, soDescending);
    Other("DELETE FROM gain WHERE 进帐人 = '奖金'");
    Heard({{"gain", bonus}});
    Other("INSERT INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (" + std::to_string(bonus) +
          ", 55, '2024-01-04', '奖金')");
    Heard({{"gain", bonus}});
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Rows(), "礼金,补贴,退税,分红,租金,奖金,*稿费,利息,红包,工资");
}

TEST_P(OtherWriterTest, ChangesOfOtherTablesRowsOfOtherPeriodsAndEchoesLeaveTheRowsAlone)
{
    Query.Close();
    Query.ClearSQL();
    Query.AddSQL("select * from gain where 进帐时间 < '2024-01-06'");
    Query.Open();
    Controller.ChangeFocusedRowIndex(1);
    Other("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (7, '2024-02-20', '下月')");
    Other("UPDATE gain SET 本次进帐 = 1 WHERE 进帐人 = '礼金'");
    Heard({{"gain", OtherKey("下月")}, {"gain", OtherKey("礼金")}, {"expen", 1}});
    EXPECT_EQ(Log, "");
    EXPECT_EQ(Rows(), "工资,*红包,利息,奖金,稿费");

    // A row that leaves the statement's rows takes the whole statement again.
    Other("UPDATE gain SET 进帐时间 = '2024-03-01' WHERE 进帐人 = '利息'");
    Heard({{"gain", OtherKey("利息")}});
    EXPECT_EQ(Rows(), "工资,*红包,奖金,稿费");
}

TEST_P(OtherWriterTest, TheEntryBeingEditedIsNeverDisturbedAndItsPostMeetsTheConflict)
{
    Controller.ChangeFocusedRowIndex(3); // 奖金
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(99.0));
    Other("UPDATE gain SET 本次进帐 = 41 WHERE 进帐人 = '奖金'");
    Other("UPDATE gain SET 本次进帐 = 11 WHERE 进帐人 = '工资'");
    EXPECT_TRUE(Heard({{"gain", OtherKey("奖金")}, {"gain", OtherKey("工资")}}));
    EXPECT_EQ(Log, "");
    EXPECT_EQ(Query.FieldByName("本次进帐")->Value().toDouble(), 99.0);
    EXPECT_TRUE(Dispatcher.Retry()); // still editing: still waiting

    // The save is refused as changed by another program; nothing is lost.
    EXPECT_THROW(Query.Post(), EDbRowConflict);
    EXPECT_EQ(Query.State(), dsEdit);
    EXPECT_EQ(Query.FieldByName("本次进帐")->Value().toDouble(), 99.0);
    EXPECT_EQ(Value("SELECT 本次进帐 FROM gain WHERE 进帐人 = '奖金'"), "41.0");

    // Given up, the rows show what the other program wrote.
    Query.Cancel();
    EXPECT_FALSE(Dispatcher.Retry());
    EXPECT_EQ(Controller.GetValue(3, 0).toDouble(), 41.0);
    EXPECT_EQ(Controller.GetValue(0, 0).toDouble(), 11.0);
    EXPECT_EQ(Current(), "奖金");
}

TEST_P(OtherWriterTest, AFileTellsOfOtherConnectionsCommitsOnlyAndTheRowsAreReadAgain)
{
    if (OnServer())
        GTEST_SKIP() << "a file's own notice; a server names each row, as the tests above give them";
    TDbDriver &driver = Query.Connection()->Driver();
    // The first look starts the watch: what came before was read with the rows.
    Other("UPDATE gain SET 本次进帐 = 11 WHERE 进帐人 = '工资'");
    EXPECT_TRUE(driver.TakeChanges(0).empty());

    // The page's own save is no news.
    Controller.ChangeFocusedRowIndex(4);
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(51.0));
    Query.Post();
    EXPECT_TRUE(driver.TakeChanges(0).empty());

    Other("UPDATE gain SET 本次进帐 = 12 WHERE 进帐人 = '红包'");
    Other("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (7, '2024-01-01 12:00:00', '元旦')");
    const std::vector<TDbChange> heard = driver.TakeChanges(0);
    ASSERT_EQ(heard, (std::vector<TDbChange>{TDbChange{}}));
    EXPECT_FALSE(Heard(heard));
    EXPECT_EQ(Rows(), "工资,元旦,红包,利息,奖金,*稿费,租金,分红,退税,补贴,礼金");
    EXPECT_EQ(Current(), "稿费");
    EXPECT_EQ(Controller.GetValue(Controller.GetRowInfo(2).RecordIndex, 0).toDouble(), 12.0);
    EXPECT_TRUE(driver.TakeChanges(0).empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, OtherWriterTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum

#include "data/DbDataController.h"
#include "IncomeControllerFixture.h"
#include "core/Codepage.h"
#include "core/RegionalSettings.h"
#include "data/DataControllerGroups.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "data/DbDataField.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "support/DbTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrum {
namespace {

//! The income table of a ledger file or a server, a query over it and a grid's controller
//! with the four ledger columns bound by name.
class DbDataControllerTest : public test::IncomeControllerOn<test::EngineFixture> {
protected:
    void SetUp() override
    {
        IncomeControllerOn::SetUp();
        if (NotSetUp())
            return;
        AddGain(100, "2024-01-05", "工资");
        AddGain(20.5, "2024-01-06", "红包");
        AddGain(7, "2024-02-01", "利息");
        // In key order: a server keeps no order of its own, and moves a changed row.
        BindIncome("select * from gain order by id");
    }

    //! The item column of the visible rows, "*" marking the focused one.
    std::string Rows()
    {
        std::string text;
        for (int r = 0; r < Controller.RowCount(); ++r) {
            if (r)
                text += ",";
            if (r == Controller.FocusedRowIndex())
                text += "*";
            text += Controller.GetDisplayText(Controller.GetRowRecordIndex(r), 2).toStdString();
        }
        return text;
    }

    std::string Current()
    {
        return Query.Active() ? Query.FieldByName("进帐人")->AsString().toStdString() : "";
    }
};

TEST_P(DbDataControllerTest, OpeningLoadsEveryRowWithTypedColumns)
{
    Query.Open();
    EXPECT_EQ(Rows(), "*工资,红包,利息");
    EXPECT_EQ(Controller.GetItemValueTypeClass(0), TkvFloatValueType::Instance());
    EXPECT_EQ(Controller.GetItemValueTypeClass(1), TkvDateTimeValueType::Instance());
    EXPECT_EQ(Controller.GetItemValueTypeClass(2), TkvStringValueType::Instance());
    EXPECT_EQ(Controller.GetValue(1, 0).toDouble(), 20.5);
    EXPECT_TRUE(Controller.GetValue(0, 3).isNull());
    EXPECT_EQ(Controller.Storage().CheckConsistency(), "");
}

TEST_P(DbDataControllerTest, FocusFollowsTheRecordSetBothWays)
{
    Query.Open();
    Query.Next();
    EXPECT_EQ(Rows(), "工资,*红包,利息");
    Controller.ChangeFocusedRowIndex(2);
    EXPECT_EQ(Current(), "利息");
    Controller.GotoFirst();
    EXPECT_EQ(Current(), "工资");
    Controller.ChangeFocusedRowIndex(-1); // no row while rows exist is refused
    EXPECT_EQ(Controller.FocusedRowIndex(), 0);
}

TEST_P(DbDataControllerTest, FocusAfterReloadIsTheRecordSetsCurrentRow)
{
    Query.Open();
    Query.Last();
    Query.Refresh();
    EXPECT_EQ(Rows(), "工资,红包,*利息");
}

TEST_P(DbDataControllerTest, PostingANewEntryRereadsOnlyItsRecordAndFocusesIt)
{
    Query.Open();
    Controller.Append();
    EXPECT_EQ(Controller.RowCount(), 4);
    EXPECT_EQ(Controller.FocusedRowIndex(), 3); // the placeholder
    EXPECT_TRUE(Controller.IsEditing());
    Query.FieldByName("本次进帐")->SetValue(Variant(5.0));
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("奖金"));
    EXPECT_EQ(Rows(), "工资,红包,利息,*奖金"); // typed values show before the post
    Log.clear();
    Controller.Post();
    EXPECT_EQ(Rows(), "工资,红包,利息,*奖金");
    EXPECT_FALSE(Controller.IsEditing());
    // The placeholder becomes the stored row; the other rows are not read again.
    EXPECT_NE(Log.find("Data(dckRecord,-1,3)"), std::string::npos) << Log;
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
}

TEST_P(DbDataControllerTest, PostedEntryIsFocusedWhereverSortingPutsIt)
{
    DataSortingOf(Controller)->ApplySortOrder(0, soDescending);
    Query.Open();
    EXPECT_EQ(Rows(), "*工资,红包,利息");
    Controller.Append();
    Query.FieldByName("本次进帐")->SetValue(Variant(50.0));
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("奖金"));
    Controller.Post();
    EXPECT_EQ(Rows(), "工资,*奖金,红包,利息");
    EXPECT_EQ(Current(), "奖金");
}

TEST_P(DbDataControllerTest, InsertedRowTakesTheFocusedGroupsValues)
{
    Query.Open();
    DataGroupsOf(Controller)->PlaceInGrouping(2, 0); // group by item
    DataGroupsOf(Controller)->FullExpand();
    Controller.ChangeFocusedRecordIndex(1); // in the group 红包
    Controller.Insert();
    EXPECT_EQ(Query.FieldByName("进帐人")->AsString().toStdString(), "红包");
    Query.FieldByName("本次进帐")->SetValue(Variant(1.0));
    Controller.Post();
    EXPECT_EQ(
        DataGroupsOf(Controller)
            ->GetRecordList(DataGroupsOf(Controller)->GroupIndexByRowIndex(Controller.FocusedRowIndex()))
            .size(),
        2u);
}

TEST_P(DbDataControllerTest, EditedRecordStaysVisibleWhileItFailsTheFilter)
{
    Query.Open();
    Controller.SetFindFilter(2, QString::fromUtf8("红"));
    Controller.ChangeFocusedRowIndex(0);
    EXPECT_EQ(Rows(), "*红包");
    EXPECT_EQ(Current(), "红包");
    Query.Edit();
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("礼金"));
    Controller.InfoChanged(dcicLoad); // the list is rebuilt while the record is edited
    EXPECT_EQ(Rows(), "*礼金");
    Query.Post();
    EXPECT_EQ(Rows(), ""); // editing ended: the filter applies again
}

TEST_P(DbDataControllerTest, TypingWhileEditingUpdatesTheRowBeforeThePost)
{
    Query.Open();
    Controller.ChangeFocusedRowIndex(1);
    Query.Edit();
    EXPECT_EQ(Controller.EditingRecordIndex(), 1);
    Log.clear();
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("礼金"));
    EXPECT_EQ(Rows(), "工资,*礼金,利息");
    EXPECT_EQ(Log, "UpdateRecord(1)");
    Query.Cancel();
    EXPECT_EQ(Rows(), "工资,*红包,利息");
}

TEST_P(DbDataControllerTest, InsertWhileAnInsertIsPendingPostsTheFirst)
{
    Query.Open();
    Controller.Append();
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("甲"));
    Controller.Append();
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("乙"));
    Controller.Post();
    EXPECT_EQ(Rows(), "工资,红包,利息,甲,*乙");
    Query.Close();
    Query.Open();
    EXPECT_EQ(Controller.RowCount(), 5);
}

TEST_P(DbDataControllerTest, DeletingTheLastAndTheOnlyRow)
{
    Query.Open();
    Controller.GotoLast();
    Controller.DeleteFocused();
    EXPECT_EQ(Rows(), "工资,*红包");
    Exec("DELETE FROM gain WHERE 进帐人 <> '工资'");
    Query.Close();
    Query.Open();
    EXPECT_EQ(Rows(), "*工资");
    Controller.DeleteFocused();
    EXPECT_EQ(Rows(), "");
    EXPECT_EQ(Controller.FocusedRowIndex(), -1);
    EXPECT_EQ(Controller.FocusedRecordIndex(), -1);
}

TEST_P(DbDataControllerTest, ColumnsOnMissingAndSharedFields)
{
    int extra[2] = {};
    Controller.AttachItem(&extra[0]);
    Controller.ChangeFieldName(4, "nosuchfield");
    Controller.AttachItem(&extra[1]);
    Controller.ChangeFieldName(5, QString::fromUtf8("进帐人")); // the same field, any case
    Query.Open();
    EXPECT_TRUE(Controller.GetValue(0, 4).isNull());
    EXPECT_EQ(Controller.GetDisplayText(0, 4), QString());
    EXPECT_EQ(Controller.GetDisplayText(1, 5).toStdString(), "红包");
    EXPECT_EQ(Controller.GetItemField(5)->ValueDef(), Controller.GetItemField(2)->ValueDef());
}

TEST_P(DbDataControllerTest, ClosingEmptiesAndReopeningRebinds)
{
    Query.Open();
    Query.Close();
    EXPECT_EQ(Controller.RowCount(), 0);
    EXPECT_EQ(Controller.FocusedRowIndex(), -1);
    Query.ClearSQL();
    Query.AddSQL("select 进帐人, 本次进帐 * 2 as 本次进帐 from gain where 本次进帐 > 10");
    Query.Open();
    EXPECT_EQ(Rows(), "*工资,红包");
    EXPECT_EQ(Controller.GetValue(1, 0).toDouble(), 41.0);
    EXPECT_TRUE(Controller.GetValue(0, 1).isNull()); // the date column is gone
}

TEST_P(DbDataControllerTest, SharedRecordSetKeepsBothControllersInStep)
{
    int column = 0;
    TkvGridDBDataController other;
    other.AttachItem(&column);
    other.ChangeFieldName(0, QString::fromUtf8("进帐人"));
    other.SetDataSource(&Source);
    Query.Open();
    Controller.ChangeFocusedRowIndex(2);
    EXPECT_EQ(other.FocusedRowIndex(), 2);
    Controller.DeleteFocused();
    EXPECT_EQ(other.RowCount(), 2);
    EXPECT_EQ(TkvDBDataProvider::Providers().size(), 2u);
}

// A post, a cancel and a delete follow the one row in place. After each, the
// rows, their order, the focus and the footer total must be what reading
// every row again gives.
TEST_P(DbDataControllerTest, PostCancelAndDeleteFollowOneRowAsAReloadWould)
{
    Exec("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (55, '2024-03-01', '奖金'), "
         "(3, '2024-03-02', '车费')");
    DataSortingOf(Controller)->ApplySortOrder(0, soAscending); // by amount
    TkvDataSummary &summary = *DataSummaryOf(Controller);
    TkvDataSummaryItem *total = summary.FooterSummaryItems().Add();
    static_cast<TkvDBDataSummaryItem *>(total)->SetFieldName(QString::fromUtf8("本次进帐"));
    total->SetKind(skSum);
    TkvDataSummaryItem *remarks = summary.FooterSummaryItems().Add(); // remarks given
    static_cast<TkvDBDataSummaryItem *>(remarks)->SetFieldName(QString::fromUtf8("备注"));
    remarks->SetKind(skCount);
    summary.SetOptions(soNullIgnore);
    Query.Open();
    ASSERT_EQ(Rows(), "车费,利息,红包,奖金,*工资");
    auto footers = [&summary] {
        return " " + summary.FooterText(0).toStdString() + " " + summary.FooterText(1).toStdString();
    };
    auto reloaded = [this, &footers] {
        const std::string inPlace = Rows() + footers();
        Query.Refresh();
        return inPlace == Rows() + footers() ? inPlace : inPlace + " != " + Rows() + footers();
    };

    // An edited amount moves its row to its sorted place.
    Controller.ChangeFocusedRowIndex(1); // 利息 7
    Log.clear();
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(60.0));
    Query.FieldByName("备注")->SetText(QString::fromUtf8("季度"));
    Query.Post();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(reloaded(), "车费,红包,奖金,*利息,工资 238.50 1");

    // Typed values go back at a cancel.
    Log.clear();
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(1.0));
    EXPECT_EQ(Rows(), "车费,红包,奖金,*利息,工资"); // the edited row stays put until the post
    Query.Cancel();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(reloaded(), "车费,红包,奖金,*利息,工资 238.50 1");

    // A deleted row goes; the record set's next row is focused.
    Controller.ChangeFocusedRowIndex(1); // 红包
    Log.clear();
    Controller.DeleteFocused();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(Current(), "利息"); // the row after 红包 in the record set's order
    EXPECT_EQ(reloaded(), "车费,奖金,*利息,工资 218.00 1");

    // An added entry that is dropped leaves nothing behind.
    Controller.ChangeFocusedRowIndex(0);
    Controller.Insert();
    Query.FieldByName("本次进帐")->SetValue(Variant(9.0));
    Log.clear();
    Query.Cancel();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(reloaded(), "*车费,奖金,利息,工资 218.00 1");
    EXPECT_EQ(Controller.Storage().CheckConsistency(), "");

    // An inserted entry lands at its sorted place with the file's values.
    Controller.ChangeFocusedRowIndex(2);
    Controller.Insert();
    Query.FieldByName("本次进帐")->SetValue(Variant(4.0));
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("茶"));
    Log.clear();
    Query.Post();
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    EXPECT_EQ(reloaded(), "车费,*茶,奖金,利息,工资 222.00 1");
}

// The rows are sorted again while an entry is edited: the footer still takes
// out the values it counted, not the ones typed since.
TEST_P(DbDataControllerTest, FooterFollowsAnEditThatOutlivesASort)
{
    TkvDataSummary &summary = *DataSummaryOf(Controller);
    TkvDataSummaryItem *total = summary.FooterSummaryItems().Add();
    static_cast<TkvDBDataSummaryItem *>(total)->SetFieldName(QString::fromUtf8("本次进帐"));
    total->SetKind(skSum);
    Query.Open();
    ASSERT_EQ(summary.FooterText(0).toStdString(), "127.50");
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(1000.0));
    DataSortingOf(Controller)->ApplySortOrder(2, soAscending); // a header click while editing
    Query.FieldByName("本次进帐")->SetValue(Variant(200.0));
    Query.Post();
    EXPECT_EQ(summary.FooterText(0).toStdString(), "227.50");
}

// Guards against a footer total that drifts as posts add and take out doubles.
TEST_P(DbDataControllerTest, FooterOfALedgerStaysExactThroughManyPosts)
{
    Exec("DELETE FROM gain; INSERT INTO gain (本次进帐, 进帐时间, 进帐人) "
         "VALUES (1000000000, '2024-01-01', '房'); "
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
         "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) SELECT 0.03, '2024-01-02', '茶' FROM n");
    TkvDataSummary &summary = *DataSummaryOf(Controller);
    TkvDataSummaryItem *total = summary.FooterSummaryItems().Add();
    static_cast<TkvDBDataSummaryItem *>(total)->SetFieldName(QString::fromUtf8("本次进帐"));
    total->SetKind(skSum);
    Query.Open();
    EXPECT_EQ(summary.FooterValues(0).toDouble(), 1000000060.0);
    Controller.ChangeFocusedRowIndex(1);
    for (int i = 0; i < 40; ++i) {
        Query.Edit();
        Query.FieldByName("本次进帐")->SetValue(Variant(i % 2 ? 0.03 : 0.07));
        Query.Post();
    }
    EXPECT_EQ(summary.FooterValues(0).toDouble(), 1000000060.0); // followed, not recomputed
    EXPECT_EQ(summary.FooterText(0).toStdString(), "1000000060.00");
    Query.Refresh();
    EXPECT_EQ(summary.FooterValues(0).toDouble(), 1000000060.0);
}

// A filtered list: a post whose new values fail the filter takes the row out
// of the list, one whose values pass it brings it back.
TEST_P(DbDataControllerTest, PostedRowIsFilteredAgainAlone)
{
    Query.Open();
    Controller.SetFindFilter(2, QString::fromUtf8("红"));
    Controller.ChangeFocusedRowIndex(0);
    ASSERT_EQ(Rows(), "*红包");
    Query.Edit();
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("礼金"));
    Log.clear();
    Query.Post();
    EXPECT_EQ(Rows(), "");
    EXPECT_EQ(Log.find("dckAll"), std::string::npos) << Log;
    Controller.ClearFindFilter();
    EXPECT_EQ(Rows(), "工资,*礼金,利息");
}

// Moving to another row first saves the row being edited. When that save
// takes the row out of the list (the statement runs again and no longer
// selects it), the row clicked must be focused, not the one that took its
// index.
TEST_P(DbDataControllerTest, RowClickedWhileTheEditedRowLeavesIsFocused)
{
    Exec("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (55, '2024-03-01', '奖金'), "
         "(33, '2024-03-02', '稿费')");
    Query.ClearSQL();
    Query.AddSQL("select * from gain where 本次进帐 > 10");
    Query.AfterPost = [](TDbQuery *dataSet) { dataSet->Refresh(); };
    Query.Open();
    ASSERT_EQ(Rows(), "*工资,红包,奖金,稿费");
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(1.0)); // 工资 leaves the list at the save
    Controller.ChangeFocusedRowIndex(2);                   // 奖金
    EXPECT_EQ(Rows(), "红包,*奖金,稿费");
    EXPECT_EQ(Current(), "奖金");
    EXPECT_EQ(Controller.FocusedRecordIndex(), Query.RecNo() - 1);
}

//! A field that notes how many records its storage still held when it was let go.
class ReleaseProbeField : public TkvDBDataField {
public:
    ReleaseProbeField(TkvCustomDataFieldList *list, TkvDataItem item, bool isInternal, std::vector<int> *log)
        : TkvDBDataField(list, item, isInternal), FLog(log)
    {
    }
    ~ReleaseProbeField() override { FLog->push_back(FieldList()->Storage()->RecordCount()); }

private:
    std::vector<int> *FLog;
};

class ReleaseProbeController : public TkvGridDBDataController {
public:
    explicit ReleaseProbeController(std::vector<int> *log) : FLog(log) {}

protected:
    std::unique_ptr<TkvCustomDataField> CreateField(TkvDataItem item, bool isInternal) override
    {
        return std::make_unique<ReleaseProbeField>(&Fields(), item, isInternal, FLog);
    }

private:
    std::vector<int> *FLog;
};

// Guards against a closing controller removing its columns while every record
// was still loaded, which rebuilt each record's buffer once per column.
TEST_P(DbDataControllerTest, ClosingDropsTheRecordsBeforeTheColumns)
{
    std::vector<int> recordsAtRelease;
    {
        ReleaseProbeController probe(&recordsAtRelease);
        int columns[4] = {};
        const char *names[] = {"本次进帐", "进帐时间", "进帐人", "备注"};
        for (int i = 0; i < 4; ++i) {
            probe.AttachItem(&columns[i]);
            probe.ChangeFieldName(i, QString::fromUtf8(names[i]));
        }
        probe.SetDataSource(&Source);
        Query.Open();
        ASSERT_EQ(probe.Storage().RecordCount(), 3);
        recordsAtRelease.clear();
    }
    ASSERT_GE(recordsAtRelease.size(), 4u);
    for (const int records : recordsAtRelease)
        EXPECT_EQ(records, 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, DbDataControllerTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum

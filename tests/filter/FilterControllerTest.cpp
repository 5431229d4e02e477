// A record-set controller's criteria: the record being edited or inserted is
// never filtered out, the expression speaks the query's Null tests, and the
// record set's own filter takes over when asked to.
#include "core/RegionalSettings.h"
#include "data/DataControllerGroups.h"
#include "data/DbDataController.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "filter/DataFilterCriteria.h"
#include "support/DbTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace kestrum {
namespace {

using test::RawExec;

class FilterControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        ASSERT_TRUE(Dir.isValid());
        Path = Dir.filePath("Vantorel.mdb");
        RawExec(Path, "CREATE TABLE gain (id INTEGER PRIMARY KEY, 本次进帐 DOUBLE, 进帐时间 DATETIME, "
                      "进帐人 VARCHAR(50), 备注 TEXT)");
        RawExec(Path, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (100, '2024-01-05', '工资'), "
                      "(20.5, '2024-01-06', '红包'), (7, '2024-02-01', '利息')");
        Connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Path);
        Query.SetConnection(&Connection);
        Query.AddSQL("select * from gain");
        Source.SetDataSet(&Query);
        const char *names[] = {"本次进帐", "进帐时间", "进帐人", "备注"};
        for (int i = 0; i < 4; ++i) {
            Controller.AttachItem(&Columns[i]);
            Controller.ChangeFieldName(i, QString::fromUtf8(names[i]));
        }
        auto criteria = std::make_unique<TkvDBDataFilterCriteria>(Controller);
        Filter = criteria.get();
        Controller.AdoptFilter(std::move(criteria));
        Controller.SetDataSource(&Source);
        Query.Open();
    }

    void TearDown() override { Query.Close(); }

    std::string Rows()
    {
        std::string text;
        for (int r = 0; r < Controller.RowCount(); ++r)
            text +=
                (r ? "," : "") + Controller.GetDisplayText(Controller.GetRowRecordIndex(r), 2).toStdString();
        return text;
    }

    QTemporaryDir Dir;
    QString Path;
    TDbConnection Connection;
    TDbQuery Query;
    TDbDataSource Source;
    int Columns[4] = {};
    TkvGridDBDataController Controller;
    TkvDBDataFilterCriteria *Filter = nullptr;
};

TEST_F(FilterControllerTest, EditedAndInsertedRecordsAreNeverFilteredOut)
{
    Filter->AppendCondition(nullptr, Controller.GetItemField(0), ocGreater, 10.0, "10");
    Filter->SetActive(true);
    EXPECT_EQ(Rows(), "工资,红包");
    Controller.ChangeFocusedRowIndex(1);
    Query.Edit();
    Query.FieldByName("本次进帐")->SetValue(Variant(1.0));
    Filter->SetOptions({fcoSoftCompare}); // the criteria changes while the record is edited
    EXPECT_EQ(Rows(), "工资,红包");
    Query.Post();
    EXPECT_EQ(Rows(), "工资"); // editing ended: the filter applies again

    Controller.Append();
    EXPECT_EQ(Rows(), "工资,"); // the empty new record stays
    Query.FieldByName("本次进帐")->SetValue(Variant(2.0));
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("奖金"));
    Controller.Post();
    EXPECT_EQ(Rows(), "工资");
    Filter->SetActive(false);
    EXPECT_EQ(Rows(), "工资,红包,利息,奖金");
}

TEST_F(FilterControllerTest, QueryExpressionsTestNullWithIs)
{
    Filter->AppendCondition(nullptr, Controller.GetItemField(3), ocEqual, Variant::null(), "");
    Filter->AppendCondition(nullptr, Controller.GetItemField(2), ocNotEqual, Variant::null(), "");
    EXPECT_EQ(Filter->ExpressionText().toStdString(), "(备注 IS NULL) AND (进帐人 IS NOT NULL)");
    EXPECT_EQ(Filter->CaptionText().toStdString(), "(备注 = 空) 与 (进帐人 <> 空)");
}

TEST_F(FilterControllerTest, RecordSetFilterTakesOverWhenAsked)
{
    Filter->AppendCondition(nullptr, Controller.GetItemField(2), ocLike, Variant::fromUtf8("%工%"), "");
    Filter->SetActive(true);
    EXPECT_EQ(Rows(), "工资");
    QString seen;
    Filter->OnBeforeChange = [&](TkvFilterCriteria *, TDbQuery *dataSet, const QString &text) {
        EXPECT_EQ(dataSet, &Query);
        seen = text;
    };
    Filter->SetAutoDataSetFilter(true);
    EXPECT_EQ(seen.toStdString(), "(进帐人 LIKE '%工%')");
    EXPECT_TRUE(Query.Filtered());
    EXPECT_EQ(Query.Filter().toStdString(), "(进帐人 LIKE '%工%')");
    // The in-memory filter is off; the rows are what the record set shows.
    EXPECT_TRUE(Filter->IsEmpty());
}

// A condition that cannot be evaluated once corrupted the rows and made every later save fail.
TEST_F(FilterControllerTest, ConditionThatCannotBeEvaluatedLeavesRowsAndCriteriaAndLaterSavesWork)
{
    Filter->AppendCondition(nullptr, Controller.GetItemField(2), ocNotEqual, Variant::fromUtf8("红包"),
                            "红包");
    Filter->SetActive(true);
    ASSERT_EQ(Rows(), "工资,利息");
    const std::string caption = Filter->CaptionText().toStdString();
    int changes = 0;
    Filter->OnChanged = [&](TkvFilterCriteria *) { ++changes; };

    // An amount compared with a text that is no number.
    EXPECT_THROW(Filter->AppendCondition(nullptr, Controller.GetItemField(0), ocEqual,
                                         Variant::fromUtf8("abc"), "abc"),
                 EVariantConversionError);
    EXPECT_EQ(Rows(), "工资,利息");
    EXPECT_EQ(Filter->CaptionText().toStdString(), caption); // the criteria still says what the rows show
    EXPECT_EQ(changes, 0);

    // A later entry is saved and says so; the filter still applies.
    Controller.Append();
    Query.FieldByName("本次进帐")->SetValue(Variant(3.0));
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("奖金"));
    EXPECT_NO_THROW(Controller.Post());
    EXPECT_EQ(test::RawValue(Path, "SELECT count(*) FROM gain"), "4");
    EXPECT_EQ(Rows(), "工资,利息,奖金");
    EXPECT_NO_THROW(Query.Delete());
    EXPECT_EQ(test::RawValue(Path, "SELECT count(*) FROM gain"), "3");
}

// Conditions joined by AND are tested a column at a time: the rows are those
// every condition passes, Nulls and a condition of the general path among
// them, and a condition that cannot be tested still raises when an earlier
// one has turned every row away.
TEST_F(FilterControllerTest, ConditionsJoinedByAndKeepTheRowsEveryOnePasses)
{
    RawExec(Path, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (NULL, '2024-03-01', '奖金'), "
                  "(30, '2024-03-02', NULL), (12, '2024-03-03', '工资')");
    Query.Close();
    Query.Open();
    ASSERT_EQ(Controller.RowCount(), 6);
    Filter->BeginBatch();
    Filter->AppendCondition(nullptr, Controller.GetItemField(0), ocBetween, Variant::fromArray({5.0, 150.0}),
                            "5 and 150");
    Filter->AppendCondition(nullptr, Controller.GetItemField(2), ocNotEqual, Variant::fromUtf8("红包"),
                            "红包");
    Filter->SetActive(true);
    Filter->EndBatch();
    EXPECT_EQ(Rows(), "工资,利息,,工资");

    Filter->AppendCondition(nullptr, Controller.GetItemField(0), ocLess, 50.0, "50");
    EXPECT_EQ(Rows(), "利息,,工资");
    Filter->AppendCondition(nullptr, Controller.GetItemField(2), ocLike, Variant::fromUtf8("%资"), "%资");
    EXPECT_EQ(Rows(), "工资");

    Filter->BeginBatch();
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Controller.GetItemField(0), ocGreater, 1000.0, "1000");
    Filter->EndBatch();
    EXPECT_EQ(Rows(), "");
    EXPECT_THROW(Filter->AppendCondition(nullptr, Controller.GetItemField(0), ocEqual,
                                         Variant::fromUtf8("abc"), "abc"),
                 EVariantConversionError);
    EXPECT_EQ(Rows(), "");
}

// With grouping on, a failing filter left the group tree pointing past a shorter record list.
TEST_F(FilterControllerTest, FailingFilterKeepsGroupedRowsWholeThroughReloads)
{
    DataGroupsOf(Controller)->PlaceInGrouping(2, 0);
    // Grouping keeps the focused entry's data row in view; fold every group for the count.
    DataGroupsOf(Controller)->FullCollapse();
    const int rowsBefore = Controller.RowCount();
    ASSERT_EQ(rowsBefore, 3); // three collapsed groups
    Filter->SetActive(true);
    EXPECT_THROW(Filter->AppendCondition(nullptr, Controller.GetItemField(0), ocEqual,
                                         Variant::fromUtf8("abc"), "abc"),
                 EVariantConversionError);
    const auto expectRowsName = [&] {
        for (int r = 0; r < Controller.RowCount(); ++r) {
            const int record = Controller.GetRowInfo(r).RecordIndex;
            EXPECT_TRUE(record >= 0 && record < Controller.RecordCount()) << "row " << r << ": " << record;
        }
    };
    EXPECT_EQ(Controller.RowCount(), rowsBefore);
    expectRowsName();
    // A delete makes the list shorter; the groups follow it.
    Controller.ChangeFocusedRowIndex(0);
    EXPECT_NO_THROW(Query.Delete());
    EXPECT_EQ(Controller.RowCount(), 2);
    expectRowsName();
}

} // namespace
} // namespace kestrum

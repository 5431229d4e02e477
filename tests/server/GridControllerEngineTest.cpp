// A grid's data controller over a record set on a ledger file and on a
// ledger on a server: the same rows, column types, posts and footer totals.
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "data/DbDataController.h"
#include "data/DbDataField.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbErrors.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "ledger/LedgerEngines.h"

namespace kestrum::test {

class GridOnEngine : public LedgerOnEngine {
protected:
    void SetUp() override
    {
        LedgerOnEngine::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        Exec("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (100, '2024-01-05', '工资'), "
             "(20.5, '2024-01-06', '红包'), (7, '2024-02-01', '利息')");
        Connection.SetConnectionString(
            "Data Source=" + TDbConnection::QuotedConnectionStringValue(QString::fromStdString(FTarget)));
        Query.SetConnection(&Connection);
        Query.AddSQL("select * from gain order by id");
        Source.SetDataSet(&Query);
        const char *names[] = {"本次进帐", "进帐时间", "进帐人", "备注"};
        for (int i = 0; i < 4; ++i) {
            Controller.AttachItem(&Columns[i]);
            Controller.ChangeFieldName(i, QString::fromUtf8(names[i]));
        }
        Controller.SetDataSource(&Source);
    }
    void TearDown() override { Query.Close(); }

    //! The item column of the visible rows, "*" marking the focused one.
    std::string VisibleRows()
    {
        std::string text;
        for (int r = 0; r < Controller.RowCount(); ++r)
            text += std::string(r ? "," : "") + (r == Controller.FocusedRowIndex() ? "*" : "") +
                    Controller.GetDisplayText(Controller.GetRowRecordIndex(r), 2).toStdString();
        return text;
    }

    TDbConnection Connection;
    TDbQuery Query;
    TDbDataSource Source;
    int Columns[4] = {};
    TkvGridDBDataController Controller;
};

TEST_P(GridOnEngine, LoadsTheTableWithTheSameTypedColumns)
{
    Query.Open();
    EXPECT_EQ(VisibleRows(), "*工资,红包,利息");
    EXPECT_EQ(Controller.GetItemValueTypeClass(0), TkvFloatValueType::Instance());
    EXPECT_EQ(Controller.GetItemValueTypeClass(1), TkvDateTimeValueType::Instance());
    EXPECT_EQ(Controller.GetItemValueTypeClass(2), TkvStringValueType::Instance());
    EXPECT_EQ(Controller.GetValue(1, 0).toDouble(), 20.5);
    EXPECT_EQ(Controller.GetValue(2, 1).toDate(), 45323.0); // 2024-02-01
    EXPECT_TRUE(Controller.GetValue(0, 3).isNull());
    EXPECT_EQ(Controller.Storage().CheckConsistency(), "");
}

TEST_P(GridOnEngine, PostsThroughTheControllerAndKeepsTheFooterExact)
{
    TkvDataSummary &summary = *DataSummaryOf(Controller);
    TkvDataSummaryItem *total = summary.FooterSummaryItems().Add();
    static_cast<TkvDBDataSummaryItem *>(total)->SetFieldName(QString::fromUtf8("本次进帐"));
    total->SetKind(skSum);
    DataSortingOf(Controller)->ApplySortOrder(0, soDescending);
    Query.Open();
    EXPECT_EQ(VisibleRows(), "*工资,红包,利息");
    Controller.Append();
    Query.FieldByName("本次进帐")->SetValue(Variant(50.0));
    Query.FieldByName("进帐人")->SetText(QString::fromUtf8("奖金"));
    Controller.Post();
    EXPECT_EQ(VisibleRows(), "工资,*奖金,红包,利息");
    EXPECT_EQ(Scalar("SELECT \"进帐人\" FROM gain WHERE \"本次进帐\" = 50"), "奖金");
    for (int i = 0; i < 10; ++i) {
        Query.Edit();
        Query.FieldByName("本次进帐")->SetValue(Variant(i % 2 ? 0.03 : 0.07));
        Query.Post();
    }
    EXPECT_EQ(summary.FooterText(0).toStdString(), "127.53");
    Query.Refresh();
    EXPECT_EQ(summary.FooterText(0).toStdString(), "127.53");
    EXPECT_EQ(Scalar("SELECT sum(\"本次进帐\") FROM gain"), "127.53");
}

KESTRUM_ON_BOTH_ENGINES(GridOnEngine);

} // namespace kestrum::test

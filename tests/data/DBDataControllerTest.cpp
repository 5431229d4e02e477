#include "data/DBDataController.h"
#include "core/Codepage.h"
#include "core/RegionalSettings.h"
#include "data/DataControllerGroups.h"
#include "data/DataSorting.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbField.h"
#include "db/DbQuery.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace kestrum {
namespace {

void Exec(const QString &path, const std::string &sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

//! The income table of a ledger file, a query over it and a grid's controller
//! with the four ledger columns bound by name.
class DBDataControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        ASSERT_TRUE(Dir.isValid());
        Path = Dir.filePath("Vantorel.mdb");
        Exec(Path, "CREATE TABLE gain (id INTEGER PRIMARY KEY, 本次进帐 DOUBLE, 进帐时间 DATETIME, "
                   "进帐人 VARCHAR(50), 备注 TEXT)");
        Exec(Path, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (100, '2024-01-05', '工资'), "
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
        Controller.SetUpdateControlHandler(
            [this](const TkvUpdateControlInfo &info) { Log += (Log.empty() ? "" : " ") + info.Describe(); });
        Controller.SetDataSource(&Source);
    }

    void TearDown() override { Query.Close(); }

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

    QTemporaryDir Dir;
    QString Path;
    TDbConnection Connection;
    TDbQuery Query;
    TDbDataSource Source;
    int Columns[4] = {};
    TkvGridDBDataController Controller;
    std::string Log;
};

TEST_F(DBDataControllerTest, OpeningLoadsEveryRowWithTypedColumns)
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

TEST_F(DBDataControllerTest, FocusFollowsTheRecordSetBothWays)
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

TEST_F(DBDataControllerTest, FocusAfterReloadIsTheRecordSetsCurrentRow)
{
    Query.Open();
    Query.Last();
    Query.Refresh();
    EXPECT_EQ(Rows(), "工资,红包,*利息");
}

TEST_F(DBDataControllerTest, PostingANewEntryReloadsAndFocusesIt)
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
    EXPECT_NE(Log.find("Data(dckAll,-1,-1)"), std::string::npos);
}

TEST_F(DBDataControllerTest, PostedEntryIsFocusedWhereverSortingPutsIt)
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

TEST_F(DBDataControllerTest, InsertedRowTakesTheFocusedGroupsValues)
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

TEST_F(DBDataControllerTest, EditedRecordStaysVisibleWhileItFailsTheFilter)
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

TEST_F(DBDataControllerTest, TypingWhileEditingUpdatesTheRowBeforeThePost)
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

TEST_F(DBDataControllerTest, InsertWhileAnInsertIsPendingPostsTheFirst)
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

TEST_F(DBDataControllerTest, DeletingTheLastAndTheOnlyRow)
{
    Query.Open();
    Controller.GotoLast();
    Controller.DeleteFocused();
    EXPECT_EQ(Rows(), "工资,*红包");
    Exec(Path, "DELETE FROM gain WHERE 进帐人 <> '工资'");
    Query.Close();
    Query.Open();
    EXPECT_EQ(Rows(), "*工资");
    Controller.DeleteFocused();
    EXPECT_EQ(Rows(), "");
    EXPECT_EQ(Controller.FocusedRowIndex(), -1);
    EXPECT_EQ(Controller.FocusedRecordIndex(), -1);
}

TEST_F(DBDataControllerTest, ColumnsOnMissingAndSharedFields)
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

TEST_F(DBDataControllerTest, ClosingEmptiesAndReopeningRebinds)
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

TEST_F(DBDataControllerTest, SharedRecordSetKeepsBothControllersInStep)
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

} // namespace
} // namespace kestrum

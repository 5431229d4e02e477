// Record sets on a ledger file and on a ledger on a server, under the same
// tests: opening, reading, locating, filtering, editing, posting, deleting,
// refreshing, and the refusal to overwrite a row someone else changed.
#include "db/DbConnection.h"
#include "db/DbDataLink.h"
#include "db/DbDataSource.h"
#include "db/DbErrors.h"
#include "db/DbQuery.h"
#include "db/DbRowReader.h"
#include "db/RowSink.h"
#include "db/RowStore.h"
#include "ledger/LedgerEngines.h"

#include <sys/wait.h>
#include <unistd.h>

namespace kestrum::test {

namespace {

//! A data link that keeps the rows itself, so the record set keeps their keys only.
class TakingLink : public TDbDataLink, public TDbRowSink {
public:
    std::vector<std::string> Rows;

    bool BeginRows(TDbQuery &) override
    {
        Rows.clear();
        return true;
    }
    void TakeRow(int, const TDbRowReader &row) override
    {
        std::string text;
        for (int c = 0; c < row.ColumnCount(); ++c) {
            text += c ? "," : "";
            switch (row.Kind(c)) {
            case TDbCellKind::Integer:
                text += std::to_string(row.Integer(c));
                break;
            case TDbCellKind::Float:
                text += RealText(row.Float(c));
                break;
            case TDbCellKind::Null:
                text += "-";
                break;
            default:
                text += row.Bytes(c);
            }
        }
        Rows.push_back(text);
    }
    void EndRows(TDbQuery &, bool) override {}
};

} // namespace

class RecordSets : public LedgerOnEngine {
protected:
    void SetUp() override
    {
        LedgerOnEngine::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        AddGain("8600", "2024-07-10 00:00:00", "工资", nullptr);
        AddGain("1500.5", "2024-07-28 00:00:00", "奖金", "季度奖");
        AddGain("300", "2024-08-02 00:00:00", "兼职", nullptr);
        FConnection = Connection();
    }

    void AddGain(const char *amount, const char *date, const char *item, const char *remark)
    {
        Exec(std::string("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") VALUES (") +
             amount + ", '" + date + "', '" + item + "', " +
             (remark ? "'" + std::string(remark) + "'" : "NULL") + ")");
    }

    //! A record sets' connection to the ledger, as another window holds it.
    std::unique_ptr<TDbConnection> Connection() const
    {
        auto connection = std::make_unique<TDbConnection>();
        connection->SetConnectionString(
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
            TDbConnection::QuotedConnectionStringValue(QString::fromStdString(FTarget)));
        return connection;
    }

    std::unique_ptr<TDbQuery> Open(TDbConnection &connection, const QString &sql) const
    {
        auto query = std::make_unique<TDbQuery>();
        query->SetConnection(&connection);
        query->SetSQL({sql});
        query->Open();
        return query;
    }
    std::unique_ptr<TDbQuery> Open(const QString &sql = "select * from gain order by id") const
    {
        return Open(*FConnection, sql);
    }

    //! The field texts of every row, "a,b|c,d".
    static std::string Texts(TDbQuery &query, const QStringList &fields)
    {
        std::string result;
        query.First();
        for (; !query.Eof(); query.Next()) {
            QStringList texts;
            for (const QString &field : fields)
                texts.append(query.FieldByName(field)->IsNull() ? "-" : query.FieldByName(field)->AsString());
            result += (result.empty() ? "" : "|") + texts.join(',').toStdString();
        }
        return result;
    }

    std::unique_ptr<TDbConnection> FConnection;
};

TEST_P(RecordSets, OpenReadsEveryRowWithTheFieldTypesOfTheFile)
{
    auto query = Open();
    EXPECT_EQ(FConnection->IsServer(), OnServer());
    ASSERT_EQ(query->RecordCount(), 3);
    EXPECT_EQ(query->FieldNames().join(',').toStdString(), "id,本次进帐,进帐时间,进帐人,备注");
    EXPECT_EQ(query->FieldByName("id")->DataType(), ftAutoInc); // the table's key
    EXPECT_EQ(query->FieldByName("本次进帐")->DataType(), ftFloat);
    EXPECT_EQ(query->FieldByName("进帐时间")->DataType(), ftDateTime);
    EXPECT_EQ(query->FieldByName("进帐人")->DataType(), ftString);
    EXPECT_EQ(query->FieldByName("进帐人")->Size(), 50);
    EXPECT_EQ(query->FieldByName("备注")->DataType(), ftMemo);
    EXPECT_TRUE(query->CanModify());
    EXPECT_EQ(Texts(*query, {"本次进帐", "进帐人", "备注"}), "8600,工资,-|1500.5,奖金,季度奖|300,兼职,-");
    query->First();
    query->Next();
    EXPECT_DOUBLE_EQ(query->FieldByName("本次进帐")->AsFloat(), 1500.5);
    EXPECT_DOUBLE_EQ(query->FieldByName("进帐时间")->AsDateTime(), 45501.0); // 2024-07-28
}

TEST_P(RecordSets, LocateLookupFilterAndParametersFindTheSameRows)
{
    auto query = Open();
    EXPECT_TRUE(query->Locate("进帐人", Variant(QStringLiteral("兼职"))));
    EXPECT_EQ(query->RecNo(), 3);
    EXPECT_TRUE(query->Locate("id", Variant(2)));
    EXPECT_EQ(query->FieldByName("进帐人")->AsString(), "奖金");
    EXPECT_FALSE(query->Locate("id", Variant(99)));
    EXPECT_EQ(query->Lookup("id", Variant(1), "进帐人").toString(), "工资");
    query->SetFilter("[本次进帐] > 1000");
    query->SetFiltered(true);
    EXPECT_EQ(Texts(*query, {"进帐人"}), "工资|奖金");

    // A text parameter compared with money or a year is read as a number.
    auto chosen = std::make_unique<TDbQuery>();
    chosen->SetConnection(FConnection.get());
    chosen->SetSQL({"select * from gain where 本次进帐 > :least and year(进帐时间) = :year order by id"});
    chosen->ParamByName("least")->SetValue(Variant(QStringLiteral(" 400 ")));
    chosen->ParamByName("year")->SetValue(Variant(QStringLiteral("2024")));
    chosen->Open();
    EXPECT_EQ(Texts(*chosen, {"进帐人"}), "工资|奖金");
    EXPECT_TRUE(chosen->StatementSelectsCurrentRow());
}

TEST_P(RecordSets, InsertEditDeleteAndCancelWriteThroughAndRoundTrip)
{
    auto query = Open();
    query->Append();
    query->FieldByName("本次进帐")->SetAsFloat(123456789.1234);
    query->FieldByName("进帐时间")->SetValue(Variant::fromDate(45499.25)); // 2024-07-26 06:00
    query->FieldByName("进帐人")->SetAsString("红包“压岁”");
    query->Post();
    const std::string id = query->FieldByName("id")->AsString().toStdString();
    EXPECT_GT(std::stoi(id), 3);
    EXPECT_TRUE(query->FieldByName("备注")->IsNull());
    EXPECT_EQ(Rows("SELECT \"本次进帐\", \"进帐人\", \"备注\" FROM gain WHERE id = " + id),
              "123456789.1234|红包“压岁”|-");
    EXPECT_EQ(Scalar("SELECT year(\"进帐时间\") * 100 + hour(\"进帐时间\") FROM gain WHERE id = " + id),
              "202406");

    query->First();
    query->Edit();
    query->FieldByName("本次进帐")->SetAsFloat(0.1);
    query->FieldByName("备注")->SetAsString("周末\n家教");
    query->Post();
    query->Next();
    query->Edit();
    query->FieldByName("进帐人")->SetAsString("不存");
    query->Cancel();
    query->Delete(); // the row of 奖金
    EXPECT_EQ(Rows("SELECT \"本次进帐\", \"备注\" FROM gain ORDER BY id"),
              "0.1|周末\n家教;300.0|-;123456789.1234|-");

    // What was written reads back the same in a record set opened afresh.
    auto again = Open();
    EXPECT_EQ(Texts(*again, {"本次进帐", "进帐人", "备注"}),
              "0.1,工资,周末\n家教|300,兼职,-|123456789.1234,红包“压岁”,-");
    again->Last();
    EXPECT_DOUBLE_EQ(again->FieldByName("进帐时间")->AsDateTime(), 45499.25);
}

TEST_P(RecordSets, ARowAnotherConnectionChangedIsNeitherOverwrittenNorDeleted)
{
    auto query = Open();
    auto other = Connect();
    query->Edit();
    query->FieldByName("进帐人")->SetAsString("我改的");
    Exec(*other, "UPDATE gain SET \"本次进帐\" = 8700 WHERE id = 1");
    EXPECT_THROW(query->Post(), EDbRowConflict);
    EXPECT_EQ(query->State(), dsEdit); // the user may cancel and look again
    query->Cancel();
    EXPECT_EQ(Rows("SELECT \"本次进帐\", \"进帐人\" FROM gain WHERE id = 1"), "8700.0|工资");

    query->Next();
    Exec(*other, "UPDATE gain SET \"备注\" = '他改的' WHERE id = 2");
    EXPECT_THROW(query->Delete(), EDbRowConflict);
    EXPECT_EQ(Scalar("SELECT count(*) FROM gain"), "3");

    // After a refresh the rows are the ones now there, and writing works.
    query->Refresh();
    EXPECT_EQ(query->FieldByName("备注")->AsString(), "他改的");
    query->Delete();
    EXPECT_EQ(Scalar("SELECT count(*) FROM gain"), "2");
}

TEST_P(RecordSets, RowsKeptByAnotherTakerAreReadBackByKeyAndCheckedBeforeAWrite)
{
    TDbDataSource source;
    TakingLink taker;
    taker.SetDataSource(&source);
    TDbQuery query;
    query.SetConnection(FConnection.get());
    source.SetDataSet(&query);
    query.SetSQL({"select * from gain order by id"});
    query.Open();
    ASSERT_TRUE(query.KeepsKeysOnly());
    ASSERT_EQ(taker.Rows.size(), 3u);
    // Dates come as the text a file keeps, money as a number, on either engine.
    EXPECT_EQ(taker.Rows[1], "2,1500.5,2024-07-28 00:00:00,奖金,季度奖");
    EXPECT_TRUE(query.Locate("进帐人", Variant(QStringLiteral("兼职"))));
    EXPECT_EQ(query.RecNo(), 3);
    EXPECT_FALSE(query.Locate("进帐人", Variant(QStringLiteral("没有"))));
    EXPECT_TRUE(query.Locate("id", Variant(2)));
    EXPECT_EQ(query.FieldByName("备注")->AsString(), "季度奖");
    query.Edit();
    query.FieldByName("备注")->SetAsString("改过");
    query.Post();
    EXPECT_EQ(Scalar("SELECT \"备注\" FROM gain WHERE id = 2"), "改过");

    auto other = Connect();
    Exec(*other, "UPDATE gain SET \"进帐人\" = '别人' WHERE id = 2");
    query.Edit();
    query.FieldByName("备注")->SetAsString("又改");
    EXPECT_THROW(query.Post(), EDbRowConflict);
    query.Cancel();
    EXPECT_EQ(Rows("SELECT \"进帐人\", \"备注\" FROM gain WHERE id = 2"), "别人|改过");
    std::string visible;
    query.ReadVisibleRows([&](int position, const TDbRowReader &row) {
        if (position == 1)
            visible = std::string(row.Bytes(3));
    });
    EXPECT_EQ(visible, "别人");
}

KESTRUM_ON_BOTH_ENGINES(RecordSets);

// Several computers on one server ledger: each its own connection.
class SharedServerLedger : public RecordSets {};

TEST_P(SharedServerLedger, ConflictingEditsFromThreeComputersLoseNothing)
{
    auto second = Connection();
    auto third = Connection();
    auto mine = Open();
    auto theirs = Open(*second, "select * from gain order by id");
    auto deleting = Open(*third, "select * from gain order by id");
    mine->Edit();
    mine->FieldByName("本次进帐")->SetAsFloat(1);
    theirs->Edit();
    theirs->FieldByName("进帐人")->SetAsString("第二台");
    mine->Post();
    EXPECT_THROW(theirs->Post(), EDbRowConflict);
    EXPECT_EQ(Rows("SELECT \"本次进帐\", \"进帐人\" FROM gain WHERE id = 1"), "1.0|工资");

    // A row deleted on one computer while another edits it.
    theirs->Cancel();
    theirs->Next();
    theirs->Edit();
    theirs->FieldByName("备注")->SetAsString("还在改");
    deleting->Next();
    deleting->Delete();
    EXPECT_THROW(theirs->Post(), EDbRowConflict);
    EXPECT_EQ(Scalar("SELECT count(*) FROM gain WHERE id = 2"), "0");
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_trash WHERE original_id = 2"), "1");
}

TEST_P(SharedServerLedger, APostWaitsForARowAnotherComputerIsWritingOnlyAsLongAsTheBusyTimeout)
{
    FConnection->SetBusyTimeout(200);
    auto query = Open();
    auto other = Connect();
    Exec(*other, "BEGIN");
    Exec(*other, "UPDATE gain SET \"备注\" = '写到一半' WHERE id = 1");
    query->Edit();
    query->FieldByName("进帐人")->SetAsString("等不及");
    try {
        query->Post();
        ADD_FAILURE() << "wrote a row another connection holds";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::Busy) << e.what();
    }
    EXPECT_EQ(query->State(), dsEdit); // nothing typed is lost
    Exec(*other, "ROLLBACK");
    query->Post();
    EXPECT_EQ(Rows("SELECT \"进帐人\", \"备注\" FROM gain WHERE id = 1"), "等不及|-");
}

TEST_P(SharedServerLedger, AClientKilledMidPostLeavesTheServerConsistent)
{
    for (const TDbWriteStep stopAt :
         {TDbWriteStep::Began, TDbWriteStep::Written, TDbWriteStep::ReadBack, TDbWriteStep::Committed}) {
        Exec("UPDATE gain SET \"本次进帐\" = 8600, \"进帐人\" = '工资' WHERE id = 1");
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A connection of the child's own: the parent's must not be touched.
            auto connection = Connection();
            connection->OnWriteStep = [stopAt](TDbWriteStep step) {
                if (step == stopAt)
                    _exit(42); // the process ends with the transaction open
            };
            auto query = Open(*connection, "select * from gain order by id");
            query->Edit();
            query->FieldByName("本次进帐")->SetAsFloat(1);
            query->FieldByName("进帐人")->SetAsString("半途");
            query->Post();
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 42);
        EXPECT_EQ(Rows("SELECT \"本次进帐\", \"进帐人\" FROM gain WHERE id = 1"),
                  stopAt == TDbWriteStep::Committed ? "1.0|半途" : "8600.0|工资");
        // The server let go of the dead client's row: the next post goes through.
        auto query = Open();
        query->Edit();
        query->FieldByName("备注")->SetAsString("after");
        query->Post();
        EXPECT_EQ(Scalar("SELECT \"备注\" FROM gain WHERE id = 1"), "after");
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, SharedServerLedger, ::testing::Values(TEngine::Server), EngineName);

} // namespace kestrum::test

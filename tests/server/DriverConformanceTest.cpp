// Both drivers under the same tests: what the record-set layer may rely on
// whichever engine holds the ledger.
#include "db/DbDriver.h"
#include "db/PgDriver.h"
#include "db/SqliteDriver.h"
#include "server/PgTest.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum::test {

namespace {

struct TEngine {
    const char *Name;
    const char *TableSql;
};

const TEngine Sqlite{"sqlite", "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, n INTEGER, r REAL, "
                               "s TEXT, b BLOB, d DATETIME, u INTEGER UNIQUE)"};
const TEngine Postgres{
    "postgresql",
    "CREATE TABLE t (id bigserial PRIMARY KEY, n bigint, r double precision, s text, b bytea, d timestamp, "
    "u bigint UNIQUE);"
    "CREATE FUNCTION t_notify() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
    "PERFORM pg_notify('kestrum_change', 't:' || NEW.id); RETURN NULL; END $$;"
    "CREATE TRIGGER t_notify AFTER INSERT OR UPDATE ON t FOR EACH ROW EXECUTE FUNCTION t_notify()"};

class DriverConformanceTest : public ::testing::TestWithParam<const TEngine *> {
protected:
    void SetUp() override
    {
        if (IsPostgres()) {
            if (TPgServer::Skipped())
                GTEST_SKIP() << "KESTRUM_PG_SKIP=1";
            try {
                FTarget = TPgServer::Shared().ConnectionString(TPgServer::Shared().CreateDatabase());
            } catch (const std::exception &e) {
                FAIL() << e.what();
            }
            FDriver = Open();
        } else {
            FTarget = FFolder.filePath(QStringLiteral("ledger.db")).toStdString();
            FDriver = std::make_unique<TSqliteDriver>(FTarget, true, 200);
        }
        FDriver->Exec(GetParam()->TableSql);
    }

    bool IsPostgres() const { return GetParam() == &Postgres; }

    //! A second connection to the same database, as another computer has.
    std::unique_ptr<TDbDriver> Open() const
    {
        if (IsPostgres())
            return std::make_unique<TPgDriver>(FTarget);
        return std::make_unique<TSqliteDriver>(FTarget, false, 200);
    }

    std::int64_t Count(TDbDriver &driver, const char *where = "1 = 1")
    {
        auto s = driver.Prepare(std::string("SELECT count(*) FROM t WHERE ") + where);
        EXPECT_TRUE(s->Step());
        return s->ColumnInt64(0);
    }

    void Insert(TDbDriver &driver, std::int64_t n)
    {
        auto s = driver.Prepare("INSERT INTO t (n) VALUES (?1)");
        s->BindInt64(1, n);
        s->Step();
    }

    QTemporaryDir FFolder;
    std::string FTarget;
    std::unique_ptr<TDbDriver> FDriver;
};

TEST_P(DriverConformanceTest, EveryBoundKindComesBackAsItWent)
{
    const std::string blob("a\0b\xff'", 5);
    const double day = 45478.5625; // 2024-07-05 13:30
    auto insert = FDriver->PrepareInsert("INSERT INTO t (n, r, s, b, d) VALUES (?1, ?2, ?3, ?4, ?5)", "id");
    insert->BindInt64(1, 9007199254740993LL);
    insert->BindDouble(2, 0.1 + 0.2);
    insert->BindText(3, "伙食 'x' \"y\" ?1 $1");
    insert->BindBlob(4, blob);
    insert->BindDateTime(5, day);
    EXPECT_FALSE(insert->Step());
    const std::int64_t first = FDriver->LastInsertId();
    insert->Reset();
    insert->BindNull(1);
    insert->BindNull(3);
    insert->Step();
    EXPECT_EQ(FDriver->LastInsertId(), first + 1);

    auto select = FDriver->Prepare("SELECT id, n, r, s, b, d FROM t WHERE id = ?1 OR id = ?2 ORDER BY id");
    select->BindInt64(1, first);
    select->BindInt64(2, first + 1);
    ASSERT_EQ(select->ColumnCount(), 6); // known before the first row
    EXPECT_EQ(select->ColumnName(3), "s");
    ASSERT_TRUE(select->Step());
    EXPECT_EQ(select->ColumnInt64(0), first);
    EXPECT_EQ(select->ColumnType(1), TDbValueType::Integer);
    EXPECT_EQ(select->ColumnInt64(1), 9007199254740993LL);
    EXPECT_EQ(select->ColumnType(2), TDbValueType::Real);
    EXPECT_EQ(select->ColumnDouble(2), 0.1 + 0.2);
    EXPECT_EQ(select->ColumnText(3), "伙食 'x' \"y\" ?1 $1");
    EXPECT_EQ(select->ColumnType(4), TDbValueType::Blob);
    EXPECT_EQ(select->ColumnBlob(4), blob);
    EXPECT_DOUBLE_EQ(select->ColumnDateTime(5), day);
    ASSERT_TRUE(select->Step());
    EXPECT_TRUE(select->ColumnIsNull(1));
    EXPECT_TRUE(select->ColumnIsNull(3));
    EXPECT_EQ(select->ColumnInt64(2), 0); // kept from the first run
    EXPECT_FALSE(select->Step());
}

// A statement run many times (prepared once on a server) takes values of
// other kinds on later runs, and one dropped inside a failed transaction
// leaves the connection usable.
TEST_P(DriverConformanceTest, AStatementRunAgainTakesValuesOfAnyKind)
{
    auto insert = FDriver->Prepare("INSERT INTO t (n, s) VALUES (?1, ?2)");
    for (int run = 0; run < 4; ++run) {
        insert->BindInt64(1, run);
        if (run == 2)
            insert->BindText(2, "x");
        else if (run == 3)
            insert->BindDouble(2, 1.5);
        else
            insert->BindInt64(2, 5 + run);
        insert->Step();
        insert->Reset();
    }
    auto select = FDriver->Prepare("SELECT s FROM t ORDER BY n");
    std::string seen;
    while (select->Step())
        seen += select->ColumnText(0) + ";";
    EXPECT_EQ(seen, "5;6;x;1.5;");

    FDriver->Begin();
    {
        auto again = FDriver->Prepare("SELECT count(*) FROM t WHERE n = ?1");
        for (int run = 0; run < 3; ++run) {
            again->BindInt64(1, run);
            again->Step();
            again->Reset();
        }
        EXPECT_THROW(FDriver->Exec("SELECT * FROM missing_table"), EDbDriverError);
    }
    FDriver->Rollback();
    EXPECT_EQ(Count(*FDriver), 4);
}

// Guards against values being written into the SQL text: quotes, a question
// mark inside a literal and statement separators in a value stay data.
TEST_P(DriverConformanceTest, ParametersAreBoundNeverSpliced)
{
    const std::string hostile = "x'); DROP TABLE t; --";
    auto insert = FDriver->Prepare("INSERT INTO t (s) VALUES (?)");
    insert->BindText(1, hostile);
    insert->Step();
    auto select = FDriver->Prepare("SELECT '?1' AS q, s FROM t WHERE s = ?1");
    select->BindText(1, hostile);
    ASSERT_TRUE(select->Step());
    EXPECT_EQ(select->ColumnText(0), "?1");
    EXPECT_EQ(select->ColumnText(1), hostile);
    EXPECT_EQ(Count(*FDriver), 1);
}

TEST_P(DriverConformanceTest, TransactionsAndSavepointsKeepOrDropTheirWrites)
{
    FDriver->Begin();
    EXPECT_TRUE(FDriver->InTransaction());
    Insert(*FDriver, 1);
    FDriver->Rollback();
    EXPECT_FALSE(FDriver->InTransaction());
    EXPECT_EQ(Count(*FDriver), 0);

    FDriver->Begin();
    Insert(*FDriver, 2);
    FDriver->Savepoint("partial");
    Insert(*FDriver, 3);
    FDriver->RollbackToSavepoint("partial");
    FDriver->ReleaseSavepoint("partial");
    Insert(*FDriver, 4);
    FDriver->Commit();
    EXPECT_EQ(Count(*FDriver), 2);
    EXPECT_EQ(Count(*FDriver, "n = 3"), 0);
    EXPECT_THROW(FDriver->Savepoint("x; DROP TABLE t"), EDbDriverError);
}

TEST_P(DriverConformanceTest, FailuresComeAsKindsACallerCanActOn)
{
    auto kindOf = [](auto &&run) {
        try {
            run();
        } catch (const EDbDriverError &e) {
            EXPECT_FALSE(std::string(e.what()).empty());
            return e.Kind();
        }
        return TDbErrorKind::Other;
    };
    auto unique = FDriver->Prepare("INSERT INTO t (u) VALUES (?1)");
    unique->BindInt64(1, 7);
    unique->Step();
    unique->Reset();
    EXPECT_EQ(kindOf([&] { unique->Step(); }), TDbErrorKind::Constraint);
    EXPECT_EQ(kindOf([&] { FDriver->Prepare("SELECT * FROM missing_table")->Step(); }),
              TDbErrorKind::SchemaMissing);
    // The connection is still usable after a failed statement.
    EXPECT_EQ(Count(*FDriver), 1);
}

// Two writers on one row: the second is told to try again, and nothing of
// its write lands.
TEST_P(DriverConformanceTest, AConflictingWriterIsToldToRetry)
{
    Insert(*FDriver, 1);
    std::unique_ptr<TDbDriver> other = Open();
    if (IsPostgres()) {
        FDriver->Exec("BEGIN ISOLATION LEVEL REPEATABLE READ");
        EXPECT_EQ(Count(*FDriver, "n = 1"), 1);
        other->Exec("UPDATE t SET n = 2");
    } else {
        other->Exec("BEGIN IMMEDIATE");
        other->Exec("UPDATE t SET n = 2");
        FDriver->Begin();
    }
    TDbErrorKind kind = TDbErrorKind::Other;
    try {
        FDriver->Exec("UPDATE t SET n = 3");
    } catch (const EDbDriverError &e) {
        kind = e.Kind();
    }
    EXPECT_EQ(kind, TDbErrorKind::Busy);
    FDriver->Rollback();
    if (other->InTransaction())
        other->Commit();
    EXPECT_EQ(Count(*FDriver, "n = 2"), 1);
}

TEST_P(DriverConformanceTest, ChangesCommittedElsewhereAreHeardOwnOnesAreNot)
{
    std::unique_ptr<TDbDriver> other = Open();
    FDriver->WatchChanges();
    EXPECT_TRUE(FDriver->TakeChanges(0).empty());
    Insert(*FDriver, 1);
    EXPECT_TRUE(FDriver->TakeChanges(100).empty());
    Insert(*other, 2);
    const std::vector<TDbChange> heard = FDriver->TakeChanges(3000);
    ASSERT_EQ(heard.size(), 1u);
    if (IsPostgres())
        EXPECT_EQ(heard[0], (TDbChange{"t", 2}));
    else
        EXPECT_EQ(heard[0], TDbChange{}); // a file only says that something changed
    EXPECT_TRUE(FDriver->TakeChanges(0).empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, DriverConformanceTest, ::testing::Values(&Sqlite, &Postgres),
                         [](const auto &info) { return std::string(info.param->Name); });

TEST(DriverTargetTest, AddressesAndKeywordsNameAServerAnythingElseAFile)
{
    EXPECT_TRUE(IsServerTarget("postgresql://anna@nas/household"));
    EXPECT_TRUE(IsServerTarget("postgres://nas/household"));
    EXPECT_TRUE(IsServerTarget("host=nas dbname=household"));
    EXPECT_TRUE(IsServerTarget("service=family"));
    EXPECT_FALSE(IsServerTarget("Vantorel.mdb"));
    // A file whose folder or name happens to hold "host=" is still a file.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    EXPECT_FALSE(IsServerTarget(folder.filePath("账本 host=x.mdb").toStdString()));
    EXPECT_EQ(NumberedParameters("SELECT ?, ?3, ?, '?' || \"a?\" -- ?\n, ?1"),
              "SELECT $1, $3, $4, '?' || \"a?\" -- ?\n, $1");
}

} // namespace

} // namespace kestrum::test

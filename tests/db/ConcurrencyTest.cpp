// Two programs on one file, a process killed in the middle of a write, and
// files that cannot be opened.
#include "support/EngineLedger.h"

#include "db/DbErrors.h"

#include <QDir>
#include <QFile>

#include <sys/wait.h>
#include <unistd.h>

namespace kestrum::test {
namespace {

class SharedLedger : public EngineLedgerTest {
protected:
    void SetUp() override
    {
        EngineLedgerTest::SetUp();
        if (NotSetUp())
            return;
        AddGain(8600, "2024-07-10 00:00:00", "工资");
        AddGain(1500, "2024-07-28 00:00:00", "奖金");
        FOther.SetConnectionString(LedgerConnectionString(FTarget));
    }

    std::unique_ptr<TDbQuery> OpenOther(const QString &sql)
    {
        auto query = std::make_unique<TDbQuery>();
        query->SetConnection(&FOther);
        query->SetSQL({sql});
        query->Open();
        return query;
    }

    TDbConnection FOther;
};

class Sharing : public SharedLedger, public ::testing::WithParamInterface<TEngine> {
protected:
    TEngine Engine() const override { return GetParam(); }
};

TEST_P(Sharing, SecondConnectionSeesPostedRowsAfterReopening)
{
    auto mine = OpenQuery("select * from gain");
    auto theirs = OpenOther("select * from gain");
    mine->Append();
    mine->FieldByName("进帐人")->SetAsString("利息");
    mine->Post();
    EXPECT_EQ(theirs->RecordCount(), 2); // a static cursor does not notice
    theirs->Close();
    theirs->Open();
    EXPECT_EQ(Rows(*theirs, {"进帐人"}), "工资|奖金|利息");
}

TEST_P(Sharing, ConflictingUpdateIsRefusedAndLosesNothing)
{
    auto mine = OpenQuery("select * from gain");
    auto theirs = OpenOther("select * from gain");
    theirs->Edit();
    theirs->FieldByName("本次进帐")->SetAsFloat(9000);
    theirs->Post();

    mine->Edit();
    mine->FieldByName("本次进帐")->SetAsFloat(1);
    mine->FieldByName("备注")->SetAsString("mine");
    try {
        mine->Post();
        FAIL() << "the stale update was written";
    } catch (const EDbRowConflict &e) {
        EXPECT_NE(e.message().find("这条记录在读出之后已被其他程序修改或删除，因此未能保存"),
                  std::string::npos);
    }
    // Their value stays; my record set keeps my pending values for the user.
    EXPECT_EQ(Cells("SELECT 本次进帐, 备注 FROM gain WHERE id=1"), "9000.0|NULL");
    EXPECT_EQ(mine->State(), dsEdit);
    EXPECT_EQ(mine->FieldByName("本次进帐")->AsFloat(), 1);
    mine->Cancel();
    mine->Refresh();
    EXPECT_EQ(mine->FieldByName("本次进帐")->AsFloat(), 9000);
    // After the reload the same change goes through.
    mine->Edit();
    mine->FieldByName("本次进帐")->SetAsFloat(1);
    mine->Post();
    EXPECT_EQ(Value("SELECT 本次进帐 FROM gain WHERE id=1"), "1.0");
}

TEST_P(Sharing, DeletingARowAnotherProgramChangedOrDeletedIsRefused)
{
    auto mine = OpenQuery("select * from gain");
    Exec("UPDATE gain SET 备注 = 'theirs' WHERE id = 1");
    EXPECT_THROW(mine->Delete(), EDbRowConflict);
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "2");
    EXPECT_EQ(mine->RecordCount(), 2);
    Exec("DELETE FROM gain WHERE id = 2");
    mine->Last();
    mine->Edit();
    mine->FieldByName("进帐人")->SetAsString("x");
    EXPECT_THROW(mine->Post(), EDbRowConflict);
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "1");
}

TEST_P(Sharing, RowChecksCoverEverySelectedColumnWhereverTheKeyStands)
{
    // The key stands third here, and the update writes one column only: the
    // check must still compare every other selected column with what was read.
    // In key order: a server keeps no order of its own, and moves a changed row.
    auto mine = OpenQuery("select 备注, 进帐人, id, 本次进帐 from gain order by id");
    Exec("UPDATE gain SET 备注 = 'theirs' WHERE id = 1");
    mine->Edit();
    mine->FieldByName("进帐人")->SetAsString("mine");
    EXPECT_THROW(mine->Post(), EDbRowConflict);
    EXPECT_EQ(Value("SELECT 进帐人 FROM gain WHERE id = 1"), "工资");
    mine->Cancel();
    mine->Refresh();

    // A column the statement does not select is not checked.
    Exec("UPDATE gain SET 进帐时间 = '2024-07-11 00:00:00' WHERE id = 1");
    mine->Edit();
    mine->FieldByName("进帐人")->SetAsString("mine");
    mine->FieldByName("本次进帐")->SetAsFloat(8700);
    mine->Post();
    EXPECT_EQ(Cells("SELECT 进帐人, 本次进帐, 备注 FROM gain WHERE id = 1"), "mine|8700.0|theirs");

    // A NULL remark is matched as NULL, for updates and deletes alike.
    mine->Next();
    EXPECT_TRUE(mine->FieldByName("备注")->IsNull());
    mine->Edit();
    mine->FieldByName("本次进帐")->SetAsFloat(1600);
    mine->Post();
    EXPECT_EQ(Value("SELECT 本次进帐 FROM gain WHERE id = 2"), "1600.0");
    Exec("UPDATE gain SET 本次进帐 = 1700 WHERE id = 2");
    EXPECT_THROW(mine->Delete(), EDbRowConflict);
    mine->Refresh();
    mine->Last();
    mine->Delete();
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "1");
}

TEST_P(Sharing, WriterWaitsForAnotherProgramsLockThenFailsClearly)
{
    FConnection.SetBusyTimeout(100);
    auto mine = OpenQuery("select * from gain");
    // Another program holds the write lock: a file's whole, the server's table.
    auto other = ConnectLedger(FTarget);
    other->Exec(OnServer() ? "BEGIN" : "BEGIN IMMEDIATE");
    if (OnServer())
        other->Exec("LOCK TABLE gain IN EXCLUSIVE MODE");
    mine->Edit();
    mine->FieldByName("进帐人")->SetAsString("x");
    try {
        mine->Post();
        ADD_FAILURE() << "posted while another program held the write lock";
    } catch (const EDatabaseError &e) {
        // A server says so in words of its own: the lock is a row's or a table's, not the file's.
        const char *busy =
            OnServer() ? "数据正被别人同时修改，请稍后再试。" : "数据库正被其他程序使用，请稍后再试。";
        EXPECT_NE(e.message().find(busy), std::string::npos) << e.message();
        // Only our words: not the server's English on its lock, nor the SQL.
        for (const char *foreign : {"lock", "UPDATE", "statement"})
            EXPECT_EQ(e.message().find(foreign), std::string::npos) << e.message();
    }
    EXPECT_EQ(mine->State(), dsEdit);
    other->Rollback();
    other.reset();
    mine->Post(); // the lock is gone: the same post succeeds
    EXPECT_EQ(Value("SELECT 进帐人 FROM gain WHERE id=1"), "x");
}

// A child process posts and dies at a given step of the write; the file
// must then hold either the whole change or none of it, and stay sound.
class Crash : public SharedLedger, public ::testing::WithParamInterface<std::tuple<TEngine, TDbWriteStep>> {
protected:
    TEngine Engine() const override { return std::get<0>(GetParam()); }
};

TEST_P(Crash, KilledMidPostLeavesTheFileConsistent)
{
    const TDbWriteStep stopAt = std::get<1>(GetParam());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TDbConnection connection;
        connection.SetConnectionString(LedgerConnectionString(FTarget));
        connection.OnWriteStep = [stopAt](TDbWriteStep step) {
            if (step == stopAt)
                _exit(42); // no destructors, no rollback: as if the power went
        };
        TDbQuery query;
        query.SetConnection(&connection);
        query.SetSQL({"select * from gain"});
        query.Open();
        query.Edit();
        query.FieldByName("本次进帐")->SetAsFloat(1);
        query.FieldByName("进帐人")->SetAsString("半途");
        query.Post();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 42);
    if (!OnServer()) { // a server keeps its own files sound
        EXPECT_EQ(Value("PRAGMA integrity_check"), "ok");
    }
    const std::string row = Cells("SELECT 本次进帐, 进帐人 FROM gain WHERE id=1");
    if (stopAt == TDbWriteStep::Committed)
        EXPECT_EQ(row, "1.0|半途");
    else
        EXPECT_EQ(row, "8600.0|工资"); // the hot journal (the open transaction) was rolled back
    // And the ledger can go on using the file.
    auto query = OpenQuery("select * from gain order by id");
    query->Edit();
    query->FieldByName("备注")->SetAsString("after");
    query->Post();
    EXPECT_EQ(Value("SELECT 备注 FROM gain WHERE id=1"), "after");
}

KESTRUM_ON_BOTH_ENGINES(Sharing);

INSTANTIATE_TEST_SUITE_P(EveryStep, Crash,
                         ::testing::Combine(::testing::Values(TEngine::File, TEngine::Server),
                                            ::testing::Values(TDbWriteStep::Began, TDbWriteStep::Written,
                                                              TDbWriteStep::ReadBack,
                                                              TDbWriteStep::Committed)));

class Opening : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    std::string OpenError(const QString &name)
    {
        TDbConnection connection;
        connection.SetConnectionString(ConnectionStringFor(name));
        TDbQuery query;
        query.SetConnection(&connection);
        query.SetSQL({"select * from gain"});
        try {
            query.Open();
        } catch (const EDatabaseError &e) {
            EXPECT_FALSE(query.Active());
            EXPECT_FALSE(connection.Connected());
            return e.message();
        }
        return "opened";
    }

    QTemporaryDir FDir;
};

TEST_F(Opening, MissingFileIsReportedAndNeverCreated)
{
    const QString path = FDir.filePath("Vantorel.mdb");
    EXPECT_EQ(OpenError(path), "找不到数据库文件“Vantorel.mdb”，它应在文件夹“" +
                                   QDir::toNativeSeparators(FDir.path()).toStdString() + "”中。");
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(Opening, BareNameIsLookedUpInTheWorkingFolder)
{
    const QString saved = QDir::currentPath();
    QDir::setCurrent(FDir.path());
    EXPECT_NE(OpenError("Vantorel.mdb").find("找不到数据库文件“Vantorel.mdb”"), std::string::npos);
    CreateLedgerFile(FDir.filePath("Vantorel.mdb"));
    EXPECT_EQ(OpenError("Vantorel.mdb"), "opened");
    QDir::setCurrent(saved);
}

TEST_F(Opening, FileThatIsNoDatabaseIsRefused)
{
    const QString path = FDir.filePath("Vantorel.mdb");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    static const char header[] = "\0\x01\0\0Standard Jet DB";
    QByteArray page(header, sizeof header - 1);
    page.resize(2048, '\0'); // looks like an Access file's first page
    file.write(page);
    file.close();
    EXPECT_EQ(OpenError(path), "“Vantorel.mdb”不是可识别的数据库文件。");
}

TEST_F(Opening, DamagedFileIsRefused)
{
    const QString path = FDir.filePath("Vantorel.mdb");
    CreateLedgerFile(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(100); // the first page's b-tree header, after the file header
    file.write(QByteArray(400, '\xff'));
    file.close();
    const std::string message = OpenError(path);
    EXPECT_EQ(message.rfind("数据库“Vantorel.mdb”已损坏，无法打开：", 0), 0u) << message;
    EXPECT_NE(message, "opened");
}

TEST_F(Opening, FileThatCanOnlyBeReadOpensReadOnlyAndSaysSo)
{
    const QString path = FDir.filePath("Vantorel.mdb");
    CreateLedgerFile(path);
    RawExec(path, "INSERT INTO gain (本次进帐, 进帐人) VALUES (5, '工资')");
    TDbConnection writable;
    writable.SetConnectionString(ConnectionStringFor(path));
    writable.Open();
    EXPECT_FALSE(writable.ReadOnly());
    writable.Close();
    EXPECT_FALSE(writable.ReadOnly()); // closed: nothing to say

    const ReadOnlyFile readOnly(path);
    if (!readOnly.Works())
        GTEST_SKIP() << "this machine cannot make a file refuse writing";
    TDbConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    TDbQuery query;
    query.SetConnection(&connection);
    query.SetSQL({"select * from gain"});
    query.Open();
    EXPECT_TRUE(connection.ReadOnly());
    EXPECT_EQ(query.RecordCount(), 1);
    EXPECT_FALSE(query.CanModify());
    try {
        query.Insert();
        ADD_FAILURE() << "a read-only file took an insert";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.message(), "数据集是只读的，不能修改。");
    }
}

TEST(ConnectionString, AQuotedValueKeepsItsSemicolonsAndQuotes)
{
    // A ledger in a folder named "a;b" was opened as "a" and failed.
    // Paths under a folder of the test's own; only their characters matter.
    const QString root = QDir::tempPath();
    for (const QString &path :
         {root + QStringLiteral("/a;b/Vantorel.mdb"), root + QStringLiteral("/\"q\";.mdb"),
          QStringLiteral(" lead.mdb"), QStringLiteral("'single.mdb"), root + QStringLiteral("/账本.mdb")}) {
        const QString text = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                             TDbConnection::QuotedConnectionStringValue(path) + ";Persist Security Info=True";
        EXPECT_EQ(TDbConnection::ConnectionStringValue(text, "Data Source"), path) << text.toStdString();
        EXPECT_EQ(TDbConnection::ConnectionStringValue(text, "Persist Security Info"), "True")
            << text.toStdString();
    }
    EXPECT_EQ(TDbConnection::QuotedConnectionStringValue(root + "/Vantorel.mdb"), root + "/Vantorel.mdb");
    EXPECT_EQ(TDbConnection::ConnectionStringValue("Data Source='it''s.mdb'", "Data Source"), "it's.mdb");
    EXPECT_EQ(TDbConnection::ConnectionStringValue("Junk;Data Source=x.mdb", "Data Source"), "x.mdb");
}

TEST_F(Opening, ConnectionStringGivesTheDataSource)
{
    EXPECT_EQ(TDbConnection::ConnectionStringValue(
                  "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Vantorel.mdb;Persist Security Info=True",
                  "data source"),
              "Vantorel.mdb");
    EXPECT_EQ(TDbConnection::ConnectionStringValue("Data Source=\"a b.mdb\"", "Data Source"), "a b.mdb");
    TDbConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=True");
    EXPECT_EQ(connection.Provider(), "Microsoft.Jet.OLEDB.4.0");
    EXPECT_THROW(connection.Open(), EDatabaseError);
}

} // namespace
} // namespace kestrum::test

// The kestrum-db command's work: making empty and sample ledgers and
// checking files, through the functions and through the command itself.
#include "ledger/LedgerFile.h"

#include "core/Errors.h"
#include "ledger/LockingChild.h"
#include "support/LedgerFileEdits.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace kestrum {
namespace {

using test::ScalarOfFile;

class LedgerFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString Path(const char *name = "Vantorel.mdb") const { return FDir.filePath(name); }
    QTemporaryDir FDir;
};

TEST_F(LedgerFiles, InitMakesAnEmptyUsableLedgerAndNeverOverwrites)
{
    CreateLedgerDatabase(Path());
    const TLedgerCheck check = CheckLedgerDatabase(Path());
    EXPECT_TRUE(check.Usable) << check.Problems.join('\n').toStdString();
    EXPECT_EQ(check.GainRows, 0);
    EXPECT_EQ(check.ExpenRows, 0);
    sqlite3 *db = nullptr;
    sqlite3_open(Path().toUtf8().constData(), &db);
    sqlite3_exec(db, "INSERT INTO gain (本次进帐) VALUES (1)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_THROW(CreateLedgerDatabase(Path()), Exception);
    EXPECT_THROW(CreateDemoDatabase(Path(), 2024, 2024), Exception);
    EXPECT_EQ(ScalarOfFile(Path(), "SELECT count(*) FROM gain"), "1");
}

TEST_F(LedgerFiles, NewLedgerGetsTheModeOfAnyNewFileNotATemporaryFilesMode)
{
    const mode_t previous = ::umask(022);
    CreateLedgerDatabase(Path());
    CreateDemoDatabase(Path("demo.mdb"), 2024, 2024);
    ::umask(previous);
    struct stat info {};
    ASSERT_EQ(::stat(Path().toUtf8().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat(Path("demo.mdb").toUtf8().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(LedgerFiles, DemoHoldsASampleHouseholdOverTheYears)
{
    CreateDemoDatabase(Path(), 2024, 2026);
    const TLedgerCheck check = CheckLedgerDatabase(Path());
    EXPECT_TRUE(check.Usable);
    EXPECT_TRUE(check.Problems.isEmpty()) << check.Problems.join('\n').toStdString();
    EXPECT_GE(check.GainRows, 3 * 12 * 2);
    EXPECT_GT(check.ExpenRows, check.GainRows);
    EXPECT_EQ(ScalarOfFile(Path(), "SELECT count(DISTINCT substr(进帐时间, 1, 4)) FROM gain"), "3");
    EXPECT_EQ(ScalarOfFile(Path(), "SELECT count(*) FROM expen WHERE 消费者 = '房租'"), "36");
    EXPECT_EQ(ScalarOfFile(Path(), "SELECT min(typeof(消费金额)) || max(typeof(消费金额)) FROM expen"),
              "realreal");
    // Income exceeds spending in a household that saves.
    EXPECT_EQ(
        ScalarOfFile(Path(), "SELECT (SELECT sum(本次进帐) FROM gain) > (SELECT sum(消费金额) FROM expen)"),
        "1");
    // The same seed gives the same file contents.
    CreateDemoDatabase(Path("again.mdb"), 2024, 2026);
    EXPECT_EQ(ScalarOfFile(Path(), "SELECT sum(消费金额) FROM expen"),
              ScalarOfFile(Path("again.mdb"), "SELECT sum(消费金额) FROM expen"));
}

TEST_F(LedgerFiles, CheckNamesWhatIsWrong)
{
    EXPECT_FALSE(CheckLedgerDatabase(Path("missing.mdb")).Usable);

    QFile junk(Path("junk.mdb"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(2048, 'j'));
    junk.close();
    EXPECT_FALSE(CheckLedgerDatabase(Path("junk.mdb")).Usable);

    sqlite3 *db = nullptr;
    sqlite3_open(Path("other.mdb").toUtf8().constData(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE gain (本次进帐 REAL, 进帐时间 DATETIME, 进帐人 TEXT, 备注 TEXT);"
                 "CREATE TABLE expen (id INTEGER PRIMARY KEY, 消费金额 REAL, 消费日期 DATETIME, 消费者 TEXT, "
                 "备注 TEXT);"
                 "INSERT INTO expen (消费金额, 消费日期) VALUES ('lots', '5.7.2024');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const TLedgerCheck check = CheckLedgerDatabase(Path("other.mdb"));
    EXPECT_FALSE(check.Usable);
    const QString problems = check.Problems.join('\n');
    EXPECT_TRUE(problems.contains("table gain has no INTEGER PRIMARY KEY")) << problems.toStdString();
    EXPECT_TRUE(problems.contains("1 rows of expen hold a date that is not ISO text"))
        << problems.toStdString();
    EXPECT_TRUE(problems.contains("1 rows of expen hold an amount that is no number"))
        << problems.toStdString();
}

// A ledger whose making fails midway leaves no file behind, so a second
// attempt is not refused. Writing is made to fail with a file size limit of
// zero, as a full disk would make it.
TEST_F(LedgerFiles, FailedInitLeavesNothingAndASecondInitWorks)
{
    const QString tool = QStringLiteral(KESTRUM_DB_TOOL);
    QProcess process;
    process.setWorkingDirectory(FDir.path());
    process.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 0; exec \"$0\" init"), tool});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1) << process.readAllStandardError().toStdString();
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList()) << "neither the ledger nor a leftover";

    CreateLedgerDatabase(Path());
    EXPECT_TRUE(CheckLedgerDatabase(Path()).Usable);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList{"Vantorel.mdb"});
}

TEST_F(LedgerFiles, DemoEndsOnItsLastDay)
{
    CreateDemoDatabase(Path(), 2024, 2026, 2024, QDate(2026, 3, 15));
    CreateDemoDatabase(Path("whole.mdb"), 2024, 2026);
    struct Table {
        const char *name, *amount, *date;
    };
    for (const Table &t : {Table{"gain", "本次进帐", "进帐时间"}, Table{"expen", "消费金额", "消费日期"}}) {
        const std::string table = t.name, amount = '"' + std::string(t.amount) + '"',
                          date = '"' + std::string(t.date) + '"';
        const std::string last = "SELECT max(" + date + ") FROM " + table;
        EXPECT_LE(ScalarOfFile(Path(), last.c_str()), "2026-03-15 00:00:00") << table;
        EXPECT_GE(ScalarOfFile(Path(), last.c_str()), "2026-03-01 00:00:00") << table;
        // The same rows as the whole sample has up to that day.
        const std::string cut = "SELECT count(*) || '/' || total(" + amount + ") FROM " + table;
        const std::string upTo = "SELECT count(*) || '/' || total(" + amount + ") FROM " + table + " WHERE " +
                                 date + " <= '2026-03-15 23:59:59'";
        EXPECT_EQ(ScalarOfFile(Path(), cut.c_str()), ScalarOfFile(Path("whole.mdb"), upTo.c_str())) << table;
    }
}

TEST_F(LedgerFiles, CommandLine)
{
    const QString tool = QStringLiteral(KESTRUM_DB_TOOL);
    // A data folder of its own, empty: "check" without a ledger in the
    // working folder looks there.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), FDir.filePath(QStringLiteral("data")));
    auto run = [&](const QStringList &arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(FDir.path());
        process.start(tool, arguments);
        process.waitForFinished(60000);
        return process.exitCode();
    };
    EXPECT_EQ(run({"check"}), 1);
    EXPECT_EQ(run({"init"}), 0);
    EXPECT_TRUE(QFile::exists(Path()));
    EXPECT_EQ(run({"init"}), 1);
    EXPECT_EQ(run({"check"}), 0);
    EXPECT_EQ(run({"demo", "demo.mdb"}), 0);
    EXPECT_EQ(run({"check", "demo.mdb"}), 0);
    // The sample ends today: no entry from the future.
    const std::string today = QDate::currentDate().toString(Qt::ISODate).toStdString() + " 00:00:00";
    EXPECT_LE(ScalarOfFile(Path("demo.mdb"), "SELECT max(\"进帐时间\") FROM gain"), today);
    EXPECT_LE(ScalarOfFile(Path("demo.mdb"), "SELECT max(\"消费日期\") FROM expen"), today);
    EXPECT_EQ(run({"frobnicate"}), 2);
}

// A locked ledger was once judged damaged and offered a restore over it.
TEST_F(LedgerFiles, ExaminationTellsDamageFromAFileInUse)
{
    CreateDemoDatabase(Path(), 2025, 2026);
    ASSERT_TRUE(QFile::copy(Path(), Path("damaged.mdb")));
    test::DamageFile(Path("damaged.mdb"));
    {
        QFile junk(Path("junk.mdb"));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(8192, 'j'));
        QFile empty(Path("empty.mdb"));
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    sqlite3 *db = nullptr;
    sqlite3_open(Path("foreign.mdb").toUtf8().constData(), &db);
    sqlite3_exec(db, "CREATE TABLE gain (x); CREATE TABLE notes (y)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_TRUE(QDir(FDir.path()).mkdir("folder.mdb"));

    using C = TLedgerCondition;
    const struct {
        const char *name;
        C condition;
        bool damaged;
    } cases[] = {{"Vantorel.mdb", C::Sound, false},      {"missing.mdb", C::Missing, true},
                 {"junk.mdb", C::NotADatabase, true},    {"damaged.mdb", C::Damaged, true},
                 {"empty.mdb", C::NotALedger, true},     {"foreign.mdb", C::NotALedger, true},
                 {"folder.mdb", C::NotAccessible, false}};
    for (const auto &c : cases) {
        const TLedgerExamination examination = ExamineLedgerFile(Path(c.name), std::chrono::milliseconds(50));
        EXPECT_EQ(examination.Condition, c.condition) << c.name << ": " << examination.Detail.toStdString();
        EXPECT_EQ(examination.Damaged(), c.damaged) << c.name;
    }
    EXPECT_EQ(QFileInfo(Path("empty.mdb")).size(), 0) << "looking changes nothing";

    test::TLockingChild otherProgram(Path(), "BEGIN EXCLUSIVE");
    ASSERT_TRUE(otherProgram.Running());
    const TLedgerExamination locked = ExamineLedgerFile(Path(), std::chrono::milliseconds(50));
    EXPECT_EQ(locked.Condition, C::InUse) << locked.Detail.toStdString();
    EXPECT_FALSE(locked.Damaged());
}

// Guards the look in two steps: a write that landed between the schema and
// the pages' check would land on a file not yet known sound.
TEST_F(LedgerFiles, ALookInTwoStepsKeepsWritersOutUntilThePagesAreChecked)
{
    CreateDemoDatabase(Path(), 2025, 2026);
    ASSERT_TRUE(QFile::copy(Path(), Path("damaged.mdb")));
    test::DamageFile(Path("damaged.mdb"));
    const auto write = [this](const char *name) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(Path(name).toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db, 50);
        const int rc = sqlite3_exec(db, "INSERT INTO gain (本次进帐) VALUES (7)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return rc;
    };
    {
        TLedgerFileLook look(Path(), std::chrono::milliseconds(50));
        EXPECT_EQ(look.Schema().Condition, TLedgerCondition::Sound);
        EXPECT_EQ(write("Vantorel.mdb"), SQLITE_BUSY) << "no write between the steps";
        EXPECT_EQ(look.Pages().Condition, TLedgerCondition::Sound);
        EXPECT_EQ(write("Vantorel.mdb"), SQLITE_OK) << "the check's read ended";
    }
    TLedgerFileLook look(Path("damaged.mdb"), std::chrono::milliseconds(50));
    EXPECT_EQ(look.Schema().Condition, TLedgerCondition::Sound) << "the damage lies past the schema";
    const TLedgerExamination pages = look.Pages();
    EXPECT_EQ(pages.Condition, TLedgerCondition::Damaged);
    EXPECT_FALSE(pages.Detail.isEmpty());
}

} // namespace
} // namespace kestrum

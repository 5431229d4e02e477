// Which files a command may write over: never the ledger it reads (however
// its name is spelt), never a database, journal or log, never a ledger's
// companions, never a file another program holds open; and the export
// command that once replaced the ledger with CSV text.
#include "ledger/WriteTarget.h"

#include "core/Errors.h"
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"
#include "ledger/LedgerLock.h"
#include "ledger/LockingChild.h"
#include "support/LedgerFileEdits.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

namespace kestrum {
namespace {

using test::TLockingChild;

QByteArray Bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

//! A database of some other program, made afresh.
void MakeDatabase(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class WriteTarget : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FLedger = FDir.filePath("Vantorel.mdb");
        CreateDemoDatabase(FLedger, 2025, 2026);
    }
    QString Path(const char *name) const { return FDir.filePath(QString::fromUtf8(name)); }
    TWriteRefusal Refusal(const QString &target) const { return CheckWriteTarget(target, FLedger).Refusal; }

    QTemporaryDir FDir;
    QString FLedger;
};

TEST_F(WriteTarget, TheLedgerBeingReadIsRefusedUnderEveryNameThatLeadsToIt)
{
    ASSERT_EQ(QFile::link(FLedger, Path("link.csv")), true);
    ASSERT_EQ(::link(QFile::encodeName(FLedger).constData(), QFile::encodeName(Path("hard.csv")).constData()),
              0);
    ASSERT_TRUE(QDir(FDir.path()).mkdir("sub"));
    const QString saved = QDir::currentPath();
    QDir::setCurrent(FDir.path());
    for (const QString &name :
         {FLedger, QString("./Vantorel.mdb"), QString("Vantorel.mdb"), QString("sub/../Vantorel.mdb"),
          FDir.path() + "//./Vantorel.mdb", QString("link.csv"), QString("hard.csv")}) {
        const TWriteTargetCheck check = CheckWriteTarget(name, QStringLiteral("Vantorel.mdb"));
        EXPECT_EQ(check.Refusal, TWriteRefusal::ReadLedger) << name.toStdString();
        EXPECT_TRUE(check.Message.contains("正在读取的账本")) << check.Message.toStdString();
    }
    QDir::setCurrent(saved);
    EXPECT_THROW(RequireWriteTarget(Path("link.csv"), FLedger), Exception);
}

TEST_F(WriteTarget, DatabasesJournalsAndLogsAreRefusedOtherFilesAreNot)
{
    MakeDatabase(Path("other.db"), "CREATE TABLE notes (text)");
    ASSERT_TRUE(QFile::copy(FLedger, Path("copy.csv")));
    const QString backup = MakeBackup(FLedger, QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    Write(Path("journal.csv"), QByteArray::fromHex("d9d505f920a163d7000000000000000000000000"));
    Write(Path("log.csv"), QByteArray::fromHex("377f0682002de218000010000000000000000000"));
    for (const QString &database :
         {Path("other.db"), Path("copy.csv"), backup, Path("journal.csv"), Path("log.csv")}) {
        const TWriteTargetCheck check = CheckWriteTarget(database, FLedger);
        EXPECT_EQ(check.Refusal, TWriteRefusal::Database) << database.toStdString();
        EXPECT_TRUE(check.Message.contains("数据库文件")) << check.Message.toStdString();
    }
    EXPECT_EQ(CheckWriteTarget(backup).Refusal, TWriteRefusal::Database) << "also with no ledger read";

    Write(Path("old.csv"), "类型,金额\r\n");
    Write(Path("empty.csv"), "");
    Write(Path("short.csv"), "SQLite");
    for (const QString &free : {Path("old.csv"), Path("empty.csv"), Path("short.csv"), Path("new.csv")})
        EXPECT_TRUE(CheckWriteTarget(free, FLedger).Allowed()) << free.toStdString();
    EXPECT_EQ(Refusal(FDir.path()), TWriteRefusal::NotAFile);
    EXPECT_EQ(Refusal(QString()), TWriteRefusal::NotAFile);
}

TEST_F(WriteTarget, TheLedgersCompanionsAreRefusedEvenBeforeTheyExist)
{
    for (const char *name :
         {"Vantorel.mdb-journal", "Vantorel.mdb-wal", "Vantorel.mdb-shm", "Vantorel.mdb.lock"})
        EXPECT_EQ(Refusal(Path(name)), TWriteRefusal::LedgerCompanion) << name;
    EXPECT_TRUE(CheckWriteTarget(Path("Vantorel.mdb-journal")).Allowed()) << "only beside the ledger read";
}

TEST_F(WriteTarget, AFileAnotherProgramHoldsOpenIsRefused)
{
    // The ledger lock of a running program on a file that is not (yet) a database.
    Write(Path("held.csv"), "");
    {
        TLedgerLock program(Path("held.csv"));
        ASSERT_TRUE(program.LockShared());
        const TWriteTargetCheck check = CheckWriteTarget(Path("held.csv"), FLedger);
        EXPECT_EQ(check.Refusal, TWriteRefusal::InUse);
        EXPECT_TRUE(check.Message.contains("另一个程序正打开并锁定着它")) << check.Message.toStdString();
    }
    EXPECT_TRUE(CheckWriteTarget(Path("held.csv"), FLedger).Allowed()) << "free again once it closed";

    // An empty file that another process's SQLite connection locks.
    Write(Path("fresh.mdb"), "");
    TLockingChild child(Path("fresh.mdb"), "BEGIN EXCLUSIVE");
    ASSERT_TRUE(child.Running());
    EXPECT_EQ(Refusal(Path("fresh.mdb")), TWriteRefusal::InUse);
    child.End();
    EXPECT_EQ(Refusal(Path("fresh.mdb")), TWriteRefusal::None);
}

TEST_F(WriteTarget, AWriteLockIsToldApartFromAReader)
{
    EXPECT_FALSE(DatabaseWriteLockHeld(FLedger));
    {
        TLockingChild reader(FLedger, "BEGIN; SELECT count(*) FROM gain");
        ASSERT_TRUE(reader.Running());
        EXPECT_FALSE(DatabaseWriteLockHeld(FLedger));
    }
    for (const char *sql : {"BEGIN IMMEDIATE", "BEGIN EXCLUSIVE", "BEGIN; DELETE FROM gain"}) {
        TLockingChild writer(FLedger, sql);
        ASSERT_TRUE(writer.Running()) << sql;
        EXPECT_TRUE(DatabaseWriteLockHeld(FLedger)) << sql;
    }
    EXPECT_FALSE(DatabaseWriteLockHeld(FLedger));
    EXPECT_FALSE(DatabaseWriteLockHeld(Path("missing.mdb")));
}

// An export given the ledger's own name once replaced the ledger with CSV text.
TEST_F(WriteTarget, TheExportCommandNeverWritesOverTheLedgerOrADatabase)
{
    const auto run = [&](const QStringList &arguments, QString *error = nullptr) {
        QProcess process;
        process.setWorkingDirectory(FDir.path());
        process.start(QStringLiteral(KESTRUM_DB_TOOL), arguments);
        process.waitForFinished(60000);
        if (error)
            *error = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitCode();
    };
    ASSERT_TRUE(QFile::link(FLedger, Path("ledger.csv")));
    const QString backup = MakeBackup(FLedger, QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    const QByteArray ledgerBytes = Bytes(FLedger), backupBytes = Bytes(backup);
    QString error;
    for (const QString &target : {QString("Vantorel.mdb"), QString("./Vantorel.mdb"), QString("ledger.csv"),
                                  FLedger, backup, QString("Vantorel.mdb-journal")}) {
        EXPECT_EQ(run({"export", "--force", target}, &error), 1) << target.toStdString();
        EXPECT_TRUE(error.contains(QString::fromLocal8Bit("不能写入"))) << error.toStdString();
    }
    EXPECT_TRUE(Bytes(FLedger) == ledgerBytes);
    EXPECT_TRUE(Bytes(backup) == backupBytes);
    EXPECT_FALSE(QFile::exists(Path("Vantorel.mdb-journal")));

    EXPECT_EQ(run({"export", "--force", "out.csv"}), 0);
    EXPECT_TRUE(Bytes(Path("out.csv")).contains("支出"));
    EXPECT_EQ(run({"export", "--force", "out.csv"}), 0) << "a CSV file of its own is replaced";
}

} // namespace
} // namespace kestrum

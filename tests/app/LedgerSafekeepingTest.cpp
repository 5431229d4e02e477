// The ledger's safekeeping at start and close: the question when the file is
// damaged or gone, what each answer does, the start backup once a day and
// the close backup only after a change.
#include "app/LedgerSafekeeping.h"
#include "app/LedgerData.h"
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"
#include "ledger/LedgerLock.h"
#include "ledger/LockingChild.h"
#include "support/LedgerFileEdits.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace kestrum {
namespace {

using test::DamageFile;
using test::ExecOnFile;
using test::ScalarOfFile;

class Safekeeping : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FLedger = FDir.filePath("Vantorel.mdb");
        CreateDemoDatabase(FLedger, 2020, 2026);
        FPrevious = SetMessageBoxHook([this](const TMessageBoxRequest &request) {
            FBoxes.append(request.Text);
            return FAnswer;
        });
    }
    void TearDown() override { SetMessageBoxHook(FPrevious); }

    QStringList Aside() const { return QDir(FDir.path()).entryList({"Vantorel.mdb.damaged-*"}, QDir::Files); }

    QTemporaryDir FDir;
    QString FLedger;
    QStringList FBoxes;
    int FAnswer = 0;
    TMessageBoxHook FPrevious;
};

TEST_F(Safekeeping, TheProgramsLedgerIsTheConnectionsFileInTheWorkingFolder)
{
    EXPECT_EQ(QFileInfo(TLedgerSafekeeping::DefaultLedgerPath()),
              QFileInfo(QDir::current().filePath("Vantorel.mdb")));
}

TEST_F(Safekeeping, AHealthyLedgerGetsOneBackupAtStartAndOneAtCloseOnlyAfterAChange)
{
    // The ledger was last written an hour ago.
    QFile ledger(FLedger);
    ASSERT_TRUE(ledger.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        ledger.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    ledger.close();
    const QDateTime start = QDateTime::currentDateTime();
    {
        TLedgerSafekeeping keeping(FLedger, start);
        EXPECT_TRUE(keeping.Healthy());
        keeping.WaitForStartBackup();
        ASSERT_EQ(ListBackups(FLedger).size(), 1u);
        EXPECT_EQ(ListBackups(FLedger).front().Time, start.addMSecs(-start.time().msec()));
        TLedgerLock restorer(FLedger);
        EXPECT_FALSE(restorer.LockExclusive()) << "the running program announces the open ledger";
    }
    EXPECT_EQ(ListBackups(FLedger).size(), 1u) << "nothing changed, no second copy";
    EXPECT_TRUE(FBoxes.isEmpty());

    {
        TLedgerSafekeeping keeping(FLedger, start.addSecs(1));
        keeping.WaitForStartBackup();
        EXPECT_EQ(ListBackups(FLedger).size(), 1u) << "today's backup exists";
        ExecOnFile(FLedger, "INSERT INTO gain (本次进帐, 进帐时间) VALUES (7, '2026-12-09 00:00:00')");
    }
    ASSERT_EQ(ListBackups(FLedger).size(), 2u) << "the close copies the change";
    EXPECT_EQ(ScalarOfFile(ListBackups(FLedger).front().Path, "SELECT count(*) FROM gain WHERE 本次进帐 = 7"),
              "1");
    TLedgerLock restorer(FLedger);
    EXPECT_TRUE(restorer.LockExclusive()) << "the lock goes with the program";
}

// Guards the close of a large ledger, which the full check of its copy kept
// alive for minutes: the close checks quickly, the next start in full.
TEST_F(Safekeeping, TheClosesCopyIsCheckedQuicklyAndInFullByTheNextStart)
{
    const QDateTime start = QDateTime::currentDateTime();
    {
        TLedgerSafekeeping keeping(FLedger, start);
        keeping.WaitForStartBackup();
        ExecOnFile(FLedger, "INSERT INTO gain (本次进帐, 进帐时间) VALUES (7, '2026-12-09 00:00:00')");
    }
    ASSERT_EQ(ListBackups(FLedger).size(), 2u);
    EXPECT_FALSE(ListBackups(FLedger).front().Marker.Confirmed) << "the close ran the quick check only";
    {
        TLedgerSafekeeping keeping(FLedger, start.addSecs(2));
        keeping.WaitForStartBackup();
        EXPECT_FALSE(HasUnconfirmedBackups(FLedger)) << "the start checked the copy in full";
        EXPECT_EQ(ListBackups(FLedger).size(), 2u);
    }
    EXPECT_TRUE(FBoxes.isEmpty());
}

TEST_F(Safekeeping, YesPutsTheNewestGoodBackupInPlaceAndKeepsTheDamagedFile)
{
    const std::string rows = ScalarOfFile(FLedger, "SELECT count(*) FROM expen");
    MakeBackup(FLedger, QDateTime(QDate(2026, 12, 8), QTime(23, 15)));
    DamageFile(FLedger);
    QFile damaged(FLedger);
    ASSERT_TRUE(damaged.open(QIODevice::ReadOnly));
    const QByteArray damagedBytes = damaged.readAll();
    damaged.close();

    FAnswer = 0;
    {
        TLedgerSafekeeping keeping(FLedger, QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
        EXPECT_TRUE(keeping.Healthy());
        ASSERT_EQ(FBoxes.size(), 1);
        EXPECT_TRUE(FBoxes.front().startsWith(
            "账本文件“Vantorel.mdb”已损坏。要从最近的备份（2026-12-08 23:15）恢复吗？"))
            << FBoxes.front().toStdString();
        EXPECT_EQ(ScalarOfFile(FLedger, "SELECT count(*) FROM expen"), rows);
        ASSERT_EQ(Aside(), QStringList{"Vantorel.mdb.damaged-20261209-090000"});
        QFile aside(FDir.filePath(Aside().front()));
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), damagedBytes);

        // The data components then open the restored file as usual.
        const QString saved = QDir::currentPath();
        QDir::setCurrent(FDir.path());
        {
            TLedgerData data;
            data.Loaded([](const std::exception &error) { ADD_FAILURE() << error.what(); });
            EXPECT_TRUE(data.ADOQuery2.Active());
            EXPECT_EQ(std::to_string(data.ADOQuery2.RecordCount()), rows);
        }
        QDir::setCurrent(saved);
        keeping.WaitForStartBackup();
    }
    EXPECT_EQ(FBoxes.size(), 1);
}

TEST_F(Safekeeping, NoLeavesADamagedLedgerAsItIsAndMakesNoBackupOfIt)
{
    MakeBackup(FLedger, QDateTime(QDate(2026, 12, 8), QTime(23, 15)));
    DamageFile(FLedger);
    FAnswer = 1;
    {
        TLedgerSafekeeping keeping(FLedger, QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
        EXPECT_FALSE(keeping.Healthy());
        EXPECT_EQ(FBoxes.size(), 1);
    }
    EXPECT_TRUE(Aside().isEmpty());
    EXPECT_NE(DatabaseProblem(FLedger, true), QString());
    EXPECT_EQ(ListBackups(FLedger).size(), 1u);
    EXPECT_EQ(FBoxes.size(), 1);
}

TEST_F(Safekeeping, WithoutAGoodBackupNothingIsAsked)
{
    const QString backup = MakeBackup(FLedger, QDateTime(QDate(2026, 12, 8), QTime(23, 15)));
    DamageFile(backup);
    DamageFile(FLedger);
    {
        TLedgerSafekeeping keeping(FLedger);
        EXPECT_FALSE(keeping.Healthy());
    }
    EXPECT_TRUE(FBoxes.isEmpty());
    EXPECT_EQ(ListBackups(FLedger).size(), 1u);
    EXPECT_TRUE(Aside().isEmpty());
}

TEST_F(Safekeeping, AMissingLedgerIsOfferedItsBackupToo)
{
    MakeBackup(FLedger, QDateTime(QDate(2026, 12, 8), QTime(23, 15)));
    QFile::remove(FLedger);
    FAnswer = 0;
    TLedgerSafekeeping keeping(FLedger, QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
    keeping.WaitForStartBackup();
    ASSERT_EQ(FBoxes.size(), 1);
    EXPECT_TRUE(FBoxes.front().startsWith(
        "找不到账本文件“Vantorel.mdb”。要从最近的备份（2026-12-08 23:15）恢复吗？"));
    EXPECT_EQ(DatabaseProblem(FLedger, false), QString());
    EXPECT_TRUE(Aside().isEmpty());
    TLedgerLock restorer(FLedger);
    EXPECT_FALSE(restorer.LockExclusive()) << "the restored ledger is announced as open";
}

TEST_F(Safekeeping, AFolderWithoutALedgerOrBackupsIsLeftAsItWas)
{
    QFile::remove(FLedger);
    {
        TLedgerSafekeeping keeping(FLedger);
        EXPECT_FALSE(keeping.Healthy());
    }
    EXPECT_TRUE(FBoxes.isEmpty());
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(Safekeeping, ARestoreIsRefusedWhileAnotherProgramHasTheLedgerOpen)
{
    MakeBackup(FLedger, QDateTime(QDate(2026, 12, 8), QTime(23, 15)));
    DamageFile(FLedger);
    TLedgerLock otherProgram(FLedger);
    ASSERT_TRUE(otherProgram.LockShared());
    FAnswer = 0;
    {
        TLedgerSafekeeping keeping(FLedger, QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
        EXPECT_FALSE(keeping.Healthy());
        ASSERT_EQ(FBoxes.size(), 2);
        EXPECT_TRUE(FBoxes.back().contains("无法恢复账本")) << FBoxes.back().toStdString();
    }
    EXPECT_TRUE(Aside().isEmpty());
    EXPECT_NE(DatabaseProblem(FLedger, true), QString());
}

// Guards against backups that failed silently (the standard error stream
// only): the start's failure reaches the window's status line once, the
// same kind at close asks nothing more, and a start failure no window heard
// of is shown in a box at close.
TEST_F(Safekeeping, AFailedStartBackupIsToldOnceAndOneNoWindowHeardOfAtClose)
{
    // A file where the backups' folder should be: no backup can be made.
    QFile blocker(BackupFolder(FLedger));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QStringList reported;
    {
        TLedgerSafekeeping keeping(FLedger, QDateTime::currentDateTime());
        keeping.SetFailureReporter([&](const QString &message) { reported << message; });
        keeping.WaitForStartBackup();
        ASSERT_EQ(reported.size(), 1);
        EXPECT_TRUE(reported.front().startsWith("备份没有成功：")) << reported.front().toStdString();
        EXPECT_TRUE(reported.front().contains("旧的备份都保留着")) << reported.front().toStdString();
        ExecOnFile(FLedger, "INSERT INTO gain (本次进帐, 进帐时间) VALUES (7, '2026-12-09 00:00:00')");
    }
    EXPECT_EQ(reported.size(), 1);
    EXPECT_TRUE(FBoxes.isEmpty()) << "the same kind of failure was told already";

    {
        TLedgerSafekeeping keeping(FLedger, QDateTime::currentDateTime());
        keeping.WaitForStartBackup();
    }
    ASSERT_EQ(FBoxes.size(), 1) << "the start failure was shown nowhere";
    EXPECT_TRUE(FBoxes.front().startsWith("备份没有成功：")) << FBoxes.front().toStdString();
}

TEST_F(Safekeeping, AFailedCloseBackupIsShownInABox)
{
    const QDateTime start = QDateTime::currentDateTime();
    {
        TLedgerSafekeeping keeping(FLedger, start);
        keeping.SetFailureReporter([](const QString &message) { ADD_FAILURE() << message.toStdString(); });
        keeping.WaitForStartBackup();
        ASSERT_EQ(ListBackups(FLedger).size(), 1u);
        ExecOnFile(FLedger, "INSERT INTO gain (本次进帐, 进帐时间) VALUES (7, '2026-12-09 00:00:00')");
        // The folder goes away and a file takes its place before the close.
        ASSERT_TRUE(QDir(BackupFolder(FLedger)).removeRecursively());
        QFile blocker(BackupFolder(FLedger));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(FBoxes.size(), 1);
    EXPECT_TRUE(FBoxes.front().startsWith("备份没有成功：")) << FBoxes.front().toStdString();
}

// A ledger that another program kept locked was called damaged, and "yes"
// swapped the good file for an older backup.
TEST_F(Safekeeping, ALockedLedgerIsInUseNotDamagedAndIsLeftAsItIs)
{
    MakeBackup(FLedger, QDateTime(QDate(2026, 12, 8), QTime(23, 15)));
    FAnswer = 0;
    // A transaction that keeps the file locked, and a connection in exclusive
    // locking mode that keeps its lock after writing.
    for (const char *sql :
         {"BEGIN EXCLUSIVE",
          "PRAGMA locking_mode = EXCLUSIVE; BEGIN; DELETE FROM gain WHERE id = 1; COMMIT"}) {
        test::TLockingChild otherProgram(FLedger, sql);
        ASSERT_TRUE(otherProgram.Running());
        QFile file(FLedger);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        FBoxes.clear();
        {
            TLedgerSafekeeping keeping(FLedger, QDateTime(QDate(2026, 12, 9), QTime(9, 0)),
                                       std::chrono::milliseconds(100));
            EXPECT_FALSE(keeping.Healthy());
            ASSERT_EQ(FBoxes.size(), 1) << sql;
            EXPECT_TRUE(FBoxes.front().startsWith("账本文件“Vantorel.mdb”正被另一个程序使用"))
                << FBoxes.front().toStdString();
            EXPECT_FALSE(FBoxes.front().contains("恢复"));
        }
        EXPECT_TRUE(Aside().isEmpty()) << sql;
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes) << sql;
        file.close();
        EXPECT_EQ(ListBackups(FLedger).size(), 1u) << "no backup of a file that could not be checked";
    }
}

// Start-up used to add its journal and trash tables to any database it was
// given; a file that is no ledger stays byte for byte as it was.
TEST_F(Safekeeping, AFileThatIsNoLedgerIsNeverChangedAtStart)
{
    const QString saved = QDir::currentPath();
    QDir::setCurrent(FDir.path());
    for (const char *sql : {"", "CREATE TABLE notes (text); INSERT INTO notes VALUES ('keep me')",
                            "CREATE TABLE gain (id INTEGER PRIMARY KEY, 本次进帐 REAL)"}) {
        QFile::remove(FLedger);
        {
            QFile empty(FLedger);
            ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        }
        if (*sql)
            ExecOnFile(FLedger, sql);
        QFile file(FLedger);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        FBoxes.clear();
        {
            TLedgerSafekeeping keeping(FLedger);
            EXPECT_FALSE(keeping.Healthy());
            QStringList errors;
            TLedgerData data;
            data.Loaded(
                [&errors](const std::exception &error) { errors.append(QString::fromUtf8(error.what())); });
            EXPECT_FALSE(errors.isEmpty()) << sql;
        }
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes) << sql;
        file.close();
        EXPECT_EQ(ScalarOfFile(FLedger, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'kestrum%'"),
                  "0");
    }
    QDir::setCurrent(saved);
}

} // namespace
} // namespace kestrum

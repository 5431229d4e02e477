// Putting a backup in the ledger's place: a restore killed at any step
// leaves a whole ledger at the path and the old file kept; a restore is
// refused while any connection writes the ledger or when the backup is the
// ledger itself; importing entries takes the ledger's lock as the program does.
#include "ledger/BackupRestore.h"
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"
#include "ledger/LedgerLock.h"
#include "ledger/LockingChild.h"

#include "core/Errors.h"
#include "support/LedgerFileEdits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrum {
namespace {

using test::ExecOnFile;
using test::ScalarOfFile;
using test::TLockingChild;

QByteArray Bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QDateTime Now(QDate(2026, 12, 9), QTime(12, 0));

class Restore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FLedger = FDir.filePath("Vantorel.mdb");
        CreateDemoDatabase(FLedger, 2024, 2026);
        FBackup = MakeBackup(FLedger, QDateTime(QDate(2026, 12, 8), QTime(23, 15)));
        ExecOnFile(FLedger, "DELETE FROM gain WHERE 进帐人 = '工资'");
        FOld = Bytes(FLedger);
        FRestored = Bytes(FBackup);
        ASSERT_NE(FOld, FRestored);
    }
    QStringList Aside() const
    {
        return QDir(FDir.path()).entryList({"Vantorel.mdb.replaced-*"}, QDir::Files);
    }
    QStringList Leftovers() const { return QDir(FDir.path()).entryList({"*.part"}, QDir::Files); }

    QTemporaryDir FDir;
    QString FLedger, FBackup;
    QByteArray FOld, FRestored;
};

// A restore killed between its two renames once left no ledger at the path.
TEST_F(Restore, AProcessKilledAtAnyStepLeavesAWholeLedgerAtThePathAndTheOldFileKept)
{
    for (const TRestoreStep step :
         {TRestoreStep::Copied, TRestoreStep::OldKeptAside, TRestoreStep::CompanionsAside,
          TRestoreStep::Replaced, TRestoreStep::Synced}) {
        SCOPED_TRACE(int(step));
        for (const QString &name : Aside() + Leftovers())
            QFile::remove(FDir.filePath(name));
        QFile::remove(FLedger);
        {
            QFile ledger(FLedger);
            ASSERT_TRUE(ledger.open(QIODevice::WriteOnly));
            ASSERT_EQ(ledger.write(FOld), FOld.size());
        }
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            ::alarm(60);
            SetRestoreStepHook([&](TRestoreStep reached) {
                if (reached != step)
                    return;
                const char byte = 'r';
                (void)!::write(ready[1], &byte, 1);
                ::pause(); // killed here
            });
            try {
                RestoreBackup(FBackup, FLedger, Now, QStringLiteral("replaced"));
            } catch (const std::exception &e) {
                std::fprintf(stderr, "child: %s\n", e.what());
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the restore never reached the step";
        ::close(ready[0]);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        const QByteArray atPath = Bytes(FLedger);
        EXPECT_TRUE(atPath == FOld || atPath == FRestored) << "the path names a whole ledger";
        EXPECT_EQ(DatabaseProblem(FLedger, false), QString());
        const bool replaced = step == TRestoreStep::Replaced || step == TRestoreStep::Synced;
        EXPECT_TRUE(atPath == (replaced ? FRestored : FOld));
        if (step != TRestoreStep::Copied) {
            ASSERT_EQ(Aside().size(), 1);
            EXPECT_TRUE(Bytes(FDir.filePath(Aside().front())) == FOld) << "the old file is kept";
        }
    }
    // The next restore works beside what the killed ones left.
    for (const QString &name : Aside())
        QFile::remove(FDir.filePath(name));
    RestoreBackup(FBackup, FLedger, Now.addSecs(60), QStringLiteral("replaced"));
    EXPECT_TRUE(Bytes(FLedger) == FRestored);
}

TEST_F(Restore, AJournalBesideTheOldFileGoesAsideWithItAndNeverBesideTheRestoredOne)
{
    {
        QFile journal(FLedger + "-journal");
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write(QByteArray::fromHex("d9d505f920a163d7") + QByteArray(504, '\0'));
    }
    const QByteArray journal = Bytes(FLedger + "-journal");
    RestoreBackup(FBackup, FLedger, Now, QStringLiteral("replaced"));
    EXPECT_FALSE(QFileInfo::exists(FLedger + "-journal"));
    ASSERT_EQ(Aside().size(), 2);
    EXPECT_TRUE(Bytes(FDir.filePath(Aside().front())) == FOld);
    EXPECT_TRUE(Bytes(FDir.filePath(Aside().back())) == journal);
    EXPECT_TRUE(Bytes(FLedger) == FRestored);
    EXPECT_TRUE(Leftovers().isEmpty());
}

// A restore once went ahead while another connection was writing the ledger;
// that connection then committed into the file put aside.
TEST_F(Restore, IsRefusedWhileAnyConnectionWritesTheLedger)
{
    for (const char *sql : {"BEGIN IMMEDIATE", "BEGIN; UPDATE expen SET 备注 = 'x'"}) {
        TLockingChild writer(FLedger, sql);
        ASSERT_TRUE(writer.Running());
        try {
            RestoreBackup(FBackup, FLedger, Now, QStringLiteral("replaced"));
            ADD_FAILURE() << "restored under a writer: " << sql;
        } catch (const Exception &e) {
            EXPECT_NE(e.message().find("正在写入"), std::string::npos) << e.message();
        }
        EXPECT_TRUE(Bytes(FLedger) == FOld);
        EXPECT_TRUE(Aside().isEmpty());
        EXPECT_TRUE(Leftovers().isEmpty());
    }
    {
        TLockingChild reader(FLedger, "BEGIN; SELECT count(*) FROM expen");
        ASSERT_TRUE(reader.Running());
        RestoreBackup(FBackup, FLedger, Now, QStringLiteral("replaced"));
    }
    EXPECT_TRUE(Bytes(FLedger) == FRestored);
}

TEST_F(Restore, TheLedgerIsNeverRestoredFromItself)
{
    ASSERT_TRUE(QFile::link(FLedger, FDir.filePath("copy.mdb")));
    for (const QString &backup : {FLedger, FDir.filePath("copy.mdb"), FDir.filePath("./Vantorel.mdb")})
        EXPECT_THROW(RestoreBackup(backup, FLedger, Now, QStringLiteral("replaced")), Exception);
    EXPECT_TRUE(Bytes(FLedger) == FOld);
    EXPECT_TRUE(Aside().isEmpty());
    EXPECT_TRUE(Leftovers().isEmpty());
}

// kestrum-db import wrote into a ledger that a restore was replacing.
TEST_F(Restore, TheImportCommandTakesTheLedgersLock)
{
    {
        QFile csv(FDir.filePath("bank.csv"));
        ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
        csv.write("类型,金额,日期,项目,备注\r\n支出,12.50,2026-12-01,午饭,\r\n");
    }
    const auto import = [&] {
        QProcess process;
        process.setWorkingDirectory(FDir.path());
        process.start(QStringLiteral(KESTRUM_DB_TOOL), {"import", "bank.csv"});
        process.waitForFinished(60000);
        return process.exitCode();
    };
    {
        TLedgerLock restorer(FLedger);
        ASSERT_TRUE(restorer.LockExclusive());
        EXPECT_EQ(import(), 1);
        EXPECT_TRUE(Bytes(FLedger) == FOld);
    }
    EXPECT_EQ(import(), 0);
    EXPECT_EQ(ScalarOfFile(FLedger, "SELECT count(*) FROM expen WHERE 消费者 = '午饭'"), "1");
}

} // namespace
} // namespace kestrum

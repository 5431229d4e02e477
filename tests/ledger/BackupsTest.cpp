// Backups of a ledger: rotation, copies that equal their source, failed
// copies that never push out good ones, restoring with the replaced file
// kept, the lock that refuses a restore under a running program, and a
// process killed halfway through a backup.
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"
#include "ledger/LedgerLock.h"

#include "core/Errors.h"
#include "support/LedgerFileEdits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <ostream>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace kestrum {
namespace {

using test::DamageFile;
using test::ExecOnFile;
using test::ScalarOfFile;

//! What the ledger holds, in a form to compare.
std::string Contents(const QString &path)
{
    return ScalarOfFile(
        path,
        "SELECT (SELECT count(*) || '/' || total(本次进帐) || '/' || group_concat(DISTINCT 进帐人) "
        "FROM gain) || '|' || "
        "(SELECT count(*) || '/' || total(消费金额) || '/' || group_concat(DISTINCT 消费者) FROM expen)");
}

QByteArray Bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QDateTime At(int year, int month, int day, int hour = 12)
{
    return QDateTime(QDate(year, month, day), QTime(hour, 0));
}

class Backups : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FLedger = FDir.filePath("Vantorel.mdb");
        CreateDemoDatabase(FLedger, 2001, 2026);
    }
    QStringList Folder() const { return QDir(BackupFolder(FLedger)).entryList(QDir::Files, QDir::Name); }
    QStringList Names() const
    {
        QStringList names;
        for (const TBackup &backup : ListBackups(FLedger))
            names.append(QFileInfo(backup.Path).fileName());
        return names;
    }
    QTemporaryDir FDir;
    QString FLedger;
};

TEST(BackupRotation, KeepsTheTenNewestAndTheNewestOfEachOfTwelveMonths)
{
    const QDateTime now = At(2027, 1, 20);
    std::vector<QDateTime> times;
    // Fifteen backups this month, two a day in its last days.
    for (int i = 0; i < 15; ++i)
        times.push_back(At(2027, 1, 20 - i / 2, 8 + i % 2 * 10));
    // One in each month of the last two years, and a second, older one in November.
    for (int back = 1; back <= 24; ++back)
        times.push_back(At(2027, 1, 10).addMonths(-back));
    times.push_back(At(2026, 11, 2));
    const std::vector<bool> keep = BackupsToKeep(times, now);
    ASSERT_EQ(keep.size(), times.size());
    for (size_t i = 0; i < 15; ++i)
        EXPECT_EQ(keep[i], i < 10) << times[i].toString().toStdString();
    // Months February 2026 to December 2026 keep their newest; January 2026 is
    // thirteen months back.
    for (int back = 1; back <= 24; ++back)
        EXPECT_EQ(keep[14 + back], back <= 11) << times[14 + back].toString().toStdString();
    EXPECT_FALSE(keep.back()) << "an older backup of a month that has a newer one";

    // Fewer than ten, however old, all stay; so does the newest of a month
    // that has only old-looking backups.
    const std::vector<QDateTime> few = {At(2010, 5, 1), At(2026, 6, 1), At(2026, 6, 2)};
    EXPECT_EQ(BackupsToKeep(few, now), (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(BackupsToKeep({}, now).empty());
}

TEST_F(Backups, ABackupEqualsItsLedgerPassesTheCheckAndIsNamedByItsTime)
{
    ExecOnFile(FLedger,
               "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (12.5, '2026-12-09 00:00:00', '红包')");
    const QString path = MakeBackup(FLedger, At(2026, 12, 9, 23).addSecs(15 * 60));
    EXPECT_EQ(QFileInfo(path).absolutePath(),
              QFileInfo(FDir.filePath("Vantorel.backups")).absoluteFilePath());
    EXPECT_EQ(QFileInfo(path).fileName(), "Vantorel-2026-12-09-231500.mdb");
    EXPECT_EQ(DatabaseProblem(path, false), QString());
    EXPECT_EQ(Contents(path), Contents(FLedger));
    EXPECT_NE(Contents(path).find("红包"), std::string::npos);
    EXPECT_EQ(Folder(), QStringList{"Vantorel-2026-12-09-231500.mdb"}) << "no temporary file stays";
    EXPECT_TRUE(HasBackupOn(FLedger, QDate(2026, 12, 9)));
    EXPECT_FALSE(HasBackupOn(FLedger, QDate(2026, 12, 10)));

    // A second one in the same second takes the next free name.
    const QString second = MakeBackup(FLedger, At(2026, 12, 9, 23).addSecs(15 * 60));
    EXPECT_EQ(QFileInfo(second).fileName(), "Vantorel-2026-12-09-231501.mdb");
    EXPECT_EQ(Contents(second), Contents(path));
    EXPECT_EQ(Names(), (QStringList{"Vantorel-2026-12-09-231501.mdb", "Vantorel-2026-12-09-231500.mdb"}));
}

// Between two steps the ledger is free: the program can save an entry while
// a backup runs, and the copy that results holds that entry.
TEST_F(Backups, TheProgramWritesBetweenStepsAndTheCopyHoldsWhatItWrote)
{
    TBackupOptions options;
    options.PagesPerStep = 4;
    int steps = 0;
    int written = SQLITE_ERROR;
    options.OnStep = [&](int, int) {
        if (++steps != 2)
            return;
        sqlite3 *program = nullptr;
        sqlite3_open_v2(FLedger.toUtf8().constData(), &program, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(program, 200);
        written =
            sqlite3_exec(program,
                         "INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (66, '2026-12-09 00:00:00', "
                         "'半途')",
                         nullptr, nullptr, nullptr);
        sqlite3_close(program);
    };
    const QString path = MakeBackup(FLedger, At(2026, 12, 9), options);
    EXPECT_EQ(written, SQLITE_OK) << "the ledger was locked between two steps";
    EXPECT_GT(steps, 2);
    EXPECT_EQ(Contents(path), Contents(FLedger));
    EXPECT_EQ(ScalarOfFile(path, "SELECT count(*) FROM expen WHERE 消费者 = '半途'"), "1");
}

TEST_F(Backups, ListingTakesOnlyThisLedgersBackupNamesNewestFirst)
{
    QDir().mkpath(BackupFolder(FLedger));
    for (const char *name :
         {"Vantorel-2026-01-02-030405.mdb", "Vantorel-2026-11-02-030405.mdb",
          "Vantorel-2026-05-02-030405.mdb", "Vantorel-abc123.part", "Vantorel-2026-13-40-999999.mdb",
          "Other-2026-01-02-030405.mdb", "Vantorel-2026-01-02-030405.mdb.part", "notes.txt"}) {
        QFile file(QDir(BackupFolder(FLedger)).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(Names(), (QStringList{"Vantorel-2026-11-02-030405.mdb", "Vantorel-2026-05-02-030405.mdb",
                                    "Vantorel-2026-01-02-030405.mdb"}));
}

TEST_F(Backups, NewBackupsRotateOutOldOnesOnlyAfterTheyArrived)
{
    for (int day = 1; day <= 12; ++day)
        MakeBackup(FLedger, At(2026, 12, day));
    EXPECT_EQ(Names().size(), 10);
    EXPECT_EQ(Names().back(), "Vantorel-2026-12-03-120000.mdb");
    // January: December's newest stays beside the ten of January.
    for (int day = 1; day <= 10; ++day)
        MakeBackup(FLedger, At(2027, 1, day));
    EXPECT_EQ(Names().size(), 11);
    EXPECT_EQ(Names().back(), "Vantorel-2026-12-12-120000.mdb");
}

TEST_F(Backups, ADamagedLedgersCopyFailsItsCheckAndEveryOlderBackupStays)
{
    for (int day = 1; day <= 10; ++day)
        MakeBackup(FLedger, At(2026, 11, day));
    const QStringList before = Names();
    const QByteArray oldest = Bytes(ListBackups(FLedger).back().Path);
    DamageFile(FLedger);
    ASSERT_NE(DatabaseProblem(FLedger, true), QString());
    EXPECT_THROW(MakeBackup(FLedger, At(2026, 12, 9)), Exception);
    EXPECT_EQ(Names(), before) << "the failed copy is gone and rotation did not run";
    QStringList sorted = before;
    sorted.sort();
    EXPECT_EQ(Folder(), sorted) << "no temporary file stays";
    EXPECT_EQ(Bytes(ListBackups(FLedger).back().Path), oldest);
    EXPECT_EQ(NewestGoodBackup(FLedger).Path, ListBackups(FLedger).front().Path);
}

TEST_F(Backups, ProblemsNameMissingJunkEmptyAndDamagedFiles)
{
    EXPECT_EQ(DatabaseProblem(FLedger, true), QString());
    EXPECT_EQ(DatabaseProblem(FLedger, false), QString());
    EXPECT_NE(DatabaseProblem(FDir.filePath("missing.mdb"), true), QString());
    EXPECT_FALSE(QFile::exists(FDir.filePath("missing.mdb"))) << "a check never makes a file";
    QFile empty(FDir.filePath("empty.mdb"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_NE(DatabaseProblem(empty.fileName(), true), QString()) << "an empty file holds no ledger";
    QFile junk(FDir.filePath("junk.mdb"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, 'j'));
    junk.close();
    EXPECT_NE(DatabaseProblem(junk.fileName(), true), QString());
    DamageFile(FLedger);
    EXPECT_NE(DatabaseProblem(FLedger, true), QString());
    EXPECT_NE(DatabaseProblem(FLedger, false), QString());
}

TEST_F(Backups, NewestGoodBackupPassesOverADamagedNewerOne)
{
    const QString good = MakeBackup(FLedger, At(2026, 12, 1));
    const QString bad = MakeBackup(FLedger, At(2026, 12, 2));
    DamageFile(bad);
    EXPECT_EQ(NewestGoodBackup(FLedger).Path, good);
    EXPECT_EQ(NewestGoodBackup(FLedger).Time, At(2026, 12, 1));
    DamageFile(good);
    EXPECT_EQ(NewestGoodBackup(FLedger).Path, QString());
}

TEST_F(Backups, ChangeSinceTheNewestBackupFollowsTheLedgersWrites)
{
    EXPECT_TRUE(ChangedSinceNewestBackup(FLedger)) << "no backup yet";
    MakeBackup(FLedger, QDateTime::currentDateTime().addSecs(1));
    EXPECT_FALSE(ChangedSinceNewestBackup(FLedger));
    QFile::remove(ListBackups(FLedger).front().Path);
    MakeBackup(FLedger, QDateTime::currentDateTime().addSecs(-120));
    ExecOnFile(FLedger, "DELETE FROM gain WHERE id = 1");
    EXPECT_TRUE(ChangedSinceNewestBackup(FLedger));
}

TEST_F(Backups, RestorePutsTheBackupInPlaceAndKeepsTheDamagedFileAndItsJournalAside)
{
    const std::string saved = Contents(FLedger);
    const QString backup = MakeBackup(FLedger, At(2026, 12, 9));
    ExecOnFile(FLedger, "DELETE FROM expen");
    DamageFile(FLedger);
    QFile journal(FLedger + "-journal");
    ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
    journal.write("left by a crash");
    journal.close();
    const QByteArray damaged = Bytes(FLedger);

    const QString aside = RestoreBackup(backup, FLedger, At(2026, 12, 10, 8), "damaged");
    EXPECT_EQ(QFileInfo(aside).fileName(), "Vantorel.mdb.damaged-20261210-080000");
    EXPECT_EQ(Bytes(aside), damaged);
    EXPECT_EQ(Bytes(aside + "-journal"), "left by a crash");
    EXPECT_FALSE(QFile::exists(FLedger + "-journal")) << "the old journal must not touch the restored file";
    EXPECT_EQ(Contents(FLedger), saved);
    EXPECT_EQ(DatabaseProblem(FLedger, false), QString());
    EXPECT_TRUE(QFile::exists(backup)) << "the backup itself stays";

    // A second restore in the same second never overwrites the first aside file.
    const QString again = RestoreBackup(backup, FLedger, At(2026, 12, 10, 8), "damaged");
    EXPECT_EQ(QFileInfo(again).fileName(), "Vantorel.mdb.damaged-20261210-080000-2");
    EXPECT_EQ(Bytes(aside), damaged);

    // With no ledger at all the backup simply takes its place.
    QFile::remove(FLedger);
    EXPECT_EQ(RestoreBackup(backup, FLedger, At(2026, 12, 10, 9), "damaged"), QString());
    EXPECT_EQ(Contents(FLedger), saved);
}

TEST_F(Backups, ABadBackupIsNeverRestored)
{
    const QString backup = MakeBackup(FLedger, At(2026, 12, 9));
    DamageFile(backup);
    ExecOnFile(FLedger, "DELETE FROM gain WHERE id < 5");
    const QByteArray ledger = Bytes(FLedger);
    EXPECT_THROW(RestoreBackup(backup, FLedger, At(2026, 12, 10), "replaced"), Exception);
    EXPECT_THROW(RestoreBackup(FDir.filePath("nothing.mdb"), FLedger, At(2026, 12, 10), "replaced"),
                 Exception);
    EXPECT_EQ(Bytes(FLedger), ledger);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList{"Vantorel.mdb"})
        << "nothing put aside, no temporary file";
}

TEST_F(Backups, LockIsSharedByProgramsAndExclusiveForARestore)
{
    TLedgerLock first(FLedger), second(FLedger), restorer(FLedger);
    ASSERT_TRUE(first.LockShared());
    ASSERT_TRUE(second.LockShared()) << "two programs may have the ledger open";
    EXPECT_FALSE(restorer.LockExclusive());
    EXPECT_TRUE(restorer.Busy());
    EXPECT_FALSE(first.LockExclusive());
    EXPECT_TRUE(first.Held()) << "a failed upgrade keeps the shared lock";
    EXPECT_FALSE(first.Exclusive());
    second.Unlock();
    EXPECT_FALSE(restorer.LockExclusive()) << "first still holds it";
    EXPECT_TRUE(first.LockExclusive());
    EXPECT_FALSE(second.LockShared());
    EXPECT_TRUE(first.LockShared());
    EXPECT_TRUE(second.LockShared());
}

TEST_F(Backups, CommandsBackUpAndRestoreButNeverUnderARunningProgram)
{
    const QString tool = QStringLiteral(KESTRUM_DB_TOOL);
    auto run = [&](const QStringList &arguments, QString *output = nullptr) {
        QProcess process;
        process.setWorkingDirectory(FDir.path());
        process.start(tool, arguments);
        process.waitForFinished(60000);
        if (output)
            *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        return process.exitCode();
    };
    QString printed;
    ASSERT_EQ(run({"backup"}, &printed), 0);
    ASSERT_EQ(ListBackups(FLedger).size(), 1u);
    EXPECT_EQ(QFileInfo(printed), QFileInfo(ListBackups(FLedger).front().Path));
    const std::string saved = Contents(FLedger);
    ExecOnFile(FLedger, "DELETE FROM gain");
    const QByteArray changed = Bytes(FLedger);

    // The running program's lock (held by this process) refuses the other process.
    {
        TLedgerLock program(FLedger);
        ASSERT_TRUE(program.LockShared());
        EXPECT_EQ(run({"restore", printed}), 1);
        EXPECT_EQ(Bytes(FLedger), changed);
        EXPECT_EQ(QDir(FDir.path()).entryList({"Vantorel.mdb.*"}, QDir::Files),
                  QStringList{"Vantorel.mdb.lock"});
    }
    EXPECT_EQ(run({"restore", printed, "Vantorel.mdb"}), 0);
    EXPECT_EQ(Contents(FLedger), saved);
    const QStringList aside = QDir(FDir.path()).entryList({"Vantorel.mdb.replaced-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(Bytes(FDir.filePath(aside.front())), changed);
    EXPECT_EQ(run({"restore"}), 2);
    EXPECT_EQ(run({"backup", "missing.mdb"}), 1);
    EXPECT_FALSE(QFile::exists(FDir.filePath("missing.mdb")));
}

// A backup process killed between two steps: the ledger is as it was, and
// what is left in the folder is no backup.
TEST_F(Backups, AProcessKilledDuringABackupLeavesNoBackupAndTheLedgerIntact)
{
    const std::string saved = Contents(FLedger);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        ::alarm(60); // never outlives a parent that failed before killing it
        TBackupOptions options;
        options.PagesPerStep = 1;
        int steps = 0;
        options.OnStep = [&](int remaining, int) {
            if (++steps == 3 && remaining > 0) {
                const char byte = 'r';
                (void)!::write(ready[1], &byte, 1);
                ::pause(); // killed here, halfway
            }
        };
        try {
            MakeBackup(FLedger, At(2026, 12, 9), options);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "child: %s\n", e.what());
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the child never got halfway";
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_TRUE(ListBackups(FLedger).empty());
    EXPECT_FALSE(Folder().isEmpty()) << "the test should have caught the backup halfway";
    EXPECT_EQ(DatabaseProblem(FLedger, false), QString());
    EXPECT_EQ(Contents(FLedger), saved);
    // The next backup works beside the leftover.
    const QString path = MakeBackup(FLedger, At(2026, 12, 10));
    EXPECT_EQ(Contents(path), saved);
    EXPECT_EQ(Names(), QStringList{"Vantorel-2026-12-10-120000.mdb"});
}

// Guards against ordering backups by names a clock wrote: a copy named in
// the future (a clock set wrong once) stayed "the newest" for good, so the
// close never saw a change again and the start offered that stale copy.
TEST_F(Backups, ABackupNamedInTheFutureIsNotTheNewestOnceANewerCopyExists)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString future = MakeBackup(FLedger, now.addYears(5));
    EXPECT_FALSE(ChangedSinceNewestBackup(FLedger));
    ExecOnFile(FLedger,
               "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (1, '2026-12-09 00:00:00', '改')");
    EXPECT_TRUE(ChangedSinceNewestBackup(FLedger)) << "a change after a copy named in the future";
    const QString current = MakeBackup(FLedger, now);
    ASSERT_EQ(ListBackups(FLedger).size(), 2u);
    EXPECT_EQ(ListBackups(FLedger).front().Path, current);
    EXPECT_EQ(NewestGoodBackup(FLedger).Path, current);
    EXPECT_FALSE(ChangedSinceNewestBackup(FLedger));
    EXPECT_EQ(ScalarOfFile(NewestGoodBackup(FLedger).Path, "SELECT count(*) FROM gain WHERE 进帐人 = '改'"),
              "1");
    EXPECT_EQ(ListBackups(FLedger).back().Path, future);
}

// Guards against the hour that repeats when the clocks go back: a copy
// taken in its second pass has an earlier name than one of its first pass.
TEST_F(Backups, TheRepeatedHourOfAClockChangeKeepsTheOrderBackupsWereTakenIn)
{
    const QDateTime firstPass(QDate(2026, 10, 25), QTime(2, 45));
    const QDateTime secondPass(QDate(2026, 10, 25), QTime(2, 15));
    MakeBackup(FLedger, firstPass);
    ExecOnFile(FLedger, "DELETE FROM gain WHERE id = 1");
    const QString later = MakeBackup(FLedger, secondPass);
    EXPECT_EQ(ListBackups(FLedger).front().Path, later);
    EXPECT_EQ(ListBackups(FLedger).front().Marker.Sequence, 2);
    EXPECT_FALSE(ChangedSinceNewestBackup(FLedger));
    EXPECT_EQ(ScalarOfFile(NewestGoodBackup(FLedger).Path, "SELECT count(*) FROM gain WHERE id = 1"), "0");
}

// Backups from before the marker stay readable: they count as older than
// every marked one and go by their names among themselves; one named in the
// future proves no ledger unchanged.
TEST_F(Backups, BackupsWithoutAMarkerAreOlderThanMarkedOnesAndGoByTheirNames)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString oldFuture = MakeBackup(FLedger, now.addYears(1));
    const QString oldPast = MakeBackup(FLedger, now.addDays(-3));
    for (const QString &path : {oldFuture, oldPast})
        ExecOnFile(path, "DROP TABLE kestrum_backup");
    EXPECT_EQ(ListBackups(FLedger).front().Path, oldFuture);
    EXPECT_FALSE(ListBackups(FLedger).front().Marker.HasMarker());
    EXPECT_TRUE(ChangedSinceNewestBackup(FLedger)) << "an unmarked name in the future proves nothing";
    const QString marked = MakeBackup(FLedger, now.addDays(-1));
    EXPECT_EQ(ListBackups(FLedger).front().Path, marked);
    EXPECT_EQ(ListBackups(FLedger).front().Marker.Sequence, 1);
    EXPECT_EQ(ListBackups(FLedger)[1].Path, oldFuture);
    EXPECT_FALSE(ChangedSinceNewestBackup(FLedger));
    EXPECT_EQ(DatabaseProblem(oldPast, false), QString());
}

// Guards against a check that said nothing of backups: the user learns
// how old the newest good one is, or that there is none.
TEST_F(Backups, CheckCommandReportsTheNewestGoodBackupsAge)
{
    auto check = [&] {
        QProcess process;
        process.setWorkingDirectory(FDir.path());
        process.start(QStringLiteral(KESTRUM_DB_TOOL), {QStringLiteral("check")});
        process.waitForFinished(60000);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    };
    EXPECT_TRUE(check().contains("Vantorel.mdb: no good backup in Vantorel.backups"))
        << check().toStdString();
    const QString good = MakeBackup(FLedger, QDateTime::currentDateTime().addDays(-3).addSecs(-60));
    const QString damaged = MakeBackup(FLedger, QDateTime::currentDateTime().addSecs(-60));
    DamageFile(damaged);
    const QString output = check();
    EXPECT_TRUE(output.contains("newest good backup " + QDir::toNativeSeparators(good)))
        << output.toStdString();
    EXPECT_TRUE(output.contains("3 days ago")) << output.toStdString();
    EXPECT_TRUE(output.contains("usable ledger")) << output.toStdString();
}

//! Makes an index disagree with its table while every page stays sound: the
//! quick check passes the file, the full check does not.
void BreakIndexContents(const QString &path)
{
    ExecOnFile(path, "CREATE INDEX test_item ON gain (进帐人)");
    ExecOnFile(path, "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                     "'CREATE INDEX test_item ON gain (备注)' WHERE name = 'test_item'");
}

// Guards the close's quick-checked backup: a copy that only the full check
// finds damaged never counts as a good backup, never pushes a good one out,
// and is gone once checked in full.
TEST_F(Backups, AQuickCheckedCopyCountsOnlyOnceTheFullCheckPassedIt)
{
    for (int day = 1; day <= 10; ++day)
        MakeBackup(FLedger, At(2026, 11, day));
    const QStringList before = Names();
    BreakIndexContents(FLedger);
    ASSERT_EQ(DatabaseProblem(FLedger, true), QString());
    ASSERT_NE(DatabaseProblem(FLedger, false), QString());

    TBackupOptions quick;
    quick.FullCheck = false;
    const QString unchecked = MakeBackup(FLedger, At(2026, 12, 9), quick);
    EXPECT_EQ(Names().size(), before.size() + 1) << "rotation waits for the full check";
    EXPECT_FALSE(ListBackups(FLedger).front().Marker.Confirmed);
    EXPECT_TRUE(HasUnconfirmedBackups(FLedger));
    EXPECT_EQ(NewestGoodBackup(FLedger).Time, At(2026, 11, 10));

    EXPECT_THROW(ConfirmBackups(FLedger), EBackupCheckFailed);
    EXPECT_FALSE(QFile::exists(unchecked));
    EXPECT_EQ(Names(), before);
    EXPECT_FALSE(HasUnconfirmedBackups(FLedger));
    // A full backup of the same file fails as before.
    EXPECT_THROW(MakeBackup(FLedger, At(2026, 12, 10)), EBackupCheckFailed);
    EXPECT_EQ(Names(), before);
}

TEST_F(Backups, AFullBackupConfirmsTheQuickCheckedOnesBeforeItRotates)
{
    for (int day = 1; day <= 9; ++day)
        MakeBackup(FLedger, At(2026, 11, day));
    TBackupOptions quick;
    quick.FullCheck = false;
    const QString closing = MakeBackup(FLedger, At(2026, 11, 20), quick);
    EXPECT_FALSE(ReadBackupMarker(closing).Confirmed);
    EXPECT_FALSE(ChangedSinceNewestBackup(FLedger));
    MakeBackup(FLedger, At(2026, 11, 21));
    EXPECT_TRUE(ReadBackupMarker(closing).Confirmed);
    EXPECT_FALSE(HasUnconfirmedBackups(FLedger));
    EXPECT_EQ(Names().size(), 10) << "rotation ran with the confirmed copy among the newest";
    EXPECT_EQ(ListBackups(FLedger)[1].Path, closing);
}

TEST_F(Backups, AStoppedBackupOrCheckLeavesNoCopyAndKeepsWhatWaitsUnconfirmed)
{
    TBackupOptions quick;
    quick.FullCheck = false;
    const QString closing = MakeBackup(FLedger, At(2026, 11, 20), quick);
    std::atomic<bool> stop{true};
    TBackupOptions stopped;
    stopped.Stop = &stop;
    EXPECT_THROW(MakeBackup(FLedger, At(2026, 11, 21), stopped), EBackupStopped);
    EXPECT_THROW(ConfirmBackups(FLedger, &stop), EBackupStopped);
    EXPECT_EQ(Folder(), QStringList{QFileInfo(closing).fileName()}) << "no copy or part file stays";
    EXPECT_FALSE(ReadBackupMarker(closing).Confirmed);
    ConfirmBackups(FLedger);
    EXPECT_TRUE(ReadBackupMarker(closing).Confirmed);
}

} // namespace
} // namespace kestrum

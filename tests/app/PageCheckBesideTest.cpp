// The start's check of the ledger's pages beside the loading data: the
// window is not held up, no write lands before the pages passed, and none at
// all on a file found damaged unless a backup took its place.
#include "app/LedgerData.h"
#include "app/LedgerSafekeeping.h"
#include "db/DbConnection.h"
#include "db/DbDriver.h"
#include "db/SqliteDriver.h"
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"
#include "support/LedgerFileEdits.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace kestrum {
namespace {

using test::DamageFile;
using test::ScalarOfFile;

class PageCheckBeside : public ::testing::Test {
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
        FSaved = QDir::currentPath();
        QDir::setCurrent(FDir.path());
    }
    void TearDown() override
    {
        QDir::setCurrent(FSaved);
        SetMessageBoxHook(FPrevious);
    }

    QByteArray Bytes() const
    {
        QFile file(FLedger);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    //! A write on the data components' connection: "" when it landed, else its message.
    static QString TryWrite(TLedgerData &data)
    {
        try {
            data.ADOConnection1.Driver().Exec(
                "INSERT INTO gain (本次进帐, 进帐时间) VALUES (7, '2026-12-09 00:00:00')");
            return QString();
        } catch (const std::exception &error) {
            return QString::fromUtf8(error.what());
        }
    }
    TLedgerSafekeeping::TPageCheck Beside() const { return TLedgerSafekeeping::TPageCheck::Beside; }

    QTemporaryDir FDir;
    QString FLedger;
    QString FSaved;
    QStringList FBoxes;
    int FAnswer = 0;
    TMessageBoxHook FPrevious;
};

TEST_F(PageCheckBeside, ASoundLedgerLoadsAsksNothingAndIsBackedUp)
{
    const QDateTime start = QDateTime::currentDateTime();
    TLedgerSafekeeping keeping(FLedger, start, std::chrono::milliseconds(5000), Beside());
    TLedgerData data;
    data.SetWriteGate(keeping.WriteGate());
    data.Loaded([](const std::exception &error) { ADD_FAILURE() << error.what(); });
    EXPECT_FALSE(keeping.FinishPageCheck([] { ADD_FAILURE() << "a sound ledger is not closed"; }));
    EXPECT_TRUE(keeping.Healthy());
    EXPECT_EQ(TryWrite(data), QString());
    keeping.WaitForStartBackup();
    EXPECT_EQ(ListBackups(FLedger).size(), 1u);
    EXPECT_TRUE(FBoxes.isEmpty());
}

// Guards a damaged file: a write during the load (an older file's new
// tables, the user's first entry) must not land before the check answered,
// and never on a file it found damaged.
TEST_F(PageCheckBeside, ADamagedLedgerGetsNoWriteAndIsAskedAboutItsBackupBeforeTheWindow)
{
    MakeBackup(FLedger, QDateTime(QDate(2026, 12, 8), QTime(23, 15)));
    DamageFile(FLedger);
    const QByteArray damaged = Bytes();
    FAnswer = 1; // no: keep the damaged file
    {
        TLedgerSafekeeping keeping(FLedger, QDateTime(QDate(2026, 12, 9), QTime(9, 0)),
                                   std::chrono::milliseconds(5000), Beside());
        EXPECT_TRUE(FBoxes.isEmpty()) << "the pages are checked beside, the question comes after the load";
        TLedgerData data;
        data.SetWriteGate(keeping.WriteGate());
        data.Loaded([](const std::exception &) {});
        EXPECT_FALSE(keeping.FinishPageCheck([] { ADD_FAILURE() << "no restore was agreed to"; }));
        EXPECT_FALSE(keeping.Healthy());
        ASSERT_EQ(FBoxes.size(), 1);
        EXPECT_TRUE(FBoxes.front().startsWith("账本文件“Vantorel.mdb”已损坏。"))
            << FBoxes.front().toStdString();
        if (data.ADOConnection1.Connected()) {
            const QString refused = TryWrite(data);
            EXPECT_TRUE(refused.contains(QString::fromUtf8(TSqliteDriver::RefusedWriteText)))
                << refused.toStdString();
        }
    }
    EXPECT_EQ(Bytes(), damaged) << "not a byte of the damaged file changed";
    EXPECT_EQ(ListBackups(FLedger).size(), 1u) << "a damaged file is not copied over good backups";
}

TEST_F(PageCheckBeside, YesClosesTheLedgerRestoresItsBackupAndWritesGoThroughAgain)
{
    const std::string rows = ScalarOfFile(FLedger, "SELECT count(*) FROM expen");
    MakeBackup(FLedger, QDateTime(QDate(2026, 12, 8), QTime(23, 15)));
    DamageFile(FLedger);
    FAnswer = 0;
    TLedgerSafekeeping keeping(FLedger, QDateTime(QDate(2026, 12, 9), QTime(9, 0)),
                               std::chrono::milliseconds(5000), Beside());
    TLedgerData data;
    data.SetWriteGate(keeping.WriteGate());
    data.Loaded([](const std::exception &) {});
    bool closed = false;
    ASSERT_TRUE(keeping.FinishPageCheck([&] {
        closed = true;
        data.SwitchTo(data.LedgerPath(), false);
        EXPECT_FALSE(data.ADOConnection1.Connected());
    }));
    EXPECT_TRUE(closed);
    EXPECT_TRUE(keeping.Healthy());
    ASSERT_EQ(FBoxes.size(), 1);
    EXPECT_EQ(QDir(FDir.path()).entryList({"Vantorel.mdb.damaged-*"}, QDir::Files).size(), 1);
    data.SetWriteGate(keeping.WriteGate());
    data.Loaded([](const std::exception &error) { ADD_FAILURE() << error.what(); });
    EXPECT_EQ(std::to_string(data.ADOQuery2.RecordCount()), rows);
    EXPECT_EQ(TryWrite(data), QString()) << "the restored file is written as usual";
    keeping.WaitForStartBackup();
}

// Guards the wait itself: a write asked for while the check still runs
// lands only once the check answered.
TEST_F(PageCheckBeside, TheWriteGateHoldsAWriteUntilTheCheckAnswers)
{
    TDbConnection connection;
    connection.SetConnectionString("Data Source=" + FLedger);
    std::atomic<bool> answered{false};
    std::atomic<int> asked{0};
    connection.SetCommitGate([&] {
        ++asked;
        while (!answered)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    });
    connection.Open();
    connection.Driver().Exec("SELECT count(*) FROM gain");
    EXPECT_EQ(asked, 0) << "a read is not held";
    const QByteArray before = Bytes();
    std::thread check([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(Bytes(), before) << "nothing landed while the check ran";
        answered = true;
    });
    connection.Driver().Exec("INSERT INTO gain (本次进帐, 进帐时间) VALUES (7, '2026-12-09 00:00:00')");
    check.join();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ScalarOfFile(FLedger, "SELECT count(*) FROM gain WHERE 本次进帐 = 7"), "1");

    connection.SetCommitGate([] { return false; });
    EXPECT_THROW(connection.Driver().Exec("DELETE FROM gain"), std::exception);
    EXPECT_NE(ScalarOfFile(FLedger, "SELECT count(*) FROM gain"), "0") << "a refused write was rolled back";
    connection.SetCommitGate({});
    connection.Driver().Exec("DELETE FROM gain WHERE 本次进帐 = 7");
    EXPECT_EQ(ScalarOfFile(FLedger, "SELECT count(*) FROM gain WHERE 本次进帐 = 7"), "0");
}

} // namespace
} // namespace kestrum

// The program's data components on a server ledger: the open checks the
// ledger once instead of adding tables, a switch there leaves no file
// behind, and a typed entry outlives a broken link.
#include "app/LedgerData.h"
#include "app/LedgerSafekeeping.h"
#include "app/LedgerSwitcher.h"
#include "app/ServerAddress.h"
#include "app/ServerLink.h"
#include "core/RegionalSettings.h"
#include "db/PgDriver.h"
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"
#include "ledger/ServerSchema.h"
#include "support/PgServer.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace kestrum {
namespace {

class ServerLedgerData : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::TPgServer::Skipped())
            GTEST_SKIP() << "KESTRUM_PG_SKIP=1";
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        Server = &test::TPgServer::Shared();
        Database = Server->CreateDatabase("kestrum_data");
        Target = QString::fromStdString(Server->ConnectionString(Database));
    }

    QStringList Load(TLedgerData &data)
    {
        QStringList errors;
        data.Loaded([&errors](const std::exception &error) { errors << QString::fromUtf8(error.what()); });
        return errors;
    }

    void MakeLedger()
    {
        TPgDriver ledger(Target.toStdString());
        CreateServerLedger(ledger);
        ledger.Exec(
            "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (8600, '2024-01-10', '工资')");
    }

    test::TPgServer *Server = nullptr;
    std::string Database;
    QString Target;
    TMessageBoxRecorder Boxes;
};

TEST_F(ServerLedgerData, AServerWithoutALedgerOrWithANewerOneIsToldOnceAndGetsNoTables)
{
    {
        TLedgerData data(Target);
        EXPECT_TRUE(data.OnServer());
        EXPECT_EQ(data.LedgerPath(), Target);
        const QStringList errors = Load(data);
        ASSERT_EQ(errors.size(), 1) << errors.join('\n').toStdString();
        EXPECT_TRUE(errors.front().contains(QStringLiteral("kestrum-db init")))
            << errors.front().toStdString();
        EXPECT_FALSE(data.ADOQuery1.Active());
        EXPECT_FALSE(data.ADOConnection1.Connected());
    }
    TPgDriver ledger(Target.toStdString());
    auto tables = ledger.Prepare("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'");
    ASSERT_TRUE(tables->Step());
    EXPECT_EQ(tables->ColumnInt64(0), 0); // nothing was made in a database that holds no ledger
    tables.reset();

    CreateServerLedger(ledger);
    ledger.Exec("UPDATE kestrum_schema SET version = version + 1");
    TLedgerData data(Target);
    const QStringList errors = Load(data);
    ASSERT_EQ(errors.size(), 1) << errors.join('\n').toStdString();
    EXPECT_TRUE(errors.front().contains(QStringLiteral("升级"))) << errors.front().toStdString();
}

TEST_F(ServerLedgerData, ASwitchToAServerKeepsTheFileSafeAndLeavesNoLockBehind)
{
    MakeLedger();
    QTemporaryDir folder;
    const QString home = folder.filePath(QStringLiteral("Vantorel.mdb"));
    CreateDemoDatabase(home, 2024, 2024);
    auto safekeeping = std::make_unique<TLedgerSafekeeping>(home);
    safekeeping->WaitForStartBackup();
    TLedgerData data(home);
    ASSERT_TRUE(Load(data).isEmpty());
    data.ADOQuery1.Append();
    data.ADOQuery1.FieldByName("进帐人")->SetAsString("奖金");
    data.ADOQuery1.Post();
    const size_t backups = ListBackups(home).size();

    TLedgerSwitcher switcher(data, safekeeping);
    QStringList errors;
    switcher.SetErrorHandler([&errors](const std::exception &error) { errors << error.what(); });
    ASSERT_TRUE(switcher.OpenLedger(Target));
    EXPECT_EQ(ListBackups(home).size(), backups + 1); // the file's close backup
    EXPECT_EQ(safekeeping, nullptr);                  // a server keeps its own data
    EXPECT_EQ(switcher.WindowTitle(), QStringLiteral("Kestrum - postgres@localhost:%1/%2")
                                          .arg(Server->Port())
                                          .arg(QString::fromStdString(Database)));
    EXPECT_TRUE(data.OnServer());
    EXPECT_TRUE(data.ADOConnection1.Connected());
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    for (const QString &file : files)
        EXPECT_FALSE(file.contains(QStringLiteral("host="))) << file.toStdString();
    // Opening the same server again is no switch at all.
    EXPECT_TRUE(switcher.OpenLedger(WithoutPassword(Target)));
}

} // namespace
} // namespace kestrum

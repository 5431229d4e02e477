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

//! A demo ledger file in a folder of its own, kept safe as at start-up:
//! the file a window had open before it moved to a server.
struct THomeLedger {
    THomeLedger()
    {
        CreateDemoDatabase(Path, 2024, 2024);
        Safekeeping = std::make_unique<TLedgerSafekeeping>(Path);
        Safekeeping->WaitForStartBackup();
    }

    QTemporaryDir Folder;
    QString Path = Folder.filePath(QStringLiteral("Vantorel.mdb"));
    std::unique_ptr<TLedgerSafekeeping> Safekeeping;
};

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
    THomeLedger home;
    TLedgerData data(home.Path);
    ASSERT_TRUE(Load(data).isEmpty());
    data.ADOQuery1.Append();
    data.ADOQuery1.FieldByName("进帐人")->SetAsString("奖金");
    data.ADOQuery1.Post();
    const size_t backups = ListBackups(home.Path).size();

    TLedgerSwitcher switcher(data, home.Safekeeping);
    QStringList errors;
    switcher.SetErrorHandler([&errors](const std::exception &error) { errors << error.what(); });
    ASSERT_TRUE(switcher.OpenLedger(Target));
    EXPECT_EQ(ListBackups(home.Path).size(), backups + 1); // the file's close backup
    EXPECT_EQ(home.Safekeeping, nullptr);                  // a server keeps its own data
    EXPECT_EQ(switcher.WindowTitle(), QStringLiteral("Kestrum - postgres@localhost:%1/%2")
                                          .arg(Server->Port())
                                          .arg(QString::fromStdString(Database)));
    EXPECT_TRUE(data.OnServer());
    EXPECT_TRUE(data.ADOConnection1.Connected());
    const QStringList files = QDir(home.Folder.path()).entryList(QDir::Files);
    for (const QString &file : files)
        EXPECT_FALSE(file.contains(QStringLiteral("host="))) << file.toStdString();
    // Opening the same server again is no switch at all.
    EXPECT_TRUE(switcher.OpenLedger(WithoutPassword(Target)));
}

// A month shown on the entry pages stays shown when the window moves between
// a file and a server, each reading it in its own way.
TEST_F(ServerLedgerData, AMonthShownOnAFileStaysShownOnAServerAndBack)
{
    MakeLedger();
    {
        TPgDriver ledger(Target.toStdString());
        ledger.Exec(
            "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (1, '2024-01-02', '甲'), "
            "(2, '2024-02-01', '乙'); UPDATE gain SET \"备注\" = '改' WHERE \"进帐人\" = '工资'");
    }
    THomeLedger home;
    TLedgerData data(home.Path);
    ASSERT_TRUE(Load(data).isEmpty());
    const TLedgerData::TParameterTexts january = {{"b", "2024"}, {"c", "1"}};
    const QString month =
        QString::fromUtf8("select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c ");
    TLedgerData::ReplaceAndReopen(data.ADOQuery1, TLedgerData::ListStatement(month, january, false), january);
    const QString fileStatement = data.ADOQuery1.SQLText();
    const int fileRows = data.ADOQuery1.RecordCount();

    TLedgerSwitcher switcher(data, home.Safekeeping);
    QStringList errors;
    switcher.SetErrorHandler([&errors](const std::exception &error) { errors << error.what(); });
    ASSERT_TRUE(switcher.OpenLedger(Target));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    ASSERT_TRUE(data.ADOQuery1.Active());
    EXPECT_EQ(data.ADOQuery1.SQLText(), TLedgerData::ListStatement(month, january, true));
    QStringList items;
    for (data.ADOQuery1.First(); !data.ADOQuery1.Eof(); data.ADOQuery1.Next())
        items << data.ADOQuery1.FieldByName(QString::fromUtf8("进帐人"))->AsString();
    EXPECT_EQ(items.join(','), QString::fromUtf8("工资,甲")) << "January, in the order of entering";

    ASSERT_TRUE(switcher.OpenLedger(home.Path));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(data.ADOQuery1.SQLText(), fileStatement);
    EXPECT_EQ(data.ADOQuery1.RecordCount(), fileRows);
}

// Guards against losing what the user typed when the server drops during a
// save: the entry stays being edited, and saving again once the link is
// back writes it once.
TEST_F(ServerLedgerData, AnEntryTypedWhileTheLinkBreaksIsKeptAndSavedOnceItIsBack)
{
    MakeLedger();
    TLedgerData data(Target);
    const QStringList errors = Load(data);
    // Record sets read a server's tables only once their layer runs on the
    // driver; until then there is no typed entry to keep.
    if (!data.ADOQuery1.Active())
        GTEST_SKIP() << "record sets cannot open a server table here: " << errors.join('\n').toStdString();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    TDbQuery &gain = data.ADOQuery1;
    gain.Append();
    gain.FieldByName("本次进帐")->SetAsFloat(1200.5);
    gain.FieldByName("进帐时间")->SetAsDateTime(45323); // 2024-02-01
    gain.FieldByName("进帐人")->SetAsString(QStringLiteral("奖金"));
    auto &driver = dynamic_cast<TPgDriver &>(data.ADOConnection1.Driver());
    auto pid = driver.Prepare("SELECT pg_backend_pid()");
    ASSERT_TRUE(pid->Step());
    Server->Exec(Database, "SELECT pg_terminate_backend(" + pid->ColumnText(0) + ")");
    pid.reset();

    try {
        gain.Post();
        ADD_FAILURE() << "saved through an ended session";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::ConnectionLost) << e.what();
        EXPECT_NE(std::string(e.what()).find("没有丢失"), std::string::npos) << e.what();
    }
    EXPECT_EQ(gain.State(), dsInsert);
    EXPECT_EQ(gain.FieldByName("进帐人")->AsString(), QStringLiteral("奖金"));

    TServerLink link(std::make_unique<TPgLinkReconnect>(driver));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (link.Tick() != TServerLinkState::Connected && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(link.State(), TServerLinkState::Connected) << link.StatusText().toStdString();
    gain.Post();
    EXPECT_EQ(gain.State(), dsBrowse);
    TPgDriver check(Target.toStdString());
    auto saved =
        check.Prepare("SELECT count(*), min(\"本次进帐\")::text FROM gain WHERE \"进帐人\" = '奖金'");
    ASSERT_TRUE(saved->Step());
    EXPECT_EQ(saved->ColumnInt64(0), 1);
    EXPECT_EQ(saved->ColumnText(1), "1200.5000");
}

} // namespace
} // namespace kestrum

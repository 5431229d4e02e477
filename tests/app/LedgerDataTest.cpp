// Start-up of the data components against real files: the load order, the
// error boxes when the database cannot be opened, and replace-and-reopen.
#include "app/LedgerData.h"
#include "core/RegionalSettings.h"
#include "db/DbDataLink.h"
#include "db/DbErrors.h"
#include "ledger/KeptTotals.h"
#include "ledger/LedgerFile.h"
#include "support/DbTestSupport.h"
#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class ActivityLink : public TDbDataLink {
public:
    QStringList Log;

protected:
    void ActiveChanged() override { Log.append(Active() ? "open" : "closed"); }
};

class LedgerStartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        ASSERT_TRUE(FDir.isValid());
        FSavedFolder = QDir::currentPath();
        QDir::setCurrent(FDir.path());
    }
    void TearDown() override { QDir::setCurrent(FSavedFolder); }

    //! Binds links (as the pages do before loading ends), then loads with
    //! the application's error box as handler.
    void Load(TLedgerData &data)
    {
        FIncome.SetDataSource(&data.DataSource1);
        FExpense.SetDataSource(&data.DataSource2);
        data.Loaded([](const std::exception &error) { ShowException(nullptr, error); });
    }

    QString Box(const QString &text) const { return ApplicationTitle() + "|" + text; }

    QTemporaryDir FDir;
    QString FSavedFolder;
    ActivityLink FIncome, FExpense;
    TMessageBoxRecorder FBoxes;
};

TEST_F(LedgerStartUp, OpensBothRecordSetsFromTheWorkingFolder)
{
    CreateDemoDatabase(FDir.filePath("Vantorel.mdb"), 2024, 2024);
    TLedgerData data;
    Load(data);
    EXPECT_TRUE(FBoxes.Boxes().isEmpty()) << FBoxes.Boxes().join('\n').toStdString();
    EXPECT_TRUE(data.ADOConnection1.Connected());
    EXPECT_TRUE(data.ADOQuery1.Active());
    EXPECT_TRUE(data.ADOQuery2.Active());
    EXPECT_FALSE(data.ADOQuery3.Active());
    EXPECT_GT(data.ADOQuery1.RecordCount(), 12);
    EXPECT_EQ(FIncome.Log, QStringList{"open"});
    EXPECT_EQ(FExpense.Log, QStringList{"open"});
    EXPECT_TRUE(data.ADOQuery1.CanModify());
}

// Guards the first all-time sum on an older file, which made the kept
// totals itself and took seconds on a large ledger.
TEST_F(LedgerStartUp, AnOlderFileGetsItsKeptTotalsBesideTheOpenLedger)
{
    CreateDemoDatabase(FDir.filePath("Vantorel.mdb"), 2024, 2024);
    {
        TLedgerData data;
        data.SetMakesKeptTotalsAside(true);
        Load(data);
        ASSERT_TRUE(data.ADOQuery1.Active());
        data.WaitForKeptTotals();
        EXPECT_TRUE(HasKeptTotals(data.ADOConnection1.Handle()));
        // A post right after finds nothing in its way and keeps them.
        data.ADOQuery1.Append();
        data.ADOQuery1.FieldByName(QString::fromUtf8("本次进帐"))->SetAsFloat(12.5);
        data.ADOQuery1.Post();
        EXPECT_TRUE(HasKeptTotals(data.ADOConnection1.Handle()));
    }
}

TEST_F(LedgerStartUp, MissingDatabaseGivesThreeErrorBoxesAndLeavesTheRecordSetsClosed)
{
    TLedgerData data;
    Load(data);
    const QString path = QDir::toNativeSeparators(FDir.filePath("Vantorel.mdb"));
    const QString box = Box("找不到数据库文件“Vantorel.mdb”，它应在文件夹“" +
                            QDir::toNativeSeparators(FDir.path()) + "”中。");
    EXPECT_EQ(FBoxes.Boxes(), QStringList({box, box, box}));
    EXPECT_FALSE(data.ADOConnection1.Connected());
    EXPECT_FALSE(data.ADOQuery1.Active());
    EXPECT_FALSE(data.ADOQuery2.Active());
    EXPECT_TRUE(FIncome.Log.isEmpty());
    EXPECT_FALSE(QFile::exists(path)); // never created by the program
}

TEST_F(LedgerStartUp, DamagedDatabaseIsReportedThreeTimes)
{
    QFile file(FDir.filePath("Vantorel.mdb"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    TLedgerData data;
    Load(data);
    ASSERT_EQ(FBoxes.Boxes().size(), 3);
    EXPECT_TRUE(FBoxes.Boxes().front().contains("“Vantorel.mdb”不是可识别的数据库文件。"));
    EXPECT_FALSE(data.ADOQuery2.Active());
}

TEST_F(LedgerStartUp, FileThatCanOnlyBeReadOpensWithOneBoxThatSaysSo)
{
    // Guards against a ledger that opened silently unmodifiable, so that the
    // user learned of it only when the first save failed.
    const QString path = FDir.filePath("Vantorel.mdb");
    CreateDemoDatabase(path, 2024, 2024);
    const test::ReadOnlyFile readOnly(path);
    if (!readOnly.Works())
        GTEST_SKIP() << "this machine cannot make a file refuse writing";
    TLedgerData data;
    Load(data);
    EXPECT_EQ(FBoxes.Boxes(),
              QStringList{Box("数据库文件“Vantorel.mdb”只能以只读方式打开：账目可以查看和统计，"
                              "但不能添加、修改或删除。请检查文件的写入权限后重新启动程序。")});
    EXPECT_TRUE(data.ADOQuery1.Active());
    EXPECT_TRUE(data.ADOQuery2.Active());
    EXPECT_GT(data.ADOQuery1.RecordCount(), 12);
    EXPECT_FALSE(data.ADOQuery1.CanModify());
    EXPECT_FALSE(data.ADOQuery2.CanModify());
}

TEST_F(LedgerStartUp, LaterReopenConnectsOnceTheFileIsThere)
{
    TLedgerData data;
    Load(data);
    FBoxes.Clear();
    CreateLedgerDatabase(FDir.filePath("Vantorel.mdb"));
    TLedgerData::ReplaceAndReopen(data.ADOQuery1,
                                  "select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c ",
                                  {{"b", "2006"}, {"c", "7"}});
    EXPECT_TRUE(data.ADOQuery1.Active());
    EXPECT_EQ(FIncome.Log, QStringList{"open"});
}

TEST_F(LedgerStartUp, ReplaceAndReopenDropsAPendingEntryAndAFailureLeavesItClosed)
{
    CreateDemoDatabase(FDir.filePath("Vantorel.mdb"), 2024, 2024);
    TLedgerData data;
    Load(data);
    const int before = data.ADOQuery2.RecordCount();
    data.ADOQuery2.Insert();
    data.ADOQuery2.FieldByName("消费者")->SetAsString("未保存");
    const QString sql = "select * from Expen where year(消费日期)= :b AND month(消费日期)=:c ";
    TLedgerData::ReplaceAndReopen(data.ADOQuery2, sql, {{"b", "2024"}, {"c", "2"}});
    EXPECT_LT(data.ADOQuery2.RecordCount(), before);
    EXPECT_FALSE(data.ADOQuery2.Locate("消费者", Variant(QStringLiteral("未保存"))));
    EXPECT_THROW(TLedgerData::ReplaceAndReopen(data.ADOQuery2, sql, {{"b", "二〇二四"}, {"c", "2"}}),
                 EDatabaseError);
    EXPECT_FALSE(data.ADOQuery2.Active());
}

TEST(ErrorBox, FullStopIsAddedWhenTheLastCharacterSortsAboveIt)
{
    EXPECT_EQ(ErrorBoxText("Could not find file 'x'."), "Could not find file 'x'.");
    EXPECT_EQ(ErrorBoxText("no such table: gain"), "no such table: gain.");
    EXPECT_EQ(ErrorBoxText("错误"), "错误.");
    EXPECT_EQ(ErrorBoxText("what?"), "what?.");
    EXPECT_EQ(ErrorBoxText("(x)"), "(x)"); // ")" sorts below "."
    // A Chinese sentence end is a full stop already; no "." follows it.
    EXPECT_EQ(ErrorBoxText("数据集已关闭，无法执行此操作。"), "数据集已关闭，无法执行此操作。");
    EXPECT_EQ(ErrorBoxText("真的吗？"), "真的吗？");
    EXPECT_EQ(ErrorBoxText("错误值"), "错误值.");
    EXPECT_EQ(ErrorBoxText(""), "");
    TMessageBoxRequest shown;
    const TMessageBoxHook previous = SetMessageBoxHook([&](const TMessageBoxRequest &request) {
        shown = request;
        return 0;
    });
    ShowException(nullptr, EDatabaseError("数据库错误"));
    SetMessageBoxHook(previous);
    EXPECT_EQ(shown.Caption, ApplicationTitle());
    EXPECT_EQ(shown.Text, "数据库错误.");
    EXPECT_EQ(shown.Icon, miStop);
    EXPECT_EQ(shown.Buttons, QStringList{"OK"});
}

} // namespace
} // namespace kestrum

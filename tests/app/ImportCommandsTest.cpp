// The menu's import and export against a real ledger file and the main
// window's own record sets: what lands in the file, what the pages and the
// statistics see afterwards, and the messages.
#include "app/ImportCommands.h"
#include "EntryGridProbe.h"
#include "LedgerFileFixture.h"
#include "app/EntryPage.h"
#include "app/ExportRange.h"
#include "app/ImportDryRun.h"
#include "app/ImportPreview.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "app/UndoCommands.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "db/DbQuery.h"
#include "editors/DbTextEdit.h"
#include "support/FakeShell.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "support/TestFiles.h"
#include "ui/ImageList.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace kestrum {
namespace {

class ImportCommandsTest : public testing::TestWithParam<test::TEngine> {
protected:
    ImportCommandsTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (!file.Unavailable().empty())
            return;
        file.AddIncome(1000, "2006-07-01", "工资");
        file.AddExpense(12.5, "2006-07-02", "午饭");
        file.AddExpense(45, "2006-09-01", "书");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([](const std::exception &error) { ADD_FAILURE() << error.what(); });
        commands = window.findChild<TLedgerExchangeCommands *>();
        commands->Today = [] { return QDate(2006, 9, 20); };
        commands->ChooseImportFile = [this] { return importFile; };
        commands->ConfirmImport = [this](TImportPreview &preview) {
            ++previews;
            preview.SetSkipBadRows(skipBad);
            return confirm;
        };
        commands->ChooseExportRange = [this](TExportRange &range) {
            shownMonth = range.From();
            if (exportRange)
                exportRange(range);
            return true;
        };
        commands->ChooseExportFile = [this](const QString &suggested) {
            suggestedName = suggested;
            return exportFile;
        };
        data.AddLedgerChangedListener([this] { ++ledgerChanges; });
    }
    void SetUp() override { TLedgerFile::RequireLedger(file); }

    QString write(const char *name, const QByteArray &bytes) { return test::WriteTestFile(dir, name, bytes); }
    static QByteArray read(const QString &path) { return test::ReadTestFile(path); }
    std::string stored(const std::string &sql) const { return file.Scalar(sql); }
    TEntryPage &page(QWidget *widget) { return *qobject_cast<TEntryPage *>(widget); }

    TLedgerFile file{GetParam()};
    TLedgerData data;
    TFakeShell shell;
    TForm1 window{data, shell};
    TLedgerExchangeCommands *commands = nullptr;
    TMessageBoxRecorder boxes;
    QTemporaryDir dir;
    QString importFile;
    bool confirm = true;
    bool skipBad = false;
    int previews = 0;
    int ledgerChanges = 0;
    QDate shownMonth;
    std::function<void(TExportRange &)> exportRange;
    QString suggestedName;
    QString exportFile;
};

TEST_P(ImportCommandsTest, ImportedEntriesReachTheFileThePagesAndTheStatistics)
{
    ASSERT_NE(commands, nullptr);
    importFile = write("in.csv", "日期,金额,项目,备注\n"
                                 "2006-07-05,-8.00,早饭,\n"
                                 "2006-07-06,200,奖金,年中\n"
                                 "2006-07-07,-3.5,公交,\n");
    commands->ImportAction->trigger();
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(stored("select count(*) from gain"), "2");
    EXPECT_EQ(stored("select count(*) from expen"), "4");
    EXPECT_EQ(stored("select 备注 from gain where 进帐人='奖金'"), "年中");
    EXPECT_EQ(data.ADOQuery1.RecordCount(), 2) << "the income page did not read its entries again";
    EXPECT_EQ(data.ADOQuery2.RecordCount(), 4);
    EXPECT_EQ(ledgerChanges, 1);
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("已导入3条纪录：收入1条，支出2条。")))
        << boxes.Boxes()[0].toStdString();

    // The same file again: every entry is in the ledger already.
    boxes.Clear();
    commands->ImportAction->trigger();
    EXPECT_EQ(stored("select count(*) from expen"), "4");
    EXPECT_EQ(ledgerChanges, 1) << "nothing changed, nothing to tell";
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("已有的3条"))) << boxes.Boxes()[0].toStdString();
}

TEST_P(ImportCommandsTest, ThePreviewCountsWhatTheImportWouldDoAndLeavesTheLedgerAsItWas)
{
    const QString csv = write("mixed.csv", "日期,金额,项目\n"
                                           "2006-07-02,-12.50,午饭\n" // in the ledger already
                                           "2006-07-02,-12.50,午饭\n" // a second lunch that day
                                           "2006-07-03,-4,茶\n"
                                           "2006-07-04,9,退款\n"
                                           "2006-13-01,1,x\n");
    const std::string schema = file.OnServer()
                                   ? "select string_agg(table_name, ', ' order by table_name) "
                                     "from information_schema.tables"
                                   : "select group_concat(type || ' ' || name, ', ') from sqlite_master";
    const std::string schemaBefore = stored(schema);
    const std::string actions = stored("select count(*) from kestrum_journal_action");
    TImportPreview preview(csv);
    preview.SetLedgerPath(file.Target());
    TJobProgress progress;
    preview.SetScan(
        TImportPreview::ScanAll([&] { return preview.MakeSource(); }, preview.LedgerPath(), progress));
    const TImportScan &scan = preview.Scan();
    ASSERT_TRUE(scan.Done);
    EXPECT_TRUE(scan.Failure.isEmpty()) << scan.Failure.toStdString();
    EXPECT_TRUE(scan.DuplicatesKnown);
    EXPECT_EQ(scan.Duplicates, 1);
    EXPECT_EQ(scan.Expense, 2);
    EXPECT_EQ(scan.Income, 1);
    EXPECT_EQ(scan.BadCount, 1);
    EXPECT_TRUE(preview.Summary().contains(utf8("另有1条账本中已有，将跳过")))
        << preview.Summary().toStdString();
    // The ledger's one lunch answers for the first lunch of the file only.
    ASSERT_GE(preview.Rows().size(), 2u);
    EXPECT_EQ(preview.RowNote(preview.Rows()[0]), utf8("账本中已有，将跳过"));
    EXPECT_EQ(preview.RowNote(preview.Rows()[1]), "");
    preview.SetImportDuplicates(true);
    EXPECT_EQ(preview.RowNote(preview.Rows()[0]), utf8("账本中已有，仍将导入"));
    EXPECT_EQ(stored("select count(*) from expen"), "2");
    EXPECT_EQ(stored("select count(*) from gain"), "1");
    EXPECT_EQ(stored(schema), schemaBefore) << "the copies stayed out of the file";
    EXPECT_EQ(stored("select count(*) from kestrum_journal_action"), actions) << "no history was written";

    // The pages' own connection still writes: the dry run left no lock behind.
    data.ADOQuery2.Append();
    data.ADOQuery2.FieldByName(utf8("消费金额"))->SetValue(Variant(1.0));
    data.ADOQuery2.Post();
    EXPECT_EQ(stored("select count(*) from expen"), "3");
}

// Guards against the preview's dry run forgetting the transaction ids that
// earlier imports remembered, and so counting other duplicates than the import.
TEST_P(ImportCommandsTest, TheDryRunCountsDuplicatesByTransactionIdsAsTheImportDoes)
{
    class TTwoPayments : public TEntrySource {
    public:
        explicit TTwoPayments(const char *payee) : FPayee(payee) {}
        TStep Next(TForeignEntry &entry, TBadRecord &) override
        {
            if (FNext == 2)
                return esEnd;
            entry = TForeignEntry();
            entry.Cents = 990;
            entry.Date = QDate(2006, 7, 5);
            entry.Item = FPayee;
            entry.TransactionId = FNext == 0 ? "F1" : "F2";
            entry.Line = ++FNext;
            return esEntry;
        }
        double Progress() const override { return FNext / 2.0; }
        QString Description() const override { return QStringLiteral("OFX"); }

    private:
        const char *FPayee;
        int FNext = 0;
    };
    // Rows deleted before keep the ledger's keys apart from the rows' places.
    file.AddExpense(1, "2006-07-01", "旧");
    stored("delete from expen where 消费者 = '旧'");
    TTwoPayments first("POS STARBUCKS");
    ASSERT_EQ(ImportEntries(file.Target(), first).Added(), 2);
    // The bank renamed the payee: only the ids tell these are the same payments.
    TTwoPayments renamed("Starbucks Coffee");
    const TImportResult dry = DryRunImport(file.Target(), renamed, {});
    EXPECT_EQ(dry.DuplicatesSkipped, 2);
    EXPECT_EQ(dry.Added(), 0);
}

// An import used to leave one journal action per entry, so that undo took
// back a single entry of it and a large file made a million actions.
TEST_P(ImportCommandsTest, AnImportIsOneActionOfTheJournal)
{
    const std::string actions = "select count(*) from kestrum_journal_action";
    const std::string before = stored(actions);
    importFile =
        write("in.csv", "日期,金额,项目\n2006-07-05,-8,早饭\n2006-07-06,-9,午饭\n2006-07-07,5,退款\n");
    commands->ImportAction->trigger();
    ASSERT_EQ(stored("select count(*) from expen"), "4");
    EXPECT_EQ(std::stoi(stored(actions)), std::stoi(before) + 1);
    EXPECT_EQ(stored("select label from kestrum_journal_action order by id desc limit 1"), "导入 3 条纪录");
    // A server journals the rows the fixture wrote as well.
    if (!file.OnServer()) {
        EXPECT_EQ(stored("select count(distinct action_id) from kestrum_journal"), "1");
    }
    EXPECT_EQ(stored("select count(*) from kestrum_journal where action_id = "
                     "(select max(id) from kestrum_journal_action)"),
              "3");

    // One undo takes the whole import back, and the pages follow.
    window.UndoCommands->UpdateItems();
    EXPECT_TRUE(window.UndoCommands->UndoAction()->text().contains(utf8("导入 3 条纪录")))
        << window.UndoCommands->UndoAction()->text().toStdString();
    window.UndoCommands->UndoAction()->trigger();
    EXPECT_EQ(stored("select count(*) from expen"), "2");
    EXPECT_EQ(stored("select count(*) from gain"), "1");
    EXPECT_EQ(data.ADOQuery2.RecordCount(), 2);
}

TEST_P(ImportCommandsTest, ABadLineRejectsTheWholeFileAndTheBoxNamesIt)
{
    importFile = write("bad.csv", "日期,金额,项目\n2006-07-05,-8,早饭\n2006-02-30,-1,x\n");
    commands->ImportAction->trigger();
    EXPECT_EQ(stored("select count(*) from expen"), "2");
    EXPECT_EQ(ledgerChanges, 0);
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("第3行"))) << boxes.Boxes()[0].toStdString();
    EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("没有导入任何纪录"))) << boxes.Boxes()[0].toStdString();

    boxes.Clear();
    skipBad = true;
    commands->ImportAction->trigger();
    EXPECT_EQ(stored("select count(*) from expen"), "3");
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("第3行"))) << boxes.Boxes()[0].toStdString();
}

TEST_P(ImportCommandsTest, NothingIsReadWhenTheUserStopsAtAnyQuestion)
{
    importFile = write("in.csv", "日期,金额,项目\n2006-07-05,-8,早饭\n");
    confirm = false;
    commands->ImportAction->trigger();
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(stored("select count(*) from expen"), "2");

    importFile.clear(); // the file dialog was cancelled
    commands->ImportAction->trigger();
    EXPECT_EQ(previews, 1);
    EXPECT_TRUE(boxes.Boxes().isEmpty());
}

TEST_P(ImportCommandsTest, AnEntryBeingEditedIsSettledFirstAndStayingCancelsTheImport)
{
    importFile = write("in.csv", "日期,金额,项目\n2006-07-05,-8,早饭\n");
    TEntryPage &expense = page(window.ExpensePage);
    data.ADOQuery2.Edit();
    data.ADOQuery2.FieldByName(utf8("消费者"))->SetValue(Variant(utf8("晚饭")));
    int asked = 0;
    const TMessageBoxHook previous = SetMessageBoxHook([&](const TMessageBoxRequest &request) {
        ++asked;
        EXPECT_TRUE(request.Text.contains(utf8("是否保存")));
        return 2; // 取消: stay with the entry
    });
    commands->ImportAction->trigger();
    SetMessageBoxHook(previous);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(previews, 0);
    EXPECT_EQ(data.ADOQuery2.State(), dsEdit) << "the entry being edited was lost";
    EXPECT_EQ(stored("select count(*) from expen"), "2");
    (void)expense;
}

TEST_P(ImportCommandsTest, FilesThatCannotBeReadAreReportedAndChangeNothing)
{
    importFile = write("x.csv", QByteArray("\x00\x01\x02\x03", 4));
    commands->ImportAction->trigger();
    EXPECT_EQ(previews, 0);
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains("x.csv"));
    EXPECT_EQ(stored("select count(*) from expen"), "2");
}

TEST_P(ImportCommandsTest, ExportingAMonthWritesOnlyThatMonthAndSaysHowMany)
{
    page(window.IncomePage).YearEdit->setText("2006");
    page(window.IncomePage).MonthCombo->setCurrentText("7");
    exportFile = dir.filePath("july.csv");
    QDate pickedMonth;
    exportRange = [&pickedMonth](TExportRange &range) {
        range.SetChoice(TExportChoice::Month);
        pickedMonth = range.From();
    };
    commands->ExportAction->trigger();
    EXPECT_EQ(pickedMonth, QDate(2006, 7, 1)) << "the pickers start on the page's month";
    EXPECT_EQ(suggestedName, "Kestrum-2006-07.csv");
    const QString text = QString::fromUtf8(read(exportFile));
    EXPECT_TRUE(text.contains(utf8("工资")));
    EXPECT_TRUE(text.contains(utf8("午饭")));
    EXPECT_FALSE(text.contains(utf8("书"))) << "September is not July";
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("已导出2006年7月的2条纪录（收入1条，支出1条）")))
        << boxes.Boxes()[0].toStdString();
    EXPECT_EQ(ledgerChanges, 0);
}

// Guards against the export opening on the page's month (2006-12, empty) rather than on the entries.
TEST_P(ImportCommandsTest, TheExportOpensOnTheDaysThatHoldEntries)
{
    page(window.IncomePage).YearEdit->setText("2006");
    page(window.IncomePage).MonthCombo->setCurrentText("12");
    QString opened;
    exportRange = [&opened](TExportRange &range) {
        opened = range.From().toString(Qt::ISODate) + ".." + range.To().toString(Qt::ISODate);
    };
    exportFile = dir.filePath("all.csv");
    commands->ExportAction->trigger();
    EXPECT_EQ(opened, "2006-07-01..2006-09-01");
    const QString text = QString::fromUtf8(read(exportFile));
    EXPECT_TRUE(text.contains(utf8("工资")) && text.contains(utf8("书")))
        << "pressing 导出 at once exports them all";
    stored("delete from gain");
    stored("delete from expen");
    exportFile = dir.filePath("none.csv");
    commands->ExportAction->trigger();
    EXPECT_EQ(opened, "2006-01-01..2006-12-31") << "an empty ledger opens on this year";
}

TEST_P(ImportCommandsTest, ExportThenImportIntoTheSameLedgerFindsEveryEntryThere)
{
    exportRange = [](TExportRange &range) { range.SetChoice(TExportChoice::All); };
    exportFile = dir.filePath("all.csv");
    commands->ExportAction->trigger();
    EXPECT_EQ(suggestedName, "Kestrum.csv");
    boxes.Clear();
    importFile = exportFile;
    commands->ImportAction->trigger();
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("已导入0条"))) << boxes.Boxes()[0].toStdString();
    EXPECT_EQ(stored("select count(*) from gain"), "1");
    EXPECT_EQ(stored("select count(*) from expen"), "2");
}

TEST_P(ImportCommandsTest, ExportIsRefusedWhenTheLedgerIsNotOpen)
{
    data.ADOConnection1.Close();
    exportFile = dir.filePath("none.csv");
    commands->ExportAction->trigger();
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("没有打开")));
    EXPECT_FALSE(QFile::exists(exportFile));
}

// The export once wrote its CSV text over the ledger it was reading.
TEST_P(ImportCommandsTest, ExportNeverWritesOverTheOpenLedgerOrAnyDatabase)
{
    if (file.OnServer())
        GTEST_SKIP() << "about the ledger's own file";
    exportRange = [](TExportRange &range) { range.SetChoice(TExportChoice::All); };
    const QByteArray ledger = read(file.Path());
    ASSERT_TRUE(QFile::link(file.Path(), dir.filePath("ledger.csv")));
    ASSERT_TRUE(QFile::copy(file.Path(), dir.filePath("copy.csv")));
    for (const QString &target : {file.Path(), dir.filePath("ledger.csv"), dir.filePath("copy.csv")}) {
        boxes.Clear();
        exportFile = target;
        commands->ExportAction->trigger();
        ASSERT_EQ(boxes.Boxes().size(), 1) << target.toStdString();
        EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("|不能写入“"))) << boxes.Boxes()[0].toStdString();
    }
    EXPECT_EQ(read(file.Path()), ledger);
    EXPECT_EQ(read(dir.filePath("copy.csv")), ledger);
    EXPECT_EQ(stored("select count(*) from expen"), "2");
}

// Another window on the same ledger (another program, another computer)
// shows what an import brought in, as it shows what its user typed.
TEST_P(ImportCommandsTest, AnotherWindowOnTheLedgerShowsTheImportedEntries)
{
    test::OffscreenSizeHintsFilter sizeHints;
    TLedgerData otherData;
    otherData.ADOConnection1.SetConnectionString(file.ConnectionString());
    otherData.Loaded([](const std::exception &error) { ADD_FAILURE() << error.what(); });
    TImageList images{16, 16};
    TEntryPage other{ExpensePageDescription(), otherData.DataSource2, &images};
    other.resize(900, 500);
    other.show();
    other.YearEdit->setText("2006");
    other.MonthCombo->setCurrentText("7");
    QTest::mouseClick(other.ShowButton, Qt::LeftButton);
    ASSERT_EQ(probe::GridRowCount(other), 1);
    importFile = write("in.csv", "日期,金额,项目\n2006-07-05,-8,早饭\n2006-07-06,-9,午饭\n");
    commands->ImportAction->trigger();
    ASSERT_EQ(stored("select count(*) from expen"), "4");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000 && probe::GridRowCount(other) != 3)
        QTest::qWait(10);
    EXPECT_EQ(probe::GridRowCount(other), 3);
}

// A ledger on a server imports and exports as a file does; what the user
// reads never shows its address, which may hold a password.
TEST(ServerLedgerExchange, ImportAndExportWorkOnAServerAndNeverShowItsAddress)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    TLedgerFile file(test::TEngine::Server);
    TLedgerFile::RequireLedger(file);
    if (testing::Test::IsSkipped() || testing::Test::HasFatalFailure())
        return;
    file.AddExpense(12.5, "2006-07-02", "午饭");
    TLedgerData data;
    data.ADOConnection1.SetConnectionString(file.ConnectionString());
    data.Loaded([](const std::exception &error) { ADD_FAILURE() << error.what(); });
    TFakeShell shell;
    TForm1 window{data, shell};
    auto *commands = window.findChild<TLedgerExchangeCommands *>();
    ASSERT_NE(commands, nullptr);
    QTemporaryDir dir;
    const QString in = test::WriteTestFile(dir, "in.csv", "日期,金额,项目,备注\n2006-07-05,-8.00,早饭,\n");
    const QString bad =
        test::WriteTestFile(dir, "bad.csv", "日期,金额,项目\n2006-07-06,-1,甲\n2006-02-30,-1,x\n");
    const QString out = dir.filePath("out.csv");
    QString chosen = in;
    commands->ChooseImportFile = [&] { return chosen; };
    commands->ConfirmImport = [&](TImportPreview &) { return true; };
    commands->ChooseExportRange = [&](TExportRange &range) {
        range.SetChoice(TExportChoice::All);
        return true;
    };
    commands->ChooseExportFile = [&](const QString &) { return out; };
    TMessageBoxRecorder boxes;
    commands->ImportAction->trigger();
    commands->ExportAction->trigger();
    chosen = bad;
    commands->ImportAction->trigger();
    ASSERT_EQ(boxes.Boxes().size(), 3) << boxes.Boxes().join('\n').toStdString();
    EXPECT_TRUE(boxes.Boxes()[0].contains(utf8("已导入1条纪录：收入0条，支出1条。")))
        << boxes.Boxes()[0].toStdString();
    EXPECT_TRUE(boxes.Boxes()[1].contains(utf8("的2条纪录（收入0条，支出2条）")))
        << boxes.Boxes()[1].toStdString();
    EXPECT_TRUE(boxes.Boxes()[2].contains(utf8("没有导入任何纪录"))) << boxes.Boxes()[2].toStdString();
    const QString target =
        TDbConnection::ConnectionStringValue(file.ConnectionString(), QStringLiteral("Data Source"));
    for (const QString &box : boxes.Boxes()) {
        EXPECT_FALSE(box.contains(target)) << box.toStdString();
        EXPECT_FALSE(box.contains("dbname=") || box.contains("host=")) << box.toStdString();
    }
    EXPECT_EQ(file.Scalar("select count(*) from expen"), "2");
    EXPECT_EQ(data.ADOQuery2.RecordCount(), 2) << "the expense page read its entries again";
    EXPECT_EQ(test::ReadTestFile(out).toStdString(),
              "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n支出,12.50,2006-07-02,午饭,\r\n支出,8.00,2006-07-05,"
              "早饭,\r\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, ImportCommandsTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum

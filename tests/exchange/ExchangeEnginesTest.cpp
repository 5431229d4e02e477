// Import and export on a ledger file and on a ledger on a PostgreSQL server
// alike: all or nothing, one undo action, duplicates, exact amounts, what
// other connections hear, and kestrum-db with either kind of ledger.
#include "EntryListSource.h"
#include "exchange/CsvExporter.h"
#include "exchange/CsvReader.h"
#include "exchange/Importer.h"
#include "exchange/LedgerAmount.h"
#include "ledger/LedgerEngines.h"
#include "ledger/UndoHistory.h"

#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>
#include <quazip/quazipfile.h>

namespace kestrum {
namespace {

using test::EngineName;
using test::TEngine;

class ExchangeOnEngine : public test::LedgerOnEngine {
protected:
    QString Target() const { return QString::fromStdString(FTarget); }
    //! The ledger as a user names it on the command line: a file's path, or
    //! a server's postgresql:// address.
    QString Address(const std::string &user = "postgres") const
    {
        if (!OnServer())
            return Target();
        const std::size_t at = FTarget.find("dbname=") + 7;
        std::string database = FTarget.substr(at, FTarget.find(' ', at) - at);
        database.erase(std::remove(database.begin(), database.end(), '\''), database.end());
        std::string uri = test::TPgServer::Shared().Uri(database);
        uri.replace(uri.find("postgres@"), 9, user + "@");
        return QString::fromStdString(uri);
    }
    QString Path(const char *name) const { return FDir.filePath(name); }

    TImportResult ImportCsv(const QByteArray &text, const TImportOptions &options = {},
                            const TProgressCallback &progress = {})
    {
        TCsvEntrySource source(text);
        return ImportEntries(Target(), source, options, progress);
    }
    //! Amounts as cents (a server's decimals and a file's doubles alike),
    //! then date, item and remark, income and expense apart.
    std::string Entries() const
    {
        return Rows(
            "SELECT 'I', round(\"本次进帐\" * 100), \"进帐时间\", \"进帐人\", \"备注\" FROM gain "
            "UNION ALL SELECT 'E', round(\"消费金额\" * 100), \"消费日期\", \"消费者\", \"备注\" FROM expen "
            "ORDER BY 1, 3, 4");
    }
    std::string Counts() const
    {
        return Scalar("SELECT count(*) FROM gain") + "/" + Scalar("SELECT count(*) FROM expen") + "/" +
               Scalar("SELECT count(*) FROM kestrum_journal_action");
    }
    static std::string ReadFile(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll().toStdString();
    }
    //! A date as the engine shows it: a server's timestamps carry the time.
    std::string Day(const char *day) const { return std::string(day) + " 00:00:00"; }
};

TEST_P(ExchangeOnEngine, AnImportAddsEveryEntryAsOneActionThatOneUndoTakesBack)
{
    Exec("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (1, '2024-01-01 00:00:00', "
         "'早先')");
    const TImportResult result = ImportCsv("日期,金额,项目,备注\n2024-01-05,8600,工资,\n"
                                           "2024-01-06 12:30,-25.5,午饭,食堂\n2024-01-07,-4,面包,\n");
    ASSERT_EQ(result.Outcome, ioImported);
    EXPECT_EQ(result.IncomeAdded, 1);
    EXPECT_EQ(result.ExpenseAdded, 2);
    EXPECT_EQ(Entries(), "E|2550.0|2024-01-06 12:30:00|午饭|食堂;E|400.0|" + Day("2024-01-07") +
                             "|面包|-;I|100.0|" + Day("2024-01-01") + "|早先|-;I|860000.0|" +
                             Day("2024-01-05") + "|工资|-");
    TUndoHistory history(Db());
    const auto next = history.NextUndo();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->Label.toStdString(), "导入 3 条纪录");
    history.Undo();
    EXPECT_EQ(Scalar("SELECT count(*) FROM gain") + "/" + Scalar("SELECT count(*) FROM expen"), "1/0");
    // The journal goes on recording the writes that follow.
    const std::string actions = Scalar("SELECT count(*) FROM kestrum_journal_action");
    Exec("DELETE FROM gain");
    EXPECT_NE(Scalar("SELECT count(*) FROM kestrum_journal_action"), actions);
}

TEST_P(ExchangeOnEngine, EntriesTheLedgerHoldsAreSkippedWhicheverWayTheyCameIn)
{
    // Typed in the program, with its time of day: the file's entry is the same one.
    Exec("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\", \"备注\") "
         "VALUES (3, '2024-01-05 08:15:00', '咖啡', '星巴克')");
    const QByteArray file = "日期,金额,项目,备注\n2024-01-05,-3,咖啡,星巴克\n2024-01-06,100,红包,\n"
                            "2024-01-06,100,红包,\n";
    TImportResult first = ImportCsv(file);
    EXPECT_EQ(first.Added(), 2);
    EXPECT_EQ(first.DuplicatesSkipped, 1);
    EXPECT_EQ(first.DuplicateLines, std::vector<int>{2});
    // Read again, every entry has its own row in the ledger now.
    const TImportResult again = ImportCsv(file);
    EXPECT_EQ(again.Added(), 0);
    EXPECT_EQ(again.DuplicatesSkipped, 3);
    // One the user keeps from the dry run's list comes in all the same.
    TImportOptions keep;
    keep.KeptDuplicates = {0};
    const TImportResult kept = ImportCsv(file, keep);
    EXPECT_EQ(kept.Added(), 1);
    EXPECT_EQ(kept.DuplicatesKept, 1);
    EXPECT_EQ(Scalar("SELECT count(*) FROM expen"), "2");
}

TEST_P(ExchangeOnEngine, ARefusedFailedOrCancelledImportLeavesTheLedgerAsItWas)
{
    ASSERT_EQ(ImportCsv("日期,金额,项目\n2024-01-05,-3,咖啡\n").Added(), 1);
    const std::string before = Counts();
    const std::string entries = Entries();
    // A bad record keeps the whole file out.
    EXPECT_EQ(ImportCsv("日期,金额,项目\n2024-01-06,5,甲\n2024-2-30,1,乙\n").Outcome, ioRejected);
    EXPECT_EQ(Counts(), before);
    // A cancel keeps nothing either.
    const TImportResult cancelled =
        ImportCsv("日期,金额,项目\n2024-01-06,5,甲\n", {}, [](double) { return false; });
    EXPECT_EQ(cancelled.Outcome, ioCancelled);
    EXPECT_EQ(Counts(), before);
    // A dry run says what an import would do and keeps nothing.
    TImportOptions dry;
    dry.RollBack = true;
    const TImportResult tried = ImportCsv("日期,金额,项目\n2024-01-05,-3,咖啡\n2024-01-06,5,甲\n", dry);
    EXPECT_EQ(tried.Added(), 1);
    EXPECT_EQ(tried.DuplicatesSkipped, 1);
    EXPECT_EQ(Counts(), before);
    EXPECT_EQ(Entries(), entries);
    if (OnServer()) {
        // An amount past what the server's decimals hold fails the whole file,
        // however many rows went in before it.
        EXPECT_THROW(ImportCsv("\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n收入,5.00,2024-01-06,甲,\r\n"
                               "支出,1000000000000000,2024-01-07,乙,\r\n"),
                     Exception);
        EXPECT_EQ(Counts(), before);
        EXPECT_EQ(Entries(), entries);
    }
    // Nothing held the ledger: the next import goes in.
    EXPECT_EQ(ImportCsv("日期,金额,项目\n2024-01-08,5,丙\n").Added(), 1);
}

// A server's item column keeps 50 characters: a longer item is named as a
// bad record there (before anything is written), where a file keeps it.
TEST_P(ExchangeOnEngine, AnItemLongerThanTheServerKeepsIsABadRecordThere)
{
    QByteArray longItem;
    for (int i = 0; i < 51; ++i)
        longItem += "长";
    const QByteArray file = "日期,金额,项目\n2024-01-05,5,甲\n2024-01-06,7," + longItem + "\n";
    const TImportResult refused = ImportCsv(file);
    if (!OnServer()) {
        EXPECT_EQ(refused.Added(), 2);
        return;
    }
    EXPECT_EQ(refused.Outcome, ioRejected);
    ASSERT_EQ(refused.BadRecords.size(), 1u);
    EXPECT_EQ(refused.BadRecords[0].Line, 3);
    EXPECT_EQ(refused.BadRecords[0].Reason, QStringLiteral("项目超过50个字，服务器上的账本存不下"));
    EXPECT_EQ(Scalar("SELECT count(*) FROM expen"), "0");
    TImportOptions skip;
    skip.BadRecords = bpSkip;
    EXPECT_EQ(ImportCsv(file, skip).Added(), 1);
    // Fifty characters are kept whole.
    EXPECT_EQ(ImportCsv("日期,金额,项目\n2024-01-07,9," + longItem.left(50 * 3) + "\n").Added(), 1);
}

TEST_P(ExchangeOnEngine, AmountsComeInAndGoOutWithEveryDigitTheLedgerHolds)
{
    // Cents past what a double tells apart, from the ledger's own export.
    ASSERT_EQ(
        ImportCsv("\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n收入,123456789012345.67,2024-01-05,大额,\r\n")
            .Added(),
        1);
    if (OnServer()) {
        EXPECT_EQ(Scalar("SELECT \"本次进帐\"::text FROM gain"), "123456789012345.6700");
    }
    Exec("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES "
         "(123456789012.3456, '2024-01-06 00:00:00', '四位'), (-0.0001, '2024-01-07 00:00:00', '负'), "
         "(12.5, '2024-01-08 09:30:00', '整分')");
    const QString csv = Path("out.csv");
    const TExportResult exported = ExportCsv(Target(), csv);
    EXPECT_EQ(exported.IncomeRows, 4);
    EXPECT_EQ(ReadFile(csv), "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n"
                             "收入,123456789012345.67,2024-01-05,大额,\r\n"
                             "收入,123456789012.3456,2024-01-06,四位,\r\n"
                             "收入,-0.0001,2024-01-07,负,\r\n"
                             "收入,12.50,2024-01-08 09:30:00,整分,\r\n");
    // The workbook carries the same numbers.
    const QString xlsx = Path("out.xlsx");
    TExportOptions workbook;
    workbook.Format = xfXlsx;
    ExportCsv(Target(), xlsx, workbook);
    QuaZipFile part(xlsx, QStringLiteral("xl/worksheets/sheet1.xml"));
    ASSERT_TRUE(part.open(QIODevice::ReadOnly));
    const std::string sheet = part.readAll().toStdString();
    for (const char *amount :
         {"<v>123456789012345.67</v>", "<v>123456789012.3456</v>", "<v>-0.0001</v>", "<v>12.50</v>"})
        EXPECT_NE(sheet.find(amount), std::string::npos) << amount;
    // QIF keeps cents, and says so.
    TExportOptions qif;
    qif.Format = xfQif;
    qif.From = QDate(2024, 1, 6);
    qif.To = QDate(2024, 1, 7);
    const TExportResult rounded = ExportCsv(Target(), Path("out.qif"), qif);
    EXPECT_EQ(rounded.IncomeRows, 2);
    EXPECT_EQ(rounded.RoundedAmounts, 2);
    EXPECT_EQ(ReadFile(Path("out.qif")), "!Type:Bank\nD2024-01-06\nT123456789012.35\nL四位\n^\n"
                                         "D2024-01-07\nT0.00\nL负\n^\n");
    if (OnServer()) {
        // A decimal no double holds is still written digit for digit.
        Exec("UPDATE gain SET \"本次进帐\" = 123456789012345.6789 WHERE \"进帐人\" = '大额'");
        ExportCsv(Target(), Path("big.csv"));
        EXPECT_NE(ReadFile(Path("big.csv")).find("收入,123456789012345.6789,2024-01-05,大额,"),
                  std::string::npos);
        // And QIF rounds that decimal to the cent, not the double it reads as.
        Exec("UPDATE gain SET \"本次进帐\" = 668254256254973.8916 WHERE \"进帐人\" = '大额'");
        qif.From = QDate(2024, 1, 5);
        qif.To = QDate(2024, 1, 5);
        qif.Overwrite = true;
        EXPECT_EQ(ExportCsv(Target(), Path("out.qif"), qif).RoundedAmounts, 1);
        EXPECT_EQ(ReadFile(Path("out.qif")), "!Type:Bank\nD2024-01-05\nT668254256254973.89\nL大额\n^\n");
    }
}

TEST_P(ExchangeOnEngine, TheLedgersOwnExportReadsBackAsTheSameEntries)
{
    Exec("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\", \"备注\") VALUES "
         "(3.3333333333333335, '2024-03-01 00:00:00', '三分', ''), (12.3456, '2024-03-02 10:00:00', '四位', "
         "NULL)");
    ASSERT_EQ(ImportCsv("日期,金额,项目,备注\n2024-03-03,-8.8,面包,早饭\n").Added(), 1);
    const QString csv = Path("ledger.csv");
    ExportCsv(Target(), csv);
    // Every entry is in the ledger already, whatever the engine kept of it.
    std::unique_ptr<TCsvEntrySource> again = TCsvEntrySource::FromFile(csv);
    const TImportResult repeated = ImportEntries(Target(), *again);
    EXPECT_EQ(repeated.Added(), 0);
    EXPECT_EQ(repeated.DuplicatesSkipped, 3);
    if (OnServer()) {
        // A quotient between two of the server's decimals is what it keeps.
        EXPECT_NE(ReadFile(csv).find("支出,3.3333,2024-03-01,三分,\"\""), std::string::npos) << ReadFile(csv);
    }
    // A file's export of the quotient is the same entry as the one the server rounded.
    TCsvEntrySource fromFile(QByteArray("\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n"
                                        "支出,3.3333333333333335,2024-03-01,三分,\"\"\r\n"
                                        "支出,12.3456,2024-03-02 10:00:00,四位,\r\n"));
    const TImportResult same = ImportEntries(Target(), fromFile);
    EXPECT_EQ(same.Added(), 0);
    EXPECT_EQ(same.DuplicatesSkipped, 2);
}

TEST_P(ExchangeOnEngine, OtherConnectionsHearOfAnImport)
{
    std::unique_ptr<TDbDriver> other = Connect();
    other->WatchChanges();
    other->TakeChanges(0);
    ASSERT_EQ(ImportCsv("日期,金额,项目\n2024-01-05,-3,咖啡\n2024-01-06,100,红包\n").Added(), 2);
    std::vector<TDbChange> heard = other->TakeChanges(2000);
    for (int wait = 0; wait < 10 && heard.size() < (OnServer() ? 2u : 1u); ++wait) {
        const std::vector<TDbChange> more = other->TakeChanges(200);
        heard.insert(heard.end(), more.begin(), more.end());
    }
    ASSERT_FALSE(heard.empty());
    if (OnServer()) {
        // One notice per table, which says to read it again, not one per row.
        std::vector<std::string> tables;
        for (const TDbChange &change : heard) {
            EXPECT_EQ(change.RowId, 0);
            tables.push_back(change.Table);
        }
        std::sort(tables.begin(), tables.end());
        tables.erase(std::unique(tables.begin(), tables.end()), tables.end());
        EXPECT_EQ(tables, (std::vector<std::string>{"expen", "gain"}));
    }
    EXPECT_EQ(Rows(*other, "SELECT count(*) FROM gain"), "1");
}

TEST_P(ExchangeOnEngine, KestrumDbImportsIntoAndExportsFromEitherLedger)
{
    const QString bank = Path("bank.csv");
    {
        QFile file(bank);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("日期,金额,项目\n2024-01-05,-3,咖啡\n2024-01-06,1234567890123.45,红包\n");
    }
    const auto run = [](const QStringList &arguments, std::string &out, std::string &err) {
        QProcess tool;
        tool.start(QStringLiteral(KESTRUM_DB_TOOL), arguments);
        EXPECT_TRUE(tool.waitForFinished(60000));
        out = tool.readAllStandardOutput().toStdString();
        err = tool.readAllStandardError().toStdString();
        return tool.exitCode();
    };
    std::string out, err;
    ASSERT_EQ(run({"import", bank, Address()}, out, err), 0) << err;
    EXPECT_EQ(out, "从CSV（UTF-8，逗号分隔）导入了2条纪录：收入1条，支出1条\n");
    EXPECT_EQ(run({"import", bank, Address()}, out, err), 0) << err;
    EXPECT_NE(out.find("跳过了2条账本中已有的纪录（第2、3行）"), std::string::npos) << out;
    const QString csv = Path("out.csv");
    ASSERT_EQ(run({"export", "--format", "csv", csv, Address()}, out, err), 0) << err;
    EXPECT_EQ(out, "exported 2 entries to " + csv.toStdString() + ": 1 income, 1 expense\n");
    EXPECT_EQ(ReadFile(csv), "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n"
                             "收入,1234567890123.45,2024-01-06,红包,\r\n"
                             "支出,3.00,2024-01-05,咖啡,\r\n");
    ASSERT_EQ(run({"export", "--format", "csv-en", Path("en.csv"), Address()}, out, err), 0) << err;
    EXPECT_EQ(ReadFile(Path("en.csv")), "date,amount,category,memo\r\n2024-01-06,1234567890123.45,红包,\r\n"
                                        "2024-01-05,-3.00,咖啡,\r\n");
    if (OnServer()) {
        // A wrong password is refused in words that never repeat it.
        const std::string wrong = "Geheim-7731";
        const QString address = Address(std::string(test::TPgServer::PasswordRole) + ":" + wrong);
        EXPECT_EQ(run({"export", Path("never.csv"), address}, out, err), 1);
        EXPECT_NE(err, "");
        EXPECT_EQ(out.find(wrong), std::string::npos);
        EXPECT_EQ(err.find(wrong), std::string::npos) << err;
    }
}

TEST_P(ExchangeOnEngine, EntriesTypedInTheProgramOrWithoutAmountOrDateCountAsDuplicates)
{
    // The program stores bare dates, fractions of seconds, sums of decimals.
    Exec("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\", \"备注\") VALUES (0.1 + 0.2, "
         "'2024-01-05', '糖', NULL)");
    Exec("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") VALUES "
         "(10, '2024-01-06 08:00:00.000', '利息', '')");
    const TImportResult result =
        ImportCsv("日期,金额,项目\n2024-01-05,-0.30,糖\n2024-01-06 08:00:00,10,利息\n2024-01-06,10,利息\n");
    EXPECT_EQ(result.DuplicatesSkipped, 2);
    EXPECT_EQ(result.Added(), 1);
    // Another ledger's entries may lack an amount or a date; they come in so, once.
    TForeignEntry noAmount;
    noAmount.Kind = ekIncome;
    noAmount.HasAmount = false;
    noAmount.Date = QDate(2024, 2, 5);
    noAmount.Item = "待填";
    TForeignEntry noDate;
    noDate.Cents = 250;
    noDate.HasDate = false;
    test::TEntryListSource source({noAmount, noDate});
    EXPECT_EQ(ImportEntries(Target(), source).Added(), 2);
    EXPECT_EQ(Rows("SELECT round(\"消费金额\" * 100), \"消费日期\", \"消费者\" FROM expen WHERE \"消费日期\" "
                   "IS NULL"),
              "250.0|-|-");
    EXPECT_EQ(Rows("SELECT \"本次进帐\", \"进帐人\" FROM gain WHERE \"本次进帐\" IS NULL"), "-|待填");
    test::TEntryListSource again({noAmount, noDate});
    EXPECT_EQ(ImportEntries(Target(), again).DuplicatesSkipped, 2);
    ExportCsv(Target(), Path("out.csv"));
    const std::string text = ReadFile(Path("out.csv"));
    EXPECT_NE(text.find("收入,,2024-02-05,待填,\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("支出,2.50,,,\r\n"), std::string::npos) << text;
}

TEST_P(ExchangeOnEngine, AFaultFoundLateInTheFileLeavesTheLedgerAsItWas)
{
    QByteArray file = "日期,金额\n";
    for (int i = 0; i < 500; ++i)
        file += "2024-01-05," + QByteArray::number(i + 1) + "\n";
    file += "2024-01-06,\"7\n";
    TCsvEntrySource source(file);
    EXPECT_THROW(ImportEntries(Target(), source), EImportError);
    EXPECT_EQ(Counts(), "0/0/0");
    EXPECT_EQ(ImportCsv("日期,金额\n2024-01-05,1\n").Added(), 1);
}

TEST_P(ExchangeOnEngine, ExportKeepsToItsDaysKindsAndTextsAndStopsWhenAsked)
{
    Exec("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") VALUES "
         "(1, '2024-01-31 23:59:59', '', 'a,\"b\"'), (2, '2024-02-01 00:00:00', '工资', ''), "
         "(3, '2024-02-29 18:00:00', '工资', NULL), (4, '2024-03-01 00:00:00', NULL, '\"\"')");
    Exec("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\", \"备注\") VALUES "
         "(5, '2024-02-10 00:00:00', '=1+1', ' x'), (12.3, '2024-02-11 12:30:00', '午饭, 二人', "
         "'说\"好\"的\n两行')");
    TExportOptions february;
    february.From = QDate(2024, 2, 1);
    february.To = QDate(2024, 2, 29);
    TExportResult result = ExportCsv(Target(), Path("feb.csv"), february);
    EXPECT_EQ(result.IncomeRows, 2);
    EXPECT_EQ(result.ExpenseRows, 2);
    EXPECT_EQ(ReadFile(Path("feb.csv")),
              "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n"
              "收入,2.00,2024-02-01,工资,\"\"\r\n"
              "收入,3.00,2024-02-29 18:00:00,工资,\r\n"
              "支出,5.00,2024-02-10,'=1+1,\" x\"\r\n"
              "支出,12.30,2024-02-11 12:30:00,\"午饭, 二人\",\"说\"\"好\"\"的\n两行\"\r\n");
    february.Expense = false;
    february.From = QDate();
    february.Overwrite = true;
    result = ExportCsv(Target(), Path("feb.csv"), february);
    EXPECT_EQ(result.IncomeRows, 3);
    EXPECT_EQ(result.ExpenseRows, 0);
    EXPECT_NE(ReadFile(Path("feb.csv")).find("收入,1.00,2024-01-31 23:59:59,\"\",\"a,\"\"b\"\"\"\r\n"),
              std::string::npos);
    // Never over a file that is there, and nothing when stopped.
    {
        QFile kept(Path("kept.csv"));
        ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
        kept.write("mine");
    }
    EXPECT_THROW(ExportCsv(Target(), Path("kept.csv")), Exception);
    EXPECT_EQ(ReadFile(Path("kept.csv")), "mine");
    QByteArray many = "日期,金额\n";
    for (int i = 0; i < 3000; ++i)
        many += "2024-05-01," + QByteArray::number(i + 1) + "\n";
    ASSERT_EQ(ImportCsv(many).Added(), 3000);
    const TExportResult cancelled = ExportCsv(Target(), Path("y.csv"), {}, [](double) { return false; });
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_FALSE(QFile::exists(Path("y.csv")));
    std::vector<double> seen;
    ExportCsv(Target(), Path("z.csv"), {}, [&](double fraction) {
        seen.push_back(fraction);
        return true;
    });
    ASSERT_GE(seen.size(), 2u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
}

TEST_P(ExchangeOnEngine, ALedgerFileExportedAndImportedExportsTheSameFileAgain)
{
    const QString demo = Path("demo.mdb");
    CreateDemoDatabase(demo, 2023, 2024);
    const TExportResult exported = ExportCsv(demo, Path("demo.csv"));
    EXPECT_GT(exported.IncomeRows, 40);
    const auto source = TCsvEntrySource::FromFile(Path("demo.csv"));
    const TImportResult imported = ImportEntries(Target(), *source);
    EXPECT_EQ(imported.IncomeAdded, exported.IncomeRows);
    EXPECT_EQ(imported.ExpenseAdded, exported.ExpenseRows);
    ExportCsv(Target(), Path("again.csv"));
    EXPECT_EQ(ReadFile(Path("again.csv")), ReadFile(Path("demo.csv")));
    for (const TExportFormat format : {xfCsvEnglish, xfQif}) {
        TExportOptions options;
        options.Format = format;
        options.Overwrite = true;
        ExportCsv(demo, Path("demo.other"), options);
        ExportCsv(Target(), Path("again.other"), options);
        EXPECT_EQ(ReadFile(Path("again.other")), ReadFile(Path("demo.other"))) << int(format);
    }
}

TEST_P(ExchangeOnEngine, AServerKeepsOfAnAmountWhatTheImportComparesItsRowsBy)
{
    if (!OnServer())
        GTEST_SKIP() << "a file keeps the double itself";
    for (const double amount : {10.0 / 3, -10.0 / 3, 0.00015, -0.00015, 0.00005, 9.99995, 0.1 + 0.2, 12.3456,
                                123456789012.34565, 99999999999.99995, 1e-7, 2.5e-5}) {
        auto stored = Db().Prepare("SELECT CAST(?1 AS numeric(19, 4))::text");
        stored->BindDouble(1, amount);
        ASSERT_TRUE(stored->Step());
        EXPECT_EQ(std::strtod(stored->ColumnText(0).c_str(), nullptr), exchange::ServerAmount(amount))
            << stored->ColumnText(0);
    }
}

TEST_P(ExchangeOnEngine, AnImportWaitsForAnotherImportAndThenGivesUpLeavingTheLedgerAlone)
{
    // Two imports of one file at once would each miss the other's entries.
    std::unique_ptr<TDbDriver> other = Connect();
    BeginWrite(*other);
    if (OnServer())
        other->Exec("SELECT pg_advisory_xact_lock(" + std::to_string(0x4B65'7374'7275'6D49) + ")");
    else
        other->Exec("INSERT INTO gain (\"本次进帐\") VALUES (1)");
    EXPECT_THROW(ImportCsv("日期,金额,项目\n2024-01-05,-3,咖啡\n"), Exception);
    other->Rollback();
    EXPECT_EQ(Counts(), "0/0/0");
    EXPECT_EQ(ImportCsv("日期,金额,项目\n2024-01-05,-3,咖啡\n").Added(), 1);
}

TEST_P(ExchangeOnEngine, TheImportsJournalReadsAsTheTriggersWouldHaveWrittenIt)
{
    // The import writes its journal rows itself, one statement per table.
    ASSERT_EQ(ImportCsv("日期,金额,项目,备注\n2024-01-05,-3,咖啡,\n2024-01-06 08:00,100,红包,\"新年\"\n"
                        "2024-01-07,0.07,利息,\n")
                  .Added(),
              3);
    const std::string imported = Scalar("SELECT max(id) FROM kestrum_journal_action");
    Exec("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") VALUES (3.0, '2024-01-05 00:00:00', "
         "'咖啡')");
    Exec("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") VALUES "
         "(100.0, '2024-01-06 08:00:00', '红包', '新年')");
    Exec("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (0.07, '2024-01-07 00:00:00', "
         "'利息')");
    const auto journal = [this](const std::string &actions) {
        return Rows(
            "SELECT tbl, kind, old_amount, new_amount, new_date, new_item, new_remark FROM kestrum_journal "
            "WHERE " +
            actions + " ORDER BY tbl, new_date");
    };
    const std::string byImport = journal("action_id = " + imported);
    EXPECT_EQ(byImport, journal("action_id > " + imported));
    EXPECT_NE(byImport.find("利息"), std::string::npos) << byImport;
}

KESTRUM_ON_BOTH_ENGINES(ExchangeOnEngine);

} // namespace
} // namespace kestrum

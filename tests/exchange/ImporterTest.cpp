// Importing into a ledger file (all or nothing, duplicates, cancel) and
// exporting from it, with round trips through both formats.
#include "exchange/Importer.h"
#include "EntryListSource.h"
#include "exchange/CsvExporter.h"
#include "exchange/CsvReader.h"
#include "exchange/QifReader.h"
#include "ledger/LedgerFile.h"
#include "ledger/UndoHistory.h"
#include "support/HandleDriver.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace kestrum {
namespace {

class Ledgers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        CreateLedgerDatabase(Ledger());
    }
    QString Path(const char *name) const { return FDir.filePath(name); }
    QString Ledger() const { return Path("Vantorel.mdb"); }

    //! Every entry of a ledger, one table after the other, in date order.
    static std::string Entries(const QString &ledger)
    {
        std::string out;
        sqlite3 *db = nullptr;
        sqlite3_open(ledger.toUtf8().constData(), &db);
        const char *sql = "SELECT 'I' || iif(本次进帐 IS NULL, '<null>', printf('%.2f', 本次进帐)) || ' ' || "
                          "ifnull(进帐时间, '<null>') || ' ' || "
                          "ifnull(进帐人, '<null>') || '|' || ifnull(备注, '<null>') FROM gain UNION ALL "
                          "SELECT 'E' || iif(消费金额 IS NULL, '<null>', printf('%.2f', 消费金额)) || ' ' || "
                          "ifnull(消费日期, '<null>') || ' ' || "
                          "ifnull(消费者, '<null>') || '|' || ifnull(备注, '<null>') FROM expen ORDER BY 1";
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW) {
            if (!out.empty())
                out += "; ";
            out += reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
        return out;
    }
    static void Exec(const QString &ledger, const char *sql)
    {
        sqlite3 *db = nullptr;
        sqlite3_open(ledger.toUtf8().constData(), &db);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    TImportResult ImportCsv(const QByteArray &text, const TImportOptions &options = {},
                            const TProgressCallback &progress = {})
    {
        TCsvEntrySource source(text);
        return ImportEntries(Ledger(), source, options, progress);
    }
    std::string ReadFile(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().toStdString();
    }

    QTemporaryDir FDir;
};

TEST_F(Ledgers, ImportPutsEachEntryInItsTableWithAPositiveAmount)
{
    const TImportResult result =
        ImportCsv("日期,金额,项目,备注\n2024-01-05,8600,工资,\n2024-01-06 12:30,-25.5,午饭,食堂\n");
    EXPECT_EQ(result.Outcome, ioImported);
    EXPECT_EQ(result.IncomeAdded, 1);
    EXPECT_EQ(result.ExpenseAdded, 1);
    EXPECT_EQ(Entries(Ledger()),
              "E25.50 2024-01-06 12:30:00 午饭|食堂; I8600.00 2024-01-05 00:00:00 工资|<null>");
    EXPECT_EQ(result.Report().join('|').toStdString(),
              "从CSV（UTF-8，逗号分隔）导入了2条纪录：收入1条，支出1条");
}

TEST_F(Ledgers, OneUndoTakesBackAWholeImport)
{
    Exec(Ledger(), "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (1, '2024-01-01 00:00:00', '早先')");
    const TImportResult result =
        ImportCsv("日期,金额,项目\n2024-01-05,-3,咖啡\n2024-01-06,100,红包\n2024-01-07,-4,面包\n");
    ASSERT_EQ(result.Added(), 3);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(Ledger().toUtf8().constData(), &db), SQLITE_OK);
    {
        TUndoHistory history(DriverOf(db));
        const auto next = history.NextUndo();
        ASSERT_TRUE(next.has_value());
        EXPECT_EQ(next->Label.toStdString(), "导入 3 条纪录");
        history.Undo();
    }
    sqlite3_close(db);
    EXPECT_EQ(Entries(Ledger()), "I1.00 2024-01-01 00:00:00 早先|<null>");
    // A rejected import leaves no action behind.
    ImportCsv("日期,金额\n2024-2-30,1\n");
    sqlite3_open(Ledger().toUtf8().constData(), &db);
    EXPECT_NE(TUndoHistory(DriverOf(db)).NextUndo()->Label.toStdString(), "导入 0 条纪录");
    sqlite3_close(db);
}

TEST_F(Ledgers, TheImportsJournalReadsAsTheTriggersWouldHaveWrittenIt)
{
    // Guards the journal rows that the import writes itself while the
    // triggers are dropped, and the triggers' return however it ends.
    const QByteArray file = "日期,金额,项目,备注\n2024-01-05,-3,咖啡,\n2024-01-06 08:00,100,红包,\"新年\"\n";
    ASSERT_EQ(ImportCsv(file).Added(), 2);
    const QString byTriggers = Path("triggers.mdb");
    CreateLedgerDatabase(byTriggers);
    Exec(byTriggers,
         "INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (3.0, '2024-01-05 00:00:00', '咖啡');"
         "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (100.0, '2024-01-06 08:00:00', '红包', "
         "'新年');");
    auto journal = [](const QString &ledger) {
        std::string out;
        sqlite3 *db = nullptr;
        sqlite3_open(ledger.toUtf8().constData(), &db);
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT tbl || row_id || kind || quote(old_amount) || quote(new_amount) || "
                           "quote(new_date) || quote(new_item) || quote(new_remark) FROM kestrum_journal "
                           "ORDER BY tbl, row_id",
                           -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            out += reinterpret_cast<const char *>(sqlite3_column_text(s, 0)) + std::string("; ");
        sqlite3_finalize(s);
        sqlite3_close(db);
        return out;
    };
    EXPECT_EQ(journal(Ledger()), journal(byTriggers));
    EXPECT_NE(journal(Ledger()), "");
    auto hasTriggers = [this] {
        sqlite3 *db = nullptr;
        sqlite3_open(Ledger().toUtf8().constData(), &db);
        const bool has = HasJournal(DriverOf(db));
        sqlite3_close(db);
        return has;
    };
    EXPECT_TRUE(hasTriggers());
    ImportCsv("日期,金额\n2024-2-30,1\n");
    EXPECT_TRUE(hasTriggers()) << "after a rejected import";
    ImportCsv("日期,金额\n2024-02-01,1\n", {}, [](double) { return false; });
    EXPECT_TRUE(hasTriggers()) << "after a cancelled import";
    Exec(Ledger(), "DELETE FROM gain");
    EXPECT_NE(journal(Ledger()).find("gain1D"), std::string::npos) << "a later write is journaled again";
}

TEST_F(Ledgers, EntriesTheLedgerHoldsAreSkippedOneForOne)
{
    const QByteArray file = "日期,金额,项目\n2024-01-05,-3,咖啡\n2024-01-05,-3,咖啡\n2024-01-06,-4,面包\n";
    EXPECT_EQ(ImportCsv(file).Added(), 3) << "repeats within one file are real entries";
    const TImportResult again = ImportCsv(file);
    EXPECT_EQ(again.Added(), 0);
    EXPECT_EQ(again.DuplicatesSkipped, 3);
    EXPECT_EQ(again.DuplicateLines, (std::vector<int>{2, 3, 4}));
    // The ledger holds the coffee once more than before: a file with three gets one in.
    EXPECT_EQ(
        ImportCsv("日期,金额,项目\n2024-01-05,-3,咖啡\n2024-01-05,-3,咖啡\n2024-01-05,-3,咖啡\n").Added(), 1);
    // The same amount as income is another entry; so is another item.
    EXPECT_EQ(ImportCsv("日期,金额,项目,备注\n2024-01-05,3,咖啡,\n2024-01-05,-3,茶,\n").Added(), 2);
    TImportOptions keep;
    keep.Duplicates = dpKeep;
    EXPECT_EQ(ImportCsv(file, keep).Added(), 3);
}

TEST_F(Ledgers, EntriesTypedInTheProgramCountAsDuplicatesToo)
{
    // The program stores bare dates, fractions of seconds and amounts as REAL.
    Exec(Ledger(),
         "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES (0.1 + 0.2, '2024-01-05', '糖', NULL);"
         "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (10, '2024-01-06 08:00:00.000', '利息', "
         "'');");
    const TImportResult result =
        ImportCsv("日期,金额,项目\n2024-01-05,-0.30,糖\n2024-01-06 08:00:00,10,利息\n2024-01-06,10,利息\n");
    EXPECT_EQ(result.DuplicatesSkipped, 2);
    EXPECT_EQ(result.Added(), 1);
}

TEST_F(Ledgers, ABadRecordKeepsTheWholeFileOutUnlessBadRecordsAreSkipped)
{
    const QByteArray file = "日期,金额\n2024-01-05,1\n2024-2-30,2\n2024-01-07,12..5\n2024-01-08,4\n";
    const TImportResult rejected = ImportCsv(file);
    EXPECT_EQ(rejected.Outcome, ioRejected);
    EXPECT_EQ(rejected.Added(), 0);
    EXPECT_EQ(rejected.BadCount, 2);
    EXPECT_EQ(Entries(Ledger()), "");
    EXPECT_EQ(rejected.Report().join('|').toStdString(),
              "没有从CSV（UTF-8，逗号分隔）导入任何纪录：有2条纪录有误；请改正它们，或者跳过有误的纪录|"
              "第3行：日期不存在：“2024-2-30”|第4行：金额无法识别：“12..5”");
    TImportOptions skip;
    skip.BadRecords = bpSkip;
    const TImportResult skipped = ImportCsv(file, skip);
    EXPECT_EQ(skipped.Outcome, ioImported);
    EXPECT_EQ(skipped.Added(), 2);
    EXPECT_EQ(Entries(Ledger()),
              "I1.00 2024-01-05 00:00:00 <null>|<null>; I4.00 2024-01-08 00:00:00 <null>|<null>");
    EXPECT_EQ(skipped.Report()[1].toStdString(), "跳过了2条有误的纪录");
}

TEST_F(Ledgers, AFaultFoundLateInTheFileLeavesTheLedgerAsItWas)
{
    QByteArray file = "日期,金额\n";
    for (int i = 0; i < 500; ++i)
        file += "2024-01-05," + QByteArray::number(i + 1) + "\n";
    file += "2024-01-06,\"7\n";
    TCsvEntrySource source(file);
    EXPECT_THROW(
        {
            try {
                ImportEntries(Ledger(), source);
            } catch (const EImportError &e) {
                EXPECT_STREQ(e.what(), "第502行：这里开始的引号没有结束（文件在引号内结束）");
                throw;
            }
        },
        EImportError);
    EXPECT_EQ(Entries(Ledger()), "");
    // The ledger is free again: a next import goes through.
    EXPECT_EQ(ImportCsv("日期,金额\n2024-01-05,1\n").Added(), 1);
}

TEST_F(Ledgers, CancelKeepsNothingAndProgressRisesToOne)
{
    QByteArray file = "日期,金额\n";
    for (int i = 0; i < 5000; ++i)
        file += "2024-01-05," + QByteArray::number(i + 1) + "\n";
    std::vector<double> seen;
    const TImportResult cancelled = ImportCsv(file, {}, [&](double fraction) {
        seen.push_back(fraction);
        return fraction < 0.5;
    });
    EXPECT_EQ(cancelled.Outcome, ioCancelled);
    EXPECT_EQ(cancelled.Added(), 0);
    EXPECT_EQ(Entries(Ledger()), "");
    ASSERT_GE(seen.size(), 2u);
    EXPECT_LT(seen.back(), 1.0);

    seen.clear();
    const TImportResult done = ImportCsv(file, {}, [&](double fraction) {
        seen.push_back(fraction);
        return true;
    });
    EXPECT_EQ(done.Added(), 5000);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
}

TEST_F(Ledgers, ALedgerThatCannotBeUsedIsAnErrorAndNoFileIsMade)
{
    TCsvEntrySource source("日期,金额\n2024-01-05,1\n");
    EXPECT_THROW(ImportEntries(Path("missing.mdb"), source), Exception);
    EXPECT_FALSE(QFile::exists(Path("missing.mdb")));
    Exec(Path("other.db"), "CREATE TABLE t (x)");
    EXPECT_THROW(ImportEntries(Path("other.db"), source), Exception);
}

using TListSource = test::TEntryListSource;

TEST_F(Ledgers, EntriesWithoutAmountOrDateFromAnotherLedgerComeInAsTheyAre)
{
    TForeignEntry noAmount;
    noAmount.Kind = ekIncome;
    noAmount.HasAmount = false;
    noAmount.Date = QDate(2024, 1, 5);
    noAmount.Item = "待填";
    TForeignEntry noDate;
    noDate.Cents = 250;
    noDate.HasDate = false;
    TListSource source({noAmount, noDate});
    EXPECT_EQ(ImportEntries(Ledger(), source).Added(), 2);
    EXPECT_EQ(Entries(Ledger()), "E2.50 <null> <null>|<null>; I<null> 2024-01-05 00:00:00 待填|<null>");
    TListSource again({noAmount, noDate});
    EXPECT_EQ(ImportEntries(Ledger(), again).DuplicatesSkipped, 2);
}

TEST_F(Ledgers, AnEntryThatBreaksTheReadersPromisesIsABadRecord)
{
    // Guards against a reader that hands over an entry with no valid date.
    TForeignEntry broken;
    broken.Cents = 100;
    broken.Line = 7;
    TListSource source({broken});
    const TImportResult result = ImportEntries(Ledger(), source);
    EXPECT_EQ(result.Outcome, ioRejected);
    ASSERT_EQ(result.BadRecords.size(), 1u);
    EXPECT_EQ(result.BadRecords[0].Line, 7);
    EXPECT_EQ(result.BadRecords[0].Reason.toStdString(), "日期无效");
    EXPECT_EQ(CheckLedgerDatabase(Ledger()).GainRows + CheckLedgerDatabase(Ledger()).ExpenRows, 0);
}

TEST_F(Ledgers, ExportWritesOneTypedCsvThatSpreadsheetsOpen)
{
    Exec(Ledger(), "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (8600, '2024-01-10 00:00:00', "
                   "'工资', NULL);"
                   "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES (12.3, '2024-01-05 "
                   "12:30:00', '午饭, 二人', "
                   "'说\"好\"的\n两行');"
                   "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES (5, '2024-02-01 00:00:00', "
                   "'=1+1', ' x');"
                   "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES (NULL, NULL, '空', NULL);");
    const TExportResult result = ExportCsv(Ledger(), Path("out.csv"));
    EXPECT_EQ(result.IncomeRows, 1);
    EXPECT_EQ(result.ExpenseRows, 3);
    EXPECT_EQ(result.IncompleteRows, 1);
    EXPECT_EQ(ReadFile(Path("out.csv")),
              "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n"
              "收入,8600.00,2024-01-10,工资,\r\n"
              "支出,,,空,\r\n"
              "支出,12.30,2024-01-05 12:30:00,\"午饭, 二人\",\"说\"\"好\"\"的\n两行\"\r\n"
              "支出,5.00,2024-02-01,'=1+1,\" x\"\r\n");
}

TEST_F(Ledgers, ExportKeepsToItsDatesAndNeverHarmsAFileThatExists)
{
    Exec(
        Ledger(),
        "INSERT INTO gain (本次进帐, 进帐时间) VALUES (1, '2024-01-31 23:59:59'), (2, '2024-02-01 00:00:00'),"
        "(3, '2024-02-29 18:00:00'), (4, '2024-03-01 00:00:00');"
        "INSERT INTO expen (消费金额, 消费日期) VALUES (5, '2024-02-10 00:00:00');");
    TExportOptions february;
    february.From = QDate(2024, 2, 1);
    february.To = QDate(2024, 2, 29);
    TExportResult result = ExportCsv(Ledger(), Path("feb.csv"), february);
    EXPECT_EQ(result.IncomeRows, 2);
    EXPECT_EQ(result.ExpenseRows, 1);
    february.Expense = false;
    february.Overwrite = true;
    EXPECT_EQ(ExportCsv(Ledger(), Path("feb.csv"), february).ExpenseRows, 0);

    QFile kept(Path("kept.csv"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("mine");
    kept.close();
    EXPECT_THROW(ExportCsv(Ledger(), Path("kept.csv")), Exception);
    EXPECT_EQ(ReadFile(Path("kept.csv")), "mine");
    TExportOptions backwards;
    backwards.From = QDate(2024, 3, 1);
    backwards.To = QDate(2024, 2, 1);
    EXPECT_THROW(ExportCsv(Ledger(), Path("x.csv"), backwards), Exception);
    Exec(Ledger(), "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                   "INSERT INTO expen (消费金额, 消费日期) SELECT i, '2024-05-01 00:00:00' FROM n");
    const TExportResult cancelled = ExportCsv(Ledger(), Path("y.csv"), {}, [](double) { return false; });
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_FALSE(QFile::exists(Path("y.csv")));
    EXPECT_THROW(ExportCsv(Path("missing.mdb"), Path("z.csv")), Exception);
    EXPECT_FALSE(QFile::exists(Path("z.csv")));
}

TEST_F(Ledgers, ExportThenImportIntoAnEmptyLedgerGivesTheSameEntries)
{
    CreateDemoDatabase(Path("demo.mdb"), 2023, 2024);
    Exec(Path("demo.mdb"), "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
                           "(0.07, '2024-03-01 07:05:09', '\"引号\", 逗号', '多行\n备注'),"
                           "(1234567.89, '2024-03-02 00:00:00', '-负号开头', '@at'),"
                           "(3, '2024-03-03 00:00:00', '''=已加撇号', '  前后空格  ');");
    const TExportResult exported = ExportCsv(Path("demo.mdb"), Path("demo.csv"));
    EXPECT_GT(exported.IncomeRows, 40);
    const auto source = TCsvEntrySource::FromFile(Path("demo.csv"));
    const TImportResult imported = ImportEntries(Ledger(), *source);
    EXPECT_EQ(imported.Outcome, ioImported);
    EXPECT_EQ(imported.IncomeAdded, exported.IncomeRows);
    EXPECT_EQ(imported.ExpenseAdded, exported.ExpenseRows);
    EXPECT_EQ(imported.BadCount, 0);
    EXPECT_EQ(Entries(Ledger()), Entries(Path("demo.mdb")));
    EXPECT_NE(Entries(Ledger()).find("'=已加撇号|  前后空格  "), std::string::npos);
}

//! The rows of `table` in one ledger that the other lacks, compared by SQL
//! value (a REAL to its last bit, text to its last byte, NULL as NULL).
std::string RowsOnlyIn(const QString &ledger, const QString &other, const char *table)
{
    sqlite3 *db = nullptr;
    sqlite3_open(ledger.toUtf8().constData(), &db);
    const std::string attach = "ATTACH '" + other.toStdString() + "' AS other";
    sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr);
    const std::string sql =
        std::string("SELECT printf('%!.20g', a) || ' ' || typeof(a) || ' ' || quote(d) || ' ' || "
                    "quote(i) || ' ' || quote(r) FROM (SELECT * FROM (SELECT 2 AS c, * FROM ") +
        table + " EXCEPT SELECT 2, * FROM other." + table + "))";
    std::string out;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
        return sqlite3_errmsg(db);
    while (sqlite3_step(s) == SQLITE_ROW)
        out += reinterpret_cast<const char *>(sqlite3_column_text(s, 0)) + std::string("; ");
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

TEST_F(Ledgers, EveryValueTheLedgerHoldsComesBackFromItsExportExactly)
{
    // Guards against refunds changing sign, quotients rounded to the cent,
    // large amounts overflowing and undated entries refused on the way out
    // and back in.
    const QString source = Path("source.mdb");
    CreateLedgerDatabase(source);
    Exec(source,
         "CREATE VIEW gain_rows AS SELECT 本次进帐 AS a, 进帐时间 AS d, 进帐人 AS i, 备注 AS r FROM gain;"
         "CREATE VIEW expen_rows AS SELECT 消费金额 AS a, 消费日期 AS d, 消费者 AS i, 备注 AS r FROM expen;"
         "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES "
         "(-20, '2024-01-05 00:00:00', '工资冲正', NULL),"
         "(8600, '2024-01-10 00:00:00', '工资', '一月'),"
         "(10.0 / 3, '2024-01-11 09:30:00', '三人分', NULL),"
         "(1e17, '2024-01-12 00:00:00', '很大', NULL),"
         "(9.3e18, NULL, '更大，没有日期', NULL);"
         "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
         "(-50, '2024-01-06 00:00:00', '退货', '退回\r\n两行'),"
         "(50, '2024-01-06 00:00:00', '退货', '退回\r\n两行'),"
         "(0.1 + 0.2, '2024-01-07 00:00:00', '糖', NULL),"
         "(-7.125e15, '2024-01-08 00:00:00', '负的大数', NULL),"
         "(12.3, NULL, '没有日期', '多行\n备注\n'),"
         "(NULL, '2024-01-09 00:00:00', '没有金额', NULL),"
         "(1, '2024-01-10 00:00:00', char(9) || '=1+1', char(13) || '@SUM(A1)');");
    const TExportResult exported = ExportCsv(source, Path("all.csv"));
    EXPECT_EQ(exported.IncomeRows + exported.ExpenseRows, 12);
    const auto reader = TCsvEntrySource::FromFile(Path("all.csv"));
    const TImportResult imported = ImportEntries(Ledger(), *reader);
    ASSERT_EQ(imported.Outcome, ioImported) << imported.Report().join('|').toStdString();
    EXPECT_EQ(imported.Added(), 12);
    Exec(Ledger(),
         "CREATE VIEW gain_rows AS SELECT 本次进帐 AS a, 进帐时间 AS d, 进帐人 AS i, 备注 AS r FROM gain;"
         "CREATE VIEW expen_rows AS SELECT 消费金额 AS a, 消费日期 AS d, 消费者 AS i, 备注 AS r FROM expen;");
    for (const char *table : {"gain_rows", "expen_rows"}) {
        EXPECT_EQ(RowsOnlyIn(source, Ledger(), table), "") << table;
        EXPECT_EQ(RowsOnlyIn(Ledger(), source, table), "") << table;
    }
    // Read again, every entry is one the ledger holds, refunds too.
    const auto again = TCsvEntrySource::FromFile(Path("all.csv"));
    const TImportResult repeated = ImportEntries(Ledger(), *again);
    EXPECT_EQ(repeated.Added(), 0);
    EXPECT_EQ(repeated.DuplicatesSkipped, 12);
}

TEST_F(Ledgers, AnEmptyTextAndNoTextStayApartThroughTheExport)
{
    // Guards against an empty remark ('') coming back from the export as Null.
    const QString source = Path("source.mdb");
    CreateLedgerDatabase(source);
    Exec(source,
         "CREATE VIEW gain_rows AS SELECT 本次进帐 AS a, 进帐时间 AS d, 进帐人 AS i, 备注 AS r FROM gain;"
         "CREATE VIEW expen_rows AS SELECT 消费金额 AS a, 消费日期 AS d, 消费者 AS i, 备注 AS r FROM expen;"
         "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES "
         "(1, '2024-01-05 00:00:00', '工资', ''),"
         "(2, '2024-01-05 00:00:00', '工资', NULL),"
         "(3, '2024-01-06 00:00:00', '', 'a,\"b\"'),"
         "(4, '2024-01-06 00:00:00', NULL, '\"\"');"
         "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
         "(5, '2024-01-07 00:00:00', '', ''),"
         "(6, '2024-01-07 00:00:00', NULL, NULL);");
    ExportCsv(source, Path("all.csv"));
    const std::string text = ReadFile(Path("all.csv"));
    EXPECT_NE(text.find("收入,1.00,2024-01-05,工资,\"\"\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("收入,2.00,2024-01-05,工资,\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("收入,3.00,2024-01-06,\"\",\"a,\"\"b\"\"\"\r\n"), std::string::npos) << text;
    const auto reader = TCsvEntrySource::FromFile(Path("all.csv"));
    const TImportResult imported = ImportEntries(Ledger(), *reader);
    ASSERT_EQ(imported.Outcome, ioImported) << imported.Report().join('|').toStdString();
    EXPECT_EQ(imported.Added(), 6);
    Exec(Ledger(),
         "CREATE VIEW gain_rows AS SELECT 本次进帐 AS a, 进帐时间 AS d, 进帐人 AS i, 备注 AS r FROM gain;"
         "CREATE VIEW expen_rows AS SELECT 消费金额 AS a, 消费日期 AS d, 消费者 AS i, 备注 AS r FROM expen;");
    for (const char *table : {"gain_rows", "expen_rows"}) {
        EXPECT_EQ(RowsOnlyIn(source, Ledger(), table), "") << table;
        EXPECT_EQ(RowsOnlyIn(Ledger(), source, table), "") << table;
    }
}

TEST_F(Ledgers, ExportGuardsFormulasAndNeverWritesTextAsAZeroAmount)
{
    // Guards against a tab- or CR-led formula reaching a spreadsheet, and
    // against text in the amount column exported as 0.00.
    Exec(Ledger(), "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
                   "(1, '2024-01-05 00:00:00', char(9) || '=cmd', char(13) || '+1'),"
                   "('十二元', '2024-01-06 00:00:00', '文字金额', '第一行\n第二行'),"
                   "(9e999, '2024-01-07 00:00:00', '无穷', NULL);");
    const TExportResult result = ExportCsv(Ledger(), Path("out.csv"));
    EXPECT_EQ(ReadFile(Path("out.csv")), "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n"
                                         "支出,1.00,2024-01-05,\"'\t=cmd\",\"'\r+1\"\r\n"
                                         "支出,十二元,2024-01-06,文字金额,\"第一行\n第二行\"\r\n"
                                         "支出,Inf,2024-01-07,无穷,\r\n");
    EXPECT_EQ(result.NonNumberAmounts, 2);
    EXPECT_EQ(result.NonNumberLines, (std::vector<int>{3, 5}));
}

TEST_F(Ledgers, QifImportedThenExportedReadsAsTheQifSaid)
{
    TQifEntrySource source("!Type:Bank\nD1/31/2024\nT-1,234.56\nPGrocer\nMweekly, big\n^\n"
                           "D2/1'24\nT8,600.00\nLSalary\n^\n");
    EXPECT_EQ(ImportEntries(Ledger(), source).Added(), 2);
    ExportCsv(Ledger(), Path("out.csv"));
    EXPECT_EQ(ReadFile(Path("out.csv")), "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n"
                                         "收入,8600.00,2024-02-01,Salary,\r\n"
                                         "支出,1234.56,2024-01-31,Grocer,\"weekly, big\"\r\n");
}

} // namespace
} // namespace kestrum

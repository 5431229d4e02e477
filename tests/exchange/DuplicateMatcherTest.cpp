// Entries the ledger holds already, found again whichever format brings them:
// the same bank data as QIF and as CSV, a bill read twice, the file's own
// transaction ids.
#include "exchange/DuplicateMatcher.h"
#include "EntryListSource.h"
#include "exchange/CsvReader.h"
#include "exchange/Importer.h"
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

using TEntryList = test::TEntryListSource;

TForeignEntry Expense(int day, std::int64_t cents, const char *item, const char *remark = "",
                      const char *transactionId = "")
{
    TForeignEntry entry;
    entry.Kind = ekExpense;
    entry.Cents = cents;
    entry.Date = QDate(2024, 1, day);
    entry.Item = item;
    entry.Remark = remark;
    entry.TransactionId = transactionId;
    entry.Line = day;
    return entry;
}

class Duplicates : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        CreateLedgerDatabase(Ledger());
    }
    QString Ledger() const { return FDir.filePath("Vantorel.mdb"); }
    TImportResult Csv(const QByteArray &text)
    {
        TCsvEntrySource source(text);
        return ImportEntries(Ledger(), source);
    }
    TImportResult Qif(const QByteArray &text)
    {
        TQifEntrySource source(text);
        return ImportEntries(Ledger(), source);
    }
    TImportResult List(std::vector<TForeignEntry> entries)
    {
        TEntryList source(std::move(entries));
        return ImportEntries(Ledger(), source);
    }
    int Count(const char *sql) const
    {
        sqlite3 *db = nullptr;
        sqlite3_open(Ledger().toUtf8().constData(), &db);
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
        const int n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
        sqlite3_finalize(s);
        sqlite3_close(db);
        return n;
    }

    QTemporaryDir FDir;
};

TEST(ComparedText, IgnoresCaseBlanksAndWidthAndSplitsTheRemarkIntoParts)
{
    EXPECT_EQ(ComparedTextParts("Ｓｔａｒ　Ｂｕｃｋｓ", " latte ；Card 1234"),
              (std::vector<std::string>{"card1234", "latte", "starbucks"}));
    EXPECT_EQ(ComparedTextParts("咖啡", "咖啡;;"), (std::vector<std::string>{"咖啡"}));
    EXPECT_TRUE(ComparedTextParts("", " \t").empty());
    // Equal, or all of one among the other's; two texts that each have a part
    // of their own are other entries, and no text agrees only with no text.
    const auto parts = [](const char *item, const char *remark) { return ComparedTextParts(item, remark); };
    EXPECT_TRUE(TextsAgree(parts("餐饮", "星巴克；拿铁"), parts("星巴克", "拿铁")));
    EXPECT_TRUE(TextsAgree(parts("咖啡", ""), parts("咖啡", "找零")));
    EXPECT_FALSE(TextsAgree(parts("咖啡", "找零"), parts("咖啡", "小费")));
    EXPECT_FALSE(TextsAgree(parts("", ""), parts("咖啡", "")));
    EXPECT_TRUE(TextsAgree(parts("", ""), parts(" ", "")));
}

// Guards against the same bank data doubling when it comes once as QIF and once as CSV.
TEST_F(Duplicates, TheSameBankDataAsQifThenAsCsvComesInOnce)
{
    const TImportResult qif = Qif("!Type:Bank\n"
                                  "D01/05/2024\nT-35.50\nPStarbucks\nMLatte\nLFood:Coffee\n^\n"
                                  "D01/06/2024\nT8,600.00\nPACME Ltd\nLSalary\n^\n"
                                  "D01/06/2024\nT-12.00\nPMetro\nLTransport\n^\n"
                                  "D01/06/2024\nT-12.00\nPMetro\nLTransport\n^\n");
    ASSERT_EQ(qif.Added(), 4) << qif.Report().join('|').toStdString();
    // The bank's CSV writes the payee in capitals and full width, and knows no categories.
    const TImportResult csv = Csv("日期,金额,交易对方,备注\n"
                                  "2024-01-05,-35.50,ＳＴＡＲＢＵＣＫＳ, latte \n"
                                  "2024-01-06,8600.00,ACME  Ltd,\n"
                                  "2024-01-06,-12.00,Metro,\n"
                                  "2024-01-06,-12.00,Metro,\n"
                                  "2024-01-06,-12.00,Metro,\n"
                                  "2024-01-07,-12.00,Metro,\n");
    EXPECT_EQ(csv.DuplicatesSkipped, 4);
    EXPECT_EQ(csv.DuplicateLines, (std::vector<int>{2, 3, 4, 5}));
    // The third ride of the day is one the QIF did not have; so is the next day's.
    EXPECT_EQ(csv.ExpenseAdded, 2);
    EXPECT_EQ(csv.IncomeAdded, 0);
    EXPECT_EQ(Count("SELECT count(*) FROM expen"), 5);
    // Read the other way round, the QIF finds the CSV's entries too.
    const TImportResult again = Qif("!Type:Bank\nD01/07/2024\nT-12.00\nPMetro\nLTransport\n^\n");
    EXPECT_EQ(again.DuplicatesSkipped, 1);
    EXPECT_EQ(again.Added(), 0);
}

// Guards against a bill read twice with overlapping dates doubling the days both hold.
TEST_F(Duplicates, ABillReadAgainWithOverlappingDaysAddsOnlyTheNewDays)
{
    const QByteArray header =
        "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n";
    const QByteArray rows[] = {
        "2024-03-20 07:00:00,扫二维码付款,早餐店,/,支出,¥8.50,零钱,已转账,1001,/,/\n",
        "2024-03-21 12:01:02,商户消费,瑞幸咖啡,生椰拿铁,支出,¥15.90,零钱,支付成功,1002,/,/\n",
        "2024-03-21 12:30:00,商户消费,瑞幸咖啡,生椰拿铁,支出,¥15.90,零钱,支付成功,1003,/,/\n",
        "2024-03-22 08:00:00,微信红包,李四,/,收入,¥66.00,/,已存入零钱,1004,/,/\n",
        "2024-03-23 08:00:00,商户消费,早餐店,/,支出,¥8.50,零钱,支付成功,1005,/,/\n",
    };
    const QByteArray preamble =
        "微信支付账单明细\n----------------------微信支付账单明细列表--------------------\n";
    const TImportResult first = Csv(preamble + header + rows[0] + rows[1] + rows[2]);
    ASSERT_EQ(first.Added(), 3) << first.Report().join('|').toStdString();
    const TImportResult second = Csv(preamble + header + rows[1] + rows[2] + rows[3] + rows[4]);
    EXPECT_EQ(second.DuplicatesSkipped, 2);
    EXPECT_EQ(second.Added(), 2);
    EXPECT_EQ(Count("SELECT count(*) FROM expen"), 4);
    EXPECT_EQ(Count("SELECT count(*) FROM gain"), 1);
}

// Guards against a trade counted twice when the payment app sorted it into another category between two
// exports.
TEST_F(Duplicates, ABillsTradeNumbersFindItsTradesWhateverTheirCategoryIsNow)
{
    const QByteArray header = "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,"
                              "交易订单号,商家订单号,备注\n";
    const TImportResult first =
        Csv(header + "2024-03-21 12:01:02,餐饮美食,瑞幸咖啡,/,生椰拿铁,支出,15.90,余额,"
                     "交易成功,2024032100001\t,\t,\n");
    ASSERT_EQ(first.Added(), 1) << first.Report().join('|').toStdString();
    const TImportResult again =
        Csv(header + "2024-03-21 12:01:02,日用百货,瑞幸咖啡,/,生椰拿铁,支出,15.90,余额,交易成功,"
                     "2024032100001\t,\t,\n"
                     "2024-03-21 12:30:00,日用百货,瑞幸咖啡,/,生椰拿铁,支出,15.90,余额,交易成功,"
                     "2024032100002\t,\t,\n");
    EXPECT_EQ(again.DuplicatesSkipped, 1);
    EXPECT_EQ(again.DuplicateLines, (std::vector<int>{2}));
    EXPECT_EQ(again.Added(), 1) << "the second coffee is another trade";
}

// Guards against the file's own transaction ids being ignored: equal ids are
// one transaction whatever the texts say, different ids two.
TEST_F(Duplicates, TransactionIdsDecideWhereBothEntriesHaveOne)
{
    ASSERT_EQ(List({Expense(5, 3550, "POS 1234 STARBUCKS", "", "T1"),
                    Expense(5, 3550, "POS 1234 STARBUCKS", "", "T2")})
                  .Added(),
              2);
    EXPECT_EQ(Count("SELECT count(*) FROM kestrum_transaction_id"), 2);
    // The bank renamed the payee since; the ids still match, one for one.
    const TImportResult renamed =
        List({Expense(5, 3550, "Starbucks Coffee", "", "T2"), Expense(5, 3550, "Starbucks Coffee", "", "T1"),
              Expense(5, 3550, "POS 1234 STARBUCKS", "", "T3")});
    EXPECT_EQ(renamed.DuplicatesSkipped, 2);
    EXPECT_EQ(renamed.DuplicateLines, (std::vector<int>{5, 5}));
    EXPECT_EQ(renamed.Added(), 1) << "another id is another transaction, though its text is the same";
    // An entry without an id is matched by its text, and the ledger's entry learns its id.
    ASSERT_EQ(List({Expense(6, 900, "Metro")}).Added(), 1);
    EXPECT_EQ(List({Expense(6, 900, "METRO", "", "T9")}).DuplicatesSkipped, 1);
    EXPECT_EQ(List({Expense(6, 900, "Metro ride", "", "T9")}).DuplicatesSkipped, 1);
    EXPECT_EQ(Count("SELECT count(*) FROM kestrum_transaction_id"), 4);
}

// Guards against an undone import's ids keeping its entries from coming in again.
TEST_F(Duplicates, AnUndoneImportComesInAgain)
{
    ASSERT_EQ(List({Expense(5, 3550, "Starbucks", "", "T1")}).Added(), 1);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(Ledger().toUtf8().constData(), &db), SQLITE_OK);
    TUndoHistory(DriverOf(db)).Undo();
    sqlite3_close(db);
    ASSERT_EQ(Count("SELECT count(*) FROM expen"), 0);
    EXPECT_EQ(List({Expense(5, 3550, "Starbucks", "", "T1")}).Added(), 1);
}

// Guards against two coffees of one day at different times being taken for one.
TEST_F(Duplicates, DifferentTimesOfOneDayAreDifferentEntriesWhereBothTellATime)
{
    auto at = [](int hour, const char *item) {
        TForeignEntry entry = Expense(5, 1800, item);
        entry.Seconds = hour * 3600;
        return entry;
    };
    ASSERT_EQ(List({at(8, "咖啡")}).Added(), 1);
    // 15:00 is another coffee; 08:00 is the same one read again.
    const TImportResult second = List({at(15, "咖啡"), at(8, "咖啡")});
    EXPECT_EQ(second.Added(), 1);
    EXPECT_EQ(second.DuplicatesSkipped, 1);
    EXPECT_EQ(Count("SELECT count(*) FROM expen WHERE 消费日期 = '2024-01-05 15:00:00'"), 1);
    // A file without times (QIF, most CSV) matches by the day alone.
    EXPECT_EQ(List({Expense(5, 1800, "咖啡")}).DuplicatesSkipped, 1);
    EXPECT_EQ(Count("SELECT count(*) FROM expen"), 2);
}

// Guards against a weaker match taking the ledger row that another entry of the file fits exactly.
TEST_F(Duplicates, ARowGoesToTheEntryItFitsBestNotTheFirstItFits)
{
    ASSERT_EQ(List({Expense(5, 900, "Food", "Cafe Noir；espresso")}).Added(), 1);
    // The first entry only shares the café with the row; the second is the row itself.
    const TImportResult result =
        List({Expense(5, 900, "Food", "Cafe Noir；latte"), Expense(5, 900, "Food", "Cafe Noir；espresso")});
    EXPECT_EQ(result.Added(), 1);
    ASSERT_EQ(result.DuplicateLines.size(), 1u);
    EXPECT_EQ(Count("SELECT count(*) FROM expen WHERE 备注 = 'Cafe Noir；latte'"), 1);
}

TEST_F(Duplicates, ChosenDuplicatesComeInAndTheRestAreSkippedAndCounted)
{
    ASSERT_EQ(List({Expense(5, 900, "Tea"), Expense(6, 500, "Bus"), Expense(7, 300, "Bread")}).Added(), 3);
    TEntryList again(
        {Expense(5, 900, "Tea"), Expense(6, 500, "Bus"), Expense(8, 100, "New"), Expense(7, 300, "Bread")});
    TImportOptions options;
    options.KeptDuplicates = {3}; // the bread, fourth of the file's entries
    const TImportResult result = ImportEntries(Ledger(), again, options);
    EXPECT_EQ(result.Added(), 2);
    EXPECT_EQ(result.DuplicatesSkipped, 2);
    EXPECT_EQ(result.DuplicatesKept, 1);
    std::string found;
    for (const TFoundDuplicate &duplicate : result.Duplicates)
        found += std::to_string(duplicate.Ordinal) + duplicate.Entry.Item + " ";
    EXPECT_EQ(found, "0Tea 1Bus 3Bread ");
    EXPECT_EQ(Count("SELECT count(*) FROM expen WHERE 消费者 = 'Bread'"), 2);
    EXPECT_TRUE(result.Report().join('\n').contains(QStringLiteral("跳过了2条账本中已有的纪录")));
}

} // namespace
} // namespace kestrum

// The QIF reader over bank, cash and card exports and the sections it passes over.
#include "exchange/QifReader.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

std::string Qif(const QByteArray &text, TQifDateOrder order = qdAuto, QStringList *notes = nullptr,
                TQifTransfers transfers = qtSkip)
{
    try {
        TQifOptions options;
        options.DateOrder = order;
        options.Transfers = transfers;
        TQifEntrySource source(text, options);
        std::string out = ReadAll(source);
        if (notes)
            *notes = source.Notes();
        return out;
    } catch (const EImportError &e) {
        return std::string("error: ") + e.what();
    }
}

TEST(QifRecords, BankCashAndCardSectionsGiveEntries)
{
    QStringList notes;
    EXPECT_EQ(Qif("!Type:Bank\n"
                  "D1/31/2024\nT-1,234.56\nPGrocer\nMweekly shop\nLFood:Groceries\nN101\nCX\n^\n"
                  "D2/1'24\nU500.00\nLSalary\n^\n"
                  "!Type:Cash\r\nD 2/ 3' 4\r\nT-3\r\n^\r\n"
                  "!Type:CCard\nD12/24/98\nT-20.5\nPShop\n^\n",
                  qdAuto, &notes),
              "E123456 2024-01-31 Food:Groceries|Grocer；weekly shop@2; I50000 2024-02-01 Salary|@10; "
              "E300 2004-02-03 |@15; E2050 1998-12-24 Shop|@19");
    EXPECT_EQ(notes.join('|').toStdString(), "1条纪录没有类别，项目取自其他栏目");
}

TEST(QifRecords, AccountListsAndCategoryListsArePassedOverInvestmentsAreBad)
{
    QStringList notes;
    EXPECT_EQ(Qif("!Option:AutoSwitch\n!Account\nNChecking\nTBank\n^\nNSavings\nTBank\n^\n!Clear:AutoSwitch\n"
                  "!Type:Cat\nNFood\nE\n^\n"
                  "!Type:Bank\nD1/20/2024\nT-5\nPBus\nSTravel\n$-5\n^\n"
                  "!Type:Invst\nD1/3/2024\nNBuy\nT-100\n^\n"
                  "!Type:Weird\nD1/3/2024\nT1\n^\n",
                  qdAuto, &notes),
              "E500 2024-01-20 Bus|@15; !22 不读取投资交易; "
              "!27 不读取 !Type:Weird 部分的纪录");
    EXPECT_EQ(notes.join('|').toStdString(), "1条拆分纪录各按一条整体导入，没有保留拆分|"
                                             "跳过了3条账户或列表纪录");
}

// Regression: a record's category was dropped whenever it had a payee, so statistics by item showed shops.
TEST(QifItems, TheCategoryPathIsTheItemAndThePayeeAndMemoGoToTheRemark)
{
    QStringList notes;
    EXPECT_EQ(Qif("!Type:Bank\nD2024-03-01\nT-12.50\nP华联超市\nM周末采购\nLFood:Groceries/Family\n^\n"
                  "D2024-03-02\nT-3\nP地铁\n^\n"
                  "D2024-03-03\nT8000\nL工资\n^\n",
                  qdAuto, &notes),
              "E1250 2024-03-01 Food:Groceries|华联超市；周末采购@2; E300 2024-03-02 地铁|@8; "
              "I800000 2024-03-03 工资|@12");
    EXPECT_EQ(notes.last().toStdString(), "1条纪录没有类别，项目取自其他栏目");
}

TEST(QifItems, TheUserPicksPayeeOrMemoAndLongItemsAreShortenedWithTheWholeTextKept)
{
    const QByteArray file = "!Type:Bank\nD2024-03-01\nT-12.50\nP华联超市\nM周末采购\nLFood:Groceries\n^\n"
                            "D2024-03-02\nT-3\nMbus\nLTravel\n^\n";
    const auto read = [](const QByteArray &text, TQifItemSource item, QStringList *notes = nullptr) {
        TQifOptions options;
        options.Item = item;
        TQifEntrySource source(text, options);
        std::string out = ReadAll(source);
        if (notes)
            *notes = source.Notes();
        EXPECT_TRUE(source.HasField(qiCategory) && source.HasField(qiPayee) && source.HasField(qiMemo));
        return out;
    };
    EXPECT_EQ(read(file, qiPayee),
              "E1250 2024-03-01 华联超市|周末采购；Food:Groceries@2; E300 2024-03-02 Travel|bus@8");
    EXPECT_EQ(read(file, qiMemo),
              "E1250 2024-03-01 周末采购|华联超市；Food:Groceries@2; E300 2024-03-02 bus|Travel@8");

    // 60 characters of path: the most specific parts stay; 60 of plain text: the start stays.
    const std::string path = "Household:" + std::string(20, 'a') + ":" + std::string(20, 'b') + ":Organic";
    const std::string plain(30, 'x');
    const std::string longPayee = plain + "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十";
    QStringList notes;
    EXPECT_EQ(read(QByteArray("!Type:Bank\nD2024-03-01\nT-1\nPp\nMm\nL") + path.c_str() +
                       "\n^\nD2024-03-02\nT-2\nP" + longPayee.c_str() + "\n^\n",
                   qiCategory, &notes),
              "E100 2024-03-01 …:" + std::string(20, 'b') + ":Organic|p；m；" + path +
                  "@2; E200 2024-03-02 " + plain + "一二三四五六七八九十一二三四五六七八九…|" + longPayee +
                  "@8");
    EXPECT_EQ(notes.join('|').toStdString(),
              "1条纪录没有类别，项目取自其他栏目|2条纪录的项目超过50个字，缩短了；全文写在备注里");
}

TEST(QifDates, DayFirstIsChosenOnlyWhenNothingElseReadsTheFile)
{
    const QByteArray dayFirst = "!Type:Bank\nD3/4/2024\nT1\n^\nD31/1/2024\nT2\n^\n";
    QStringList notes;
    EXPECT_EQ(Qif(dayFirst, qdAuto, &notes), "I100 2024-04-03 |@2; I200 2024-01-31 |@5");
    EXPECT_TRUE(notes.join('|').contains(QStringLiteral("日/月/年")));
    EXPECT_EQ(Qif(dayFirst, qdMonthFirst), "I100 2024-03-04 |@2; !5 日期不存在：“31/1/2024”");
    EXPECT_EQ(Qif("!Type:Bank\nD3/4/2024\nT1\n^\n"), "I100 2024-03-04 |@2");
}

// Regression: the descriptions ("D" lines) of accounts and categories were counted as dates.
TEST(QifDates, OnlyTransactionDatesDecideTheOrder)
{
    const QByteArray file =
        "!Account\nNChecking\nTBank\nDMain account\n^\n!Type:Cat\nNFood\nDGroceries\nE\n^\n"
        "!Type:Bank\nD31/01/2024\nT-5\nPShop\n^\nD05/02/2024\nT-6\nPBus\n^\n";
    EXPECT_EQ(Qif(file), "E500 2024-01-31 Shop|@12; E600 2024-02-05 Bus|@16");
    TQifEntrySource source(file);
    EXPECT_EQ(source.DateEvidence(), qeDayFirst);
}

// Regression: a file whose every date reads either way was read month first without a word.
TEST(QifDates, DatesThatReadEitherWayAreSaidSoAndTheGivenOrderWins)
{
    const QByteArray file = "!Type:Bank\nD05/02/2024\nT-5\n^\nD1/1/2024\nT1\n^\nD03/04/2024\nT-6\n^\n";
    QStringList notes;
    EXPECT_EQ(Qif(file, qdAuto, &notes), "E500 2024-05-02 |@2; I100 2024-01-01 |@5; E600 2024-03-04 |@8");
    ASSERT_FALSE(notes.isEmpty());
    EXPECT_EQ(notes[0].toStdString(), "文件中的每个日期都既能按“月/日/年”也能按“日/月/"
                                      "年”读取，例如第2行的“05/02/2024”按月/日/年是2024-05-02，"
                                      "按日/月/年是2024-02-05；现按“月/日/年”读取，如果不对，请改选日期顺序");
    EXPECT_EQ(TQifEntrySource(file).DateEvidence(), qeEitherWay);
    notes.clear();
    EXPECT_EQ(Qif(file, qdDayFirst, &notes), "E500 2024-02-05 |@2; I100 2024-01-01 |@5; E600 2024-04-03 |@8");
    EXPECT_TRUE(notes.isEmpty()) << notes.join('|').toStdString();

    // One date that only reads month first settles it; dates that contradict each other are said so.
    EXPECT_EQ(TQifEntrySource(file + "D12/31/2024\nT1\n^\n").DateEvidence(), qeSettled);
    EXPECT_EQ(TQifEntrySource("!Type:Bank\nD2024-05-02\nT1\n^\nD1/1/24\nT1\n^\n").DateEvidence(), qeSettled);
    TQifEntrySource mixed("!Type:Bank\nD31/1/2024\nT1\n^\nD1/31/2024\nT1\n^\n");
    EXPECT_EQ(mixed.DateEvidence(), qeMixed);
    EXPECT_TRUE(mixed.DateNote().contains(QStringLiteral("“31/1/2024”"))) << mixed.DateNote().toStdString();
}

// Regression: opening balances and transfers between the file's accounts came in as income and expense.
TEST(QifTransfers, QuickenOpeningBalancesAndBracketedTransfersAreLeftOutAndListed)
{
    const QByteArray file = "!Account\nNChecking\nTBank\n^\n!Type:Bank\n"
                            "D1/13/2024\nT1,000.00\nPOpening Balance\nL[Checking]\n^\n"
                            "D1/14/2024\nT-200\nPTo savings\nL[Savings]/Q1\n^\n"
                            "D1/15/2024\nT-5\nPBus\nLTravel\n^\n"
                            "!Account\nNSavings\nTBank\n^\n!Type:Bank\n"
                            "D1/14/2024\nT200\nL[Checking]\n^\n";
    QStringList notes;
    EXPECT_EQ(Qif(file, qdAuto, &notes), "E500 2024-01-15 Travel|Bus@16");
    EXPECT_EQ(notes.join('|').toStdString(),
              "没有导入1条期初余额（第6行）：那是账户里原有的钱，不是收入|"
              "没有导入2条账户之间的转账（第11、26行）：钱只是换了账户，不是收入或支出|"
              "跳过了2条账户或列表纪录");
    TQifEntrySource source(file);
    ReadAll(source);
    std::string listed;
    for (const TQifTransfer &transfer : source.Transfers())
        listed += QifTransferText(transfer).toStdString() + " " + transfer.Account.toStdString() + " " +
                  std::to_string(transfer.Entry.Cents) + "@" + std::to_string(transfer.Entry.Line) + "; ";
    EXPECT_EQ(
        listed,
        "期初余额 Checking 100000@6; 转到“Savings” Checking 20000@11; 从“Checking”转入 Savings 20000@26; ");

    notes.clear();
    EXPECT_EQ(Qif(file, qdAuto, &notes, qtImport),
              "I100000 2024-01-13 [Checking]|Opening Balance@6; E20000 2024-01-14 [Savings]|To savings@11; "
              "E500 2024-01-15 Travel|Bus@16; I20000 2024-01-14 [Checking]|@26");
    EXPECT_TRUE(notes.join('|').contains(QStringLiteral("1条期初余额和2条账户之间的转账按收入或支出导入了")));
}

// Regression: Skrooge writes a blank first record per account and a transfer as two plain records.
TEST(QifTransfers, BlankFirstRecordsAndMatchingPairsAcrossAccountsAreTransfers)
{
    const QByteArray file = "!Type:Cat\nNSavings\nI\n^\n"
                            "!Account\nNCheque account\nTBank\nD\n^\n!Type:Bank\n"
                            "D2026-12-10\nT50\nCR\n^\n"                             // line 11: opening
                            "D2022-01-29\nT-20\nPMe\nMfor hard time\nLSavings\n^\n" // 15: transfer out
                            "D2022-01-29\nT-20\nPMe\nMfor hard time\nLSavings\n^\n" // 21: no partner
                            "D2022-01-30\nT-20\nPShop\n^\n"                         // 27
                            "!Account\nNSaving account\nTBank\nD\n^\n!Type:Bank\n"
                            "D2026-12-10\nT1000\nCR\n^\n"                          // 37: opening
                            "D2022-01-29\nT20\nPMe\nMfor hard time\nLSavings\n^\n" // 41: transfer in
                            "D2022-01-30\nT20\nPSomeone else\n^\n";                // 47
    QStringList notes;
    EXPECT_EQ(Qif(file, qdAuto, &notes),
              "E2000 2022-01-29 Savings|Me；for hard time@21; E2000 2022-01-30 Shop|@27; "
              "I2000 2022-01-30 Someone else|@47");
    EXPECT_EQ(notes.value(0).toStdString(),
              "没有导入2条期初余额（第11、37行）：那是账户里原有的钱，不是收入");
    EXPECT_EQ(notes.value(1).toStdString(),
              "没有导入2条账户之间的转账（第15、41行）：钱只是换了账户，不是收入或支出");
    // Equal and opposite records within one account are no transfer.
    EXPECT_EQ(Qif("!Account\nNCash\nTCash\n^\n!Type:Cash\nD1/5/2024\nT-3\nPTea\n^\nD1/5/2024\nT3\nPTea\n^\n"),
              "E300 2024-01-05 Tea|@6; I300 2024-01-05 Tea|@10");
}

TEST(QifBadRecords, MissingFieldsAndCutRecordsAreReportedWithTheirLine)
{
    EXPECT_EQ(Qif("!Type:Bank\nD1/2/2024\nPNo amount\n^\nT5\n^\nD2/30/2024\nT5\n^\nD1/2/2024\nT12..5\n^\n"
                  "D1/2/2024\nT7\n"),
              "!2 没有金额; !5 没有日期; !7 日期不存在：“2/30/2024”; !10 金额无法识别：“12..5”; "
              "!13 文件在这条纪录中间结束（没有用 ^ 结束）");
    EXPECT_EQ(Qif("!Type:Bank\nD1/2/2024\nT7\n!Type:Cash\nD1/3/2024\nT8\n^\n"),
              "!2 这条纪录在第4行之前没有用 ^ 结束; I800 2024-01-03 |@5");
}

TEST(QifBadInput, FilesThatAreNoQifAreRefused)
{
    EXPECT_EQ(Qif(""), "error: 文件是空的");
    EXPECT_EQ(Qif("\n \n"), "error: 文件是空的");
    EXPECT_EQ(Qif("D1/2/2024\nT5\n^\n"), "error: 第1行：不是 QIF 文件：文件不是以 !Type 行开头的");
    EXPECT_EQ(Qif(QByteArray("!Type:Bank\n\0\0", 13)), "error: 第2行：文件不是文本（含有 NUL 字节）");
}

} // namespace
} // namespace kestrum

// The QIF reader over bank, cash and card exports and the sections it passes over.
#include "exchange/QifReader.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

std::string Qif(const QByteArray &text, TQifDateOrder order = qdAuto, QStringList *notes = nullptr)
{
    try {
        TQifEntrySource source(text, TQifOptions{order});
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
              "E123456 2024-01-31 Grocer|weekly shop@2; I50000 2024-02-01 Salary|@10; E300 2004-02-03 |@15; "
              "E2050 1998-12-24 Shop|@19");
    EXPECT_EQ(notes.join('|').toStdString(),
              "1条没有收付款人的纪录以类别作为项目|1条有收付款人的纪录以收付款人作为项目，没有保留类别");
}

TEST(QifRecords, AccountListsAndCategoryListsArePassedOverInvestmentsAreBad)
{
    QStringList notes;
    EXPECT_EQ(Qif("!Option:AutoSwitch\n!Account\nNChecking\nTBank\n^\nNSavings\nTBank\n^\n!Clear:AutoSwitch\n"
                  "!Type:Cat\nNFood\nE\n^\n"
                  "!Type:Bank\nD1/2/2024\nT-5\nPBus\nSTravel\n$-5\n^\n"
                  "!Type:Invst\nD1/3/2024\nNBuy\nT-100\n^\n"
                  "!Type:Weird\nD1/3/2024\nT1\n^\n",
                  qdAuto, &notes),
              "E500 2024-01-02 Bus|@15; !22 不读取投资交易; "
              "!27 不读取 !Type:Weird 部分的纪录");
    EXPECT_EQ(notes.join('|').toStdString(), "1条拆分纪录各按一条整体导入，没有保留拆分|"
                                             "跳过了3条账户或列表纪录");
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

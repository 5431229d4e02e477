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
    EXPECT_EQ(
        notes.join('|').toStdString(),
        "1 entries without a payee took their category as the item|1 entries with a payee kept the payee as "
        "the item; their category was not kept");
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
              "E500 2024-01-02 Bus|@15; !22 investment transactions are not read; "
              "!27 records of section !Type:Weird are not read");
    EXPECT_EQ(notes.join('|').toStdString(),
              "1 split entries came in whole, one entry each; their splits were not kept|"
              "3 account or list records were passed over");
}

TEST(QifDates, DayFirstIsChosenOnlyWhenNothingElseReadsTheFile)
{
    const QByteArray dayFirst = "!Type:Bank\nD3/4/2024\nT1\n^\nD31/1/2024\nT2\n^\n";
    QStringList notes;
    EXPECT_EQ(Qif(dayFirst, qdAuto, &notes), "I100 2024-04-03 |@2; I200 2024-01-31 |@5");
    EXPECT_TRUE(notes.join('|').contains("day first"));
    EXPECT_EQ(Qif(dayFirst, qdMonthFirst), "I100 2024-03-04 |@2; !5 impossible date '31/1/2024'");
    EXPECT_EQ(Qif("!Type:Bank\nD3/4/2024\nT1\n^\n"), "I100 2024-03-04 |@2");
}

TEST(QifBadRecords, MissingFieldsAndCutRecordsAreReportedWithTheirLine)
{
    EXPECT_EQ(Qif("!Type:Bank\nD1/2/2024\nPNo amount\n^\nT5\n^\nD2/30/2024\nT5\n^\nD1/2/2024\nT12..5\n^\n"
                  "D1/2/2024\nT7\n"),
              "!2 no amount; !5 no date; !7 impossible date '2/30/2024'; !10 bad amount '12..5'; "
              "!13 the file ends inside this record (no closing ^)");
    EXPECT_EQ(Qif("!Type:Bank\nD1/2/2024\nT7\n!Type:Cash\nD1/3/2024\nT8\n^\n"),
              "!2 the record has no closing ^ before line 4; I800 2024-01-03 |@5");
}

TEST(QifBadInput, FilesThatAreNoQifAreRefused)
{
    EXPECT_EQ(Qif(""), "error: the file is empty");
    EXPECT_EQ(Qif("\n \n"), "error: the file is empty");
    EXPECT_EQ(Qif("D1/2/2024\nT5\n^\n"),
              "error: line 1: not a QIF file: it does not begin with a !Type line");
    EXPECT_EQ(Qif(QByteArray("!Type:Bank\n\0\0", 13)),
              "error: line 2: the file is not text (it holds NUL bytes)");
}

} // namespace
} // namespace kestrum

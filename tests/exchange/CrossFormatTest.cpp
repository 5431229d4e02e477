// One household's data exported by another program as CSV and as QIF, read
// in both orders: the items agree and the second file adds nothing.
#include "ExchangeTestSupport.h"
#include "exchange/CsvReader.h"
#include "exchange/DuplicateMatcher.h"
#include "exchange/Importer.h"
#include "exchange/QifReader.h"
#include "ledger/LedgerFile.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum {
namespace {

QByteArray ReadFixture(const char *name)
{
    QFile file(QStringLiteral(KESTRUM_BANK_DIR "/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

class CrossFormat : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    QString NewLedger(const char *name)
    {
        const QString path = FDir.filePath(QString::fromUtf8(name));
        CreateLedgerDatabase(path);
        return path;
    }
    static TImportResult Csv(const QString &ledger, const QByteArray &text)
    {
        // Nothing is skipped as bad: the opening balances' zero dates are known.
        TCsvEntrySource source(text);
        return ImportEntries(ledger, source);
    }
    static TImportResult Qif(const QString &ledger, const QByteArray &text)
    {
        TQifEntrySource source(text);
        return ImportEntries(ledger, source);
    }
    //! Imports both files into two fresh ledgers, one order each, and checks
    //! that the second file adds nothing and that both ledgers hold `entries`.
    void ExpectBothOrdersAddOnce(const QByteArray &csv, const QByteArray &qif, int entries)
    {
        const QString csvFirst = NewLedger("csv-first.mdb");
        EXPECT_EQ(Csv(csvFirst, csv).Added(), entries);
        const TImportResult qifAfter = Qif(csvFirst, qif);
        EXPECT_EQ(qifAfter.Added(), 0);
        EXPECT_EQ(qifAfter.DuplicatesSkipped, entries);
        const QString qifFirst = NewLedger("qif-first.mdb");
        EXPECT_EQ(Qif(qifFirst, qif).Added(), entries);
        const TImportResult csvAfter = Csv(qifFirst, csv);
        EXPECT_EQ(csvAfter.Added(), 0);
        EXPECT_EQ(csvAfter.DuplicatesSkipped, entries);
    }

    QTemporaryDir FDir;
};

// Guards against a CSV with a category column taking its payee as the item and
// dropping the category, so that the same entries read from QIF came in twice.
TEST_F(CrossFormat, SkroogeCsvTakesTheCategoryAsItsQifDoes)
{
    TCsvEntrySource csv(ReadFixture("skrooge-export.csv"));
    const std::string read = ReadAll(csv);
    EXPECT_NE(read.find("E2000 2022-01-03 Health-care:Prescriptions|Corner Pharma；my pills@5"),
              std::string::npos)
        << read;
    // No category: the payee, and with neither the comment stays the remark.
    EXPECT_NE(read.find("E5500 2023-02-07 |money rent to freddy@15"), std::string::npos) << read;
    // The two sides of the transfer between the file's accounts are left out and said so.
    EXPECT_EQ(read.find("for hard time"), std::string::npos) << read;
    EXPECT_TRUE(csv.Notes().join('\n').contains(QStringLiteral("没有导入2条账户之间的转账（第13、14行）")))
        << csv.Notes().join('\n').toStdString();
    // The accounts' opening balances (dated 0000-00-00) are no income either, and are no bad records.
    EXPECT_EQ(read.find("!"), std::string::npos) << read;
    EXPECT_TRUE(csv.Notes().join('\n').contains(
        QStringLiteral("没有导入3个账户的期初余额（“Cheque account” 50.00、“Saving account” 1000.00、"
                       "“Japan account” 500.00）")))
        << csv.Notes().join('\n').toStdString();

    TCsvOptions byPayee;
    byPayee.Item = qiPayee;
    TCsvEntrySource payee(ReadFixture("skrooge-export.csv"), byPayee);
    EXPECT_NE(ReadAll(payee).find("E2000 2022-01-03 Corner Pharma|my pills；Health-care:Prescriptions@5"),
              std::string::npos);
    byPayee.Transfers = qtImport;
    TCsvEntrySource transfers(ReadFixture("skrooge-export.csv"), byPayee);
    EXPECT_NE(ReadAll(transfers).find("I2000 2022-01-29 Me|for hard time；Savings@13"), std::string::npos);
}

// Guards against doubled entries when one account is imported as CSV and as QIF.
TEST_F(CrossFormat, SkroogeCsvAndQifOfOneLedgerComeInOnceInEitherOrder)
{
    // Nine entries: the two equal coffees of one day are both real and both stay.
    ExpectBothOrdersAddOnce(ReadFixture("skrooge-export.csv"), ReadFixture("skrooge-export.qif"), 9);
}

TEST_F(CrossFormat, HomeBankExampleConvertedBySkroogeComesInOnceInEitherOrder)
{
    const QString skrooge = QStandardPaths::findExecutable(QStringLiteral("skroogeconvert"));
    const QString example = QStringLiteral("/usr/share/homebank/datas/example.xhb");
    if (skrooge.isEmpty() || !QFile::exists(example))
        GTEST_SKIP() << "skroogeconvert (Debian package skrooge) or HomeBank's example.xhb (homebank-data) "
                        "is missing; the checked-in export of the same layout was read instead";
    QByteArray files[2];
    const char *names[2] = {"hb.csv", "hb.qif"};
    for (int i = 0; i < 2; ++i) {
        const QString out = FDir.filePath(QString::fromUtf8(names[i]));
        QProcess process;
        process.start(skrooge, {QStringLiteral("--in"), example, QStringLiteral("--out"), out});
        ASSERT_TRUE(process.waitForFinished(120000));
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << names[i];
        files[i] = file.readAll();
    }
    ExpectBothOrdersAddOnce(files[0], files[1], 188);
}

TEST(DuplicateTexts, FieldsSwappedBetweenItemAndRemarkStillShareText)
{
    const auto share = [](const char *itemA, const char *remarkA, const char *itemB, const char *remarkB) {
        return TextsShare(ComparedTextParts(itemA, remarkA), ComparedTextParts(itemA, {}),
                          ComparedTextParts(itemB, remarkB), ComparedTextParts(itemB, {}));
    };
    // The CSV's comment stands inside the QIF's memo, which carries the payment mode too.
    EXPECT_TRUE(share("Health-care:Prescriptions", "Corner Pharma；my pills", "Corner Pharma",
                      "Other  my pills；Health-care:Prescriptions"));
    EXPECT_TRUE(share("", "money rent to freddy", "", "Other  money rent to freddy"));
    // The payee is one file's item and the other's remark.
    EXPECT_TRUE(share("Corner Pharma", "", "Health-care:Prescriptions", "Corner Pharma"));
    // One category on one day is no duplicate by itself; one letter inside another word says nothing.
    EXPECT_FALSE(share("Food", "Bakery", "Food", "Cafe Noir"));
    EXPECT_FALSE(share("a", "", "Bread", ""));
    EXPECT_FALSE(share("Food", "Shop A", "Rent", "Landlord"));
    EXPECT_FALSE(share("", "", "Rent", ""));
}

} // namespace
} // namespace kestrum

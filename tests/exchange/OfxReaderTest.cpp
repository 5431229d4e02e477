// The OFX reader over bank and card statements in the published layouts
// (OFX 1.x SGML, OFX 2.x XML as a QFX), and over files that libofx would
// read wrongly or not at all.
#include "exchange/OfxReader.h"
#include "exchange/ForeignFormat.h"

#include "ExchangeTestSupport.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace kestrum {
namespace {

const QString BankDir = QStringLiteral(KESTRUM_BANK_DIR);

QByteArray Fixture(const QString &name)
{
    QFile file(BankDir + QLatin1Char('/') + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

class OfxReader : public ::testing::Test {
protected:
    QTemporaryDir Dir;

    QString Write(const QByteArray &bytes, const QString &name = QStringLiteral("statement.ofx"))
    {
        const QString path = Dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static std::string Read(const QString &path)
    {
        try {
            TOfxEntrySource source(path);
            return ReadAll(source);
        } catch (const EImportError &e) {
            return std::string("error: ") + e.what();
        }
    }
};

//! Sets the process's time zone for one test: libofx turns posting dates
//! into times of the reader's zone.
class TimeZone {
public:
    explicit TimeZone(const char *zone)
    {
        if (const char *old = std::getenv("TZ"))
            FOld = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone()
    {
        if (FOld.empty())
            unsetenv("TZ");
        else
            setenv("TZ", FOld.c_str(), 1);
        tzset();
    }

private:
    std::string FOld;
};

// Guards against a posting date moving to another day with the reader's time zone.
TEST_F(OfxReader, BankStatementGivesEachTransactionOnTheDayTheBankWrote)
{
    const QString path = BankDir + QStringLiteral("/checking-sgml.ofx");
    EXPECT_EQ(DetectForeignFormatOfFile(path), ffOfx);
    const std::string expected = "E2550 2026-11-01 星巴克咖啡|消费 拿铁 大杯@29; "
                                 "I1234567 2026-11-10+300 某某科技有限公司|代发工资 十月@37; "
                                 "E7 2026-11-15 短信服务费|@45; "
                                 "I321 2026-11-21 结息|@52; "
                                 "E109900 2026-11-30+86399 京东商城 电器|@59";
    for (const char *zone : {"UTC", "Asia/Shanghai", "America/New_York"}) {
        TimeZone here(zone);
        EXPECT_EQ(Read(path), expected) << zone;
    }
}

TEST_F(OfxReader, CardStatementInXmlKeepsTransactionIdsAndSumsToTheCent)
{
    const QString path = BankDir + QStringLiteral("/creditcard-v2.qfx");
    EXPECT_EQ(DetectForeignFormatOfFile(path), ffOfx);
    std::unique_ptr<TEntrySource> source = OpenEntrySource(path);
    EXPECT_EQ(source->Description(), QStringLiteral("OFX银行对账单"));
    TForeignEntry entry;
    TBadRecord bad;
    std::int64_t income = 0, expense = 0;
    std::vector<std::string> ids;
    while (source->Next(entry, bad) == TEntrySource::esEntry) {
        (entry.Kind == ekIncome ? income : expense) += entry.Cents;
        ids.push_back(entry.TransactionId);
        if (entry.TransactionId == "320261103000001") {
            EXPECT_EQ(entry.Item, "WHOLE FOODS MARKET");
            EXPECT_EQ(entry.Remark, "Groceries & household");
            EXPECT_EQ(entry.Date, QDate(2026, 11, 3));
            EXPECT_EQ(entry.Seconds, 5 * 3600);
        }
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"320261103000001", "320261112000002", "320261120000003",
                                             "320261128000004"}));
    EXPECT_EQ(income, 31500);
    EXPECT_EQ(expense, 127666);
    EXPECT_DOUBLE_EQ(source->Progress(), 1.0);
}

// Guards against an amount libofx cannot read being imported as zero.
TEST_F(OfxReader, AnUnreadableAmountIsABadRecordNotAZero)
{
    QByteArray text = Fixture(QStringLiteral("checking-sgml.ofx"));
    text.replace("<TRNAMT>-0.07", "<TRNAMT>zwei");
    const std::string read = Read(Write(text));
    EXPECT_NE(read.find("!45 金额“zwei”无法识别"), std::string::npos) << read;
    EXPECT_NE(read.find("E2550 2026-11-01"), std::string::npos) << read;
}

// Guards against the names of a statement in a Chinese code page coming in as Latin-1 garble.
TEST_F(OfxReader, StatementInTheChineseCodePageKeepsItsNames)
{
    QByteArray text = Fixture(QStringLiteral("checking-sgml.ofx"));
    text.replace("ENCODING:UTF-8", "ENCODING:USASCII").replace("CHARSET:NONE", "CHARSET:936");
    text.replace("<MEMO>消费 拿铁 大杯", "<MEMO>消费 拿铁 &amp; 点心");
    QStringEncoder toGbk("GB18030");
    const QByteArray gbk = toGbk(QString::fromUtf8(text));
    const std::string read = Read(Write(gbk));
    EXPECT_TRUE(read.starts_with("E2550 2026-11-01 星巴克咖啡|消费 拿铁 & 点心@29; "
                                 "I1234567 2026-11-10+300 某某科技有限公司|代发工资 十月@37"))
        << read;
}

TEST_F(OfxReader, DamagedOrForeignFilesAreRefusedWholeWithAClearMessage)
{
    // Not OFX at all, though named so.
    EXPECT_EQ(Read(Write("date,amount\n2026-01-01,3\n")).rfind("error: ", 0), 0u);
    EXPECT_NE(Read(Write("date,amount\n")).find("不是 OFX 文件"), std::string::npos);
    // An OFX header over garbage.
    QByteArray garbage("OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\n\r\n");
    for (int i = 0; i < 3000; ++i)
        garbage += char((i * 7919 + 13) % 251);
    EXPECT_NE(Read(Write(garbage)).find("无法读取；没有导入任何内容"), std::string::npos);
    // A statement cut off after its second transaction.
    const QByteArray whole = Fixture(QStringLiteral("checking-sgml.ofx"));
    const QByteArray cut = whole.left(whole.indexOf("<FITID>2026111500003"));
    const std::string read = Read(Write(cut));
    EXPECT_EQ(read.rfind("error: ", 0), 0u) << read;
    EXPECT_NE(read.find("没有导入任何内容"), std::string::npos) << read;
    // A file that is not there.
    EXPECT_EQ(Read(Dir.filePath(QStringLiteral("missing.ofx"))).rfind("error: ", 0), 0u);
}

TEST_F(OfxReader, DetectionGoesByTheHeaderThenByTheName)
{
    EXPECT_EQ(DetectForeignFormat("OFXHEADER:100\r\nDATA:OFXSGML\r\n"), ffOfx);
    EXPECT_EQ(DetectForeignFormat("\xEF\xBB\xBF\r\n<?xml version=\"1.0\"?>\n<?OFX OFXHEADER=\"200\"?>"),
              ffOfx);
    EXPECT_EQ(DetectForeignFormat("<?xml version=\"1.0\"?>\n<root/>"), ffCsv);
    EXPECT_EQ(DetectForeignFormat("<OFX>", QStringLiteral("bank.QFX")), ffOfx);
}

} // namespace
} // namespace kestrum

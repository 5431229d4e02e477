// Cells as exports write them: amounts, dates, type words, and the
// encoding of a file's bytes.
#include "exchange/ExchangeText.h"
#include "exchange/LedgerAmount.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

#include <limits>

namespace kestrum::exchange {
namespace {

std::string Amount(const char *text, TDecimalMark mark = dmUnsettled)
{
    TAmount amount;
    QString reason;
    if (!ParseAmount(text, amount, reason, mark))
        return "error: " + reason.toStdString();
    return (amount.Negative ? "-" : "") + std::to_string(amount.Cents);
}

TEST(Amounts, ReadEveryCommonWriting)
{
    EXPECT_EQ(Amount("12"), "1200");
    EXPECT_EQ(Amount(" 12.5 "), "1250");
    EXPECT_EQ(Amount("1,234.56"), "123456");
    EXPECT_EQ(Amount("1,234,567.8"), "123456780");
    EXPECT_EQ(Amount("-12.30"), "-1230");
    EXPECT_EQ(Amount("+12.30"), "1230");
    EXPECT_EQ(Amount("(12.30)"), "-1230");
    EXPECT_EQ(Amount("(￥1,200.00)"), "-120000");
    EXPECT_EQ(Amount("￥12.30"), "1230");
    EXPECT_EQ(Amount("¥ 12.30"), "1230");
    EXPECT_EQ(Amount("-￥12.30"), "-1230");
    EXPECT_EQ(Amount("￥-12.30"), "-1230");
    EXPECT_EQ(Amount("12.30元"), "1230");
    EXPECT_EQ(Amount("RMB 5"), "500");
    EXPECT_EQ(Amount("12.30-"), "-1230");
    EXPECT_EQ(Amount(".5"), "50");
    EXPECT_EQ(Amount("12.5000"), "1250");
    EXPECT_EQ(Amount("-0.00"), "0") << "a zero has no direction";
    EXPECT_EQ(Amount("9999999999999.99"), "999999999999999");
}

TEST(Amounts, ADotThatMayBeEitherMarkIsReadOnlyOnceTheFileTells)
{
    // Guards against "1.500" read as 1.50 where the file meant 1500.
    EXPECT_EQ(Amount("1.500"), "error: 金额“1.500”无法确定：其中的“.”可能是小数点，也可能是千位分隔符，"
                               "文件中的其他金额也看不出是哪一种");
    EXPECT_EQ(Amount("-￥12.340"),
              "error: 金额“-￥12.340”无法确定：其中的“.”可能是小数点，也可能是千位分隔符，"
              "文件中的其他金额也看不出是哪一种");
    EXPECT_EQ(Amount("1.500", dmPoint), "150");
    EXPECT_EQ(Amount("1.500", dmComma), "150000");
    EXPECT_EQ(Amount("-1.234.567,8", dmComma), "-123456780");
    EXPECT_EQ(Amount("12,5", dmComma), "1250");
    EXPECT_EQ(Amount("1,500", dmComma), "150");
    EXPECT_EQ(Amount("1,234.56", dmComma), "error: 金额无法识别：“1,234.56”");
    // What needs no other row: a whole part that no group could be, a
    // leading zero, two or four decimals.
    EXPECT_EQ(Amount("1234.500"), "123450");
    EXPECT_EQ(Amount("0.500"), "50");
    EXPECT_EQ(Amount("1.50"), "150");
    EXPECT_EQ(Amount("1,500"), "150000");

    EXPECT_EQ(DecimalMarkOf("12.5"), dmPoint);
    EXPECT_EQ(DecimalMarkOf("1,234.50"), dmPoint);
    EXPECT_EQ(DecimalMarkOf("1,234,567"), dmPoint);
    EXPECT_EQ(DecimalMarkOf("-12,50 元"), dmComma);
    EXPECT_EQ(DecimalMarkOf("1.234,50"), dmComma);
    EXPECT_EQ(DecimalMarkOf("1.234.567"), dmComma);
    for (const char *silent : {"1.500", "1,500", "12", "(123.456)", ""})
        EXPECT_EQ(DecimalMarkOf(silent), dmUnsettled) << silent;
}

TEST(LedgerAmounts, AServersDecimalIsWrittenAsAFileWritesItsDoubleOrWithEveryDigit)
{
    auto written = [](const char *decimal) {
        std::string text;
        return AppendDecimalAmount(text, decimal) ? text : std::string("<none>");
    };
    EXPECT_EQ(written("12.5000"), "12.50");
    EXPECT_EQ(written("0.0000"), "0.00");
    EXPECT_EQ(written("-50.0000"), "-50.00");
    EXPECT_EQ(written("3.3333"), "3.3333");
    EXPECT_EQ(written("-0.0001"), "-0.0001");
    EXPECT_EQ(written("123456789012.3456"), "123456789012.3456");
    EXPECT_EQ(written("200000000000.0000"), "200000000000");
    // No double holds these: the digits are the server's.
    EXPECT_EQ(written("123456789012345.6789"), "123456789012345.6789");
    EXPECT_EQ(written("999999999999999.9900"), "999999999999999.99");
    for (const char *text : {"", "abc", "1e5", "NaN", "1.2.3"})
        EXPECT_EQ(written(text), "<none>") << text;
    // What a server keeps of an amount between two of its decimals: the
    // decimal the amount is written as, rounded half away from zero.
    EXPECT_EQ(ServerAmount(10.0 / 3), 3.3333);
    EXPECT_EQ(ServerAmount(-10.0 / 3), -3.3333);
    EXPECT_EQ(ServerAmount(0.00015), 0.0002) << "the double is below the half; its decimal is not";
    EXPECT_EQ(ServerAmount(-0.00015), -0.0002);
    EXPECT_EQ(ServerAmount(9.99995), 10.0);
    EXPECT_EQ(ServerAmount(12.3456), 12.3456);
    EXPECT_EQ(ServerAmount(123456789012345.67), 123456789012345.67);
}

TEST(LedgerAmounts, EveryFiniteAmountReadsBackToTheSameDouble)
{
    auto written = [](double amount) {
        std::string text;
        return AppendLedgerAmount(text, amount) ? text : std::string("<none>");
    };
    EXPECT_EQ(written(-50), "-50.00");
    EXPECT_EQ(written(0.07), "0.07");
    EXPECT_EQ(written(10.0 / 3), "3.3333333333333335");
    EXPECT_EQ(written(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(written(1e17), "100000000000000000");
    EXPECT_EQ(written(-9.5e16), "-95000000000000000");
    EXPECT_EQ(written(std::numeric_limits<double>::infinity()), "<none>");
    for (const double amount : {0.0, -50.0, 0.07, 10.0 / 3, -10.0 / 3, 0.1 + 0.2, 1234567.89, 99999999999.99,
                                1e11 + 0.01, 9.3e18, -7.125e15, 1e300, -1.7976931348623157e308, 5e-324}) {
        const std::string text = written(amount);
        double back = 0;
        ASSERT_TRUE(ParseLedgerAmount(text, back)) << text;
        EXPECT_EQ(back, amount) << text;
    }
    double unused = 0;
    for (const char *text : {"", "-", "1.", ".5", "+1", "1e5", "1,000", " 1", "inf", "nan", "1.2.3"})
        EXPECT_FALSE(ParseLedgerAmount(text, unused)) << text;

    auto key = [](double amount) {
        std::string text;
        AppendAmountKey(text, amount);
        return text;
    };
    EXPECT_EQ(key(0.1 + 0.2), key(0.30)) << "what a sum of decimals leaves is no other amount";
    EXPECT_EQ(key(-3), "-300");
    EXPECT_NE(key(10.0 / 3), key(3.33));
    EXPECT_NE(key(1e17), key(1e17 + 16));
}

TEST(Amounts, RefuseWhatIsNoAmountWithAReason)
{
    EXPECT_EQ(Amount(""), "error: 没有金额");
    EXPECT_EQ(Amount("12..5"), "error: 金额无法识别：“12..5”");
    EXPECT_EQ(Amount("1,23.00"), "error: 金额无法识别：“1,23.00”");
    EXPECT_EQ(Amount("12,50"), "error: 金额无法识别：“12,50”")
        << "a decimal comma is not a thousands separator";
    EXPECT_EQ(Amount("1234,567"), "error: 金额无法识别：“1234,567”");
    EXPECT_EQ(Amount("abc"), "error: 金额无法识别：“abc”");
    EXPECT_EQ(Amount("--5"), "error: 金额无法识别：“--5”");
    EXPECT_EQ(Amount("(-5)"), "error: 金额无法识别：“(-5)”");
    EXPECT_EQ(Amount("1.2E+03"), "error: 金额无法识别：“1.2E+03”");
    EXPECT_EQ(Amount("12.3456"), "error: 金额的小数超过两位：“12.3456”");
    EXPECT_EQ(Amount("12.345", dmPoint), "error: 金额的小数超过两位：“12.345”");
    EXPECT_EQ(Amount("99999999999999"), "error: 金额太大：“99999999999999”");
    EXPECT_EQ(Amount("-"), "error: 金额无法识别：“-”");
}

std::string Date(const char *text, const QTimeZone &zone = QTimeZone::utc())
{
    QDate date;
    int seconds = 0;
    QString reason;
    if (!ParseDate(text, date, seconds, reason, &zone))
        return "error: " + reason.toStdString();
    return LedgerDateText(date, seconds);
}

TEST(Dates, ReadYearFirstFormsWithOrWithoutATime)
{
    EXPECT_EQ(Date("2024-1-5"), "2024-01-05 00:00:00");
    EXPECT_EQ(Date("2024/01/05"), "2024-01-05 00:00:00");
    EXPECT_EQ(Date("2024.1.05"), "2024-01-05 00:00:00");
    EXPECT_EQ(Date("20240105"), "2024-01-05 00:00:00");
    EXPECT_EQ(Date("2024年1月5日"), "2024-01-05 00:00:00");
    EXPECT_EQ(Date("2024-01-05T08:30:15"), "2024-01-05 08:30:15");
    EXPECT_EQ(Date("2024-01-05 8:30"), "2024-01-05 08:30:00");
    EXPECT_EQ(Date("2024-01-05T08:30:15.250Z"), "2024-01-05 08:30:15");
    EXPECT_EQ(Date(" 2024-02-29 "), "2024-02-29 00:00:00");
}

TEST(Dates, ATimeWithAZoneIsTheMomentAsItWasInTheLocalZone)
{
    // Guards against keeping the wall-clock time of another zone, which can
    // move an entry into another month.
    const QTimeZone beijing("Asia/Shanghai");
    ASSERT_TRUE(beijing.isValid());
    EXPECT_EQ(Date("2026-01-31T23:30:00Z", beijing), "2026-02-01 07:30:00");
    EXPECT_EQ(Date("2026-01-31T23:30:00+08:00", beijing), "2026-01-31 23:30:00");
    EXPECT_EQ(Date("2026-02-01T01:00:00+0800"), "2026-01-31 17:00:00");
    EXPECT_EQ(Date("2026-01-01T00:30:00.5-05:00"), "2026-01-01 05:30:00");
    EXPECT_EQ(Date("2026-01-31T23:30:00", beijing), "2026-01-31 23:30:00") << "no zone: kept as written";
    EXPECT_EQ(Date("2026-01-31 23:30", beijing), "2026-01-31 23:30:00");
    EXPECT_EQ(Date("2026-01-31T23:30:00+25:00"), "error: 日期无法识别：“2026-01-31T23:30:00+25:00”");
}

TEST(Dates, RefuseImpossibleAndMalformedDates)
{
    EXPECT_EQ(Date("2024-2-30"), "error: 日期不存在：“2024-2-30”");
    EXPECT_EQ(Date("2023-02-29"), "error: 日期不存在：“2023-02-29”");
    EXPECT_EQ(Date("2024-13-01"), "error: 日期不存在：“2024-13-01”");
    EXPECT_EQ(Date("20241301"), "error: 日期不存在：“20241301”");
    EXPECT_EQ(Date("2024-01-05 25:00"), "error: 时间不存在：“2024-01-05 25:00”");
    EXPECT_EQ(Date("2024-01/05"), "error: 日期无法识别：“2024-01/05”");
    EXPECT_EQ(Date("24-1-5"), "error: 日期无法识别：“24-1-5”");
    EXPECT_EQ(Date("2024-01-05x"), "error: 日期无法识别：“2024-01-05x”");
    EXPECT_EQ(Date("202401051"), "error: 日期无法识别：“202401051”");
    EXPECT_EQ(Date(""), "error: 没有日期");
}

std::string QifDate(const char *text, TDayMonthOrder order = dmMonthFirst)
{
    QDate date;
    int seconds = 0;
    QString reason;
    if (!ParseNumericDate(text, order, date, seconds, reason))
        return "error: " + reason.toStdString();
    return date.toString(Qt::ISODate).toStdString();
}

TEST(Dates, ReadQifFormsInEitherOrder)
{
    EXPECT_EQ(QifDate("1/31/2024"), "2024-01-31");
    EXPECT_EQ(QifDate("1/31'24"), "2024-01-31");
    EXPECT_EQ(QifDate(" 1/ 5' 4"), "2004-01-05");
    EXPECT_EQ(QifDate("12/25/98"), "1998-12-25");
    EXPECT_EQ(QifDate("01-31-24"), "2024-01-31");
    EXPECT_EQ(QifDate("2024-01-31"), "2024-01-31");
    EXPECT_EQ(QifDate("31.01.2024", dmDayFirst), "2024-01-31");
    EXPECT_EQ(QifDate("3/4/2024", dmDayFirst), "2024-04-03");
    EXPECT_EQ(QifDate("31/1/2024"), "error: 日期不存在：“31/1/2024”");
    EXPECT_EQ(QifDate("1/2"), "error: 日期无法识别：“1/2”");
    EXPECT_EQ(NumericDateOrders("3/4/2024"), 3);
    EXPECT_EQ(NumericDateOrders("31/1/2024"), 2);
    EXPECT_EQ(NumericDateOrders("1/31/2024"), 1);
    EXPECT_EQ(NumericDateOrders("x"), 0);
}

TEST(TypeWords, NameIncomeOrExpenseInChineseAndEnglish)
{
    auto kind = [](const char *word) {
        TEntryKind k = ekIncome;
        return ParseKindWord(word, k) ? (k == ekIncome ? "income" : "expense") : "unknown";
    };
    for (const char *word : {"收入", "进帐", "进账", "Income", " CREDIT ", "收"})
        EXPECT_STREQ(kind(word), "income") << word;
    for (const char *word : {"支出", "消费", "expense", "Debit", "支"})
        EXPECT_STREQ(kind(word), "expense") << word;
    for (const char *word : {"", "不计收支", "transfer", "收入支出"})
        EXPECT_STREQ(kind(word), "unknown") << word;
}

TEST(Encodings, DetectUtf8Gb18030AndUtf16AndRefuseNonText)
{
    bool bom = false;
    EXPECT_EQ(DetectEncoding("a,b\n", bom), teUtf8);
    EXPECT_FALSE(bom);
    EXPECT_EQ(DetectEncoding("\xEF\xBB\xBF金额\n", bom), teUtf8);
    EXPECT_TRUE(bom);
    QStringEncoder gb("GB18030");
    const QByteArray gbText = gb.encode(QStringLiteral("金额,日期\n12,2024-1-1\n"));
    EXPECT_EQ(DetectEncoding(gbText, bom), teGb18030);
    EXPECT_EQ(QString::fromUtf8(DecodeToUtf8(gbText, teGb18030)), QStringLiteral("金额,日期\n12,2024-1-1\n"));
    QByteArray utf16("\xFF\xFE", 2);
    const QString text = QStringLiteral("金额\n");
    utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    EXPECT_EQ(DetectEncoding(utf16, bom), teUtf16);
    EXPECT_EQ(DecodeToUtf8(utf16, teUtf16), QByteArray("金额\n"));

    auto failure = [](const QByteArray &bytes) {
        bool b = false;
        try {
            DetectEncoding(bytes, b);
        } catch (const EImportError &e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(failure(QByteArray("a,b\nc\0d", 7)), "第2行：文件不是文本（含有 NUL 字节）");
    EXPECT_EQ(failure("ok\nok\n\x80\x80\xFF\n"), "第3行：无法识别的编码：文本既不是 UTF-8 也不是 GB18030");
    EXPECT_EQ(failure(QByteArray(200, '\x01')), "文件不是文本（含有许多控制字符）");
    EXPECT_THROW(DecodeToUtf8("\xC3\x28", teUtf8), EImportError);
    EXPECT_THROW(DecodeToUtf8(QByteArray("\xFF\xFE\x41", 3), teUtf16), EImportError);
}

} // namespace
} // namespace kestrum::exchange

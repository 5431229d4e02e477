// Telling GBK from UTF-8 when the bytes are valid in both.
#include "exchange/TextEncoding.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

namespace kestrum::exchange {
namespace {

QByteArray Gbk(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

bool ValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    (void)decoder.decode(bytes);
    return !decoder.hasError();
}

std::string Guessed(const QByteArray &bytes)
{
    return EncodingName(GuessEncoding(bytes).Encoding).toStdString();
}

// Household words whose GBK bytes are also valid UTF-8 (医药 would read "ҽҩ").
const char *const GbkWordsThatAreUtf8[] = {"医药", "鞋", "药", "医院", "虾", "鸭",       "药品",
                                           "税",   "陆", "卤", "录",   "楼", "医院 药品"};
// Words of the same kind, in UTF-8 or Latin text.
const char *const LedgerWords[] = {"工资",   "超市",   "午饭",  "房租", "水电费",    "红包",   "淘宝",
                                   "支付宝", "微信",   "话费",  "衣服", "交通",      "利息",   "奖金",
                                   "退款",   "医药",   "鞋",    "医院", "药品",      "楼",     "café",
                                   "Müller", "¥12.50", "naïve", "Zoë",  "北京·朝阳", "“年货”", "（退）"};

// Regression: a short GBK file was read as UTF-8 because its bytes were valid UTF-8.
TEST(EncodingGuess, ShortGbkWordsThatAreValidUtf8AreReadAsGb18030)
{
    for (const char *word : GbkWordsThatAreUtf8) {
        const QString text = QString::fromUtf8(word);
        for (const QString &file :
             {text + QLatin1Char('\n'), QStringLiteral("-12.50,2024-01-02,%1\n").arg(text),
              QStringLiteral("D1/2/2024\nT-5\nP%1\n^\n").arg(text)}) {
            const QByteArray bytes = Gbk(file);
            ASSERT_TRUE(ValidUtf8(bytes)) << word << ": the case must be valid UTF-8 to test anything";
            EXPECT_EQ(Guessed(bytes), "GB18030") << word;
        }
    }
}

TEST(EncodingGuess, Utf8WordsStayUtf8WhenTheyAreValidGb18030Too)
{
    for (const char *word : LedgerWords) {
        const QByteArray line = QByteArray("-12.50,2024-01-02,") + word + "\n";
        EXPECT_EQ(Guessed(QByteArray(word) + "\n"), "UTF-8") << word;
        EXPECT_EQ(Guessed(line), "UTF-8") << word;
    }
    // Every two neighbouring everyday hanzi, and every two rarer ones, as a word.
    QStringDecoder gb("GB18030");
    int both = 0;
    for (int lead = 0xB0; lead <= 0xF7; ++lead) {
        if (lead == 0xD7) // a row with empty places at its end
            continue;
        for (int trail = 0xA1; trail < 0xFE; ++trail) {
            const char pair[] = {char(lead), char(trail), char(lead), char(trail + 1)};
            const QString word = gb.decode(QByteArray(pair, 4));
            const QByteArray bytes = word.toUtf8() + '\n';
            if (GuessEncoding(bytes).Basis == ebPlausibility)
                ++both;
            EXPECT_EQ(Guessed(bytes), "UTF-8") << word.toStdString();
        }
    }
    EXPECT_GT(both, 100) << "enough of these must be valid GB18030 too for the case to mean something";
}

TEST(EncodingGuess, SaysOnWhatGroundsAndShowsBothReadings)
{
    const TEncodingGuess gbk = GuessEncoding(Gbk(QStringLiteral("5,医药\n6,鞋\n7,a\n8,药品\n")));
    EXPECT_EQ(gbk.Encoding, teGb18030);
    EXPECT_EQ(gbk.Basis, ebPlausibility);
    EXPECT_EQ(gbk.Other, teUtf8);
    EXPECT_EQ(gbk.Sample.toStdString(), "医药 / 鞋 / 药品");
    EXPECT_EQ(gbk.OtherSample.toStdString(), "ҽҩ / Ь / ҩƷ");

    const TEncodingGuess ascii = GuessEncoding("a,b\n1,2\n");
    EXPECT_EQ(ascii.Encoding, teUtf8);
    EXPECT_EQ(ascii.Basis, ebOnlyReading);
    EXPECT_EQ(GuessEncoding(Gbk(QStringLiteral("金额,日期\n"))).Basis, ebOnlyReading);
    const TEncodingGuess utf8 = GuessEncoding(QByteArray("金额,日期\n"));
    EXPECT_EQ(utf8.Basis, ebPlausibility) << "valid GB18030 too";
    EXPECT_EQ(utf8.Encoding, teUtf8);
    EXPECT_EQ(utf8.Sample.toStdString(), "金额 / 日期");
    const TEncodingGuess bom = GuessEncoding("\xEF\xBB\xBF\xD2\xBD");
    EXPECT_EQ(bom.Basis, ebByteOrderMark);
    EXPECT_EQ(bom.Encoding, teUtf8);
}

TEST(EncodingGuess, JudgementRanksCommonHanziBelowLettersOfOtherScripts)
{
    const auto cost = [](const char *text) { return JudgeText(QString::fromUtf8(text)).Cost; };
    const auto strange = [](const char *text) { return JudgeText(QString::fromUtf8(text)).Strange; };
    EXPECT_EQ(cost("12.50,2024-01-02,工资，“奖金”"), 0);
    EXPECT_EQ(strange("禺丿 café ¥12"), 0) << "rare hanzi and Latin words are no strangers";
    EXPECT_EQ(strange("ҽҩ Ь ½ \xEE\x80\x80"), 5);
    EXPECT_GT(cost("ҽҩ"), cost("医药"));
    EXPECT_GT(cost("ҽԺ"), cost("医院"));
    EXPECT_GT(cost("Ь"), cost("鞋"));
    EXPECT_LT(cost("café"), cost("caf漏"));
}

} // namespace
} // namespace kestrum::exchange

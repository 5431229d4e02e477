#include "core/RegionalSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrum;

TEST(RegionalSettings, SimplifiedChineseProfile)
{
    const RegionalSettings s = RegionalSettings::simplifiedChinese();
    EXPECT_EQ(s.shortDateFormat, "yyyy-M-d");
    EXPECT_EQ(s.dateSeparator, '-');
    EXPECT_EQ(s.longTimeFormat, "H:mm:ss");
    EXPECT_EQ(s.decimalSeparator, '.');
    EXPECT_EQ(s.thousandSeparator, ',');
    EXPECT_EQ(s.currencySymbol, QString::fromUtf8("￥"));
    EXPECT_EQ(s.currencyFormat, 0);
    EXPECT_EQ(s.currencyDecimals, 2);
    EXPECT_EQ(s.firstDayOfWeek, 1);
    EXPECT_EQ(s.longMonthNames.join(' '),
              QString::fromUtf8("一月 二月 三月 四月 五月 六月 七月 八月 九月 十月 十一月 十二月"));
    EXPECT_EQ(s.longDayNames.join(' '),
              QString::fromUtf8("星期日 星期一 星期二 星期三 星期四 星期五 星期六"));
    EXPECT_EQ(s.shortDayNames.size(), 7);
    EXPECT_EQ(s.shortMonthNames.size(), 12);
}

TEST(RegionalSettings, SystemLocaleGivesACompleteProfile)
{
    const RegionalSettings s = RegionalSettings::fromSystemLocale();
    EXPECT_EQ(s.longMonthNames.size(), 12);
    EXPECT_EQ(s.longDayNames.size(), 7);
    EXPECT_TRUE(s.shortDateFormat.contains('y') && s.shortDateFormat.contains('M') &&
                s.shortDateFormat.contains('d'));
}

TEST(RegionalSettings, UpperCaseAndPinyinCollation)
{
    const RegionalSettings s = RegionalSettings::simplifiedChinese();
    EXPECT_EQ(s.upper(QString::fromUtf8("abc工资é")), QString::fromUtf8("ABC工资É"));
    EXPECT_LT(s.collate(QString::fromUtf8("啊"), QString::fromUtf8("工资"), false), 0);   // a before gong
    EXPECT_LT(s.collate(QString::fromUtf8("工资"), QString::fromUtf8("资金"), false), 0); // gong before zi
    EXPECT_EQ(s.collate("abc", "ABC", true), 0);
    EXPECT_NE(s.collate("abc", "ABC", false), 0);
    EXPECT_LT(s.collate("a", "B", false), 0);
}

TEST(RegionalSettings, CollationKeysOrderAsCollate)
{
    const RegionalSettings s = RegionalSettings::simplifiedChinese();
    const QStringList texts = {QString(),
                               QString::fromUtf8("工资"),
                               QString::fromUtf8("啊"),
                               "abc",
                               "ABC",
                               "Abc",
                               "a",
                               "B",
                               "10.5",
                               "9.25",
                               "-3",
                               "-3.5",
                               "1,000.00",
                               QString::fromUtf8("资金"),
                               QString::fromUtf8("工"),
                               QString::fromUtf8("工资 "),
                               QString::fromUtf8("ａｂｃ"),
                               "a b",
                               "ab",
                               QString::fromUtf8("é"),
                               QString::fromUtf8("e\u0301"),
                               QString::fromUtf8("\u200b"),
                               QString::fromUtf8("行"),
                               QString::fromUtf8("银行"),
                               QString::fromUtf8("〇"),
                               QString::fromUtf8("￥12.00"),
                               QString::fromUtf8("2024-7-1"),
                               "_x",
                               "(x)"};
    for (bool caseInsensitive : {false, true}) {
        std::vector<std::string> keys;
        for (const QString &text : texts) {
            std::string key = "old";
            const std::size_t length = s.appendCollationKey(text, caseInsensitive, key);
            EXPECT_EQ(key.substr(0, 3), "old"); // appended, nothing else touched
            EXPECT_EQ(length, key.size() - 3);
            keys.push_back(key.substr(3));
        }
        for (int a = 0; a < texts.size(); ++a)
            for (int b = 0; b < texts.size(); ++b) {
                const int byKeys = keys[std::size_t(a)].compare(keys[std::size_t(b)]);
                EXPECT_EQ((byKeys > 0) - (byKeys < 0), s.collate(texts[a], texts[b], caseInsensitive))
                    << texts[a].toStdString() << " / " << texts[b].toStdString() << " case-insensitive "
                    << caseInsensitive;
            }
    }
}

TEST(RegionalSettings, ListenersHearEveryChangeUntilRemoved)
{
    std::string heard;
    int first =
        addRegionalSettingsListener([&] { heard += "1" + regionalSettings().currencySymbol.toStdString(); });
    int second = -1;
    second = addRegionalSettingsListener([&] {
        heard += "2";
        removeRegionalSettingsListener(second); // a listener may leave while being told
    });
    RegionalSettings changed = RegionalSettings::simplifiedChinese();
    changed.currencySymbol = "$";
    setRegionalSettings(changed);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    removeRegionalSettingsListener(first);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    EXPECT_EQ(heard, "1$21￥");
}

// Money texts and currency patterns over the simplified-Chinese profile and
// the placements other profiles use.
#include "core/MoneyFormat.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestrum {
namespace {

RegionalSettings chinese()
{
    return RegionalSettings::simplifiedChinese();
}

//! The Chinese profile with another placement, symbol or decimals.
RegionalSettings chineseWith(int currencyFormat, int negativeFormat, const char *symbol = "￥",
                             int decimals = 2)
{
    RegionalSettings settings = chinese();
    settings.currencyFormat = currencyFormat;
    settings.negativeCurrencyFormat = negativeFormat;
    settings.currencySymbol = utf8(symbol);
    settings.currencyDecimals = decimals;
    return settings;
}

TEST(MoneyFormat, FloatingAmountsReadAsTheChineseProfileWritesMoney)
{
    const RegionalSettings settings = chinese();
    const std::pair<double, const char *> cases[] = {
        {0, "￥0.00"},
        {1234.5, "￥1,234.50"},
        {-3, "￥-3.00"},
        {-1234567.891, "￥-1,234,567.89"},
        {0.05, "￥0.05"},
        {999.995, "￥1,000.00"},
        {-999.995, "￥-1,000.00"},
        {123456789012.34, "￥123,456,789,012.34"},
        {1e20, "￥100,000,000,000,000,000,000.00"},
        {0.0001, "￥0.00"},
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(formatMoney(value, settings), utf8(text)) << value;
}

// Guards against a field's money text rounding by the double's binary value
// (1.005 as "1.00", 2.675 as "2.67") while the footer shows "1.01" and "2.68".
TEST(MoneyFormat, RoundsHalfAwayFromZeroOnTheDecimalAmount)
{
    const RegionalSettings settings = chinese();
    EXPECT_EQ(formatMoney(1.005, settings), utf8("￥1.01"));
    EXPECT_EQ(formatMoney(2.675, settings), utf8("￥2.68"));
    EXPECT_EQ(formatMoney(10.125, settings), utf8("￥10.13"));
    EXPECT_EQ(formatMoney(-10.125, settings), utf8("￥-10.13"));
    EXPECT_EQ(formatMoney(316.78999999999996, settings), utf8("￥316.79"));
}

// Guards against "￥-0.00" for a small negative amount that rounds to zero.
TEST(MoneyFormat, AnAmountThatRoundsToZeroHasNoSign)
{
    EXPECT_EQ(formatMoney(-0.001, chinese()), utf8("￥0.00"));
    EXPECT_EQ(formatMoney(-0.0, chinese()), utf8("￥0.00"));
    EXPECT_EQ(formatMoney(-0.4, chineseWith(0, 2, "￥", 0)), utf8("￥0"));
}

TEST(MoneyFormat, SymbolAndSignArePlacedByTheCurrencyFormats)
{
    const struct {
        int format;
        int negativeFormat;
        const char *positive;
        const char *negative;
    } cases[] = {
        {0, 2, "￥1,234.50", "￥-1,234.50"},  {1, 2, "1,234.50￥", "￥-1,234.50"},
        {2, 2, "￥ 1,234.50", "￥-1,234.50"}, {3, 2, "1,234.50 ￥", "￥-1,234.50"},
        {0, 1, "￥1,234.50", "-￥1,234.50"},  {3, 8, "1,234.50 ￥", "-1,234.50 ￥"},
    };
    for (const auto &c : cases) {
        const RegionalSettings settings = chineseWith(c.format, c.negativeFormat);
        EXPECT_EQ(formatMoney(1234.5, settings), utf8(c.positive)) << c.format;
        EXPECT_EQ(formatMoney(-1234.5, settings), utf8(c.negative)) << c.format;
        EXPECT_EQ(formatMoneyUnits(123450, 2, settings), utf8(c.positive)) << c.format;
        EXPECT_EQ(formatMoneyUnits(-123450, 2, settings), utf8(c.negative)) << c.format;
    }
}

TEST(MoneyFormat, ExactUnitsKeepEveryDigitOfAnySize)
{
    const RegionalSettings settings = chinese();
    EXPECT_EQ(formatMoneyUnits(5, 2, settings), utf8("￥0.05"));
    EXPECT_EQ(formatMoneyUnits(123456789, 2, settings), utf8("￥1,234,567.89"));
    EXPECT_EQ(formatMoneyUnits(std::numeric_limits<std::int64_t>::min(), 2, settings),
              utf8("￥-92,233,720,368,547,758.08"));
    EXPECT_EQ(formatMoneyUnits(std::numeric_limits<std::int64_t>::max(), 4, settings),
              utf8("￥922,337,203,685,477.5807"));
    EXPECT_EQ(formatMoneyUnits(1234, 0, settings), utf8("￥1,234"));
    RegionalSettings german = chineseWith(3, 8, "€");
    german.decimalSeparator = ',';
    german.thousandSeparator = '.';
    EXPECT_EQ(formatMoneyUnits(-123456, 2, german), utf8("-1.234,56 €"));
    EXPECT_EQ(formatMoney(-1234.56, german), utf8("-1.234,56 €"));
}

TEST(MoneyFormat, PatternsQuoteSeparatorsInTheSymbolAndFollowThePlacement)
{
    EXPECT_EQ(currencyPattern(chinese()), utf8("￥,0.00"));
    EXPECT_EQ(currencyDisplayFormat(chinese()), utf8("￥,0.00;-￥,0.00"));
    EXPECT_EQ(currencyPattern(chineseWith(1, 2)), utf8(",0.00￥"));
    EXPECT_EQ(currencyPattern(chineseWith(2, 2)), utf8("￥ ,0.00"));
    EXPECT_EQ(currencyPattern(chineseWith(3, 2, "kr.", 0)), utf8(",0. kr'.'"));
    EXPECT_EQ(currencyDisplayFormat(chineseWith(0, 2, "R,$", 3)), utf8("R','$,0.000;-R','$,0.000"));
    EXPECT_EQ(quotedCurrencySymbol(chineseWith(0, 2, "a.b,")), utf8("a'.'b','"));
}

} // namespace
} // namespace kestrum

#include "data/NumberFormat.h"

#include "core/RegionalSettings.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

struct Case {
    const char *pattern;
    double value;
    const char *expected;
};

TEST(NumberFormat, SectionsDigitsThousandsAndQuotes)
{
    const Case cases[] = {
        {"0.00", 1234.5, "1234.50"},
        {"0.00;-0.00", -1234.5, "-1234.50"},
        {"0.00", -3, "-3.00"},         // no negative section: the sign comes first
        {"SUM=0.00", -3, "SUM=-3.00"}, // ... right before the digits
        {"SUM=0.00;SUM=-0.00", 1234.5, "SUM=1234.50"},
        {"SUM=0.00;SUM=-0.00", -0.5, "SUM=-0.50"},
        {"0.00;(0.00);'zero'", 0, "zero"},
        {"0.00;(0.00)", -2, "(2.00)"},
        {"0.00;-0.00", -0.001, "0.00"}, // rounds to zero: no "-0.00"
        {",0.00", 1234567.891, "1,234,567.89"},
        {"#,##0", 999, "999"},
        {"#,##0", 1000, "1,000"},
        {"#.##", 0.5, ".5"},
        {"0.##", 2, "2"},
        {"0.##", 2.1, "2.1"},
        {"000", 7, "007"},
        {"0.00", 1.005, "1.01"}, // half away from zero on the decimal form
        {"0.00", 0.125, "0.13"},
        {"0", 99.5, "100"},
        {"\"#\"0", 5, "#5"},
        {"'a,b.'0.0", 1, "a,b.1.0"},
        {"COUNT=0", 12, "COUNT=12"},
        {",0.", 1234, "1,234"}, // a point without decimals prints nothing
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatNumber(c.pattern, c.value).toStdString(), c.expected) << c.pattern << " " << c.value;
}

TEST(NumberFormat, CurrencyPatternFollowsPlacementAndQuotesSeparators)
{
    RegionalSettings settings = RegionalSettings::simplifiedChinese();
    EXPECT_EQ(CurrencyPattern(), QString::fromUtf8("￥,0.00"));
    settings.currencySymbol = "kr.";
    settings.currencyFormat = 3;
    settings.currencyDecimals = 0;
    setRegionalSettings(settings);
    EXPECT_EQ(CurrencyPattern(), QString("0. kr'.'").prepend(','));
    EXPECT_EQ(FormatNumber(CurrencyPattern(), 1234), QString("1,234 kr."));
    setRegionalSettings(RegionalSettings::simplifiedChinese());
}

TEST(NumberFormat, DefaultFormatTable)
{
    EXPECT_EQ(GetDefaultFormat(VarType::Float64, skSum, false), "SUM=0.00;SUM=-0.00");
    EXPECT_EQ(GetDefaultFormat(VarType::Float64, skSum, true), "0.00;-0.00");
    EXPECT_EQ(GetDefaultFormat(VarType::Float64, skMin, true), "MIN=0.00;MIN=-0.00");
    EXPECT_EQ(GetDefaultFormat(VarType::Currency, skSum, true), QString::fromUtf8("￥,0.00;-￥,0.00"));
    EXPECT_EQ(GetDefaultFormat(VarType::Currency, skAverage, false),
              QString::fromUtf8("AVG=￥,0.00;AVG=-￥,0.00"));
    EXPECT_EQ(GetDefaultFormat(VarType::Date, skSum, true), "");
    EXPECT_EQ(GetDefaultFormat(VarType::Date, skMax, true), "MAX=");
    EXPECT_EQ(GetDefaultFormat(VarType::Int32, skCount, false), "COUNT=0");
    EXPECT_EQ(GetDefaultFormat(VarType::Int32, skCount, true), "0");
    EXPECT_EQ(GetDefaultFormat(VarType::Float64, skNone, true), "");
    // A negative currency sum in the footer: "-" then the symbol and digits.
    EXPECT_EQ(FormatNumber(GetDefaultFormat(VarType::Currency, skSum, true), -1234.5),
              QString::fromUtf8("-￥1,234.50"));
}

} // namespace

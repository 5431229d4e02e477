#include "core/NumberText.h"
#include "core/Errors.h"
#include "core/RegionalSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrum;

namespace {

std::string parsedFloat(const char *utf8)
{
    double value = 0;
    if (!TryTextToFloat(QString::fromUtf8(utf8), value))
        return "no number";
    return FloatToText(value).toStdString();
}

std::string parsedCurrency(const char *utf8)
{
    Currency value;
    if (!TryTextToCurrency(QString::fromUtf8(utf8), value))
        return "no number";
    return std::to_string(value.scaled);
}

} // namespace

TEST(NumberText, ShortestRoundTripGeneralForm)
{
    struct Row {
        double value;
        const char *expected;
    } rows[] = {
        {0.0, "0"},
        {1234.5, "1234.5"},
        {0.1, "0.1"},
        {-0.25, "-0.25"},
        {100, "100"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {-1.5e-7, "-1.5E-7"},
        {123456789012345, "123456789012345"},
        {1e15, "1E15"},
        {1.25e20, "1.25E20"},
        {0.1 + 0.2, "0.30000000000000004"},
        {std::numeric_limits<double>::max(), "1.7976931348623157E308"},
        {std::numeric_limits<double>::denorm_min(), "5E-324"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::nan(""), "NAN"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(FloatToText(row.value).toStdString(), row.expected);
    EXPECT_EQ(Float32ToText(0.1f), "0.1");
    EXPECT_EQ(Float32ToText(16777216.0f), "16777216");
}

// Guards against amounts shown with their binary remainder ("316.78999999999996").
TEST(NumberText, FifteenSignificantDigitsHideBinaryRemainders)
{
    struct Row {
        double value;
        const char *expected;
    } rows[] = {
        {31676 / 100.0 + 0.03, "316.79"},
        {0.1 + 0.2, "0.3"},
        {10.0 / 3, "3.33333333333333"},
        {-1234.5, "-1234.5"},
        {123456789012345, "123456789012345"},
        {1e15, "1E15"},
        {0.00001, "1E-5"},
        {0.0, "0"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(FloatToText(row.value, 15).toStdString(), row.expected);
}

TEST(NumberText, ParsesWhatUsersType)
{
    struct Row {
        const char *text;
        const char *expected;
    } rows[] = {
        {"1234.5", "1234.5"},   {" 1,234.5 ", "1234.5"}, {"-7", "-7"},           {"+7", "7"},
        {"￥12.5", "12.5"},     {"-￥3", "-3"},          {"￥-3", "-3"},         {"12.5￥", "12.5"},
        {"1e3", "1000"},        {"1.5E-2", "0.015"},     {".5", "0.5"},          {"5.", "5"},
        {"1e-400", "0"},        {"1e400", "no number"},  {"1.2.3", "no number"}, {"abc", "no number"},
        {"", "no number"},      {",5", "no number"},     {"1e", "no number"},    {"- ", "no number"},
        {"12abc", "no number"}, {"--1", "no number"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(parsedFloat(row.text), row.expected) << row.text;
    std::int64_t integer = 0;
    EXPECT_TRUE(TryTextToInt64(" -9223372036854775808 ", integer));
    EXPECT_EQ(integer, std::numeric_limits<std::int64_t>::min());
    EXPECT_FALSE(TryTextToInt64("9223372036854775808", integer));
    EXPECT_FALSE(TryTextToInt64("1.5", integer));
}

TEST(NumberText, CurrencyIsExactToFourPlaces)
{
    EXPECT_EQ(parsedCurrency("12.5"), "125000");
    EXPECT_EQ(parsedCurrency("0.00015"), "2");
    EXPECT_EQ(parsedCurrency("-0.00015"), "-2");
    EXPECT_EQ(parsedCurrency("0.00014999"), "1");
    EXPECT_EQ(parsedCurrency("0.000049"), "0");
    EXPECT_EQ(parsedCurrency("1.5e2"), "1500000");
    EXPECT_EQ(parsedCurrency("922337203685477.5807"), "9223372036854775807");
    EXPECT_EQ(parsedCurrency("-922337203685477.5808"), "-9223372036854775808");
    EXPECT_EQ(parsedCurrency("922337203685477.5808"), "no number");
    EXPECT_EQ(parsedCurrency("1e300"), "no number");
    EXPECT_EQ(parsedCurrency("0.000"), "0");

    EXPECT_EQ(Currency::fromDouble(0.00015).scaled, 2); // the decimal the user sees, not the binary below it
    EXPECT_EQ(Currency::fromDouble(1.00001).scaled, 10000);
    EXPECT_EQ(Currency::fromDouble(-2.5).scaled, -25000);
    EXPECT_EQ(Currency::fromDouble(-0.0).scaled, 0);
    EXPECT_THROW(Currency::fromDouble(1e15), EVariantConversionError);
    EXPECT_THROW(Currency::fromDouble(std::nan("")), EVariantConversionError);

    EXPECT_EQ(CurrencyToText(Currency{125000}), "12.5");
    EXPECT_EQ(CurrencyToText(Currency{-1}), "-0.0001");
    EXPECT_EQ(CurrencyToText(Currency{std::numeric_limits<std::int64_t>::min()}), "-922337203685477.5808");
}

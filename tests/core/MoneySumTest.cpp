#include "core/MoneySum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

using namespace kestrum;

// Guards against money totals that add doubles and come out cents away from the decimal sum.
TEST(MoneySum, BillionAndMillionThreeCentAmountsAddUpToTheCent)
{
    TMoneySum sum;
    sum.Add(1000000000.00);
    double naive = 1000000000.00;
    for (int i = 0; i < 999999; ++i) {
        sum.Add(0.03);
        naive += 0.03;
    }
    EXPECT_EQ(sum.Value(), 1000029999.97);
    EXPECT_NE(naive, 1000029999.97); // what plain addition gives
    std::int64_t units = 0;
    ASSERT_TRUE(sum.TryUnits(units));
    EXPECT_EQ(units, 10000299999700);
}

TEST(MoneySum, SubtractingWhatWasAddedLeavesNoDrift)
{
    TMoneySum sum;
    sum.Add(10.125);
    for (int i = 0; i < 100000; ++i) {
        sum.Add(0.1);
        sum.Add(0.0007);
        sum.Subtract(0.1);
        sum.Subtract(0.0007);
    }
    EXPECT_EQ(sum.Value(), 10.125);
    sum.Subtract(10.125);
    EXPECT_EQ(sum.Value(), 0.0);
    EXPECT_FALSE(sum.HasRemainder());
}

TEST(MoneySum, AmountsWithMoreDecimalsAreCompensated)
{
    TMoneySum sum;
    sum.Add(1e9);
    for (int i = 0; i < 1000000; ++i)
        sum.Add(0.00001); // five decimals: no exact unit
    EXPECT_TRUE(sum.HasRemainder());
    EXPECT_NEAR(sum.Value(), 1000000010.0, 1e-6);
    std::int64_t units = 0;
    ASSERT_TRUE(sum.TryUnits(units));
    EXPECT_EQ(units, 10000000100000);
}

TEST(MoneySum, NegativeHugeAndCombinedTotals)
{
    TMoneySum a, b;
    a.Add(-0.03);
    a.Add(-1234.5678);
    b.Add(1e300); // far beyond any unit count
    b.Add(-1e300);
    b.Add(0.01);
    a.Add(b);
    EXPECT_EQ(a.Value(), -1234.5878);

    TMoneySum overflowing; // 2^63 units and beyond spill into the remainder
    for (int i = 0; i < 5000; ++i)
        overflowing.Add(2e11);
    EXPECT_TRUE(overflowing.HasRemainder());
    EXPECT_EQ(overflowing.Value(), 1e15);
}

// Exact units are what a typed or imported amount of up to four decimals
// reads as (sorts and sums count by them); a sum that rounded, more
// decimals, amounts past 2^51 units, Infinity and NaN are not.
TEST(MoneySum, ExactUnitsAreTheDoublesOfFourDecimals)
{
    std::int64_t units = 0;
    EXPECT_TRUE(TMoneySum::ExactUnits(0.29, units));
    EXPECT_EQ(units, 2900);
    EXPECT_TRUE(TMoneySum::ExactUnits(-1234.56, units));
    EXPECT_EQ(units, -12345600);
    EXPECT_TRUE(TMoneySum::ExactUnits(-0.0, units));
    EXPECT_EQ(units, 0);
    EXPECT_TRUE(TMoneySum::ExactUnits(std::strtod("99999999999.9999", nullptr), units));
    EXPECT_EQ(units, 999999999999999);
    EXPECT_TRUE(TMoneySum::ExactUnits(0.125, units));
    EXPECT_EQ(units, 1250);
    EXPECT_FALSE(TMoneySum::ExactUnits(1.1 + 2.2, units)); // 3.3000000000000003
    EXPECT_FALSE(TMoneySum::ExactUnits(0.00001, units));
    EXPECT_FALSE(TMoneySum::ExactUnits(1e12, units));
    EXPECT_FALSE(TMoneySum::ExactUnits(std::numeric_limits<double>::infinity(), units));
    EXPECT_FALSE(TMoneySum::ExactUnits(std::numeric_limits<double>::quiet_NaN(), units));
}

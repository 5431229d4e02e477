// The amount axis's ticks: round whole numbers covering the amounts, no more
// ticks than there is room for.
#include "app/AmountAxis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrum {
namespace {

bool IsRound(double step)
{
    const double decade = std::pow(10.0, std::floor(std::log10(step)));
    const double mantissa = step / decade;
    for (const double round : {1.0, 2.0, 2.5, 5.0})
        if (std::abs(mantissa - round) < 1e-9)
            return true;
    return false;
}

TEST(AmountAxis, EveryTickIsARoundWholeAmountAndTheAmountsFit)
{
    // Guards the year chart's axis reading 133333333 between 0 and 4e8: the
    // range was cut into as many parts as there was room for, round or not.
    struct Case {
        double low, high;
        int most;
    } const cases[] = {{0, 400000000, 4},    {0, 2256159168.03, 5}, {-12.5, 3.2, 5},  {0, 100, 5},
                       {-250000, 980000, 3}, {0, 0.4, 5},           {5, 5, 5},        {0, 7, 2},
                       {-1e9, -2e8, 5},      {0, 191062848.70, 4},  {0, 99999.99, 5}, {3, 1, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << " .. " << c.high << " in " << c.most);
        const TAmountAxisTicks ticks = NiceAmountTicks(c.low, c.high, c.most);
        ASSERT_GE(ticks.Count, 2);
        EXPECT_LE(ticks.Count, c.most);
        EXPECT_LE(ticks.Low, std::min(c.low, c.high));
        EXPECT_GE(ticks.High, std::max(c.low, c.high));
        const double step = (ticks.High - ticks.Low) / (ticks.Count - 1);
        EXPECT_GE(step, 1);
        EXPECT_EQ(step, std::floor(step));
        EXPECT_TRUE(IsRound(step)) << step;
        EXPECT_EQ(std::fmod(ticks.Low, step), 0) << ticks.Low;
    }
}

TEST(AmountAxis, TheRangeGrowsNoMoreThanOneStepAtEachEnd)
{
    const TAmountAxisTicks year = NiceAmountTicks(0, 400000000, 4);
    EXPECT_EQ(year, (TAmountAxisTicks{0, 400000000, 3}));
    const TAmountAxisTicks month = NiceAmountTicks(-12.5, 3.2, 5);
    EXPECT_EQ(month, (TAmountAxisTicks{-15, 5, 5}));
    EXPECT_EQ(NiceAmountTicks(0, 100, 5), (TAmountAxisTicks{0, 100, 5}));
}

} // namespace
} // namespace kestrum

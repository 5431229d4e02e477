// The twelve date ranges at week, month and year boundaries, on a leap day,
// with Monday and with Sunday as the first day of the week, and the moment
// they are computed.
#include "FilterFixture.h"

#include "filter/FilterDateRanges.h"

namespace kestrum::testing_filter {
namespace {

std::string RangeText(TkvFilterOperatorCode code, double today, int firstDayOfWeek)
{
    const TkvFilterDateRange range = FilterDateRange(code, today, firstDayOfWeek);
    return DateToText(range.Start).toStdString() + ".." + DateToText(range.End).toStdString();
}

constexpr int Sunday = 0;
constexpr int Monday = 1;

TEST(FilterDateRange, DaysAndWeeks)
{
    const double wednesday = EncodeDate(2024, 7, 10) + 0.75; // the time of day is dropped
    EXPECT_EQ(RangeText(ocYesterday, wednesday, Monday), "2024-7-9..2024-7-10");
    EXPECT_EQ(RangeText(ocToday, wednesday, Monday), "2024-7-10..2024-7-11");
    EXPECT_EQ(RangeText(ocTomorrow, wednesday, Monday), "2024-7-11..2024-7-12");
    EXPECT_EQ(RangeText(ocLastWeek, wednesday, Monday), "2024-7-1..2024-7-8");
    EXPECT_EQ(RangeText(ocThisWeek, wednesday, Monday), "2024-7-8..2024-7-15");
    EXPECT_EQ(RangeText(ocNextWeek, wednesday, Monday), "2024-7-15..2024-7-22");
    EXPECT_EQ(RangeText(ocThisWeek, wednesday, Sunday), "2024-7-7..2024-7-14");

    // A Sunday in a Monday-first locale belongs to the week that began on the Monday before.
    const double sunday = EncodeDate(2024, 7, 14);
    EXPECT_EQ(RangeText(ocThisWeek, sunday, Monday), "2024-7-8..2024-7-15");
    EXPECT_EQ(RangeText(ocThisWeek, sunday, Sunday), "2024-7-14..2024-7-21");
    const double monday = EncodeDate(2024, 7, 15);
    EXPECT_EQ(RangeText(ocThisWeek, monday, Monday), "2024-7-15..2024-7-22");
    EXPECT_EQ(RangeText(ocLastWeek, monday, Sunday), "2024-7-7..2024-7-14");
    // Weeks across a year's end.
    const double newYear = EncodeDate(2025, 1, 1);
    EXPECT_EQ(RangeText(ocThisWeek, newYear, Monday), "2024-12-30..2025-1-6");
    EXPECT_EQ(RangeText(ocYesterday, newYear, Monday), "2024-12-31..2025-1-1");
    // A Saturday with Saturday first.
    EXPECT_EQ(RangeText(ocThisWeek, EncodeDate(2024, 7, 13), 6), "2024-7-13..2024-7-20");
    EXPECT_EQ(RangeText(ocThisWeek, EncodeDate(2024, 7, 12), 6), "2024-7-6..2024-7-13");
}

TEST(FilterDateRange, MonthsAndYears)
{
    const double january = EncodeDate(2024, 1, 31);
    EXPECT_EQ(RangeText(ocLastMonth, january, Monday), "2023-12-1..2024-1-1");
    EXPECT_EQ(RangeText(ocThisMonth, january, Monday), "2024-1-1..2024-2-1");
    EXPECT_EQ(RangeText(ocNextMonth, january, Monday), "2024-2-1..2024-3-1");
    const double november = EncodeDate(2024, 11, 15);
    EXPECT_EQ(RangeText(ocNextMonth, november, Monday), "2024-12-1..2025-1-1");
    const double december = EncodeDate(2024, 12, 31);
    EXPECT_EQ(RangeText(ocThisMonth, december, Monday), "2024-12-1..2025-1-1");
    EXPECT_EQ(RangeText(ocNextMonth, december, Monday), "2025-1-1..2025-2-1");
    EXPECT_EQ(RangeText(ocLastYear, december, Monday), "2023-1-1..2024-1-1");
    EXPECT_EQ(RangeText(ocThisYear, december, Monday), "2024-1-1..2025-1-1");
    EXPECT_EQ(RangeText(ocNextYear, december, Monday), "2025-1-1..2026-1-1");

    const double leapDay = EncodeDate(2024, 2, 29);
    EXPECT_EQ(RangeText(ocToday, leapDay, Monday), "2024-2-29..2024-3-1");
    EXPECT_EQ(RangeText(ocTomorrow, leapDay, Monday), "2024-3-1..2024-3-2");
    EXPECT_EQ(RangeText(ocThisMonth, leapDay, Monday), "2024-2-1..2024-3-1");
    EXPECT_EQ(RangeText(ocLastMonth, EncodeDate(2024, 3, 1), Monday), "2024-2-1..2024-3-1");
    EXPECT_EQ(RangeText(ocThisWeek, leapDay, Monday), "2024-2-26..2024-3-4");
}

class FilterDateOperatorTest : public FilterFixture {};

TEST_F(FilterDateOperatorTest, RangesAreFixedWhenTheCriteriaChanges)
{
    Add(1.0, Day(2024, 7, 9), Text("a"));                                   // 0
    Add(2.0, Variant::fromDate(EncodeDate(2024, 7, 10) + 0.99), Text("b")); // 1
    Add(3.0, Day(2024, 7, 11), Text("c"));                                  // 2
    Add(4.0, Variant::null(), Text("d"));                                   // 3
    Add(5.0, Day(2024, 7, 14), Text("e"));                                  // 4
    Add(6.0, Day(2024, 7, 15), Text("f"));                                  // 5
    Filter->SetActive(true);
    Filter->AppendCondition(nullptr, Date(), ocToday, Variant::null(), "");
    EXPECT_EQ(Rows(), "1");
    TodayValue += 1; // the clock moves on: the filter keeps its day ...
    Controller.FilterChanged();
    EXPECT_EQ(Rows(), "1");
    Filter->SetOptions({fcoSoftCompare}); // ... until the criteria changes
    EXPECT_EQ(Rows(), "2");

    TodayValue = EncodeDate(2024, 7, 14); // a Sunday
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Date(), ocThisWeek, Variant::null(), "");
    EXPECT_EQ(Rows(), "0,1,2,4"); // Monday 8 .. Sunday 14; Null never
    setRegionalSettings([] {
        RegionalSettings settings = RegionalSettings::simplifiedChinese();
        settings.firstDayOfWeek = 0;
        return settings;
    }());
    Filter->SetOptions({});
    EXPECT_EQ(Rows(), "4,5"); // Sunday 14 .. Saturday 20
    setRegionalSettings(RegionalSettings::simplifiedChinese());
}

} // namespace
} // namespace kestrum::testing_filter

// The calendar's grid and keyboard moves.
#include "editors/CalendarModel.h"
#include "core/DateTime.h"
#include "core/RegionalSettings.h"
#include "editors/CalendarMonthList.h"
#include "editors/DateParsing.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

std::string Day(double date)
{
    if (date == NullDate)
        return "null";
    return FormatDateTime("yyyy-mm-dd", date).toStdString();
}

class CalendarModelTest : public testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        SetDateClock([] { return EncodeDate(2024, 1, 31); });
    }
    void TearDown() override { SetDateClock(nullptr); }

    //! The displayed month and the selection: "2024-01 sel 2024-01-31".
    static std::string State(const TkvCalendarModel &model)
    {
        return FormatDateTime("yyyy-mm", model.FirstDate()).toStdString() + " sel " +
               Day(model.SelectedDate());
    }
};

TEST_F(CalendarModelTest, GridStartsOnTheFirstWeekDay)
{
    TkvCalendarModel model;
    EXPECT_EQ(State(model), "2024-01 sel 2024-01-31");
    // 1 January 2024 is a Monday: with Monday first a whole week of December
    // comes before it.
    EXPECT_EQ(model.FirstWeekDay(), 1);
    EXPECT_EQ(Day(model.FirstVisibleDate()), "2023-12-25");
    EXPECT_EQ(Day(model.LastVisibleDate()), "2024-02-04");
    EXPECT_EQ(DayOfWeek(model.DayAt(0, 0)), 2);
    model.SetFirstWeekDay(0);
    EXPECT_EQ(Day(model.FirstVisibleDate()), "2023-12-31");
    EXPECT_TRUE(model.IsInDisplayedMonth(EncodeDate(2024, 1, 1)));
    EXPECT_FALSE(model.IsInDisplayedMonth(model.FirstVisibleDate()));
}

TEST_F(CalendarModelTest, PageDownKeepsTheDayWithinTheMonth)
{
    TkvCalendarModel model;
    EXPECT_TRUE(model.KeyDown(Qt::Key_PageDown, Qt::NoModifier));
    EXPECT_EQ(State(model), "2024-02 sel 2024-02-29");
    model.KeyDown(Qt::Key_PageDown, Qt::NoModifier);
    EXPECT_EQ(State(model), "2024-03 sel 2024-03-29");
    model.KeyDown(Qt::Key_PageUp, Qt::NoModifier);
    model.KeyDown(Qt::Key_PageUp, Qt::NoModifier);
    EXPECT_EQ(State(model), "2024-01 sel 2024-01-29");
}

TEST_F(CalendarModelTest, ArrowsHomeAndEndMoveTheSelection)
{
    TkvCalendarModel model;
    model.KeyDown(Qt::Key_Right, Qt::NoModifier);
    EXPECT_EQ(State(model), "2024-01 sel 2024-02-01");
    model.KeyDown(Qt::Key_Up, Qt::NoModifier);
    EXPECT_EQ(State(model), "2024-01 sel 2024-01-25");
    model.KeyDown(Qt::Key_Home, Qt::NoModifier);
    EXPECT_EQ(State(model), "2024-01 sel 2024-01-22");
    EXPECT_EQ(DayOfWeek(model.SelectedDate()), 2); // Monday
    model.KeyDown(Qt::Key_End, Qt::NoModifier);
    EXPECT_EQ(State(model), "2024-01 sel 2024-01-28");
    model.KeyDown(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(State(model), "2024-01 sel 2024-01-31");
    model.KeyDown(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(State(model), "2024-01 sel 2024-01-01");
    model.KeyDown(Qt::Key_Left, Qt::NoModifier);
    EXPECT_EQ(State(model), "2024-01 sel 2023-12-31");
    model.KeyDown(Qt::Key_Up, Qt::NoModifier);
    EXPECT_EQ(State(model), "2023-12 sel 2023-12-24");
    EXPECT_FALSE(model.KeyDown(Qt::Key_Down, Qt::AltModifier));
    EXPECT_FALSE(model.KeyDown(Qt::Key_A, Qt::NoModifier));
}

TEST_F(CalendarModelTest, SelectingMovesTheDisplayOnlyWhenNeeded)
{
    TkvCalendarModel model;
    EXPECT_FALSE(model.SetSelectedDate(EncodeDate(2024, 1, 31)));
    // A day of the next month that is already visible keeps the display.
    model.SetSelectedDate(EncodeDate(2024, 2, 3));
    EXPECT_EQ(State(model), "2024-01 sel 2024-02-03");
    model.SetSelectedDate(EncodeDate(2023, 6, 15) + 0.5);
    EXPECT_EQ(State(model), "2023-06 sel 2023-06-15");
    EXPECT_TRUE(model.SetSelectedDate(NullDate));
    EXPECT_EQ(State(model), "2023-06 sel null");
    // Keys start from today when nothing is selected.
    model.KeyDown(Qt::Key_Right, Qt::NoModifier);
    EXPECT_EQ(State(model), "2024-02 sel 2024-02-01");
}

TEST_F(CalendarModelTest, MonthListShowsSevenMonthsAroundTheDisplayedOne)
{
    TkvCalendarMonthList list;
    list.Open(2024, 2);
    int year = 0, month = 0;
    list.MonthAt(0, year, month);
    EXPECT_EQ(year * 100 + month, 202311);
    list.MonthAt(3, year, month);
    EXPECT_EQ(year * 100 + month, 202402);
    EXPECT_FALSE(list.Close(year, month));
    list.ScrollTick(-1);
    list.PointerAtRow(6);
    ASSERT_TRUE(list.Close(year, month));
    EXPECT_EQ(year * 100 + month, 202404);
    list.PointerAtRow(7);
    EXPECT_FALSE(list.Close(year, month));
    EXPECT_EQ(TkvCalendarMonthList::ScrollInterval(0), 500);
    EXPECT_EQ(TkvCalendarMonthList::ScrollInterval(1), 250);
    EXPECT_EQ(TkvCalendarMonthList::ScrollInterval(2), 100);
    EXPECT_EQ(TkvCalendarMonthList::ScrollInterval(5), 50);
}

} // namespace

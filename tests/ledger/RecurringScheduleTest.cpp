// The dates a recurring entry falls due on: month ends, leap years, steps
// of days and weeks across summer-time changes, ends by date and count, and
// which occurrences a posting history leaves due.
#include "ledger/RecurringSchedule.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace kestrum {
namespace {

TRecurringSchedule Schedule(const QDate &first, TRecurringUnit unit, int every = 1)
{
    TRecurringSchedule schedule;
    schedule.Item = QString::fromUtf8("房租");
    schedule.AmountCents = 280000;
    schedule.FirstDate = first;
    schedule.Unit = unit;
    schedule.Every = every;
    return schedule;
}

//! The first `count` occurrences as "yyyy-MM-dd" joined by spaces.
std::string Occurrences(const TRecurringSchedule &schedule, int count)
{
    QStringList dates;
    for (int k = 0; k < count; ++k) {
        const QDate date = schedule.Occurrence(k);
        dates.append(date.isValid() ? date.toString(Qt::ISODate) : QStringLiteral("-"));
    }
    return dates.join(' ').toStdString();
}

std::string Dates(const std::vector<QDate> &dates)
{
    QStringList texts;
    for (const QDate &date : dates)
        texts.append(date.toString(Qt::ISODate));
    return texts.join(' ').toStdString();
}

TEST(RecurringSchedule, MonthlyOnThe31stFallsOnTheLastDayAndReturnsToThe31st)
{
    EXPECT_EQ(Occurrences(Schedule(QDate(2023, 12, 31), TRecurringUnit::Months), 5),
              "2023-12-31 2024-01-31 2024-02-29 2024-03-31 2024-04-30");
    EXPECT_EQ(Occurrences(Schedule(QDate(2025, 1, 31), TRecurringUnit::Months), 3),
              "2025-01-31 2025-02-28 2025-03-31");
    EXPECT_EQ(Occurrences(Schedule(QDate(2025, 1, 30), TRecurringUnit::Months, 2), 4),
              "2025-01-30 2025-03-30 2025-05-30 2025-07-30");
    EXPECT_EQ(Occurrences(Schedule(QDate(2025, 11, 15), TRecurringUnit::Months, 3), 3),
              "2025-11-15 2026-02-15 2026-05-15");
}

TEST(RecurringSchedule, YearlyOnLeapDayFallsOnThe28thBetweenLeapYears)
{
    EXPECT_EQ(Occurrences(Schedule(QDate(2024, 2, 29), TRecurringUnit::Years), 5),
              "2024-02-29 2025-02-28 2026-02-28 2027-02-28 2028-02-29");
    // 2100 is no leap year, 2000 was.
    EXPECT_EQ(Occurrences(Schedule(QDate(2096, 2, 29), TRecurringUnit::Years, 2), 3),
              "2096-02-29 2098-02-28 2100-02-28");
    EXPECT_EQ(Occurrences(Schedule(QDate(1996, 2, 29), TRecurringUnit::Years, 4), 2),
              "1996-02-29 2000-02-29");
}

TEST(RecurringSchedule, DaysAndWeeksStepOverSummerTimeChangesDayByDay)
{
    // The computation is on dates alone: a zone whose days have 23 and 25
    // hours around the changes gives the same dates as any other.
    const char *saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    EXPECT_EQ(Occurrences(Schedule(QDate(2026, 3, 28), TRecurringUnit::Days), 3),
              "2026-03-28 2026-03-29 2026-03-30");
    EXPECT_EQ(Occurrences(Schedule(QDate(2026, 10, 24), TRecurringUnit::Days), 3),
              "2026-10-24 2026-10-25 2026-10-26");
    EXPECT_EQ(Occurrences(Schedule(QDate(2026, 3, 22), TRecurringUnit::Weeks), 3),
              "2026-03-22 2026-03-29 2026-04-05");
    EXPECT_EQ(Occurrences(Schedule(QDate(2026, 10, 18), TRecurringUnit::Weeks, 2), 2),
              "2026-10-18 2026-11-01");
    if (saved)
        ::setenv("TZ", before.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(RecurringSchedule, EndDateAndCountCloseTheSchedule)
{
    TRecurringSchedule byDate = Schedule(QDate(2026, 1, 31), TRecurringUnit::Months);
    byDate.EndDate = QDate(2026, 4, 29);
    EXPECT_EQ(Occurrences(byDate, 5), "2026-01-31 2026-02-28 2026-03-31 - -");
    TRecurringSchedule byCount = Schedule(QDate(2026, 1, 1), TRecurringUnit::Weeks);
    byCount.EndCount = 2;
    EXPECT_EQ(Occurrences(byCount, 3), "2026-01-01 2026-01-08 -");
    EXPECT_FALSE(RecurringNextDate(byCount, {QDate(2026, 1, 1), QDate(2026, 1, 8)}).isValid());
}

TEST(RecurringSchedule, MissedPeriodsAreEachDueOnceAndPostedOnesNever)
{
    const TRecurringSchedule rent = Schedule(QDate(2026, 8, 31), TRecurringUnit::Months);
    // Three months without the program: each month once.
    EXPECT_EQ(Dates(RecurringDueDates(rent, {QDate(2026, 8, 31)}, QDate(2026, 12, 10))),
              "2026-09-30 2026-10-31 2026-11-30");
    EXPECT_EQ(Dates(RecurringDueDates(rent, {QDate(2026, 8, 31), QDate(2026, 9, 30)}, QDate(2026, 12, 10))),
              "2026-10-31 2026-11-30");
    // An occurrence left out while a later one was posted is passed over.
    EXPECT_EQ(Dates(RecurringDueDates(rent, {QDate(2026, 10, 31)}, QDate(2026, 12, 10))), "2026-11-30");
    EXPECT_EQ(RecurringNextDate(rent, {QDate(2026, 10, 31)}), QDate(2026, 11, 30));
    TRecurringSchedule paused = rent;
    paused.Paused = true;
    EXPECT_EQ(Dates(RecurringDueDates(paused, {}, QDate(2026, 12, 10))), "");
}

TEST(RecurringSchedule, AClockSetBackOffersNothingAlreadyPosted)
{
    const TRecurringSchedule rent = Schedule(QDate(2026, 10, 1), TRecurringUnit::Months);
    const std::set<QDate> posted{QDate(2026, 10, 1), QDate(2026, 11, 1), QDate(2026, 12, 1)};
    EXPECT_EQ(Dates(RecurringDueDates(rent, posted, QDate(2026, 12, 10))), "");
    // The clock now shows a day a month and a year back.
    EXPECT_EQ(Dates(RecurringDueDates(rent, posted, QDate(2026, 11, 5))), "");
    EXPECT_EQ(Dates(RecurringDueDates(rent, posted, QDate(2025, 12, 10))), "");
    // And set right again, only what is new.
    EXPECT_EQ(Dates(RecurringDueDates(rent, posted, QDate(2027, 1, 2))), "2027-01-01");
}

TEST(RecurringSchedule, AmountsAreReadAsWholeCents)
{
    EXPECT_EQ(ParseRecurringAmount(QStringLiteral("2800")), 280000);
    EXPECT_EQ(ParseRecurringAmount(QStringLiteral(" 35.5 ")), 3550);
    EXPECT_EQ(ParseRecurringAmount(QStringLiteral("1,234.56")), 123456);
    EXPECT_EQ(ParseRecurringAmount(QStringLiteral("0.07")), 7);
    for (const char *bad : {"", "0", "-5", "1.234", "abc", "12a", "1e3"})
        EXPECT_FALSE(ParseRecurringAmount(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(RecurringAmountText(3550).toStdString(), "35.50");
    EXPECT_EQ(RecurringAmountText(7).toStdString(), "0.07");
}

TEST(RecurringSchedule, AScheduleWithoutItemAmountOrDateIsRefused)
{
    TRecurringSchedule schedule = Schedule(QDate(2026, 1, 1), TRecurringUnit::Months);
    EXPECT_TRUE(schedule.Problem().isEmpty());
    schedule.Item = QStringLiteral("  ");
    EXPECT_FALSE(schedule.Problem().isEmpty());
    schedule = Schedule(QDate(), TRecurringUnit::Months);
    EXPECT_FALSE(schedule.Problem().isEmpty());
    schedule = Schedule(QDate(2026, 1, 1), TRecurringUnit::Months);
    schedule.EndDate = QDate(2025, 12, 31);
    EXPECT_FALSE(schedule.Problem().isEmpty());
}

} // namespace
} // namespace kestrum

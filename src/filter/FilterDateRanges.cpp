#include "filter/FilterDateRanges.h"

#include "core/DateTime.h"

namespace kestrum {

namespace {

double FirstOfMonth(int year, int month)
{
    while (month < 1) {
        month += 12;
        --year;
    }
    while (month > 12) {
        month -= 12;
        ++year;
    }
    return EncodeDate(year, month, 1);
}

} // namespace

double FilterWeekStart(double today, int firstDayOfWeek)
{
    const double d = DateOf(today);
    const int b = DayOfWeek(d) - 1; // 0 Sunday .. 6 Saturday
    const int f = ((firstDayOfWeek % 7) + 7) % 7;
    return b >= f ? d - (b - f) : d - 7 + (f - b);
}

TkvFilterDateRange FilterDateRange(TkvFilterOperatorCode code, double today, int firstDayOfWeek)
{
    const double d = DateOf(today);
    const DateTimeParts parts = DecodeDateTime(d);
    const int year = parts.year;
    const int month = parts.month;
    switch (code) {
    case ocYesterday:
        return {d - 1, d};
    case ocToday:
        return {d, d + 1};
    case ocTomorrow:
        return {d + 1, d + 2};
    case ocLastWeek: {
        const double w = FilterWeekStart(d, firstDayOfWeek);
        return {w - 7, w};
    }
    case ocThisWeek: {
        const double w = FilterWeekStart(d, firstDayOfWeek);
        return {w, w + 7};
    }
    case ocNextWeek: {
        const double w = FilterWeekStart(d, firstDayOfWeek);
        return {w + 7, w + 14};
    }
    case ocLastMonth:
        return {FirstOfMonth(year, month - 1), FirstOfMonth(year, month)};
    case ocThisMonth:
        return {FirstOfMonth(year, month), FirstOfMonth(year, month + 1)};
    case ocNextMonth:
        return {FirstOfMonth(year, month + 1), FirstOfMonth(year, month + 2)};
    case ocLastYear:
        return {EncodeDate(year - 1, 1, 1), EncodeDate(year, 1, 1)};
    case ocThisYear:
        return {EncodeDate(year, 1, 1), EncodeDate(year + 1, 1, 1)};
    case ocNextYear:
        return {EncodeDate(year + 1, 1, 1), EncodeDate(year + 2, 1, 1)};
    default:
        return {};
    }
}

} // namespace kestrum

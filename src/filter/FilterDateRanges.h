#pragma once
// The day ranges of the twelve date operators, from a given day.
#include "filter/FilterTypes.h"

namespace kestrum {

//! Start included, end excluded; both at midnight.
struct TkvFilterDateRange {
    double Start = 0;
    double End = 0;
};

//! The first day of the week that holds the day (firstDayOfWeek: 0 Sunday .. 6 Saturday).
double FilterWeekStart(double today, int firstDayOfWeek);
//! The range of a date operator code, computed from the day (its time of day is dropped).
TkvFilterDateRange FilterDateRange(TkvFilterOperatorCode code, double today, int firstDayOfWeek);

} // namespace kestrum

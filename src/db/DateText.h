#pragma once
// Dates in the file are ISO-8601 text ("2024-07-05 13:30:00"), so that any
// SQLite tool reads them and text order is date order; in memory they are
// days since 30 December 1899 with the time as the fraction.
#include <optional>
#include <string>
#include <string_view>

namespace kestrum {

//! "YYYY-MM-DD HH:MM:SS", with ".fff" only when there are milliseconds.
//! Raises EDatabaseError for a date outside years 1..9999.
std::string DaysToIsoText(double days);
//! The parts of a date text, as written.
struct TIsoDateTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Milli = 0;
};
//! Accepts "YYYY-MM-DD", optionally followed by " " or "T" and "HH:MM",
//! ":SS" and ".fff"; nothing else.
std::optional<TIsoDateTime> ParseIsoText(std::string_view text);
//! The days of a text that ParseIsoText accepts.
std::optional<double> IsoTextToDays(std::string_view text);
//! Days of a proleptic Gregorian calendar date.
double EncodeDays(int year, int month, int day);
//! Year, month and day of the date part of days.
void DecodeDays(double days, int &year, int &month, int &day);

} // namespace kestrum

#pragma once
// Date-time values: days since 30 December 1899, the fraction being the time
// of day (for days before that date the fraction still counts forward from
// midnight: -1.25 is 29 December 1899, 06:00). Text forms follow the
// regional settings.
#include <QString>

namespace kestrum {

struct RegionalSettings;

inline constexpr double MinDateTime = -693593.0;            //!< 1 January 0001
inline constexpr double MaxDateTime = 2958465.999999988426; //!< 31 December 9999, 23:59:59.999

struct DateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

bool TryEncodeDate(int year, int month, int day, double &date);
double EncodeDate(int year, int month, int day); //!< EVariantConversionError when invalid
bool TryEncodeTime(int hour, int minute, int second, int msec, double &time);
double EncodeTime(int hour, int minute, int second, int msec = 0);
//! Date part plus time of day, honouring the sign rule of days before 1899.
double ComposeDateTime(double date, double time);

//! False for values outside 0001-01-01 .. 9999-12-31 (and for NaN).
bool TryDecodeDateTime(double dateTime, DateTimeParts &parts);
DateTimeParts DecodeDateTime(double dateTime); //!< EVariantConversionError when out of range
int DayOfWeek(double dateTime);                //!< 1 Sunday .. 7 Saturday
double DateOf(double dateTime);                //!< midnight of that day
double TimeOf(double dateTime);                //!< time of day, 0 <= t < 1

double Today();
double Now();

//! Formats by pattern letters (case-insensitive): y yy yyyy, m mm mmm mmmm
//! (minutes right after an h), d dd ddd dddd, ddddd (short date), h hh, n nn,
//! s ss, z zzz, t (short time), tt (long time), c, ampm, am/pm, a/p,
//! "/" date separator, ":" time separator, quoted literals.
QString FormatDateTime(const QString &format, double dateTime, const RegionalSettings &settings);
QString FormatDateTime(const QString &format, double dateTime);

//! Short date, and " " long time when the time of day is not midnight:
//! "2024-7-5", "2024-7-5 8:30:00".
QString DateTimeToText(double dateTime);
QString DateToText(double dateTime);
QString TimeToText(double dateTime);

//! Parses a date in the short date order, a time, or a date followed by a
//! time ("2024-7-5", "2024-7-5 8:30:00", "8:30"); a date without a year is in
//! the current year. Whole text must be used.
bool TryTextToDateTime(const QString &text, double &dateTime, const RegionalSettings &settings);
bool TryTextToDateTime(const QString &text, double &dateTime);

} // namespace kestrum

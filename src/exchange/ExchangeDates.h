#pragma once
// Dates in the forms that exports write them.
#include <QDate>
#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <string_view>

namespace kestrum::exchange {

//! Reads yyyy-M-d, yyyy/M/d, yyyy.M.d, yyyy年M月d日 and yyyyMMdd, each maybe
//! followed by a time (" H:mm", "THH:mm:ss", fractions dropped). A time with
//! a zone ("Z", "+08:00") is a moment, given as the date and time it was in
//! `zone` (the machine's local zone when null); a time without one is taken
//! as written.
bool ParseDate(std::string_view text, QDate &date, int &seconds, QString &reason,
               const QTimeZone *zone = nullptr);

//! A day-month-year or month-day-year date as QIF files write them:
//! "1/31/2024", "1/31'24", " 1/ 5'04", "01-31-24", "31.01.2024"; falls back
//! to ParseDate for year-first forms.
enum TDayMonthOrder : std::uint8_t { dmMonthFirst, dmDayFirst };
bool ParseNumericDate(std::string_view text, TDayMonthOrder order, QDate &date, int &seconds,
                      QString &reason);
//! Which orders can read `text`: bit 0 month first, bit 1 day first; 0 when
//! neither does, 3 when both do.
int NumericDateOrders(std::string_view text);

} // namespace kestrum::exchange

#pragma once
// Dates as the date edit reads and writes them: the localized words (today,
// yesterday, a weekday, the first or last day of the month, ...) with an
// optional number of days, texts in the user's short date format, and the
// formatting back. The clock is injectable so that the words can be tested
// on fixed days.
#include "core/DateTime.h"
#include "core/Variant.h"

#include <QStringList>

#include <functional>

namespace kestrum {

enum TkvInputKind { ikStandard, ikMask, ikRegExpr };

//! The current date and time as a date-time value.
using TkvDateClock = std::function<double()>;
//! Replaces the clock (null: the system clock again).
void SetDateClock(TkvDateClock clock);
double ClockNow();
double ClockToday();

//! The twenty words in table order: today, yesterday, tomorrow, Sunday ..
//! Saturday, first .. seventh day of the week, bom, eom, now.
QStringList DateWords();

//! A word at the start of text (longest first, case ignored) with an optional
//! "+n" or "-n" days after it; false when the text starts with no word.
bool ParseDateWord(const QString &text, double &date);
//! A word or a date text; NullDate when it is neither.
double ParseDateText(const QString &text);
//! The null date gives an empty text; ikMask uses the mask date format, the
//! others the short date format with the time when it is not midnight.
QString FormatDateText(double date, TkvInputKind inputKind);

} // namespace kestrum

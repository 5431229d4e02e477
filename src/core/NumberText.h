#pragma once
// Numbers as text by the regional settings: the shortest text that reads
// back to the same value, and lenient parsing of what a user types.
#include "core/Variant.h"

#include <QString>

#include <cstdint>

namespace kestrum {

struct RegionalSettings;

//! Shortest round-trip text in general form: "1234.5", "0.1", "1E20", "-1E-5";
//! "NAN", "INF", "-INF" for the special values.
QString FloatToText(double value, const RegionalSettings &settings);
QString FloatToText(double value);
//! General form with at most `significantDigits` digits, the way a number is
//! shown to a user: a sum of binary fractions such as 316.78999999999996 or
//! 0.1 + 0.2 reads "316.79" and "0.3" at fifteen digits.
QString FloatToText(double value, int significantDigits);
//! General format: at most 15 significant digits, trailing zeros and a needless
//! decimal separator dropped, no thousands separator, "-" for a negative value,
//! an exponent ("1E20", "1E-5") only for very large or small values.
QString FormatGeneral(double value);
//! `value` rounded half away from zero to `decimals` places; unchanged when the
//! scaled value is too large to hold a fraction any more.
double RoundToDecimals(double value, int decimals);
//! The same for a single-precision value (its own shortest digits: "0.1").
QString Float32ToText(float value);
//! Up to four decimals without trailing zeros: "12.5", "-0.0001".
QString CurrencyToText(Currency value);

//! Accepts spaces around, a sign, the currency symbol before or after, thousand
//! separators in the integer part, the decimal separator and an exponent.
bool TryTextToFloat(const QString &text, double &value, const RegionalSettings &settings);
bool TryTextToFloat(const QString &text, double &value);
//! An optional sign and decimal digits, within the 64-bit range.
bool TryTextToInt64(const QString &text, std::int64_t &value);
//! Exact decimal parsing to four places (rounded half away from zero).
bool TryTextToCurrency(const QString &text, Currency &value);

//! The decimal digits and exponent of the shortest round-trip form of a finite
//! value: value = 0.d1d2d3... × 10^(pointPos), digits without leading zeros
//! ("" for zero).
struct DecimalDigits {
    bool negative = false;
    std::string digits;
    int pointPos = 0;
};
DecimalDigits ShortestDigits(double value);

//! Rounds a decimal to four places, half away from zero, into a scaled
//! integer; false on overflow.
bool DecimalToCurrency(const DecimalDigits &decimal, std::int64_t &scaled);

} // namespace kestrum

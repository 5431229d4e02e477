#pragma once
// Money as the regional settings write it: the currency symbol placed by the
// currency format, thousands separators and the currency's decimals. Every
// money text of the program comes from here, so an amount reads the same in
// a field, a footer, an editor and the statistics.
//
// Two forms exist side by side. A currency *pattern* is handed to the number
// pattern formatter, whose negative section is literal ("-￥3.00"). A money
// *text* is written here and follows the negative currency format ("￥-3.00"
// for the simplified-Chinese profile).
#include <QString>

#include <cstdint>

namespace kestrum {

struct RegionalSettings;

//! The currency symbol with every "," and "." in single quotes, so that a
//! number pattern copies it instead of reading separators.
QString quotedCurrencySymbol(const RegionalSettings &settings);

//! ",0." plus one "0" per currency decimal (",0." alone for none), with the
//! quoted symbol placed by the currency format: "￥,0.00", ",0.00 €".
QString currencyPattern(const RegionalSettings &settings);

//! The two-section display pattern of a currency value: "<pattern>;-<pattern>".
QString currencyDisplayFormat(const RegionalSettings &settings);

//! Places the symbol around unsigned digits (already grouped and with their
//! decimals) and adds the sign of a negative amount by the negative currency
//! format: "￥1,234.50", "￥-3.00", "-1.234,56 €".
QString placeCurrency(const QString &digits, bool negative, const RegionalSettings &settings);

//! An exact amount of `units` (the amount times 10^decimals) as money text;
//! digits come from the integer, so every size is exact.
QString formatMoneyUnits(std::int64_t units, int decimals, const RegionalSettings &settings);

//! A floating amount as money text with the currency's decimals. It is rounded
//! half away from zero on its shortest decimal form, as the number patterns
//! round: 1.005 and 10.125 read "1.01" and "10.13" like a footer's ",0.00", and
//! an amount that rounds to zero carries no sign.
QString formatMoney(double value, const RegionalSettings &settings);

} // namespace kestrum

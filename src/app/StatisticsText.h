#pragma once
// Text rules of the statistics labels: how a sum reads, how a label's text
// reads back as a number, and the surplus of two labels.
#include "core/Errors.h"
#include "core/NumberText.h"
#include "core/Variant.h"

#include <QString>

#include <cstdint>

namespace kestrum {

//! An amount in the smallest unit the regional currency shows (the fen for
//! the yuan: two decimals). Sums become these once, so every figure the page
//! shows, in a label or in a chart, is the same exact number.
using TCents = std::int64_t;

//! A sum in the regional currency's smallest unit, for the charts: a floating
//! sum is read to the four decimals an amount holds and then rounded half away
//! from zero (as a footer's "0.00" rounds it), an integer or currency sum is
//! scaled exactly. Null is 0.
//! Raises EConvertError for a value beyond the 64-bit range or not a number.
TCents SumToCents(const Variant &value);

//! The amount as a number of the currency (for drawing; not exact).
double CentsToDouble(TCents amount);

//! The general text of an amount, as the value labels show it ("1700.5").
QString CentsToText(TCents amount);

//! The amount in the regional currency format: symbol and its placement,
//! thousands separators, all the currency's decimals ("￥1,700.50", "￥-3.00").
QString CentsToCurrencyText(TCents amount);

//! The variant-to-text conversion of a sum: decimal digits for an integer, the
//! general format (15 significant digits) for a floating value, the plain
//! decimal form for currency, the text form otherwise. Null is not passed here.
//! A floating sum of amounts is money: it is first rounded to the four
//! decimals an amount holds, which drops the noise that adding binary
//! fractions leaves ("1247683.30000003") but keeps a sub-cent total (10.125).
QString SumToText(const Variant &value);

//! The surplus of two value labels: income minus expense, read back from the
//! texts and formatted in the general way. The difference of two decimal texts
//! has no more decimals than they have, so it is rounded to those: 100.3 minus
//! 100.1 reads "0.2", not "0.199999999999989".
QString SurplusText(const QString &incomeText, const QString &expenseText);

//! Reads a label's text as a number with the regional decimal separator; raises
//! EConvertError ("'x' is not a valid floating point value") otherwise.
double LabelTextToFloat(const QString &text);

//! Text that does not read as a number.
class EConvertError : public Exception {
public:
    explicit EConvertError(const std::string &message) : Exception(message) {}
};

} // namespace kestrum

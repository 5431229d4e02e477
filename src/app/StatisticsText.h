#pragma once
// Text rules of the statistics labels: how a sum reads, how a label's text
// reads back as a number, and the general number format of the surplus.
#include "core/Errors.h"
#include "core/Variant.h"

#include <QString>

namespace kestrum {

//! The variant-to-text conversion of a sum: decimal digits for an integer, the
//! general format (15 significant digits) for a floating value, the plain
//! decimal form for currency, the text form otherwise. Null is not passed here.
QString SumToText(const Variant &value);

//! General format: at most 15 significant digits, trailing zeros and a needless
//! decimal separator dropped, no thousands separator, "-" for a negative value,
//! an exponent ("1E20", "1E-5") only for very large or small values.
QString FormatGeneral(double value);

//! Reads a label's text as a number with the regional decimal separator; raises
//! EConvertError ("'x' is not a valid floating point value") otherwise.
double LabelTextToFloat(const QString &text);

//! Text that does not read as a number.
class EConvertError : public Exception {
public:
    explicit EConvertError(const std::string &message) : Exception(message) {}
};

} // namespace kestrum

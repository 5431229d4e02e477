#pragma once
// Number patterns, as fields use them for their display and edit formats.
//
// A pattern has one to three sections separated by ";": positive, negative
// and zero values. In a section "0" is a digit that is always shown, "#" a
// digit shown only when significant, the first "." the decimal point (the
// locale's decimal separator), a "," anywhere turns on the locale's thousands
// separator, text in single or double quotes is copied as it is, and every
// other character is copied unchanged.
#include <QString>

namespace kestrum {

//! Formats value by pattern with the current regional settings. The value is
//! rounded half away from zero to the section's decimal placeholders; a value
//! that rounds to zero counts as zero, so no "-0.00" appears. An empty pattern
//! gives the plain shortest text.
QString FormatNumberPattern(const QString &pattern, double value);

} // namespace kestrum

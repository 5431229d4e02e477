#pragma once
// Number patterns of summary texts and the default pattern table.
//
// A pattern has one to three sections separated by ";": positive, negative
// and zero values. In a section "0" is a digit that is always shown, "#" a
// digit shown only when significant, the first "." the decimal point (the
// locale's decimal separator), a "," anywhere turns on the locale's thousands
// separator, text in single or double quotes is copied as it is, and every
// other character is copied unchanged.
#include "core/Variant.h"
#include "data/SummaryKinds.h"

#include <QString>

namespace kestrum {

//! Formats value by pattern with the current regional settings. The value is
//! rounded to the section's decimal placeholders; a value that rounds to zero
//! counts as zero, so no "-0.00" appears.
QString FormatNumber(const QString &pattern, double value);

//! The locale currency pattern: ",0." plus one "0" per currency decimal, with
//! the currency symbol placed as the locale says (",", "." inside the symbol
//! are quoted so they stay literal).
QString CurrencyPattern();

//! The pattern used when a summary item has no Format: chosen by the result's
//! type (currency, date-time, anything else), the kind, and footer versus
//! group row. Empty for skNone.
QString GetDefaultFormat(VarType valueType, TkvSummaryKind kind, bool footer);

} // namespace kestrum

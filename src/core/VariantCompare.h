#pragma once
// The comparison of Variants that decides the order of rows and which rows a
// filter keeps: a platform comparison by comparison class, and the functions
// sorting, filtering, summaries and editors build on it.
#include "core/Variant.h"

namespace kestrum {

//! Each variant type belongs to exactly one comparison class.
enum class VariantClass : std::uint8_t {
    Empty,
    Null,
    Integer,      //!< 8-, 16-, 32-bit signed, 8-bit unsigned
    LargeInteger, //!< 16-, 32-bit unsigned, 64-bit signed
    Real,
    Currency,
    Date,
    String, //!< narrow and wide
    Boolean,
    Array,
    Incomparable, //!< error codes
};

VariantClass ClassOfVariant(const Variant &value);

//! The platform comparison of two non-array Variants: <0, 0 or >0. Null equals
//! Null and is below every other value. An incomparable kind (an array, an
//! error code) raises EVariantTypeError; content that does not convert raises
//! EVariantConversionError. Unordered values (NaN) are "greater" both ways.
int PlatformCompareVariants(const Variant &a, const Variant &b);

//! The three-way comparison used for sorting, grouping and the ordering filter
//! operators. Arrays compare by upper bound, then element by element; a
//! variant error gives -1, so unconvertible data has no consistent order.
int CompareVariants(const Variant &a, const Variant &b);

//! The platform equality: Null = Null, Null against a value is false;
//! conversion errors propagate. Two arrays are equal when their bounds and
//! elements are; an array against a scalar raises EVariantTypeError.
bool VariantsEqual(const Variant &a, const Variant &b);
//! The platform's strict orderings, used by minimum and maximum summaries.
bool VariantLess(const Variant &a, const Variant &b);
bool VariantGreater(const Variant &a, const Variant &b);

//! Null, or a string equal to the empty string (not Empty, not 0).
bool IsNullOrEmptyText(const Variant &value);

//! Whether an editor's value changed: Booleans compare by their text forms.
bool ValuesEqualForEdit(const Variant &a, const Variant &b);

} // namespace kestrum

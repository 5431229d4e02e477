#pragma once
// The one byte encoding of a Variant in streams: a type byte and a payload,
// used by the criteria stream, filter files and the typed value storage.
#include "core/BinaryStream.h"
#include "core/Variant.h"

#include <array>
#include <cstdint>

namespace kestrum {

//! Type bytes of the encoding.
enum VariantStreamType : std::uint8_t {
    vstNull = 0,
    vstArray = 1,
    vstInt8 = 2,
    vstInt16 = 3,
    vstInt32 = 4,
    vstExtended = 5,
    vstShortString = 6,
    vstFalse = 8,
    vstTrue = 9,
    vstLongString = 12,
    vstEmpty = 13,
    vstSingle = 15,
    vstCurrency = 16,
    vstDate = 17,
    vstWideString = 18,
};

//! Writes the value; raises EWriteError ("Stream write error") for a value
//! whose text form, needed for the kinds without a type byte of their own,
//! cannot be made.
void EncodeVariant(BinaryWriter &writer, const Variant &value);
//! Reads one value; raises EReadError ("Stream read error") for an unknown
//! type byte, a short stream or a malformed length.
Variant DecodeVariant(BinaryReader &reader);

//! The 80-bit extended-precision form of a double (little-endian: 64-bit
//! mantissa with explicit integer bit, then sign and 15-bit exponent), exact
//! for every double including subnormals, infinities and NaN payloads.
std::array<std::uint8_t, 10> DoubleToExtended(double value);
//! Rounds an 80-bit value to the nearest double (ties to even), to infinity
//! past the double range and to subnormals or zero below it.
double ExtendedToDouble(const std::array<std::uint8_t, 10> &bytes);

} // namespace kestrum

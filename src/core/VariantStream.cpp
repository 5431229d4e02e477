#include "core/VariantStream.h"

#include "core/Errors.h"

#include <bit>
#include <limits>

namespace kestrum {

namespace {

constexpr std::uint64_t DoubleFractionMask = (std::uint64_t(1) << 52) - 1;
constexpr int ExtendedBias = 16383;
constexpr int DoubleBias = 1023;
constexpr std::uint16_t ExtendedMaxExponent = 0x7FFF;
// Nested arrays deeper than this are taken for a corrupt stream rather than
// being allowed to exhaust the call stack.
constexpr int MaxArrayDepth = 64;

} // namespace

std::array<std::uint8_t, 10> DoubleToExtended(double value)
{
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & DoubleFractionMask;
    std::uint64_t mantissa = 0;
    int extendedExponent = 0;
    if (exponent == 0x7FF) {
        extendedExponent = ExtendedMaxExponent;
        mantissa = (std::uint64_t(1) << 63) | (fraction << 11); // infinity, or NaN keeping its payload
    } else if (exponent == 0) {
        if (fraction != 0) {
            // A subnormal double is a normal extended value.
            const int shift = std::countl_zero(fraction);
            mantissa = fraction << shift;
            // fraction × 2^-1074 = mantissa × 2^(-1074 - shift) = 1.m × 2^(-1011 - shift)
            extendedExponent = ExtendedBias - 1011 - shift;
        }
    } else {
        mantissa = (std::uint64_t(1) << 63) | (fraction << 11);
        extendedExponent = exponent - DoubleBias + ExtendedBias;
    }
    std::array<std::uint8_t, 10> out{};
    for (int i = 0; i < 8; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(mantissa >> (8 * i));
    const std::uint16_t top = static_cast<std::uint16_t>((negative ? 0x8000 : 0) | extendedExponent);
    out[8] = static_cast<std::uint8_t>(top & 0xFF);
    out[9] = static_cast<std::uint8_t>(top >> 8);
    return out;
}

double ExtendedToDouble(const std::array<std::uint8_t, 10> &bytes)
{
    std::uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= std::uint64_t(bytes[static_cast<std::size_t>(i)]) << (8 * i);
    const std::uint16_t top = static_cast<std::uint16_t>(bytes[8] | (bytes[9] << 8));
    const std::uint64_t sign = std::uint64_t(top >> 15) << 63;
    const int exponent = top & 0x7FFF;

    if (exponent == ExtendedMaxExponent) {
        std::uint64_t fraction = (mantissa >> 11) & DoubleFractionMask;
        if ((mantissa << 1) != 0 && fraction == 0)
            fraction = std::uint64_t(1) << 51; // a NaN whose payload lies below double precision
        return std::bit_cast<double>(sign | (std::uint64_t(0x7FF) << 52) | fraction);
    }
    if (mantissa == 0)
        return std::bit_cast<double>(sign);

    // value = 1.f × 2^power with the integer bit moved to bit 63.
    const int shift = std::countl_zero(mantissa);
    mantissa <<= shift;
    int power = (exponent == 0 ? 1 : exponent) - ExtendedBias - shift;
    if (power > DoubleBias)
        return std::bit_cast<double>(sign | (std::uint64_t(0x7FF) << 52));

    // Bits of the mantissa that fall below the double's last place.
    int dropped = power >= 1 - DoubleBias ? 11 : 11 + (1 - DoubleBias - power);
    if (dropped > 64)
        return std::bit_cast<double>(sign); // below half the smallest subnormal
    std::uint64_t kept = dropped == 64 ? 0 : mantissa >> dropped;
    const std::uint64_t rest = dropped == 64 ? mantissa : mantissa & ((std::uint64_t(1) << dropped) - 1);
    const std::uint64_t half = std::uint64_t(1) << (dropped - 1);
    if (rest > half || (rest == half && (kept & 1) != 0))
        ++kept;

    if (power >= 1 - DoubleBias) {
        if (kept == (std::uint64_t(1) << 53)) { // rounding carried into the next binade
            kept >>= 1;
            ++power;
            if (power > DoubleBias)
                return std::bit_cast<double>(sign | (std::uint64_t(0x7FF) << 52));
        }
        const std::uint64_t biased = static_cast<std::uint64_t>(power + DoubleBias);
        return std::bit_cast<double>(sign | (biased << 52) | (kept & DoubleFractionMask));
    }
    // Subnormal; a carry into bit 52 yields the smallest normal by itself.
    return std::bit_cast<double>(sign | kept);
}

namespace {

void writeNarrow(BinaryWriter &writer, const NarrowString &bytes)
{
    if (bytes.size() <= 255) {
        writer.writeU8(vstShortString);
        writer.writeU8(static_cast<std::uint8_t>(bytes.size()));
    } else {
        if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            throw EWriteError();
        writer.writeU8(vstLongString);
        writer.writeI32(static_cast<std::int32_t>(bytes.size()));
    }
    writer.writeBytes(bytes);
}

void writeInteger(BinaryWriter &writer, std::int64_t value)
{
    if (value >= -128 && value <= 127) {
        writer.writeU8(vstInt8);
        writer.writeI8(static_cast<std::int8_t>(value));
    } else if (value >= -32768 && value <= 32767) {
        writer.writeU8(vstInt16);
        writer.writeI16(static_cast<std::int16_t>(value));
    } else {
        writer.writeU8(vstInt32);
        writer.writeI32(static_cast<std::int32_t>(value));
    }
}

std::int32_t readInteger(BinaryReader &reader)
{
    switch (reader.readU8()) {
    case vstInt8:
        return reader.readI8();
    case vstInt16:
        return reader.readI16();
    case vstInt32:
        return reader.readI32();
    default:
        throw EReadError();
    }
}

Variant decode(BinaryReader &reader, int depth)
{
    const std::uint8_t type = reader.readU8();
    switch (type) {
    case vstNull:
        return Variant::null();
    case vstArray: {
        if (depth >= MaxArrayDepth)
            throw EReadError();
        const std::int32_t count = readInteger(reader);
        // Every element takes at least its type byte: a count beyond the
        // stream's rest is corrupt, whatever memory it would ask for.
        if (count < 0 || static_cast<std::size_t>(count) > reader.remaining())
            throw EReadError();
        std::vector<Variant> elements;
        elements.reserve(static_cast<std::size_t>(count));
        for (std::int32_t i = 0; i < count; ++i)
            elements.push_back(decode(reader, depth + 1));
        return Variant::fromArray(std::move(elements));
    }
    case vstInt8:
        return Variant::fromInt8(reader.readI8());
    case vstInt16:
        return Variant::fromInt16(reader.readI16());
    case vstInt32:
        return Variant(static_cast<int>(reader.readI32()));
    case vstExtended: {
        std::array<std::uint8_t, 10> bytes{};
        for (std::uint8_t &byte : bytes)
            byte = reader.readU8();
        return Variant(ExtendedToDouble(bytes));
    }
    case vstShortString: {
        const std::uint8_t length = reader.readU8();
        return Variant::fromNarrow(reader.readBytes(length));
    }
    case vstFalse:
        return Variant(false);
    case vstTrue:
        return Variant(true);
    case vstLongString: {
        const std::int32_t length = reader.readI32();
        if (length < 0)
            throw EReadError();
        return Variant::fromNarrow(reader.readBytes(static_cast<std::size_t>(length)));
    }
    case vstEmpty:
        return Variant();
    case vstSingle:
        return Variant::fromFloat32(reader.readFloat());
    case vstCurrency:
        return Variant(Currency{reader.readI64()});
    case vstDate:
        return Variant::fromDate(reader.readDouble());
    case vstWideString: {
        const std::int32_t count = reader.readI32();
        if (count < 0 || static_cast<std::size_t>(count) > reader.remaining() / 2)
            throw EReadError();
        std::u16string text(static_cast<std::size_t>(count), u'\0');
        for (char16_t &unit : text)
            unit = reader.readU16();
        return Variant::fromWide(std::move(text));
    }
    default:
        throw EReadError();
    }
}

} // namespace

void EncodeVariant(BinaryWriter &writer, const Variant &value)
{
    switch (value.type()) {
    case VarType::Null:
        writer.writeU8(vstNull);
        return;
    case VarType::Empty:
        writer.writeU8(vstEmpty);
        return;
    case VarType::Array: {
        const std::vector<Variant> &elements = value.elements();
        if (elements.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            throw EWriteError();
        writer.writeU8(vstArray);
        writeInteger(writer, static_cast<std::int64_t>(elements.size()));
        for (const Variant &element : elements)
            EncodeVariant(writer, element);
        return;
    }
    // An 8-bit signed integer goes as type 2 as well: it reads back as one,
    // so a value survives any number of copies instead of turning into text.
    case VarType::Int8:
    case VarType::Int16:
    case VarType::Int32:
    case VarType::UInt8:
        writeInteger(writer, value.rawInteger());
        return;
    case VarType::Float64: {
        writer.writeU8(vstExtended);
        for (std::uint8_t byte : DoubleToExtended(value.rawDouble()))
            writer.writeU8(byte);
        return;
    }
    case VarType::Float32:
        writer.writeU8(vstSingle);
        writer.writeFloat(static_cast<float>(value.rawDouble()));
        return;
    case VarType::Currency:
        writer.writeU8(vstCurrency);
        writer.writeI64(value.rawInteger());
        return;
    case VarType::Date:
        writer.writeU8(vstDate);
        writer.writeDouble(value.rawDouble());
        return;
    case VarType::Boolean:
        writer.writeU8(value.rawInteger() != 0 ? vstTrue : vstFalse);
        return;
    case VarType::String:
        writeNarrow(writer, value.rawNarrow());
        return;
    case VarType::WideString: {
        const std::u16string &text = value.rawWide();
        if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            throw EWriteError();
        writer.writeU8(vstWideString);
        writer.writeI32(static_cast<std::int32_t>(text.size()));
        for (char16_t unit : text)
            writer.writeU16(unit);
        return;
    }
    default:
        // The kinds without a type byte of their own travel as their text.
        NarrowString text;
        try {
            text = value.toNarrow();
        } catch (const Exception &) {
            throw EWriteError();
        }
        writeNarrow(writer, text);
        return;
    }
}

Variant DecodeVariant(BinaryReader &reader)
{
    return decode(reader, 0);
}

} // namespace kestrum

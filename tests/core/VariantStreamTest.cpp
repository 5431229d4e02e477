#include "core/VariantStream.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

using namespace kestrum;

namespace {

std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string encode(const Variant &value)
{
    BinaryWriter writer;
    EncodeVariant(writer, value);
    return hex(writer.bytes());
}

Variant roundTrip(const Variant &value)
{
    BinaryWriter writer;
    EncodeVariant(writer, value);
    BinaryReader reader(writer.bytes());
    Variant result = DecodeVariant(reader);
    EXPECT_TRUE(reader.atEnd());
    return result;
}

Variant decodeBytes(const std::string &bytes)
{
    BinaryReader reader(bytes);
    return DecodeVariant(reader);
}

double extendedRoundTrip(double value)
{
    return ExtendedToDouble(DoubleToExtended(value));
}

std::array<std::uint8_t, 10> extended(std::uint64_t mantissa, std::uint16_t signAndExponent)
{
    std::array<std::uint8_t, 10> bytes{};
    for (int i = 0; i < 8; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(mantissa >> (8 * i));
    bytes[8] = static_cast<std::uint8_t>(signAndExponent);
    bytes[9] = static_cast<std::uint8_t>(signAndExponent >> 8);
    return bytes;
}

std::uint64_t bitsOf(double value)
{
    return std::bit_cast<std::uint64_t>(value);
}

} // namespace

TEST(VariantStream, EveryTypeByte)
{
    EXPECT_EQ(encode(Variant::null()), "00");
    EXPECT_EQ(encode(Variant()), "0D");
    EXPECT_EQ(encode(Variant(-5)), "02 FB");
    EXPECT_EQ(encode(Variant::fromUInt8(200)), "03 C8 00");
    EXPECT_EQ(encode(Variant::fromInt16(-129)), "03 7F FF");
    EXPECT_EQ(encode(Variant(32768)), "04 00 80 00 00");
    EXPECT_EQ(encode(Variant(1.0)), "05 00 00 00 00 00 00 00 80 FF 3F");
    EXPECT_EQ(encode(Variant(-2.0)), "05 00 00 00 00 00 00 00 80 00 C0");
    EXPECT_EQ(encode(Variant("ab")), "06 02 61 62");
    EXPECT_EQ(encode(Variant(false)), "08");
    EXPECT_EQ(encode(Variant(true)), "09");
    EXPECT_EQ(encode(Variant::fromFloat32(1.5f)), "0F 00 00 C0 3F");
    EXPECT_EQ(encode(Variant(Currency{-10000})), "10 F0 D8 FF FF FF FF FF FF");
    EXPECT_EQ(encode(Variant::fromDate(1.5)), "11 00 00 00 00 00 00 F8 3F");
    EXPECT_EQ(encode(Variant(u"工")), "12 01 00 00 00 E5 5D");
    EXPECT_EQ(encode(Variant::fromArray({1, Variant::null()})), "01 02 02 02 01 00");
    // Kinds without a type byte travel as their text.
    EXPECT_EQ(encode(Variant(std::int64_t(5000000000))), "06 0A 35 30 30 30 30 30 30 30 30 30");
    EXPECT_EQ(encode(Variant::fromUInt16(7)), "06 01 37");
    // An 8-bit signed integer is written as the kind it reads back as.
    EXPECT_EQ(encode(Variant::fromInt8(-1)), "02 FF");
    EXPECT_EQ(encode(Variant::fromUInt32(7)), "06 01 37");
}

TEST(VariantStream, ReadsBackTheStoredKinds)
{
    struct Row {
        Variant value;
        const char *expected;
    } rows[] = {
        {Variant(-5), "ShortInt(-5)"},
        {Variant::fromUInt8(200), "Smallint(200)"},
        {Variant(100000), "Integer(100000)"},
        {Variant(1234.5), "Double(1234.5)"},
        {Variant::fromFloat32(0.1f), "Single(0.1)"},
        {Variant(Currency{125000}), "Currency(12.5)"},
        {Variant::fromDate(45478.5), "Date(2024-7-5 12:00:00)"},
        {Variant("工资"), "String(工资)"},
        {Variant(u"工资"), "OleStr(工资)"},
        {Variant(std::int64_t(-7)), "String(-7)"},
        {Variant::fromArray({1, "a", Variant::fromArray({true})}),
         "Array[ShortInt(1), String(a), Array[Boolean(True)]]"},
        {Variant::fromArray({}), "Array[]"},
        {Variant::null(), "Null"},
        {Variant(), "Empty"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(debugString(roundTrip(row.value)), row.expected);
}

TEST(VariantStream, WriteReadWriteKeepsTheBytesOfEveryKind)
{
    const Variant values[] = {
        Variant::null(), Variant(), Variant::fromInt8(5), Variant::fromInt8(-128), Variant::fromInt16(-300),
        Variant(70000), Variant(std::int64_t(5000000000)), Variant::fromUInt8(200), Variant::fromUInt16(7),
        Variant::fromUInt32(4000000000u), Variant::fromFloat32(0.1f), Variant(1234.5), Variant(Currency{125000}),
        Variant::fromDate(45478.5), Variant(true), Variant(false), Variant("工资"), Variant(u"工资"),
        Variant::fromNarrow(std::string(300, 'z')), Variant::fromArray({Variant::fromInt8(5), "a", 2.5}),
    };
    for (const Variant &value : values) {
        const std::string first = encode(value);
        const Variant copy = roundTrip(value);
        EXPECT_EQ(encode(copy), first) << debugString(value);
        EXPECT_EQ(encode(roundTrip(copy)), first) << debugString(value);
    }
    // The byte form of an 8-bit value read from an older stream stays a number.
    EXPECT_EQ(debugString(roundTrip(Variant::fromInt8(5))), "ShortInt(5)");
}

TEST(VariantStream, StringLengthBoundary)
{
    const std::string bytes255(255, 'x');
    const std::string bytes256(256, 'y');
    BinaryWriter writer;
    EncodeVariant(writer, Variant::fromNarrow(bytes255));
    EncodeVariant(writer, Variant::fromNarrow(bytes256));
    EXPECT_EQ(hex(writer.bytes().substr(0, 2)), "06 FF");
    EXPECT_EQ(hex(writer.bytes().substr(257, 5)), "0C 00 01 00 00");
    BinaryReader reader(writer.bytes());
    EXPECT_EQ(DecodeVariant(reader).rawNarrow(), bytes255);
    EXPECT_EQ(DecodeVariant(reader).rawNarrow(), bytes256);
    EXPECT_TRUE(reader.atEnd());
    // A long integer's text never needs type 12, but a 300-element array's count does not fit a byte either.
    EXPECT_EQ(encode(Variant::fromArray(std::vector<Variant>(300, Variant()))).substr(0, 11), "01 03 2C 01");
}

TEST(VariantStream, ExtendedRoundTripsEveryKindOfDouble)
{
    const double values[] = {0.0,
                             1.0,
                             -1.0,
                             0.1,
                             1234.5,
                             std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             -std::numeric_limits<double>::denorm_min(),
                             std::bit_cast<double>(std::uint64_t(0x000FFFFFFFFFFFFF)), // largest subnormal
                             std::bit_cast<double>(std::uint64_t(0x0000000080000001)),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::nextafter(1.0, 2.0),
                             std::nextafter(1.0, 0.0)};
    for (double value : values)
        EXPECT_EQ(bitsOf(extendedRoundTrip(value)), bitsOf(value)) << value;

    const double negativeZero = extendedRoundTrip(-0.0);
    EXPECT_TRUE(negativeZero == 0 && std::signbit(negativeZero));
    // NaN keeps its sign and payload, quiet or signalling.
    for (std::uint64_t bits : {std::uint64_t(0x7FF8000000000000), std::uint64_t(0xFFF8000000000001),
                               std::uint64_t(0x7FF0000000000001), std::uint64_t(0x7FF4000000ABCDEF)})
        EXPECT_EQ(bitsOf(extendedRoundTrip(std::bit_cast<double>(bits))), bits);

    std::mt19937_64 random(20240705);
    for (int i = 0; i < 100000; ++i) {
        std::uint64_t bits = random();
        EXPECT_EQ(bitsOf(extendedRoundTrip(std::bit_cast<double>(bits))), bits) << std::hex << bits;
    }
}

TEST(VariantStream, ExtendedValuesBeyondDoubleRoundToNearest)
{
    // 1 + 2^-53 is a tie: rounds to even (1.0); one more bit above rounds up.
    EXPECT_EQ(ExtendedToDouble(extended(0x8000000000000400, 0x3FFF)), 1.0);
    EXPECT_EQ(ExtendedToDouble(extended(0x8000000000000401, 0x3FFF)), std::nextafter(1.0, 2.0));
    EXPECT_EQ(ExtendedToDouble(extended(0x8000000000000C00, 0x3FFF)), 1.0 + 2 * std::ldexp(1.0, -52));
    // Just below 2^1024: rounding carries past the largest double into infinity.
    EXPECT_EQ(ExtendedToDouble(extended(0xFFFFFFFFFFFFFFFF, 0x43FE)),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(ExtendedToDouble(extended(0xFFFFFFFFFFFFFC00, 0x43FE)),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(ExtendedToDouble(extended(0xFFFFFFFFFFFFFBFF, 0x43FE)), std::numeric_limits<double>::max());
    EXPECT_EQ(ExtendedToDouble(extended(0xFFFFFFFFFFFFF800, 0x43FE)), std::numeric_limits<double>::max());
    EXPECT_EQ(ExtendedToDouble(extended(0x8000000000000000, 0xC3FF)),
              -std::numeric_limits<double>::infinity());
    // Below the double range: subnormals, half of the smallest one, zero.
    EXPECT_EQ(ExtendedToDouble(extended(0x8000000000000000, 0x3BCD)),
              std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(ExtendedToDouble(extended(0x8000000000000000, 0x3BCC)), 0.0); // tie to even
    EXPECT_EQ(ExtendedToDouble(extended(0x8000000000000001, 0x3BCC)),
              std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(ExtendedToDouble(extended(0xFFFFFFFFFFFFFFFF, 0x3BCB)), 0.0);
    EXPECT_EQ(ExtendedToDouble(extended(0xFFFFFFFFFFFFFFFF, 0x3C00)), std::numeric_limits<double>::min());
    EXPECT_EQ(ExtendedToDouble(extended(0x8000000000000000, 0x0000)), 0.0);
    EXPECT_EQ(ExtendedToDouble(extended(0x8000000000000000, 0x7FFF)),
              std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(ExtendedToDouble(extended(0xC000000000000000, 0x7FFF))));
    EXPECT_TRUE(
        std::isnan(ExtendedToDouble(extended(0x8000000000000001, 0x7FFF)))); // payload below double precision
    // An unnormal (integer bit clear) still means its mantissa times its power.
    EXPECT_EQ(ExtendedToDouble(extended(0x4000000000000000, 0x4000)), 1.0);
}

TEST(VariantStream, MalformedStreamsRaiseStreamReadError)
{
    const std::string cases[] = {
        std::string(),                          // nothing at all
        std::string("\x07", 1),                 // unknown type byte
        std::string("\x0E", 1),                 // unknown type byte
        std::string("\xFF", 1),                 // unknown type byte
        std::string("\x02", 1),                 // integer without payload
        std::string("\x04\x01\x02", 3),         // short 32-bit integer
        std::string("\x05\x00\x00\x00\x00", 5), // short extended
        std::string("\x06\x05"
                    "abc",
                    5),                                 // string shorter than its length
        std::string("\x0C\xFF\xFF\xFF\xFF", 5),         // negative length
        std::string("\x0C\x00\x00\x00\x40", 5),         // length far past the end
        std::string("\x12\x02\x00\x00\x00\x41\x00", 7), // wide string cut short
        std::string("\x12\xFF\xFF\xFF\x7F", 5),         // huge character count
        std::string("\x01\x06\x01"
                    "a",
                    4),                             // array count of the wrong type
        std::string("\x01\x02\xFF", 3),             // negative array count
        std::string("\x01\x04\x00\x00\x00\x10", 6), // count far past the end
        std::string("\x01\x02\x02\x0D", 4),         // one element missing
        std::string("\x10\x00\x00", 3),             // short currency
    };
    for (const std::string &bytes : cases)
        EXPECT_THROW(decodeBytes(bytes), EReadError) << hex(bytes);
    // Arrays nested beyond any sensible depth are refused, not recursed into.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += std::string("\x01\x02\x01", 3);
    deep += std::string("\x0D", 1);
    EXPECT_THROW(decodeBytes(deep), EReadError);
    try {
        decodeBytes(std::string("\x07", 1));
    } catch (const EReadError &e) {
        EXPECT_EQ(e.message(), "Stream read error");
    }
}

TEST(VariantStream, RandomBytesDecodeOrRaiseStreamReadError)
{
    // Whatever a damaged file holds, decoding ends in a value or in the read error.
    std::mt19937 random(7);
    const char typeBytes[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 12, 13, 15, 16, 17, 18};
    for (int i = 0; i < 20000; ++i) {
        std::string bytes(static_cast<std::size_t>(random() % 24), '\0');
        for (char &byte : bytes)
            byte = random() % 3 == 0 ? typeBytes[random() % sizeof typeBytes] : static_cast<char>(random());
        BinaryReader reader(bytes);
        try {
            while (!reader.atEnd())
                DecodeVariant(reader);
        } catch (const EReadError &) {
        }
    }
}

TEST(VariantStream, UnwritableValuesRaiseStreamWriteError)
{
    BinaryWriter writer;
    EXPECT_THROW(EncodeVariant(writer, Variant::fromError(5)), EWriteError);
    EXPECT_THROW(EncodeVariant(writer, Variant::fromArray({1, Variant::fromError(5)})), EWriteError);
    try {
        EncodeVariant(writer, Variant::fromError(5));
    } catch (const EWriteError &e) {
        EXPECT_EQ(e.message(), "Stream write error");
    }
}

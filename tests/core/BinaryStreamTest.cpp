#include "core/BinaryStream.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrum;

TEST(BinaryStream, WritesLittleEndianAndReadsBack)
{
    BinaryWriter w;
    w.writeU8(0xAB);
    w.writeI16(-2);
    w.writeU16(0x1234);
    w.writeI32(-123456789);
    w.writeU32(0xDEADBEEF);
    w.writeI64(std::numeric_limits<std::int64_t>::min());
    w.writeFloat(1.5f);
    w.writeDouble(-0.0);
    w.writeBytes("xy");
    EXPECT_EQ(w.bytes().substr(0, 5), std::string("\xAB\xFE\xFF\x34\x12", 5));

    BinaryReader r(w.bytes());
    EXPECT_EQ(r.readU8(), 0xAB);
    EXPECT_EQ(r.readI16(), -2);
    EXPECT_EQ(r.readU16(), 0x1234);
    EXPECT_EQ(r.readI32(), -123456789);
    EXPECT_EQ(r.readU32(), 0xDEADBEEFu);
    EXPECT_EQ(r.readI64(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(r.readFloat(), 1.5f);
    double zero = r.readDouble();
    EXPECT_TRUE(zero == 0 && std::signbit(zero));
    EXPECT_EQ(r.readBytes(2), "xy");
    EXPECT_TRUE(r.atEnd());
}

TEST(BinaryStream, ShortReadRaisesStreamReadErrorAndKeepsPosition)
{
    std::string bytes("\x01\x02\x03", 3);
    BinaryReader r(bytes);
    EXPECT_THROW(r.readI32(), EReadError);
    EXPECT_EQ(r.position(), 0u);
    EXPECT_EQ(r.readU16(), 0x0201);
    EXPECT_THROW(r.readBytes(2), EReadError);
    try {
        r.readU16();
        FAIL();
    } catch (const EReadError &e) {
        EXPECT_EQ(e.message(), "Stream read error");
    }
    EXPECT_EQ(r.readU8(), 3);
    EXPECT_THROW(r.readU8(), EReadError);
}

#include "core/BinaryStream.h"

#include "core/Errors.h"

#include <bit>
#include <cstring>

namespace kestrum {

namespace {

template <typename T> void appendLittleEndian(std::string &out, T value)
{
    using U = std::make_unsigned_t<T>;
    U bits = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<char>(bits & 0xFF));
        if constexpr (sizeof(T) > 1)
            bits = static_cast<U>(bits >> 8);
    }
}

} // namespace

void BinaryWriter::writeU8(std::uint8_t value)
{
    FBytes.push_back(static_cast<char>(value));
}
void BinaryWriter::writeI8(std::int8_t value)
{
    FBytes.push_back(static_cast<char>(value));
}
void BinaryWriter::writeI16(std::int16_t value)
{
    appendLittleEndian(FBytes, value);
}
void BinaryWriter::writeU16(std::uint16_t value)
{
    appendLittleEndian(FBytes, value);
}
void BinaryWriter::writeI32(std::int32_t value)
{
    appendLittleEndian(FBytes, value);
}
void BinaryWriter::writeU32(std::uint32_t value)
{
    appendLittleEndian(FBytes, value);
}
void BinaryWriter::writeI64(std::int64_t value)
{
    appendLittleEndian(FBytes, value);
}
void BinaryWriter::writeFloat(float value)
{
    appendLittleEndian(FBytes, std::bit_cast<std::uint32_t>(value));
}
void BinaryWriter::writeDouble(double value)
{
    appendLittleEndian(FBytes, std::bit_cast<std::uint64_t>(value));
}
void BinaryWriter::writeBytes(std::string_view bytes)
{
    FBytes.append(bytes);
}

namespace {

template <typename U> U readLittleEndian(std::string_view bytes, std::size_t &pos)
{
    if (bytes.size() - pos < sizeof(U))
        throw EReadError();
    U value = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i)
        value =
            static_cast<U>(value | (static_cast<U>(static_cast<unsigned char>(bytes[pos + i])) << (8 * i)));
    pos += sizeof(U);
    return value;
}

} // namespace

std::uint8_t BinaryReader::readU8()
{
    return readLittleEndian<std::uint8_t>(FBytes, FPos);
}
std::int8_t BinaryReader::readI8()
{
    return static_cast<std::int8_t>(readU8());
}
std::int16_t BinaryReader::readI16()
{
    return static_cast<std::int16_t>(readU16());
}
std::uint16_t BinaryReader::readU16()
{
    return readLittleEndian<std::uint16_t>(FBytes, FPos);
}
std::int32_t BinaryReader::readI32()
{
    return static_cast<std::int32_t>(readU32());
}
std::uint32_t BinaryReader::readU32()
{
    return readLittleEndian<std::uint32_t>(FBytes, FPos);
}
std::int64_t BinaryReader::readI64()
{
    return static_cast<std::int64_t>(readLittleEndian<std::uint64_t>(FBytes, FPos));
}
float BinaryReader::readFloat()
{
    return std::bit_cast<float>(readU32());
}
double BinaryReader::readDouble()
{
    return std::bit_cast<double>(readLittleEndian<std::uint64_t>(FBytes, FPos));
}

std::string BinaryReader::readBytes(std::size_t count)
{
    if (count > remaining())
        throw EReadError();
    std::string result(FBytes.substr(FPos, count));
    FPos += count;
    return result;
}

} // namespace kestrum

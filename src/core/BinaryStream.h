#pragma once
// Little-endian byte streams used by every byte format of the system.
// A short read raises EReadError ("Stream read error").
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrum {

class BinaryWriter {
public:
    void writeU8(std::uint8_t value);
    void writeI8(std::int8_t value);
    void writeI16(std::int16_t value);
    void writeU16(std::uint16_t value);
    void writeI32(std::int32_t value);
    void writeU32(std::uint32_t value);
    void writeI64(std::int64_t value);
    void writeFloat(float value);
    void writeDouble(double value);
    void writeBytes(std::string_view bytes);
    const std::string &bytes() const { return FBytes; }
    std::string takeBytes() { return std::move(FBytes); }

private:
    std::string FBytes;
};

class BinaryReader {
public:
    explicit BinaryReader(std::string_view bytes) : FBytes(bytes) {}
    std::uint8_t readU8();
    std::int8_t readI8();
    std::int16_t readI16();
    std::uint16_t readU16();
    std::int32_t readI32();
    std::uint32_t readU32();
    std::int64_t readI64();
    float readFloat();
    double readDouble();
    std::string readBytes(std::size_t count);
    std::size_t position() const { return FPos; }
    std::size_t remaining() const { return FBytes.size() - FPos; }
    bool atEnd() const { return FPos == FBytes.size(); }

private:
    std::string_view FBytes;
    std::size_t FPos = 0;
};

} // namespace kestrum

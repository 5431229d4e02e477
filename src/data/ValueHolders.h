#pragma once
// Raw access to record places and the layout of the holders that strings and
// variants live in; shared by the value type implementations only.
#include "core/Errors.h"
#include "data/ValueHeap.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kestrum::detail {

template <typename T> inline T ReadRaw(const void *from)
{
    T value;
    std::memcpy(&value, from, sizeof(T));
    return value;
}

template <typename T> inline void WriteRaw(std::byte *to, T value)
{
    std::memcpy(to, &value, sizeof(T));
}

inline std::byte *HolderAt(const std::byte *place)
{
    return ReadRaw<std::byte *>(place);
}

template <typename T> inline int ThreeWay(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Length prefix of holders: one byte for lengths below 255 (the usual case,
// which keeps a short text's holder at 8 bytes), else 255 and 4 bytes.
inline std::size_t LengthPrefixSize(std::uint32_t length)
{
    return length < 255 ? 1 : 5;
}

inline void WriteLengthPrefix(std::byte *at, std::uint32_t length)
{
    if (length < 255) {
        at[0] = std::byte(std::uint8_t(length));
    } else {
        at[0] = std::byte{255};
        WriteRaw(at + 1, length);
    }
}

inline std::uint32_t ReadLengthPrefix(const std::byte *at)
{
    const auto first = std::to_integer<std::uint8_t>(at[0]);
    return first < 255 ? first : ReadRaw<std::uint32_t>(at + 1);
}

inline void AppendLengthPrefix(std::string &out, std::uint32_t length)
{
    std::byte prefix[5];
    WriteLengthPrefix(prefix, length);
    out.append(reinterpret_cast<const char *>(prefix), LengthPrefixSize(length));
}

// Byte-string holders: the length prefix, then the bytes.
inline std::size_t NarrowHolderSize(std::uint32_t length)
{
    return LengthPrefixSize(length) + std::size_t(length);
}

inline std::byte *NewNarrowHolder(std::string_view bytes, TkvValueHeap &heap)
{
    const auto length = std::uint32_t(bytes.size());
    std::byte *holder = heap.Allocate(NarrowHolderSize(length));
    WriteLengthPrefix(holder, length);
    if (length)
        std::memcpy(holder + LengthPrefixSize(length), bytes.data(), length);
    return holder;
}

inline void FreeNarrowHolder(std::byte *holder, TkvValueHeap &heap)
{
    if (holder)
        heap.Free(holder, NarrowHolderSize(ReadLengthPrefix(holder)));
}

// Replaces the holder at `slot` with one holding `bytes`, reusing the block when
// the length is the same.
inline void StoreNarrowHolder(std::byte *slot, std::string_view bytes, TkvValueHeap &heap)
{
    std::byte *old = HolderAt(slot);
    if (old && ReadLengthPrefix(old) == bytes.size() && !heap.IsShared(old)) {
        if (!bytes.empty())
            std::memcpy(old + LengthPrefixSize(std::uint32_t(bytes.size())), bytes.data(), bytes.size());
        return;
    }
    FreeNarrowHolder(old, heap);
    WriteRaw(slot, NewNarrowHolder(bytes, heap));
}

// The same for bytes that many records hold alike (the items of a loaded
// ledger): the heap's shared holder of an equal short text when it has one.
inline void StoreSharedNarrowHolder(std::byte *slot, std::string_view bytes, TkvValueHeap &heap)
{
    constexpr std::size_t MaxShared = 63;
    const auto length = std::uint32_t(bytes.size());
    if (length > 0 && length <= MaxShared) {
        std::byte image[1 + MaxShared];
        WriteLengthPrefix(image, length);
        std::memcpy(image + 1, bytes.data(), length);
        if (std::byte *shared = heap.Shared({image, 1 + std::size_t(length)})) {
            FreeNarrowHolder(HolderAt(slot), heap);
            WriteRaw(slot, shared);
            return;
        }
    }
    StoreNarrowHolder(slot, bytes, heap);
}

inline std::size_t WideHolderSize(std::uint32_t units)
{
    return 4 + 2 * std::size_t(units);
}

inline void FreeWideHolder(std::byte *holder, TkvValueHeap &heap)
{
    if (holder)
        heap.Free(holder, WideHolderSize(ReadRaw<std::uint32_t>(holder)));
}

inline void StoreWideHolder(std::byte *slot, std::u16string_view units, TkvValueHeap &heap)
{
    FreeWideHolder(HolderAt(slot), heap);
    const auto length = std::uint32_t(units.size());
    std::byte *holder = heap.Allocate(WideHolderSize(length));
    WriteRaw(holder, length);
    if (length)
        std::memcpy(holder + 4, units.data(), 2 * std::size_t(length));
    WriteRaw(slot, holder);
}

inline std::int64_t CheckedRange(std::int64_t value, std::int64_t low, std::int64_t high)
{
    if (value < low || value > high)
        throw EVariantConversionError("Overflow while converting variant");
    return value;
}

} // namespace kestrum::detail

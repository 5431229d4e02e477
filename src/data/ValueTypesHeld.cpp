#include "data/ValueTypesHeld.h"

#include "core/Errors.h"
#include "data/ValueHolders.h"
#include "data/VariantBridge.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace kestrum {

using namespace detail;

// ---------------------------------------------------------------------------
// Variants and objects

const TkvVariantValueType *TkvVariantValueType::Instance()
{
    static const TkvVariantValueType instance;
    return &instance;
}

namespace {

// Variant holders: the variant type byte, the payload's length prefix, the payload.
std::size_t VariantHolderSize(const std::byte *holder)
{
    const std::uint32_t size = ReadLengthPrefix(holder + 1);
    return 1 + LengthPrefixSize(size) + size;
}

const std::byte *VariantPayload(const std::byte *holder)
{
    return holder + 1 + LengthPrefixSize(ReadLengthPrefix(holder + 1));
}

// Appends one holder; array elements nest as whole holders.
void EncodeVariantHolder(const Variant &value, std::string &out)
{
    std::string payload;
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
        break;
    case VarType::Float32:
    case VarType::Float64:
    case VarType::Date: {
        const double number = value.rawDouble();
        payload.assign(reinterpret_cast<const char *>(&number), sizeof(number));
        break;
    }
    case VarType::String:
        payload = value.rawNarrow();
        break;
    case VarType::WideString: {
        const std::u16string &units = value.rawWide();
        payload.assign(reinterpret_cast<const char *>(units.data()), units.size() * 2);
        break;
    }
    case VarType::Array:
        for (const Variant &element : value.elements())
            EncodeVariantHolder(element, payload);
        break;
    default: { // integers, Boolean, Currency, Error: the raw integer
        const std::int64_t number = value.rawInteger();
        payload.assign(reinterpret_cast<const char *>(&number), sizeof(number));
        break;
    }
    }
    out += char(std::uint8_t(value.type()));
    AppendLengthPrefix(out, std::uint32_t(payload.size()));
    out += payload;
}

std::byte *NewVariantHolder(const Variant &value, TkvValueHeap &heap)
{
    std::string encoded;
    EncodeVariantHolder(value, encoded);
    std::byte *holder = heap.Allocate(encoded.size());
    std::memcpy(holder, encoded.data(), encoded.size());
    return holder;
}

Variant VariantFromHolder(const std::byte *holder)
{
    const auto type = VarType(std::to_integer<std::uint8_t>(holder[0]));
    const std::byte *payload = VariantPayload(holder);
    const std::uint32_t size = ReadLengthPrefix(holder + 1);
    const auto integer = [payload] { return ReadRaw<std::int64_t>(payload); };
    const auto real = [payload] { return ReadRaw<double>(payload); };
    switch (type) {
    case VarType::Empty:
        return Variant();
    case VarType::Null:
        return Variant::null();
    case VarType::Int8:
        return Variant::fromInt8(std::int8_t(integer()));
    case VarType::Int16:
        return Variant::fromInt16(std::int16_t(integer()));
    case VarType::Int32:
        return Variant(int(integer()));
    case VarType::Int64:
        return Variant(integer());
    case VarType::UInt8:
        return Variant::fromUInt8(std::uint8_t(integer()));
    case VarType::UInt16:
        return Variant::fromUInt16(std::uint16_t(integer()));
    case VarType::UInt32:
        return Variant::fromUInt32(std::uint32_t(integer()));
    case VarType::Float32:
        return Variant::fromFloat32(float(real()));
    case VarType::Float64:
        return Variant(real());
    case VarType::Currency:
        return Variant(Currency{integer()});
    case VarType::Date:
        return Variant::fromDate(real());
    case VarType::Boolean:
        return Variant(integer() != 0);
    case VarType::String:
        return Variant::fromNarrow(NarrowString(reinterpret_cast<const char *>(payload), size));
    case VarType::WideString: {
        std::u16string units(size / 2, u'\0');
        std::memcpy(units.data(), payload, units.size() * 2);
        return Variant::fromWide(std::move(units));
    }
    case VarType::Array: {
        std::vector<Variant> elements;
        for (std::uint32_t offset = 0; offset < size;) {
            elements.push_back(VariantFromHolder(payload + offset));
            offset += std::uint32_t(VariantHolderSize(payload + offset));
        }
        return Variant::fromArray(std::move(elements));
    }
    case VarType::Error:
        return Variant::fromError(std::int32_t(integer()));
    }
    return Variant::null();
}

} // namespace

int TkvVariantValueType::CompareStored(const std::byte *placeA, const std::byte *placeB) const
{
    return Compare(HolderAt(placeA), HolderAt(placeB));
}

void TkvVariantValueType::FreeStored(std::byte *place, TkvValueHeap &heap) const
{
    if (std::byte *holder = HolderAt(place))
        heap.Free(holder, VariantHolderSize(holder));
    WriteRaw<std::byte *>(place, nullptr);
}

void TkvVariantValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const
{
    std::byte *fresh = NewVariantHolder(value, heap);
    FreeStored(place, heap);
    WriteRaw(place, fresh);
}

void TkvVariantValueType::SetNarrow(std::byte *place, std::string_view bytes, TkvValueHeap &heap) const
{
    const auto length = std::uint32_t(bytes.size());
    const std::size_t prefix = LengthPrefixSize(length);
    std::byte *fresh = heap.Allocate(1 + prefix + bytes.size());
    fresh[0] = std::byte{std::uint8_t(VarType::String)};
    WriteLengthPrefix(fresh + 1, length);
    if (!bytes.empty())
        std::memcpy(fresh + 1 + prefix, bytes.data(), bytes.size());
    FreeStored(place, heap);
    WriteRaw(place, fresh);
}

int TkvVariantValueType::Compare(const void *valueA, const void *valueB) const
{
    if (!valueA || !valueB)
        return (valueA ? 1 : 0) - (valueB ? 1 : 0);
    // Two narrow strings compare by their bytes: no need to decode them.
    std::string_view bytesA, bytesB;
    if (HeldNarrow(valueA, bytesA) && HeldNarrow(valueB, bytesB)) {
        const int result = bytesA.compare(bytesB);
        return (result > 0) - (result < 0);
    }
    return CompareStoredVariants(GetValueAt(valueA), GetValueAt(valueB));
}

bool TkvVariantValueType::HeldNarrow(const void *value, std::string_view &bytes)
{
    const auto *holder = static_cast<const std::byte *>(value);
    if (!holder || VarType(std::to_integer<std::uint8_t>(holder[0])) != VarType::String)
        return false;
    bytes = std::string_view(reinterpret_cast<const char *>(VariantPayload(holder)),
                             ReadLengthPrefix(holder + 1));
    return true;
}

const std::byte *TkvVariantValueType::HeldNarrowImage(const void *value)
{
    const auto *holder = static_cast<const std::byte *>(value);
    if (!holder || VarType(std::to_integer<std::uint8_t>(holder[0])) != VarType::String)
        return nullptr;
    return holder + 1; // the length prefix, then the bytes
}

bool TkvVariantValueType::HoldsWide(const void *value)
{
    const auto *holder = static_cast<const std::byte *>(value);
    return holder && VarType(std::to_integer<std::uint8_t>(holder[0])) == VarType::WideString;
}

Variant TkvVariantValueType::GetValueAt(const void *value) const
{
    return value ? VariantFromHolder(static_cast<const std::byte *>(value)) : Variant::null();
}

const void *TkvVariantValueType::PrepareValuePointer(const std::byte *place) const
{
    return HolderAt(place);
}

const TkvObjectValueType *TkvObjectValueType::Instance()
{
    static const TkvObjectValueType instance;
    return &instance;
}

Variant TkvObjectValueType::FromObject(TkvStoredObject *object)
{
    return Variant(std::int64_t(reinterpret_cast<std::intptr_t>(object)));
}

TkvStoredObject *TkvObjectValueType::ToObject(const Variant &value)
{
    return reinterpret_cast<TkvStoredObject *>(std::intptr_t(value.toInt64()));
}

void TkvObjectValueType::FreeStored(std::byte *place, TkvValueHeap &) const
{
    delete reinterpret_cast<TkvStoredObject *>(Read(place));
    Write(place, 0);
}

void TkvObjectValueType::LoadValue(std::byte *, BinaryReader &, TkvValueHeap &) const
{
}

void TkvObjectValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    TkvStoredObject *object = ToObject(value);
    auto *old = reinterpret_cast<TkvStoredObject *>(Read(place));
    if (old != object)
        delete old;
    Write(place, reinterpret_cast<std::intptr_t>(object));
}

void TkvObjectValueType::SaveValue(const std::byte *, BinaryWriter &) const
{
}

Variant TkvObjectValueType::GetValueAt(const void *value) const
{
    return Variant(std::int64_t(Read(value)));
}

void TkvObjectValueType::CheckConvert(const Variant &value) const
{
    (void)value.toInt64();
}

} // namespace kestrum

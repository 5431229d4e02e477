#include "data/ValueTypes.h"

#include "core/Codepage.h"
#include "core/Errors.h"
#include "data/ValueHeap.h"
#include "data/ValueHolders.h"
#include "data/VariantBridge.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kestrum {

using namespace detail;

// ---------------------------------------------------------------------------
// TkvValueType

const TkvValueType *TkvValueType::Instance()
{
    static const TkvValueType instance;
    return &instance;
}

int TkvValueType::CompareStored(const std::byte *placeA, const std::byte *placeB) const
{
    return Compare(PrepareValuePointer(placeA), PrepareValuePointer(placeB));
}

void TkvValueType::FreeStored(std::byte *, TkvValueHeap &) const
{
}

void TkvValueType::FreeStoredText(std::byte *textPlace, TkvValueHeap &heap)
{
    FreeNarrowHolder(HolderAt(textPlace), heap);
    WriteRaw<std::byte *>(textPlace, nullptr);
}

Variant TkvValueType::GetValue(const std::byte *place) const
{
    return GetValueAt(PrepareValuePointer(place));
}

QString TkvValueType::GetDisplayText(const std::byte *place) const
{
    try {
        return GetValue(place).displayText();
    } catch (const EVariantTypeError &) {
        return QString();
    } catch (const EVariantConversionError &) {
        return QString();
    }
}

QString TkvValueType::GetStoredText(const std::byte *textPlace) const
{
    return fromNarrow(TkvStringValueType::HeldBytes(HolderAt(textPlace)));
}

void TkvValueType::LoadValue(std::byte *place, BinaryReader &stream, TkvValueHeap &heap) const
{
    SetValue(place, ReadStreamVariant(stream), heap);
}

void TkvValueType::ReadStoredText(std::byte *textPlace, BinaryReader &stream, TkvValueHeap &heap) const
{
    const std::uint32_t length = stream.readU32();
    StoreNarrowHolder(textPlace, stream.readBytes(length), heap);
}

void TkvValueType::SetValue(std::byte *, const Variant &, TkvValueHeap &) const
{
}

void TkvValueType::SetStoredText(std::byte *textPlace, const QString &text, TkvValueHeap &heap) const
{
    StoreNarrowHolder(textPlace, toNarrow(text), heap);
}

void TkvValueType::SaveValue(const std::byte *place, BinaryWriter &stream) const
{
    WriteStreamVariant(stream, GetValue(place));
}

void TkvValueType::WriteStoredText(const std::byte *textPlace, BinaryWriter &stream) const
{
    const std::string_view bytes = TkvStringValueType::HeldBytes(HolderAt(textPlace));
    stream.writeU32(std::uint32_t(bytes.size()));
    stream.writeBytes(bytes);
}

int TkvValueType::Compare(const void *valueA, const void *valueB) const
{
    return CompareStoredVariants(GetValueAt(valueA), GetValueAt(valueB));
}

Variant TkvValueType::GetValueAt(const void *) const
{
    return Variant::null();
}

bool TkvValueType::IsValueValid(const Variant &value) const
{
    if (value.isNull() || GetVarType() == TkvDeclaredVarType::Variant)
        return true;
    // Both variant error kinds mean "does not convert" to a caller that asks
    // before storing; neither should escape a validity question.
    try {
        CheckConvert(value);
        return true;
    } catch (const EVariantConversionError &) {
        return false;
    } catch (const EVariantTypeError &) {
        return false;
    }
}

void TkvValueType::CheckConvert(const Variant &) const
{
}

// ---------------------------------------------------------------------------
// Strings

const TkvStringValueType *TkvStringValueType::Instance()
{
    static const TkvStringValueType instance;
    return &instance;
}

int TkvStringValueType::CompareStored(const std::byte *placeA, const std::byte *placeB) const
{
    return Compare(HolderAt(placeA), HolderAt(placeB));
}

void TkvStringValueType::FreeStored(std::byte *place, TkvValueHeap &heap) const
{
    FreeNarrowHolder(HolderAt(place), heap);
    WriteRaw<std::byte *>(place, nullptr);
}

void TkvStringValueType::LoadValue(std::byte *place, BinaryReader &stream, TkvValueHeap &heap) const
{
    const std::uint32_t length = stream.readU32();
    StoreNarrowHolder(place, stream.readBytes(length), heap);
}

void TkvStringValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const
{
    if (value.type() == VarType::String)
        StoreNarrowHolder(place, value.rawNarrow(), heap);
    else
        StoreNarrowHolder(place, value.toNarrow(), heap);
}

void TkvStringValueType::SetBytes(std::byte *place, std::string_view bytes, TkvValueHeap &heap) const
{
    StoreNarrowHolder(place, bytes, heap);
}

std::string TkvStringValueType::HolderImage(std::string_view bytes)
{
    std::string image;
    AppendLengthPrefix(image, std::uint32_t(bytes.size()));
    image.append(bytes);
    return image;
}

void TkvStringValueType::SetSharedBytes(std::byte *place, std::string_view bytes, TkvValueHeap &heap) const
{
    StoreSharedNarrowHolder(place, bytes, heap);
}

void TkvStringValueType::SaveValue(const std::byte *place, BinaryWriter &stream) const
{
    const std::string_view bytes = HeldBytes(HolderAt(place));
    stream.writeU32(std::uint32_t(bytes.size()));
    stream.writeBytes(bytes);
}

int TkvStringValueType::Compare(const void *valueA, const void *valueB) const
{
    if (!valueA || !valueB)
        return (valueA ? 1 : 0) - (valueB ? 1 : 0);
    const std::string_view a = HeldBytes(valueA);
    const std::string_view b = HeldBytes(valueB);
    // Byte order: compare as unsigned bytes so that GB18030 lead bytes sort
    // after ASCII.
    const std::size_t common = std::min(a.size(), b.size());
    const int result = common ? std::memcmp(a.data(), b.data(), common) : 0;
    if (result != 0)
        return result;
    return ThreeWay(a.size(), b.size());
}

Variant TkvStringValueType::GetValueAt(const void *value) const
{
    if (!value)
        return Variant::null();
    return Variant::fromNarrow(NarrowString(HeldBytes(value)));
}

const void *TkvStringValueType::PrepareValuePointer(const std::byte *place) const
{
    return HolderAt(place);
}

void TkvStringValueType::CheckConvert(const Variant &value) const
{
    (void)value.toNarrow();
}

const TkvWideStringValueType *TkvWideStringValueType::Instance()
{
    static const TkvWideStringValueType instance;
    return &instance;
}

std::u16string_view TkvWideStringValueType::HeldUnits(const void *value)
{
    if (!value)
        return {};
    const auto *holder = static_cast<const std::byte *>(value);
    return std::u16string_view(reinterpret_cast<const char16_t *>(holder + 4),
                               ReadRaw<std::uint32_t>(holder));
}

void TkvWideStringValueType::FreeStored(std::byte *place, TkvValueHeap &heap) const
{
    FreeWideHolder(HolderAt(place), heap);
    WriteRaw<std::byte *>(place, nullptr);
}

void TkvWideStringValueType::LoadValue(std::byte *place, BinaryReader &stream, TkvValueHeap &heap) const
{
    const std::uint32_t length = stream.readU32();
    std::u16string units(length, u'\0');
    for (std::uint32_t i = 0; i < length; ++i)
        units[i] = char16_t(stream.readU16());
    StoreWideHolder(place, units, heap);
}

void TkvWideStringValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const
{
    if (value.type() == VarType::WideString)
        StoreWideHolder(place, value.rawWide(), heap);
    else
        StoreWideHolder(place, value.toWide(), heap);
}

void TkvWideStringValueType::SaveValue(const std::byte *place, BinaryWriter &stream) const
{
    const std::u16string_view units = HeldUnits(HolderAt(place));
    stream.writeU32(std::uint32_t(units.size()));
    for (char16_t unit : units)
        stream.writeU16(std::uint16_t(unit));
}

int TkvWideStringValueType::Compare(const void *valueA, const void *valueB) const
{
    if (!valueA || !valueB)
        return (valueA ? 1 : 0) - (valueB ? 1 : 0);
    const std::u16string_view a = HeldUnits(valueA);
    const std::u16string_view b = HeldUnits(valueB);
    const int result = a.compare(b);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

Variant TkvWideStringValueType::GetValueAt(const void *value) const
{
    if (!value)
        return Variant::null();
    return Variant::fromWide(std::u16string(HeldUnits(value)));
}

void TkvWideStringValueType::CheckConvert(const Variant &value) const
{
    (void)value.toWide();
}

// ---------------------------------------------------------------------------
// Fixed-size numbers

template <typename T> T TkvNumericValueType<T>::Read(const void *value)
{
    return ReadRaw<T>(value);
}

template <typename T> void TkvNumericValueType<T>::Write(std::byte *place, T value)
{
    WriteRaw(place, value);
}

template <typename T> int TkvNumericValueType<T>::Compare(const void *valueA, const void *valueB) const
{
    // A three-way comparison, never a subtraction: the difference of two
    // 32-bit integers need not fit in 32 bits.
    return ThreeWay(Read(valueA), Read(valueB));
}

template <typename T>
void TkvNumericValueType<T>::LoadValue(std::byte *place, BinaryReader &stream, TkvValueHeap &) const
{
    T value;
    const std::string bytes = stream.readBytes(sizeof(T));
    std::memcpy(&value, bytes.data(), sizeof(T));
    Write(place, value);
}

template <typename T>
void TkvNumericValueType<T>::SaveValue(const std::byte *place, BinaryWriter &stream) const
{
    stream.writeBytes(std::string_view(reinterpret_cast<const char *>(place), sizeof(T)));
}

template class TkvNumericValueType<std::int16_t>;
template class TkvNumericValueType<std::int32_t>;
template class TkvNumericValueType<std::uint16_t>;
template class TkvNumericValueType<std::uint8_t>;
template class TkvNumericValueType<double>;
template class TkvNumericValueType<std::int64_t>;
#if !defined(__LP64__) || defined(_WIN32)
template class TkvNumericValueType<std::intptr_t>;
#endif

const TkvSmallintValueType *TkvSmallintValueType::Instance()
{
    static const TkvSmallintValueType instance;
    return &instance;
}

void TkvSmallintValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    Write(place, std::int16_t(CheckedRange(value.toInt64(), INT16_MIN, INT16_MAX)));
}

Variant TkvSmallintValueType::GetValueAt(const void *value) const
{
    return Variant::fromInt16(Read(value));
}

void TkvSmallintValueType::CheckConvert(const Variant &value) const
{
    CheckedRange(value.toInt64(), INT16_MIN, INT16_MAX);
}

const TkvIntegerValueType *TkvIntegerValueType::Instance()
{
    static const TkvIntegerValueType instance;
    return &instance;
}

void TkvIntegerValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    Write(place, value.toInt32());
}

Variant TkvIntegerValueType::GetValueAt(const void *value) const
{
    return Variant(int(Read(value)));
}

void TkvIntegerValueType::CheckConvert(const Variant &value) const
{
    (void)value.toInt32();
}

const TkvWordValueType *TkvWordValueType::Instance()
{
    static const TkvWordValueType instance;
    return &instance;
}

void TkvWordValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    Write(place, std::uint16_t(CheckedRange(value.toInt64(), 0, UINT16_MAX)));
}

Variant TkvWordValueType::GetValueAt(const void *value) const
{
    return Variant::fromUInt16(Read(value));
}

void TkvWordValueType::CheckConvert(const Variant &value) const
{
    CheckedRange(value.toInt64(), 0, UINT16_MAX);
}

const TkvBooleanValueType *TkvBooleanValueType::Instance()
{
    static const TkvBooleanValueType instance;
    return &instance;
}

QString TkvBooleanValueType::GetDisplayText(const std::byte *place) const
{
    return Read(place) ? QStringLiteral("True") : QStringLiteral("False");
}

void TkvBooleanValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    Write(place, value.toBool() ? 1 : 0);
}

Variant TkvBooleanValueType::GetValueAt(const void *value) const
{
    return Variant(Read(value) != 0);
}

void TkvBooleanValueType::CheckConvert(const Variant &value) const
{
    (void)value.toBool();
}

const TkvFloatValueType *TkvFloatValueType::Instance()
{
    static const TkvFloatValueType instance;
    return &instance;
}

void TkvFloatValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    Write(place, value.toDouble());
}

Variant TkvFloatValueType::GetValueAt(const void *value) const
{
    return Variant(Read(value));
}

void TkvFloatValueType::CheckConvert(const Variant &value) const
{
    (void)value.toDouble();
}

const TkvCurrencyValueType *TkvCurrencyValueType::Instance()
{
    static const TkvCurrencyValueType instance;
    return &instance;
}

void TkvCurrencyValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    Write(place, value.toCurrency().scaled);
}

Variant TkvCurrencyValueType::GetValueAt(const void *value) const
{
    return Variant(Currency{Read(value)});
}

void TkvCurrencyValueType::CheckConvert(const Variant &value) const
{
    (void)value.toCurrency();
}

const TkvDateTimeValueType *TkvDateTimeValueType::Instance()
{
    static const TkvDateTimeValueType instance;
    return &instance;
}

void TkvDateTimeValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    Write(place, value.toDate());
}

Variant TkvDateTimeValueType::GetValueAt(const void *value) const
{
    return Variant::fromDate(Read(value));
}

void TkvDateTimeValueType::CheckConvert(const Variant &value) const
{
    (void)value.toDate();
}

const TkvLargeIntValueType *TkvLargeIntValueType::Instance()
{
    static const TkvLargeIntValueType instance;
    return &instance;
}

void TkvLargeIntValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    Write(place, value.toInt64());
}

Variant TkvLargeIntValueType::GetValueAt(const void *value) const
{
    return Variant(std::int64_t(Read(value)));
}

void TkvLargeIntValueType::CheckConvert(const Variant &value) const
{
    (void)value.toInt64();
}

} // namespace kestrum

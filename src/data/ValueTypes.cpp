#include "data/ValueTypes.h"

#include "core/Codepage.h"
#include "core/Errors.h"
#include "data/ValueHeap.h"
#include "data/VariantBridge.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kestrum {

namespace {

template <typename T> T ReadRaw(const void *from)
{
    T value;
    std::memcpy(&value, from, sizeof(T));
    return value;
}

template <typename T> void WriteRaw(std::byte *to, T value)
{
    std::memcpy(to, &value, sizeof(T));
}

std::byte *HolderAt(const std::byte *place)
{
    return ReadRaw<std::byte *>(place);
}

template <typename T> int ThreeWay(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Length prefix of holders: one byte for lengths below 255 (the usual case,
// which keeps a short text's holder at 8 bytes), else 255 and 4 bytes.
std::size_t LengthPrefixSize(std::uint32_t length)
{
    return length < 255 ? 1 : 5;
}

void WriteLengthPrefix(std::byte *at, std::uint32_t length)
{
    if (length < 255) {
        at[0] = std::byte(std::uint8_t(length));
    } else {
        at[0] = std::byte{255};
        WriteRaw(at + 1, length);
    }
}

std::uint32_t ReadLengthPrefix(const std::byte *at)
{
    const auto first = std::to_integer<std::uint8_t>(at[0]);
    return first < 255 ? first : ReadRaw<std::uint32_t>(at + 1);
}

void AppendLengthPrefix(std::string &out, std::uint32_t length)
{
    std::byte prefix[5];
    WriteLengthPrefix(prefix, length);
    out.append(reinterpret_cast<const char *>(prefix), LengthPrefixSize(length));
}

// Byte-string holders: the length prefix, then the bytes.
std::size_t NarrowHolderSize(std::uint32_t length)
{
    return LengthPrefixSize(length) + std::size_t(length);
}

std::byte *NewNarrowHolder(std::string_view bytes, TkvValueHeap &heap)
{
    const auto length = std::uint32_t(bytes.size());
    std::byte *holder = heap.Allocate(NarrowHolderSize(length));
    WriteLengthPrefix(holder, length);
    if (length)
        std::memcpy(holder + LengthPrefixSize(length), bytes.data(), length);
    return holder;
}

void FreeNarrowHolder(std::byte *holder, TkvValueHeap &heap)
{
    if (holder)
        heap.Free(holder, NarrowHolderSize(ReadLengthPrefix(holder)));
}

// Replaces the holder at `slot` with one holding `bytes`, reusing the block when
// the length is the same.
void StoreNarrowHolder(std::byte *slot, std::string_view bytes, TkvValueHeap &heap)
{
    std::byte *old = HolderAt(slot);
    if (old && ReadLengthPrefix(old) == bytes.size()) {
        if (!bytes.empty())
            std::memcpy(old + LengthPrefixSize(std::uint32_t(bytes.size())), bytes.data(), bytes.size());
        return;
    }
    FreeNarrowHolder(old, heap);
    WriteRaw(slot, NewNarrowHolder(bytes, heap));
}

std::size_t WideHolderSize(std::uint32_t units)
{
    return 4 + 2 * std::size_t(units);
}

void FreeWideHolder(std::byte *holder, TkvValueHeap &heap)
{
    if (holder)
        heap.Free(holder, WideHolderSize(ReadRaw<std::uint32_t>(holder)));
}

void StoreWideHolder(std::byte *slot, std::u16string_view units, TkvValueHeap &heap)
{
    FreeWideHolder(HolderAt(slot), heap);
    const auto length = std::uint32_t(units.size());
    std::byte *holder = heap.Allocate(WideHolderSize(length));
    WriteRaw(holder, length);
    if (length)
        std::memcpy(holder + 4, units.data(), 2 * std::size_t(length));
    WriteRaw(slot, holder);
}

std::int64_t CheckedRange(std::int64_t value, std::int64_t low, std::int64_t high)
{
    if (value < low || value > high)
        throw EVariantConversionError("Overflow while converting variant");
    return value;
}

} // namespace

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

std::string_view TkvStringValueType::HeldBytes(const void *value)
{
    if (!value)
        return {};
    const auto *holder = static_cast<const std::byte *>(value);
    const std::uint32_t length = ReadLengthPrefix(holder);
    return std::string_view(reinterpret_cast<const char *>(holder + LengthPrefixSize(length)), length);
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

// ---------------------------------------------------------------------------
// BCD

namespace {

int BcdDigit(const TkvBcd &bcd, int index)
{
    const std::uint8_t byte = bcd.Fraction[index / 2];
    return index % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

TkvBcd BcdFromDigits(bool negative, const std::string &digits, int places)
{
    TkvBcd bcd;
    const int count = std::min<int>(int(digits.size()), 64);
    bcd.Precision = std::uint8_t(count);
    for (int i = 0; i < count; ++i) {
        const int digit = digits[i] - '0';
        bcd.Fraction[i / 2] |= std::uint8_t(i % 2 == 0 ? digit << 4 : digit);
    }
    bcd.SignSpecialPlaces = std::uint8_t((negative ? 0x80 : 0) | (places & 0x3F));
    return bcd;
}

// Integer and fraction digits without leading or trailing zeros.
void BcdParts(const TkvBcd &bcd, std::string &integer, std::string &fraction)
{
    const int places = bcd.SignSpecialPlaces & 0x3F;
    const int precision = std::min<int>(bcd.Precision, 64);
    integer.clear();
    fraction.clear();
    for (int i = 0; i < precision; ++i) {
        const char digit = char('0' + BcdDigit(bcd, i));
        if (i < precision - places) {
            if (!integer.empty() || digit != '0')
                integer += digit;
        } else {
            fraction += digit;
        }
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
}

} // namespace

TkvBcd TkvBcd::FromDouble(double value)
{
    if (!std::isfinite(value))
        throw EVariantConversionError("Invalid BCD value");
    char text[64];
    // Fifteen significant digits: what a double reliably carries.
    auto result =
        std::to_chars(text, text + sizeof(text), std::fabs(value), std::chars_format::scientific, 14);
    const std::string scientific(text, result.ptr);
    const std::size_t e = scientific.find('e');
    std::string mantissa = scientific.substr(0, e);
    mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
    const int exponent = std::stoi(scientific.substr(e + 1));
    // mantissa d0 d1 ... d14 means d0.d1...d14 × 10^exponent.
    std::string digits;
    int places = 0;
    if (exponent >= 0) {
        digits = mantissa;
        if (int(digits.size()) < exponent + 1)
            digits.append(std::size_t(exponent + 1 - int(digits.size())), '0');
        places = int(digits.size()) - (exponent + 1);
    } else {
        digits = std::string(std::size_t(-exponent), '0') + mantissa;
        places = int(digits.size()) - 1;
    }
    while (places > 0 && digits.back() == '0') {
        digits.pop_back();
        --places;
    }
    if (places > 63) {
        digits.resize(digits.size() - std::size_t(places - 63));
        places = 63;
    }
    return BcdFromDigits(value < 0, digits, places);
}

TkvBcd TkvBcd::FromCurrency(Currency value)
{
    const bool negative = value.scaled < 0;
    std::uint64_t magnitude =
        negative ? std::uint64_t(0) - std::uint64_t(value.scaled) : std::uint64_t(value.scaled);
    std::string digits = std::to_string(magnitude);
    if (digits.size() < 5)
        digits.insert(0, 5 - digits.size(), '0');
    return BcdFromDigits(negative, digits, 4);
}

double TkvBcd::ToDouble() const
{
    std::string integer, fraction;
    BcdParts(*this, integer, fraction);
    std::string text = (integer.empty() ? "0" : integer) + "." + (fraction.empty() ? "0" : fraction);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return (SignSpecialPlaces & 0x80) ? -value : value;
}

int TkvBcd::Compare(const TkvBcd &a, const TkvBcd &b)
{
    std::string integerA, fractionA, integerB, fractionB;
    BcdParts(a, integerA, fractionA);
    BcdParts(b, integerB, fractionB);
    const bool zeroA = integerA.empty() && fractionA.empty();
    const bool zeroB = integerB.empty() && fractionB.empty();
    const int signA = zeroA ? 0 : ((a.SignSpecialPlaces & 0x80) ? -1 : 1);
    const int signB = zeroB ? 0 : ((b.SignSpecialPlaces & 0x80) ? -1 : 1);
    if (signA != signB)
        return signA < signB ? -1 : 1;
    int magnitude = ThreeWay(integerA.size(), integerB.size());
    if (magnitude == 0)
        magnitude = integerA.compare(integerB);
    if (magnitude == 0)
        magnitude = fractionA.compare(fractionB);
    magnitude = magnitude < 0 ? -1 : (magnitude > 0 ? 1 : 0);
    return signA < 0 ? -magnitude : magnitude;
}

const TkvFMTBcdValueType *TkvFMTBcdValueType::Instance()
{
    static const TkvFMTBcdValueType instance;
    return &instance;
}

void TkvFMTBcdValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    const TkvBcd bcd = value.type() == VarType::Currency ? TkvBcd::FromCurrency(value.toCurrency())
                                                         : TkvBcd::FromDouble(value.toDouble());
    WriteRaw(place, bcd);
}

int TkvFMTBcdValueType::Compare(const void *valueA, const void *valueB) const
{
    return TkvBcd::Compare(ReadRaw<TkvBcd>(valueA), ReadRaw<TkvBcd>(valueB));
}

Variant TkvFMTBcdValueType::GetValueAt(const void *value) const
{
    return Variant(ReadRaw<TkvBcd>(value).ToDouble());
}

void TkvFMTBcdValueType::CheckConvert(const Variant &value) const
{
    (void)TkvBcd::FromDouble(value.toDouble());
}

// ---------------------------------------------------------------------------
// SQL time stamps

namespace {

// Days since 1970-01-01 for a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = std::int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

constexpr std::int64_t DelphiEpochOffset = 25569; // days from 1899-12-30 to 1970-01-01

} // namespace

TkvSQLTimeStamp TkvSQLTimeStamp::FromDateTime(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        throw EVariantConversionError("Invalid date-time value");
    // The whole part is the day; the fraction's magnitude is the time of day,
    // also for dates before 1899-12-30.
    const double whole = std::trunc(days);
    std::int64_t milliseconds = std::llround(std::fabs(days - whole) * 86400000.0);
    std::int64_t day = std::int64_t(whole);
    if (milliseconds >= 86400000) {
        milliseconds -= 86400000;
        day += days < 0 ? -1 : 1;
    }
    std::int64_t year;
    unsigned month, dayOfMonth;
    CivilFromDays(day - DelphiEpochOffset, year, month, dayOfMonth);
    TkvSQLTimeStamp stamp;
    stamp.Year = std::int16_t(year);
    stamp.Month = std::uint16_t(month);
    stamp.Day = std::uint16_t(dayOfMonth);
    stamp.Hour = std::uint16_t(milliseconds / 3600000);
    stamp.Minute = std::uint16_t(milliseconds / 60000 % 60);
    stamp.Second = std::uint16_t(milliseconds / 1000 % 60);
    stamp.Fractions = std::uint32_t(milliseconds % 1000);
    return stamp;
}

double TkvSQLTimeStamp::ToDateTime() const
{
    const std::int64_t day = DaysFromCivil(Year, Month, Day) + DelphiEpochOffset;
    const double time = (Hour * 3600000.0 + Minute * 60000.0 + Second * 1000.0 + Fractions) / 86400000.0;
    return day < 0 ? double(day) - time : double(day) + time;
}

int TkvSQLTimeStamp::Compare(const TkvSQLTimeStamp &a, const TkvSQLTimeStamp &b)
{
    if (int r = ThreeWay(a.Year, b.Year))
        return r;
    if (int r = ThreeWay(a.Month, b.Month))
        return r;
    if (int r = ThreeWay(a.Day, b.Day))
        return r;
    if (int r = ThreeWay(a.Hour, b.Hour))
        return r;
    if (int r = ThreeWay(a.Minute, b.Minute))
        return r;
    if (int r = ThreeWay(a.Second, b.Second))
        return r;
    return ThreeWay(a.Fractions, b.Fractions);
}

const TkvSQLTimeStampValueType *TkvSQLTimeStampValueType::Instance()
{
    static const TkvSQLTimeStampValueType instance;
    return &instance;
}

void TkvSQLTimeStampValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    WriteRaw(place, TkvSQLTimeStamp::FromDateTime(value.toDate()));
}

int TkvSQLTimeStampValueType::Compare(const void *valueA, const void *valueB) const
{
    return TkvSQLTimeStamp::Compare(ReadRaw<TkvSQLTimeStamp>(valueA), ReadRaw<TkvSQLTimeStamp>(valueB));
}

Variant TkvSQLTimeStampValueType::GetValueAt(const void *value) const
{
    return Variant::fromDate(ReadRaw<TkvSQLTimeStamp>(value).ToDateTime());
}

void TkvSQLTimeStampValueType::CheckConvert(const Variant &value) const
{
    (void)TkvSQLTimeStamp::FromDateTime(value.toDate());
}

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

int TkvVariantValueType::Compare(const void *valueA, const void *valueB) const
{
    if (!valueA || !valueB)
        return (valueA ? 1 : 0) - (valueB ? 1 : 0);
    return CompareStoredVariants(GetValueAt(valueA), GetValueAt(valueB));
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

#include "core/Variant.h"

#include "core/Codepage.h"
#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/NumberText.h"
#include "core/RegionalSettings.h"

#include <bit>
#include <cmath>
#include <limits>

namespace kestrum {

namespace {

bool isIntegerKind(VarType type)
{
    return type >= VarType::Int8 && type <= VarType::UInt32;
}

[[noreturn]] void castError(VarType from, VarType to)
{
    throw EVariantTypeError(std::string("Could not convert variant of type (") + varTypeName(from) +
                            ") into type (" + varTypeName(to) + ")");
}

[[noreturn]] void convertError(VarType from, VarType to)
{
    throw EVariantConversionError(std::string("Could not convert variant of type (") + varTypeName(from) +
                                  ") into type (" + varTypeName(to) + ")");
}

[[noreturn]] void overflowError(VarType from, VarType to)
{
    throw EVariantConversionError(std::string("Overflow while converting variant of type (") +
                                  varTypeName(from) + ") into type (" + varTypeName(to) + ")");
}

// Rounds half to even, as the run time's integer conversions do.
bool roundToInt64(double value, std::int64_t &result)
{
    double rounded = std::nearbyint(value);
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
        return false;
    result = static_cast<std::int64_t>(rounded);
    return true;
}

std::int64_t roundCurrencyToInteger(std::int64_t scaled)
{
    std::int64_t quotient = scaled / 10000;
    std::int64_t remainder = scaled % 10000;
    std::int64_t magnitude = remainder < 0 ? -remainder : remainder;
    if (magnitude > 5000 || (magnitude == 5000 && quotient % 2 != 0))
        quotient += scaled < 0 ? -1 : 1;
    return quotient;
}

const QString TrueText = QStringLiteral("True");
const QString FalseText = QStringLiteral("False");

} // namespace

const char *varTypeName(VarType type)
{
    switch (type) {
    case VarType::Empty:
        return "Empty";
    case VarType::Null:
        return "Null";
    case VarType::Int8:
        return "ShortInt";
    case VarType::Int16:
        return "Smallint";
    case VarType::Int32:
        return "Integer";
    case VarType::Int64:
        return "Int64";
    case VarType::UInt8:
        return "Byte";
    case VarType::UInt16:
        return "Word";
    case VarType::UInt32:
        return "LongWord";
    case VarType::Float32:
        return "Single";
    case VarType::Float64:
        return "Double";
    case VarType::Currency:
        return "Currency";
    case VarType::Date:
        return "Date";
    case VarType::Boolean:
        return "Boolean";
    case VarType::String:
        return "String";
    case VarType::WideString:
        return "OleStr";
    case VarType::Array:
        return "Array";
    case VarType::Error:
        return "Error";
    }
    return "Unknown";
}

Currency Currency::fromDouble(double value)
{
    std::int64_t scaled = 0;
    // Rounding the shortest decimal form rounds what the user sees: 0.00015
    // becomes 0.0002 although its binary value lies just below the tie.
    if (!std::isfinite(value) || !DecimalToCurrency(ShortestDigits(value), scaled))
        overflowError(VarType::Float64, VarType::Currency);
    return Currency{scaled};
}

Variant::Variant(bool value) : FType(VarType::Boolean), FInt(value ? 1 : 0)
{
}
Variant::Variant(int value) : FType(VarType::Int32), FInt(value)
{
}
Variant::Variant(std::int64_t value) : FType(VarType::Int64), FInt(value)
{
}
Variant::Variant(double value) : FType(VarType::Float64), FDouble(value)
{
}
Variant::Variant(Currency value) : FType(VarType::Currency), FInt(value.scaled)
{
}

Variant::Variant(const QString &value)
    : FType(VarType::WideString),
      FWide(std::make_shared<const std::u16string>(reinterpret_cast<const char16_t *>(value.utf16()),
                                                   static_cast<std::size_t>(value.size())))
{
}

Variant::Variant(const char16_t *value)
    : FType(VarType::WideString), FWide(std::make_shared<const std::u16string>(value))
{
}

Variant::Variant(const char *utf8)
{
    *this = fromUtf8(utf8 ? std::string_view(utf8) : std::string_view());
}

Variant Variant::null()
{
    Variant v;
    v.FType = VarType::Null;
    return v;
}

Variant Variant::fromInt8(std::int8_t value)
{
    Variant v(static_cast<int>(value));
    v.FType = VarType::Int8;
    return v;
}

Variant Variant::fromInt16(std::int16_t value)
{
    Variant v(static_cast<int>(value));
    v.FType = VarType::Int16;
    return v;
}

Variant Variant::fromUInt8(std::uint8_t value)
{
    Variant v(static_cast<int>(value));
    v.FType = VarType::UInt8;
    return v;
}

Variant Variant::fromUInt16(std::uint16_t value)
{
    Variant v(static_cast<int>(value));
    v.FType = VarType::UInt16;
    return v;
}

Variant Variant::fromUInt32(std::uint32_t value)
{
    Variant v(static_cast<std::int64_t>(value));
    v.FType = VarType::UInt32;
    return v;
}

Variant Variant::fromFloat32(float value)
{
    Variant v(static_cast<double>(value));
    v.FType = VarType::Float32;
    return v;
}

Variant Variant::fromDate(double days)
{
    Variant v(days);
    v.FType = VarType::Date;
    return v;
}

Variant Variant::fromNarrow(NarrowString bytes)
{
    Variant v;
    v.FType = VarType::String;
    v.FNarrow = std::make_shared<const NarrowString>(std::move(bytes));
    return v;
}

Variant Variant::fromUtf8(std::string_view utf8)
{
    return fromNarrow(kestrum::utf8ToNarrow(utf8));
}

Variant Variant::fromWide(std::u16string text)
{
    Variant v;
    v.FType = VarType::WideString;
    v.FWide = std::make_shared<const std::u16string>(std::move(text));
    return v;
}

Variant Variant::fromArray(std::vector<Variant> elements)
{
    Variant v;
    v.FType = VarType::Array;
    v.FArray = std::make_shared<const std::vector<Variant>>(std::move(elements));
    return v;
}

Variant Variant::fromError(std::int32_t code)
{
    Variant v(static_cast<int>(code));
    v.FType = VarType::Error;
    return v;
}

bool Variant::isNumeric() const
{
    return FType >= VarType::Int8 && FType <= VarType::Currency;
}

namespace {

// The text of a String-class value; a malformed narrow string is content the
// kind allows but that cannot be read, hence a conversion error.
QString stringText(const Variant &v, VarType target)
{
    if (v.type() == VarType::WideString) {
        const std::u16string &wide = v.rawWide();
        return QString(reinterpret_cast<const QChar *>(wide.data()), static_cast<qsizetype>(wide.size()));
    }
    try {
        return fromNarrow(v.rawNarrow());
    } catch (const EEncodingError &) {
        convertError(v.type(), target);
    }
}

} // namespace

bool Variant::toBool() const
{
    switch (FType) {
    case VarType::Empty:
        return false;
    case VarType::Float32:
    case VarType::Float64:
    case VarType::Date:
        return FDouble != 0;
    case VarType::Boolean:
    case VarType::Currency:
        return FInt != 0;
    case VarType::String:
    case VarType::WideString: {
        QString text = stringText(*this, VarType::Boolean).trimmed();
        if (text.compare(TrueText, Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(FalseText, Qt::CaseInsensitive) == 0)
            return false;
        double number = 0;
        if (TryTextToFloat(text, number))
            return number != 0;
        convertError(FType, VarType::Boolean);
    }
    default:
        if (isIntegerKind(FType))
            return FInt != 0;
        castError(FType, VarType::Boolean);
    }
}

std::int64_t Variant::toInt64() const
{
    switch (FType) {
    case VarType::Empty:
        return 0;
    case VarType::Float32:
    case VarType::Float64:
    case VarType::Date: {
        std::int64_t result = 0;
        if (!roundToInt64(FDouble, result))
            overflowError(FType, VarType::Int64);
        return result;
    }
    case VarType::Currency:
        return roundCurrencyToInteger(FInt);
    case VarType::Boolean:
        return FInt ? -1 : 0;
    case VarType::String:
    case VarType::WideString: {
        QString text = stringText(*this, VarType::Int64);
        std::int64_t result = 0;
        if (TryTextToInt64(text, result))
            return result;
        double number = 0;
        if (!TryTextToFloat(text, number))
            convertError(FType, VarType::Int64);
        if (!roundToInt64(number, result))
            overflowError(FType, VarType::Int64);
        return result;
    }
    default:
        if (isIntegerKind(FType))
            return FInt;
        castError(FType, VarType::Int64);
    }
}

std::int32_t Variant::toInt32() const
{
    std::int64_t value = toInt64();
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        overflowError(FType, VarType::Int32);
    return static_cast<std::int32_t>(value);
}

double Variant::toDouble() const
{
    switch (FType) {
    case VarType::Empty:
        return 0;
    case VarType::Float32:
    case VarType::Float64:
    case VarType::Date:
        return FDouble;
    case VarType::Currency:
        return Currency{FInt}.toDouble();
    case VarType::Boolean:
        return FInt ? -1 : 0;
    case VarType::String:
    case VarType::WideString: {
        double number = 0;
        if (!TryTextToFloat(stringText(*this, VarType::Float64), number))
            convertError(FType, VarType::Float64);
        return number;
    }
    default:
        if (isIntegerKind(FType))
            return static_cast<double>(FInt);
        castError(FType, VarType::Float64);
    }
}

Currency Variant::toCurrency() const
{
    constexpr std::int64_t MaxWhole = std::numeric_limits<std::int64_t>::max() / 10000;
    switch (FType) {
    case VarType::Empty:
        return Currency{0};
    case VarType::Float32:
    case VarType::Float64:
    case VarType::Date: {
        std::int64_t scaled = 0;
        if (!std::isfinite(FDouble) || !DecimalToCurrency(ShortestDigits(FDouble), scaled))
            overflowError(FType, VarType::Currency);
        return Currency{scaled};
    }
    case VarType::Currency:
        return Currency{FInt};
    case VarType::Boolean:
        return Currency{FInt ? -10000 : 0};
    case VarType::String:
    case VarType::WideString: {
        Currency result;
        if (!TryTextToCurrency(stringText(*this, VarType::Currency), result))
            convertError(FType, VarType::Currency);
        return result;
    }
    default:
        if (isIntegerKind(FType)) {
            if (FInt > MaxWhole || FInt < -MaxWhole)
                overflowError(FType, VarType::Currency);
            return Currency{FInt * 10000};
        }
        castError(FType, VarType::Currency);
    }
}

double Variant::toDate() const
{
    switch (FType) {
    case VarType::String:
    case VarType::WideString: {
        double date = 0;
        if (!TryTextToDateTime(stringText(*this, VarType::Date), date))
            convertError(FType, VarType::Date);
        return date;
    }
    case VarType::Null:
    case VarType::Array:
    case VarType::Error:
        castError(FType, VarType::Date);
    default:
        return toDouble();
    }
}

QString Variant::toString() const
{
    switch (FType) {
    case VarType::Empty:
        return QString();
    case VarType::Float32:
        return Float32ToText(static_cast<float>(FDouble));
    case VarType::Float64:
        return FloatToText(FDouble);
    case VarType::Currency:
        return CurrencyToText(Currency{FInt});
    case VarType::Date: {
        try {
            return DateTimeToText(FDouble);
        } catch (const EVariantConversionError &) {
            convertError(FType, VarType::String);
        }
    }
    case VarType::Boolean:
        return FInt ? TrueText : FalseText;
    case VarType::String:
    case VarType::WideString:
        return stringText(*this, VarType::String);
    default:
        if (isIntegerKind(FType))
            return QString::number(FInt);
        castError(FType, VarType::String);
    }
}

NarrowString Variant::toNarrow() const
{
    if (FType == VarType::String)
        return *FNarrow;
    QString text = toString();
    try {
        return kestrum::toNarrow(text);
    } catch (const EEncodingError &) {
        convertError(FType, VarType::String);
    }
}

std::u16string Variant::toWide() const
{
    if (FType == VarType::WideString)
        return *FWide;
    QString text = toString();
    return std::u16string(reinterpret_cast<const char16_t *>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

QString Variant::displayText() const
{
    if (FType == VarType::Null || FType == VarType::Empty)
        return QString();
    // What a user reads: fifteen significant digits, so an amount worked out
    // by arithmetic (316.76 + 0.03) shows "316.79", not its binary remainder.
    // toString keeps the shortest text that reads back to the same value.
    if (FType == VarType::Float64)
        return FloatToText(FDouble, 15);
    return toString();
}

int Variant::arrayHighBound() const
{
    return static_cast<int>(elements().size()) - 1;
}

const Variant &Variant::at(int index) const
{
    const std::vector<Variant> &items = elements();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        throw EVariantBadIndexError();
    return items[static_cast<std::size_t>(index)];
}

const std::vector<Variant> &Variant::elements() const
{
    if (FType != VarType::Array)
        throw EVariantTypeError("Variant is not an array");
    return *FArray;
}

const NarrowString &Variant::rawNarrow() const
{
    static const NarrowString empty;
    return FNarrow ? *FNarrow : empty;
}

const std::u16string &Variant::rawWide() const
{
    static const std::u16string empty;
    return FWide ? *FWide : empty;
}

bool Variant::identicalTo(const Variant &other) const
{
    if (FType != other.FType)
        return false;
    switch (FType) {
    case VarType::Empty:
    case VarType::Null:
        return true;
    case VarType::Float32:
    case VarType::Float64:
    case VarType::Date:
        return std::bit_cast<std::uint64_t>(FDouble) == std::bit_cast<std::uint64_t>(other.FDouble);
    case VarType::String:
        return *FNarrow == *other.FNarrow;
    case VarType::WideString:
        return *FWide == *other.FWide;
    case VarType::Array: {
        if (FArray->size() != other.FArray->size())
            return false;
        for (std::size_t i = 0; i < FArray->size(); ++i)
            if (!(*FArray)[i].identicalTo((*other.FArray)[i]))
                return false;
        return true;
    }
    default:
        return FInt == other.FInt;
    }
}

std::string debugString(const Variant &value)
{
    std::string name = varTypeName(value.type());
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
        return name;
    case VarType::Array: {
        std::string out = "Array[";
        for (std::size_t i = 0; i < value.elements().size(); ++i) {
            if (i > 0)
                out += ", ";
            out += debugString(value.elements()[i]);
        }
        return out + "]";
    }
    case VarType::Error:
        return name + "(" + std::to_string(value.rawInteger()) + ")";
    case VarType::String: {
        try {
            return name + "(" + narrowToUtf8(value.rawNarrow()) + ")";
        } catch (const EEncodingError &) {
            std::string hex;
            for (unsigned char c : value.rawNarrow()) {
                static const char digits[] = "0123456789ABCDEF";
                hex += digits[c >> 4];
                hex += digits[c & 15];
            }
            return name + "(bytes " + hex + ")";
        }
    }
    default:
        return name + "(" + value.toString().toStdString() + ")";
    }
}

} // namespace kestrum

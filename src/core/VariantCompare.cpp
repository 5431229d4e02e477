#include "core/VariantCompare.h"

#include "core/Errors.h"

#include <cstring>

namespace kestrum {

VariantClass ClassOfVariant(const Variant &value)
{
    switch (value.type()) {
    case VarType::Empty:
        return VariantClass::Empty;
    case VarType::Null:
        return VariantClass::Null;
    case VarType::Int8:
    case VarType::Int16:
    case VarType::Int32:
    case VarType::UInt8:
        return VariantClass::Integer;
    case VarType::UInt16:
    case VarType::UInt32:
    case VarType::Int64:
        return VariantClass::LargeInteger;
    case VarType::Float32:
    case VarType::Float64:
        return VariantClass::Real;
    case VarType::Currency:
        return VariantClass::Currency;
    case VarType::Date:
        return VariantClass::Date;
    case VarType::String:
    case VarType::WideString:
        return VariantClass::String;
    case VarType::Boolean:
        return VariantClass::Boolean;
    case VarType::Array:
        return VariantClass::Array;
    case VarType::Error:
        return VariantClass::Incomparable;
    }
    return VariantClass::Incomparable;
}

namespace {

template <typename T> int threeWay(T a, T b)
{
    if (a == b)
        return 0;
    if (a < b)
        return -1;
    return 1; // greater, or unordered
}

int compareBytes(const NarrowString &a, const NarrowString &b)
{
    // char_traits<char> compares as unsigned bytes; a proper prefix is less.
    int result = a.compare(b);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

int compareStrings(const Variant &a, const Variant &b)
{
    if (a.type() == VarType::String && b.type() == VarType::String)
        return compareBytes(a.rawNarrow(), b.rawNarrow());
    // Wide strings take the code page's byte order, not UTF-16 order.
    return compareBytes(a.toNarrow(), b.toNarrow());
}

bool isOneOf(VariantClass c, std::initializer_list<VariantClass> set)
{
    for (VariantClass member : set)
        if (member == c)
            return true;
    return false;
}

} // namespace

int PlatformCompareVariants(const Variant &a, const Variant &b)
{
    // Fast paths for the pairs a column of data holds.
    if (a.type() == b.type()) {
        switch (a.type()) {
        case VarType::Int8:
        case VarType::Int16:
        case VarType::Int32:
        case VarType::UInt8:
        case VarType::UInt16:
        case VarType::UInt32:
        case VarType::Int64:
        case VarType::Currency:
            return threeWay(a.rawInteger(), b.rawInteger());
        case VarType::Float32:
        case VarType::Float64:
        case VarType::Date:
            return threeWay(a.rawDouble(), b.rawDouble());
        case VarType::String:
            return compareBytes(a.rawNarrow(), b.rawNarrow());
        default:
            break;
        }
    }

    VariantClass ca = ClassOfVariant(a);
    VariantClass cb = ClassOfVariant(b);
    if (ca == VariantClass::Array || cb == VariantClass::Array || ca == VariantClass::Incomparable ||
        cb == VariantClass::Incomparable)
        throw EVariantTypeError();
    if (ca == VariantClass::Null || cb == VariantClass::Null)
        return ca == cb ? 0 : (ca == VariantClass::Null ? -1 : 1);
    if (ca == VariantClass::Empty && cb == VariantClass::Empty)
        return 0;
    // Empty takes the other side's method and converts to its zero value.
    if (ca == VariantClass::Empty)
        ca = cb;
    if (cb == VariantClass::Empty)
        cb = ca;

    auto pair = [&](VariantClass x, std::initializer_list<VariantClass> others) {
        return (ca == x && isOneOf(cb, others)) || (cb == x && isOneOf(ca, others));
    };
    using C = VariantClass;
    if (pair(C::Date, {C::Integer, C::LargeInteger, C::Real, C::Currency, C::String, C::Boolean, C::Date}))
        return threeWay(a.toDate(), b.toDate());
    if (pair(C::Currency, {C::Integer, C::LargeInteger, C::Real, C::String, C::Boolean, C::Currency}))
        return threeWay(a.toCurrency(), b.toCurrency());
    if (pair(C::Real, {C::Integer, C::LargeInteger, C::String, C::Boolean, C::Real}))
        return threeWay(a.toDouble(), b.toDouble());
    if (pair(C::LargeInteger, {C::Integer, C::LargeInteger, C::Boolean}))
        return threeWay(a.toInt64(), b.toInt64());
    if (pair(C::Integer, {C::Integer, C::Boolean}))
        return threeWay(a.toInt32(), b.toInt32());
    if (pair(C::String, {C::Integer, C::LargeInteger}))
        return threeWay(a.toDouble(), b.toDouble());
    if (ca == C::String && cb == C::String)
        return compareStrings(a, b);
    if (pair(C::Boolean, {C::String, C::Boolean}))
        return threeWay(static_cast<int>(a.toBool()), static_cast<int>(b.toBool()));
    throw EVariantTypeError();
}

int CompareVariants(const Variant &a, const Variant &b)
{
    if (a.isArray() || b.isArray()) {
        if (!b.isArray())
            return 1;
        if (!a.isArray())
            return -1;
        int highA = a.arrayHighBound();
        int highB = b.arrayHighBound();
        if (highA != highB)
            return highA - highB;
        for (int i = 0; i <= highA; ++i) {
            int result = CompareVariants(a.at(i), b.at(i));
            if (result != 0)
                return result;
        }
        return 0;
    }
    try {
        int result = PlatformCompareVariants(a, b);
        if (result == 0)
            return 0;
        if (a.isNull())
            return -1;
        if (b.isNull())
            return 1;
        return result < 0 ? -1 : 1;
    } catch (const EVariantTypeError &) {
        return -1;
    } catch (const EVariantConversionError &) {
        return -1;
    }
}

bool VariantsEqual(const Variant &a, const Variant &b)
{
    if (a.isArray() && b.isArray()) {
        if (a.arrayHighBound() != b.arrayHighBound())
            return false;
        for (int i = 0; i <= a.arrayHighBound(); ++i)
            if (!VariantsEqual(a.at(i), b.at(i)))
                return false;
        return true;
    }
    if ((a.isArray() && b.isNull()) || (a.isNull() && b.isArray()))
        return false;
    return PlatformCompareVariants(a, b) == 0;
}

bool VariantLess(const Variant &a, const Variant &b)
{
    return PlatformCompareVariants(a, b) < 0;
}

bool VariantGreater(const Variant &a, const Variant &b)
{
    // Unordered pairs are neither less nor greater.
    if (PlatformCompareVariants(a, b) <= 0)
        return false;
    return PlatformCompareVariants(b, a) < 0;
}

bool IsNullOrEmptyText(const Variant &value)
{
    if (value.isNull())
        return true;
    if (value.type() == VarType::String)
        return value.rawNarrow().empty();
    if (value.type() == VarType::WideString)
        return value.rawWide().empty();
    return false;
}

bool ValuesEqualForEdit(const Variant &a, const Variant &b)
{
    if (a.isNull() || b.isNull() || (a.type() != VarType::Boolean && b.type() != VarType::Boolean))
        return CompareVariants(a, b) == 0;
    try {
        return a.toString() == b.toString();
    } catch (const EVariantTypeError &) {
        return false;
    } catch (const EVariantConversionError &) {
        return false;
    }
}

} // namespace kestrum

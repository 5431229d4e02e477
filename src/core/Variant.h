#pragma once
// The dynamic value in which field values, filter values, summary results
// and editor values travel.
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kestrum {

//! Narrow strings hold GB18030 bytes (a lossless superset of GBK).
using NarrowString = std::string;

enum class VarType : std::uint8_t {
    Empty, //!< unassigned
    Null,
    Int8, //!< 8-bit signed
    Int16,
    Int32,
    Int64,
    UInt8,
    UInt16,
    UInt32,
    Float32,
    Float64,
    Currency, //!< 64-bit integer scaled by 10 000
    Date,     //!< days since 30 December 1899, fraction = time of day
    Boolean,
    String,     //!< narrow (GB18030 bytes)
    WideString, //!< UTF-16
    Array,      //!< one-dimensional, lower bound 0
    Error,      //!< an error code: a kind that never compares or converts
};

//! Fixed point with four decimals.
struct Currency {
    std::int64_t scaled = 0;                  //!< value × 10 000
    static Currency fromDouble(double value); //!< rounds half away from zero; throws on overflow
    double toDouble() const { return double(scaled) / 10000.0; }
    friend bool operator==(Currency, Currency) = default;
    friend auto operator<=>(Currency, Currency) = default;
};

//! The date value that stands for "no date" wherever a date travels as a number.
inline constexpr double NullDate = -700000.0;

class Variant {
public:
    Variant() = default; //!< Empty
    Variant(bool value);
    Variant(int value);          //!< Int32
    Variant(std::int64_t value); //!< Int64
    //! Int64 from qint64 / long long, which is a type of its own beside int64_t here.
    template <typename T>
    requires(std::is_same_v<T, long long> && !std::is_same_v<long long, std::int64_t>) Variant(T value)
        : Variant(static_cast<std::int64_t>(value))
    {
    }
    Variant(double value); //!< Float64
    Variant(Currency value);
    Variant(const QString &value);  //!< WideString
    Variant(const char16_t *value); //!< WideString
    //! String (narrow) from UTF-8 text; without it a literal would turn into a Boolean.
    Variant(const char *utf8);

    static Variant null();
    static Variant fromInt8(std::int8_t value);
    static Variant fromInt16(std::int16_t value);
    static Variant fromUInt8(std::uint8_t value);
    static Variant fromUInt16(std::uint16_t value);
    static Variant fromUInt32(std::uint32_t value);
    static Variant fromFloat32(float value);
    static Variant fromDate(double days);
    static Variant fromNarrow(NarrowString bytes);  //!< GB18030 bytes as they are
    static Variant fromUtf8(std::string_view utf8); //!< converted to a narrow string
    static Variant fromWide(std::u16string text);
    static Variant fromArray(std::vector<Variant> elements);
    static Variant fromError(std::int32_t code);

    VarType type() const { return FType; }
    bool isEmpty() const { return FType == VarType::Empty; }
    bool isNull() const { return FType == VarType::Null; }
    bool isArray() const { return FType == VarType::Array; }
    bool isString() const { return FType == VarType::String || FType == VarType::WideString; }
    bool isNumeric() const; //!< any integer, float or currency kind

    // Conversions follow the regional settings; an impossible kind raises
    // EVariantTypeError, impossible content EVariantConversionError.
    // Null converts to nothing (type error); Empty converts to 0, "", false.
    bool toBool() const;
    std::int32_t toInt32() const;
    std::int64_t toInt64() const;
    double toDouble() const;
    Currency toCurrency() const;
    double toDate() const;
    NarrowString toNarrow() const; //!< text form in the narrow code page
    QString toString() const;      //!< text form for the user interface
    std::u16string toWide() const;

    //! Text form where Null and Empty give "".
    QString displayText() const;

    // Array access (lower bound 0; upper bound -1 when empty).
    int arrayHighBound() const;
    const Variant &at(int index) const;
    const std::vector<Variant> &elements() const;

    //! Raw payload accessors; only valid for the matching type.
    std::int64_t rawInteger() const { return FInt; }
    double rawDouble() const { return FDouble; }
    const NarrowString &rawNarrow() const;
    const std::u16string &rawWide() const;

    //! Same type and same payload (not the comparison rules; see VariantCompare).
    bool identicalTo(const Variant &other) const;

private:
    VarType FType = VarType::Empty;
    union {
        std::int64_t FInt = 0; // integers, Boolean (0/1), Currency (scaled), Error code
        double FDouble;        // floats and dates
    };
    std::shared_ptr<const NarrowString> FNarrow;
    std::shared_ptr<const std::u16string> FWide;
    std::shared_ptr<const std::vector<Variant>> FArray;
};

//! The kind's name in conversion messages: "Integer", "Double", "String".
const char *varTypeName(VarType type);

//! Printable form for test failures and diagnostics: "Int32(5)", "String(abc)", "Null".
std::string debugString(const Variant &value);

} // namespace kestrum

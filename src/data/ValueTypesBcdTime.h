#pragma once
// Packed BCD numbers and SQL time stamps: fixed-size records stored in place,
// compared field by field rather than as bytes.
#include "data/ValueTypes.h"

#include <cstdint>

namespace kestrum {

//! One packed BCD number: precision, sign and places, 64 digit nibbles.
struct TkvBcd {
    std::uint8_t Precision = 0;         //!< digits in Fraction
    std::uint8_t SignSpecialPlaces = 0; //!< bit 7 sign, bits 0..5 decimal places
    std::uint8_t Fraction[32] = {};     //!< two digits per byte, high nibble first

    static TkvBcd FromDouble(double value);
    static TkvBcd FromCurrency(Currency value);
    double ToDouble() const;
    static int Compare(const TkvBcd &a, const TkvBcd &b);
};
static_assert(sizeof(TkvBcd) == 34);

class TkvFMTBcdValueType : public TkvValueType {
public:
    static const TkvFMTBcdValueType *Instance();
    int ValueByteSize() const override { return sizeof(TkvBcd); }
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    int Compare(const void *valueA, const void *valueB) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::FMTBcd; }
    const char *ClassName() const override { return "TkvFMTBcdValueType"; }

protected:
    TkvFMTBcdValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

//! Year, month, day, hour, minute, second as 16-bit fields, then milliseconds.
struct TkvSQLTimeStamp {
    std::int16_t Year = 0;
    std::uint16_t Month = 0;
    std::uint16_t Day = 0;
    std::uint16_t Hour = 0;
    std::uint16_t Minute = 0;
    std::uint16_t Second = 0;
    std::uint32_t Fractions = 0;

    static TkvSQLTimeStamp FromDateTime(double days);
    double ToDateTime() const;
    static int Compare(const TkvSQLTimeStamp &a, const TkvSQLTimeStamp &b);
};
static_assert(sizeof(TkvSQLTimeStamp) == 16);

class TkvSQLTimeStampValueType : public TkvValueType {
public:
    static const TkvSQLTimeStampValueType *Instance();
    int ValueByteSize() const override { return sizeof(TkvSQLTimeStamp); }
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    int Compare(const void *valueA, const void *valueB) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::SQLTimeStamp; }
    const char *ClassName() const override { return "TkvSQLTimeStampValueType"; }

protected:
    TkvSQLTimeStampValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

} // namespace kestrum

#pragma once
// Value type classes: stateless operations on one value's place inside a
// record buffer. Each class has exactly one instance; a column names its class
// by pointer (TkvValueTypeClass). The BCD and time stamp classes are in
// ValueTypesBcdTime.h, the held variant and owned object classes in
// ValueTypesHeld.h.
#include "core/BinaryStream.h"
#include "core/Variant.h"
#include "data/ValueHolders.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace kestrum {

class TkvValueHeap;

//! The variant type a value type class declares. `Variant` means "any".
enum class TkvDeclaredVarType : std::uint8_t {
    Variant,
    String,
    WideString,
    Smallint,
    Integer,
    Word,
    Boolean,
    Float,
    Currency,
    DateTime,
    LargeInt,
    FMTBcd,
    SQLTimeStamp,
};

//! The base class: declares "variant", takes no bytes, compares through
//! variants and streams in the variant encoding.
//!
//! A "place" is the address of a value's bytes inside a record buffer (for held
//! types those bytes are the holder pointer); a "value" pointer is what
//! `PrepareValuePointer` makes of a place (for held types, the holder itself).
//! Places are not aligned; implementations read them with memcpy.
class TkvValueType {
public:
    TkvValueType(const TkvValueType &) = delete;
    TkvValueType &operator=(const TkvValueType &) = delete;

    static const TkvValueType *Instance();

    //! Compares two stored values given their places; held types follow the
    //! holder pointers first.
    virtual int CompareStored(const std::byte *placeA, const std::byte *placeB) const;
    //! Releases what the place owns (holders, objects). Leaves the bytes stale.
    virtual void FreeStored(std::byte *place, TkvValueHeap &heap) const;
    virtual int ValueByteSize() const { return 0; }
    //! The stored value; a missing holder gives Null.
    virtual Variant GetValue(const std::byte *place) const;
    //! The value's general text form; an unconvertible value gives "".
    virtual QString GetDisplayText(const std::byte *place) const;
    virtual QString GetStoredText(const std::byte *textPlace) const;
    virtual void LoadValue(std::byte *place, BinaryReader &stream, TkvValueHeap &heap) const;
    virtual void ReadStoredText(std::byte *textPlace, BinaryReader &stream, TkvValueHeap &heap) const;
    //! Stores the variant converted to the class's type; raises the variant
    //! conversion errors when it does not convert.
    virtual void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const;
    virtual void SetStoredText(std::byte *textPlace, const QString &text, TkvValueHeap &heap) const;
    virtual void SaveValue(const std::byte *place, BinaryWriter &stream) const;
    virtual void WriteStoredText(const std::byte *textPlace, BinaryWriter &stream) const;
    //! Compares two values given pointers to the values themselves (a null
    //! pointer for a missing holder, which sorts first).
    virtual int Compare(const void *valueA, const void *valueB) const;
    virtual Variant GetValueAt(const void *value) const;
    virtual TkvDeclaredVarType GetVarType() const { return TkvDeclaredVarType::Variant; }
    //! Whether the variant may be stored: Null always, anything for "variant".
    virtual bool IsValueValid(const Variant &value) const;
    virtual bool IsHeld() const { return false; }
    virtual const void *PrepareValuePointer(const std::byte *place) const { return place; }

    //! Whether freeing a value does more than give memory back to the heap, so
    //! that clearing a whole storage must visit each value.
    virtual bool NeedsFinalize() const { return false; }
    //! Whether the class holds a byte or wide string (for string sorting options).
    virtual bool IsStringType() const { return false; }
    virtual const char *ClassName() const { return "TkvValueType"; }

    //! Frees a display-text holder and clears the pointer to it.
    static void FreeStoredText(std::byte *textPlace, TkvValueHeap &heap);

protected:
    TkvValueType() = default;
    ~TkvValueType() = default;
    //! The declared type's conversion; raises the variant errors.
    virtual void CheckConvert(const Variant &value) const;
};

using TkvValueTypeClass = const TkvValueType *;

//! Byte strings in a holder: a 4-byte length, then the bytes.
class TkvStringValueType : public TkvValueType {
public:
    static const TkvStringValueType *Instance();
    int CompareStored(const std::byte *placeA, const std::byte *placeB) const override;
    void FreeStored(std::byte *place, TkvValueHeap &heap) const override;
    int ValueByteSize() const override { return sizeof(void *); }
    void LoadValue(std::byte *place, BinaryReader &stream, TkvValueHeap &heap) const override;
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    void SaveValue(const std::byte *place, BinaryWriter &stream) const override;
    int Compare(const void *valueA, const void *valueB) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::String; }
    bool IsHeld() const override { return true; }
    const void *PrepareValuePointer(const std::byte *place) const override;
    bool IsStringType() const override { return true; }
    const char *ClassName() const override { return "TkvStringValueType"; }

    //! Stores raw bytes without building a variant (the loader's fast path).
    void SetBytes(std::byte *place, std::string_view bytes, TkvValueHeap &heap) const;
    //! SetBytes for a value read into many records at once: an equal short
    //! text recurring on many rows is held once for all of them.
    void SetSharedBytes(std::byte *place, std::string_view bytes, TkvValueHeap &heap) const;
    //! The bytes of a holder (value pointer), empty for none.
    static std::string_view HeldBytes(const void *value)
    {
        if (!value)
            return {};
        const auto *holder = static_cast<const std::byte *>(value);
        const std::uint32_t length = detail::ReadLengthPrefix(holder);
        return std::string_view(reinterpret_cast<const char *>(holder + detail::LengthPrefixSize(length)),
                                length);
    }
    //! Bytes laid out as a holder holds them (length prefix, then the
    //! bytes), for a text kept beside the storage that HeldBytes reads.
    static std::string HolderImage(std::string_view bytes);

protected:
    TkvStringValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

//! UTF-16 strings in a holder: a 4-byte length in units, then the units.
class TkvWideStringValueType : public TkvStringValueType {
public:
    static const TkvWideStringValueType *Instance();
    void FreeStored(std::byte *place, TkvValueHeap &heap) const override;
    void LoadValue(std::byte *place, BinaryReader &stream, TkvValueHeap &heap) const override;
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    void SaveValue(const std::byte *place, BinaryWriter &stream) const override;
    int Compare(const void *valueA, const void *valueB) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::WideString; }
    const char *ClassName() const override { return "TkvWideStringValueType"; }
    static std::u16string_view HeldUnits(const void *value);

protected:
    TkvWideStringValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

//! Fixed-size numbers stored as they are (T is the stored C++ type).
template <typename T> class TkvNumericValueType : public TkvValueType {
public:
    int CompareStored(const std::byte *placeA, const std::byte *placeB) const override
    {
        return Compare(placeA, placeB);
    }
    int ValueByteSize() const override { return sizeof(T); }
    void LoadValue(std::byte *place, BinaryReader &stream, TkvValueHeap &heap) const override;
    void SaveValue(const std::byte *place, BinaryWriter &stream) const override;
    int Compare(const void *valueA, const void *valueB) const override;

    static T Read(const void *value);
    static void Write(std::byte *place, T value);
};

class TkvSmallintValueType : public TkvNumericValueType<std::int16_t> {
public:
    static const TkvSmallintValueType *Instance();
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::Smallint; }
    const char *ClassName() const override { return "TkvSmallintValueType"; }

protected:
    TkvSmallintValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

class TkvIntegerValueType : public TkvNumericValueType<std::int32_t> {
public:
    static const TkvIntegerValueType *Instance();
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::Integer; }
    const char *ClassName() const override { return "TkvIntegerValueType"; }

protected:
    TkvIntegerValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

class TkvWordValueType : public TkvNumericValueType<std::uint16_t> {
public:
    static const TkvWordValueType *Instance();
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::Word; }
    const char *ClassName() const override { return "TkvWordValueType"; }

protected:
    TkvWordValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

class TkvBooleanValueType : public TkvNumericValueType<std::uint8_t> {
public:
    static const TkvBooleanValueType *Instance();
    QString GetDisplayText(const std::byte *place) const override;
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::Boolean; }
    const char *ClassName() const override { return "TkvBooleanValueType"; }

protected:
    TkvBooleanValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

class TkvFloatValueType : public TkvNumericValueType<double> {
public:
    static const TkvFloatValueType *Instance();
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::Float; }
    const char *ClassName() const override { return "TkvFloatValueType"; }

protected:
    TkvFloatValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

//! Currency as its 64-bit integer scaled by 10 000.
class TkvCurrencyValueType : public TkvNumericValueType<std::int64_t> {
public:
    static const TkvCurrencyValueType *Instance();
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::Currency; }
    const char *ClassName() const override { return "TkvCurrencyValueType"; }

protected:
    TkvCurrencyValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

class TkvDateTimeValueType : public TkvNumericValueType<double> {
public:
    static const TkvDateTimeValueType *Instance();
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::DateTime; }
    const char *ClassName() const override { return "TkvDateTimeValueType"; }

protected:
    TkvDateTimeValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

class TkvLargeIntValueType : public TkvNumericValueType<std::int64_t> {
public:
    static const TkvLargeIntValueType *Instance();
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::LargeInt; }
    const char *ClassName() const override { return "TkvLargeIntValueType"; }

protected:
    TkvLargeIntValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

} // namespace kestrum

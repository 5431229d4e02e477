#pragma once
// Values held outside the record buffer: any variant in a compact holder, and
// objects owned by a column.
#include "data/ValueTypes.h"

#include <cstdint>
#include <string_view>

namespace kestrum {

//! Any variant, held in a compact holder: a 4-byte payload size, the variant
//! type byte, then the payload (an 8-byte number, the string's bytes or units,
//! an array in the variant stream form). A memo of twenty bytes so costs 32
//! bytes instead of a variant object with its string in separate blocks.
class TkvVariantValueType : public TkvValueType {
public:
    static const TkvVariantValueType *Instance();
    int CompareStored(const std::byte *placeA, const std::byte *placeB) const override;
    void FreeStored(std::byte *place, TkvValueHeap &heap) const override;
    int ValueByteSize() const override { return sizeof(void *); }
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    int Compare(const void *valueA, const void *valueB) const override;
    Variant GetValueAt(const void *value) const override;
    bool IsHeld() const override { return true; }
    const void *PrepareValuePointer(const std::byte *place) const override;
    const char *ClassName() const override { return "TkvVariantValueType"; }

    //! The bytes of a held narrow string (what a memo column holds), read in
    //! place from what PrepareValuePointer gives; false for any other type.
    static bool HeldNarrow(const void *value, std::string_view &bytes);
    //! Whether the held value is a wide string.
    static bool HoldsWide(const void *value);
    //! The narrow text of a variant holder laid out as a string holder
    //! (TkvStringValueType::HeldBytes reads it); null for any other value.
    static const std::byte *HeldNarrowImage(const void *value);
    //! Stores narrow bytes as a held narrow string, as SetValue stores such a
    //! variant, without making one (the loader's fast path).
    void SetNarrow(std::byte *place, std::string_view bytes, TkvValueHeap &heap) const;

protected:
    TkvVariantValueType() = default;
};

//! An object owned by a storage column; freeing the value destroys it.
class TkvStoredObject {
public:
    virtual ~TkvStoredObject() = default;
};

//! A reference to a TkvStoredObject, travelling as a 64-bit integer. It is an
//! integer column to everything else (comparison of the references).
class TkvObjectValueType : public TkvNumericValueType<std::intptr_t> {
public:
    static const TkvObjectValueType *Instance();
    void FreeStored(std::byte *place, TkvValueHeap &heap) const override;
    void LoadValue(std::byte *place, BinaryReader &stream, TkvValueHeap &heap) const override;
    void SetValue(std::byte *place, const Variant &value, TkvValueHeap &heap) const override;
    void SaveValue(const std::byte *place, BinaryWriter &stream) const override;
    Variant GetValueAt(const void *value) const override;
    TkvDeclaredVarType GetVarType() const override { return TkvDeclaredVarType::LargeInt; }
    bool NeedsFinalize() const override { return true; }
    const char *ClassName() const override { return "TkvObjectValueType"; }

    static Variant FromObject(TkvStoredObject *object);
    static TkvStoredObject *ToObject(const Variant &value);

protected:
    TkvObjectValueType() = default;
    void CheckConvert(const Variant &value) const override;
};

} // namespace kestrum

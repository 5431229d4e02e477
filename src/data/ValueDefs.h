#pragma once
// Column definitions of a typed value storage and their layout in a record buffer.
#include "data/ValueTypes.h"

#include <QString>

#include <memory>
#include <vector>

namespace kestrum {

class TkvDataStorage;
class TkvValueDefs;
class TkvValueHeap;

//! One column: its type, its place in a record buffer and whether it takes room.
//! Buffer layout of a column: a null byte (0 null, 1 present), the value's
//! bytes, then, with `TextStored`, a pointer to a display-text holder.
class TkvValueDef {
public:
    TkvValueDef(TkvValueDefs *valueDefs, TkvValueTypeClass valueTypeClass, void *linkObject, bool stored,
                bool textStored);
    virtual ~TkvValueDef() = default;

    TkvValueDefs *ValueDefs() const { return FValueDefs; }
    TkvValueTypeClass ValueTypeClass() const { return FValueTypeClass; }
    void *LinkObject() const { return FLinkObject; }
    //! Hands the column to another owner (a field taking over a shared column).
    void SetLinkObject(void *linkObject) { FLinkObject = linkObject; }
    //! The object the column belongs to (an internal definition answers with
    //! the owner of the definition it mirrors).
    virtual void *Owner() const { return FLinkObject; }

    bool Stored() const { return FStored; }
    void SetStored(bool value);
    bool TextStored() const { return FTextStored; }
    void SetTextStored(bool value);
    //! Whether the column takes room in record buffers of its list.
    virtual bool IsStoredInRecords() const;

    int Offset() const { return FOffset; }
    int DataSize() const { return FValueTypeClass->ValueByteSize(); }
    int BufferSize() const { return FBufferSize; }
    //! Offset of the value's bytes and of the display-text pointer.
    int ValueOffset() const { return FOffset + 1; }
    int TextOffset() const { return FOffset + 1 + DataSize(); }

    //! Compares this column of two buffers (either may be null): no buffer
    //! first, then Null first, then the type's comparison.
    int Compare(const std::byte *bufferA, const std::byte *bufferB) const;
    bool IsNull(const std::byte *buffer) const { return !buffer || buffer[FOffset] == std::byte{0}; }
    //! Frees the value and display text of this column in one buffer.
    void Free(std::byte *buffer, TkvValueHeap &heap) const;
    Variant GetValue(const std::byte *buffer) const;
    QString GetDisplayText(const std::byte *buffer) const;
    //! Null clears the column (freeing what it held); anything else is stored.
    void SetValue(std::byte *buffer, const Variant &value, TkvValueHeap &heap) const;
    void SetDisplayText(std::byte *buffer, const QString &text, TkvValueHeap &heap) const;
    //! Copies `Stored` and `TextStored`.
    void Assign(const TkvValueDef &source);

protected:
    friend class TkvValueDefs;
    friend class TkvDataStorage;
    //! Before `Stored` or `TextStored` changes: buffers are freed while the
    //! flags still describe how they were written.
    void Changing();
    void Changed(bool textStoredChanged);

    TkvValueDefs *FValueDefs;
    TkvValueTypeClass FValueTypeClass;
    void *FLinkObject;
    bool FStored;
    bool FTextStored;
    int FOffset = 0;
    int FBufferSize = 0;
};

//! The column of internal records that mirrors an ordinary column; always stored.
class TkvInternalValueDef : public TkvValueDef {
public:
    TkvInternalValueDef(TkvValueDefs *valueDefs, TkvValueDef *mirrored);
    TkvValueDef *Mirrored() const { return static_cast<TkvValueDef *>(FLinkObject); }
    void *Owner() const override { return Mirrored()->Owner(); }
    bool IsStoredInRecords() const override { return true; }
};

//! An ordered list of definitions with the layout that follows from it.
class TkvValueDefs {
public:
    TkvValueDefs(TkvDataStorage *storage, bool internal);
    ~TkvValueDefs();
    TkvValueDefs(const TkvValueDefs &) = delete;
    TkvValueDefs &operator=(const TkvValueDefs &) = delete;

    TkvDataStorage *Storage() const { return FStorage; }
    bool IsInternal() const { return FInternal; }
    int Count() const { return int(FItems.size()); }
    TkvValueDef *Items(int index) const;
    int IndexOf(const TkvValueDef *def) const;
    int StoredCount() const;
    static constexpr int FirstOffset() { return 1; }
    int RecordSize() const { return FRecordSize; }

    //! Appends a definition and widens every allocated buffer of this list's kind.
    TkvValueDef *Add(TkvValueTypeClass valueTypeClass, bool stored, void *linkObject, bool textStored);
    //! Removes a definition from every buffer and destroys it.
    void Remove(TkvValueDef *def);
    void Clear();
    //! Recomputes offsets and the record size.
    void PrepareDefs();

    //! The internal definition that mirrors `def` (searching from the end).
    TkvInternalValueDef *FindByMirrored(const TkvValueDef *def) const;

private:
    friend class TkvDataStorage;
    TkvInternalValueDef *AddInternal(TkvValueDef *mirrored);

    TkvDataStorage *FStorage;
    bool FInternal;
    std::vector<std::unique_ptr<TkvValueDef>> FItems;
    int FRecordSize = FirstOffset();
};

using TkvInternalValueDefs = TkvValueDefs;

//! Where `TkvDataStorage::ReadRecord` takes a record's values from.
class TkvValueDefReader {
public:
    virtual ~TkvValueDefReader() = default;
    virtual QString GetDisplayText(TkvValueDef *valueDef) { return (void)valueDef, QString(); }
    virtual Variant GetValue(TkvValueDef *valueDef) { return (void)valueDef, Variant::null(); }
    virtual bool IsInternal(TkvValueDef *valueDef) { return (void)valueDef, false; }
    //! Fast path: store the value straight into `buffer` without building a
    //! variant; returns false to fall back on `GetValue`.
    virtual bool ReadValueInto(TkvValueDef *valueDef, std::byte *buffer, TkvValueHeap &heap)
    {
        (void)valueDef, (void)buffer, (void)heap;
        return false;
    }
};

} // namespace kestrum

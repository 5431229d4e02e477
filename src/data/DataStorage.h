#pragma once
// Typed value storage: the records of a data controller, one compact buffer
// per record, allocated on first write.
#include "core/Errors.h"
#include "core/GapList.h"
#include "data/ValueDefs.h"
#include "data/ValueHeap.h"

#include <functional>
#include <vector>

namespace kestrum {

//! An index outside a list.
class EListError : public Exception {
public:
    explicit EListError(int index);
};

//! The pointer to a stored value as sorting and grouping compare it.
struct TkvValuePointer {
    const void *Value = nullptr; //!< what `PrepareValuePointer` gives; null when none
    bool HasBuffer = false;      //!< the record has a buffer at all
    bool IsNull = true;
};

//! Puts a value read from the database into a record's buffer. A value the
//! column's type cannot hold leaves the cell empty rather than failing the
//! whole load: one odd row must not hide every other entry.
void SetLoadedValue(const TkvValueDef &def, std::byte *buffer, const Variant &value, TkvValueHeap &heap);

class TkvDataStorage {
public:
    TkvDataStorage();
    ~TkvDataStorage();
    TkvDataStorage(const TkvDataStorage &) = delete;
    TkvDataStorage &operator=(const TkvDataStorage &) = delete;

    TkvValueDefs &ValueDefs() { return FValueDefs; }
    const TkvValueDefs &ValueDefs() const { return FValueDefs; }
    TkvInternalValueDefs &InternalValueDefs() { return FInternalValueDefs; }
    const TkvInternalValueDefs &InternalValueDefs() const { return FInternalValueDefs; }

    bool StoredValuesOnly() const { return FStoredValuesOnly; }
    void SetStoredValuesOnly(bool value);
    bool IsDestroying() const { return FDestroying; }
    bool StructureChanged() const { return FStructureChanged; }

    // Records. Ordinary records are 0 .. RecordCount()-1, internal ones -1, -2, ...
    int AppendRecord();
    void InsertRecord(int recordIndex);
    void DeleteRecord(int recordIndex);
    int RecordCount() const { return int(FRecords.size()); }
    void SetRecordCount(int count);
    //! Reserves room in the record list (loading knows the count in advance).
    void ReserveRecords(int count);
    int AddInternalRecord();
    void ReleaseInternalRecord(int recordIndex);
    int InternalRecordCount() const { return int(FInternalRecords.size()); }
    bool IsInternalRecordInUse(int recordIndex) const;
    void ClearRecords(bool keepInternalRecords);
    void ClearInternalRecords();
    //! Frees every ordinary buffer but keeps the records (they read as Null).
    void UnloadRecords();
    //! Recomputes layouts after a `Stored`/`TextStored` change.
    void CheckStructure();

    // Values. A negative record index with an ordinary definition reads the
    // internal column that mirrors it.
    Variant GetValue(int recordIndex, const TkvValueDef *def) const;
    void SetValue(int recordIndex, const TkvValueDef *def, const Variant &value);
    QString GetDisplayText(int recordIndex, const TkvValueDef *def) const;
    void SetDisplayText(int recordIndex, const TkvValueDef *def, const QString &text);
    bool IsNull(int recordIndex, const TkvValueDef *def) const;
    TkvValuePointer GetValuePointer(int recordIndex, const TkvValueDef *def) const;
    //! Null-first comparison of two fetched value pointers of one column.
    static int CompareValuePointers(const TkvValueDef *def, const TkvValuePointer &a,
                                    const TkvValuePointer &b);
    //! Compares one column of two ordinary records (no buffer, then Null, first).
    int CompareRecords(int recordIndexA, int recordIndexB, const TkvValueDef *def) const;
    void ReadRecord(int recordIndex, TkvValueDefReader &reader, bool skipInternalFields);

    //! The raw buffer of a record (null when never written); for tests and the loader.
    //! Ordinary records are read in place: filters ask for every one of them.
    const std::byte *RecordBuffer(int recordIndex) const
    {
        if (recordIndex >= 0 && recordIndex < RecordCount())
            return FRecords[std::size_t(recordIndex)];
        return SlotValue(recordIndex);
    }
    //! The buffer of an ordinary record to write its values into in place,
    //! allocated when missing, and the heap its values draw from (for a
    //! loader that fills records without variants).
    std::byte *RecordBufferToFill(int recordIndex) { return WritableBuffer(recordIndex); }
    TkvValueHeap &RecordHeap() { return FHeap; }
    //! Bytes held: record list, heap chunks and large blocks.
    std::size_t MemoryUsage() const;

    std::function<void()> OnClearInternalRecords;

    //! Checks buffers against the layouts; returns a description of the first
    //! fault or an empty string.
    std::string CheckConsistency() const;

private:
    friend class TkvValueDefs;
    friend class TkvValueDef;

    void DefAdded(TkvValueDefs &defs, TkvValueDef *def, int oldRecordSize);
    void DefRemoving(TkvValueDefs &defs, TkvValueDef *def);
    void DefChanging(TkvValueDef *def);
    void DefChanged(TkvValueDef *def, bool textStoredChanged);

    std::vector<std::byte *> &BuffersOf(const TkvValueDefs &defs);
    std::byte *&Slot(int recordIndex);
    std::byte *SlotValue(int recordIndex) const;
    //! The buffer of a record, allocated when missing.
    std::byte *WritableBuffer(int recordIndex);
    //! The definition to use for a record index (internal mirror for negative ones).
    const TkvValueDef *DefFor(int recordIndex, const TkvValueDef *def) const;
    void FreeBuffer(std::byte *&buffer, const TkvValueDefs &defs);
    void FreeAllBuffers(std::vector<std::byte *> &buffers, const TkvValueDefs &defs);
    bool NeedsFinalize(const TkvValueDefs &defs) const;

    TkvValueHeap &HeapOf(const TkvValueDefs &defs) { return defs.IsInternal() ? FInternalHeap : FHeap; }

    // Ordinary and internal records draw from separate heaps so that a reload
    // can drop every ordinary block at once while scratch records survive.
    TkvValueHeap FHeap;
    TkvValueHeap FInternalHeap;
    TkvValueDefs FValueDefs;
    TkvInternalValueDefs FInternalValueDefs;
    // A gap list: an entry added or deleted where the last one was (a new
    // entry cancelled, rows deleted one after another) moves no other record.
    // Its gap holds null buffers, so passes that skip records without a
    // buffer walk its raw array.
    TGapList<std::byte *> FRecords;
    std::vector<std::byte *> FInternalRecords;
    bool FStoredValuesOnly = false;
    bool FStructureChanged = false;
    bool FDestroying = false;
};

} // namespace kestrum

#pragma once
// The comparison of records by an ordered list of keys, the sort of a record
// list and the bisection search by key values.
//
// Before a sort every key reads its field's value once per record into a
// typed column (numbers, string views into the storage's holders, or
// variants), so that the sort compares plain values and never builds a
// Variant per comparison.
#include "core/Variant.h"
#include "data/ValueTypes.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

class TkvDataStorage;
class TkvValueDef;

enum TkvDataSortOrder { soNone, soAscending, soDescending };

//! How a key compares its field, chosen just before a sort.
enum class TkvCompareMode : std::uint8_t {
    cmUnset,
    cmStoredValue, //!< the storage's typed values
    cmValue,       //!< the record's value as a Variant
    cmDisplayText, //!< the record's display text
};

//! The string options that apply to a key in value or display-text mode.
enum class TkvStringCompare : std::uint8_t {
    scVariant,        //!< the variant comparison
    scUpperOrdinal,   //!< upper-cased by the locale, then ordinal
    scCollated,       //!< the locale's collation
    scCollatedNoCase, //!< the locale's collation, case-insensitive
};

//! The presence of a stored value: a record without a buffer sorts before a
//! null value, which sorts before every present value.
enum TkvValueState : std::uint8_t { vsNoBuffer = 0, vsNull = 1, vsPresent = 2 };

//! `OnCompare`: (record a, record b, value a, value b, result in/out).
using TkvRecordCompareHandler = std::function<void(int recordIndex1, int recordIndex2, const Variant &v1,
                                                   const Variant &v2, int &compare)>;

//! The texts of a key's records, each kept as a pointer to a holder's image
//! (its length prefix, then its bytes) where a string_view would take twice
//! the room: a key column of millions of texts beside a sort's buffers.
class TkvHeldTexts {
public:
    void Assign(std::size_t count) { FImages.assign(count, nullptr); }
    void Release() { std::vector<const std::byte *>().swap(FImages); }
    std::size_t size() const { return FImages.size(); }
    bool empty() const { return FImages.empty(); }
    //! `image` as TkvStringValueType::HeldBytes reads it; it must outlive the key.
    void Set(std::size_t index, const std::byte *image) { FImages[index] = image; }
    std::string_view operator[](std::size_t index) const
    {
        return TkvStringValueType::HeldBytes(FImages[index]);
    }
    const std::byte *Image(std::size_t index) const { return FImages[index]; }

private:
    std::vector<const std::byte *> FImages;
};

//! One key of a record comparison: one field in one direction.
class TkvSortKey {
public:
    TkvSortKey(TkvDataSortOrder order, TkvCompareMode mode) : FDescending(order == soDescending), FMode(mode)
    {
    }

    bool Descending() const { return FDescending; }
    TkvCompareMode Mode() const { return FMode; }

    //! Sizes the columns for record indexes 0 .. count - 1 (all "no buffer").
    void Prepare(TkvValueTypeClass valueType, int recordCount);
    //! Stored-value mode: reads the column of every listed record.
    void LoadStored(const TkvDataStorage &storage, const TkvValueDef *def,
                    const std::vector<int> &recordList);
    //! Value and display-text modes: the compared value of every listed record.
    void LoadValues(TkvValueTypeClass valueType, int recordCount, const std::vector<int> &recordList,
                    const std::function<Variant(int recordIndex)> &valueOf);
    //! Stored-value mode: the record's value pointer (from PrepareValuePointer)
    //! and its state.
    void SetStored(int recordIndex, TkvValueState state, const void *value);
    //! Value and display-text modes: the record's compared value.
    void SetValue(int recordIndex, const Variant &value);
    void SetStringCompare(TkvStringCompare how) { FStringCompare = how; }
    void SetHandler(TkvRecordCompareHandler handler) { FHandler = std::move(handler); }

    //! Three-way comparison of two records in ascending sense.
    int Compare(int recordIndexA, int recordIndexB) const;
    //! Asks for the record's compared value to be brought into the cache.
    void Prefetch(int recordIndex) const;
    //! The record against the probe value set by SetProbe, ascending sense.
    int CompareWithProbe(int recordIndex) const;
    void SetProbe(const Variant &value);
    //! The value the key compares for the record, as a Variant (the stored
    //! value, the record's value, or its display text).
    Variant ComparedValue(int recordIndex) const;

    // Fast paths of the sorter read the typed columns directly.
    enum class Column : std::uint8_t { Integer, Real, Bytes, Units, Generic, Variants };
    Column ColumnKind() const { return FColumn; }
    bool HasHandler() const { return bool(FHandler); }
    const std::vector<std::uint8_t> &States() const { return FStates; }
    const std::vector<std::int64_t> &Integers() const { return FIntegers; }
    const std::vector<double> &Reals() const { return FReals; }
    const TkvHeldTexts &Bytes() const { return FBytes; }
    const std::vector<std::u16string_view> &Units() const { return FUnits; }
    //! Lets every column go: the key compares nothing any more (a sort that
    //! has read it and has no use for it after).
    void ReleaseColumns();

private:
    //! A variant column whose every value is text takes the byte-string path.
    bool LoadHeldStrings(const TkvDataStorage &storage, const TkvValueDef *def,
                         const std::vector<int> &recordList);
    int CompareStoredSlots(std::uint8_t stateA, std::uint8_t stateB, int a, int b) const;
    int CompareVariantValues(const Variant &a, const Variant &b, int recordIndexA, int recordIndexB) const;
    Variant StoredValue(int recordIndex) const;
    //! The probe kept in slot `ProbeSlot` of each column.
    int ProbeSlot() const { return int(FStates.size()) - 1; }

    bool FDescending;
    TkvCompareMode FMode;
    TkvStringCompare FStringCompare = TkvStringCompare::scVariant;
    TkvRecordCompareHandler FHandler;
    TkvValueTypeClass FValueType = nullptr;
    Column FColumn = Column::Variants;
    std::vector<std::uint8_t> FStates; // one per record, plus the probe slot
    std::vector<std::int64_t> FIntegers;
    std::vector<double> FReals;
    TkvHeldTexts FBytes;
    std::vector<std::u16string_view> FUnits;
    std::vector<const void *> FGeneric;
    std::vector<Variant> FVariants;
    // Prepared strings for the string options, one per record.
    std::vector<NarrowString> FUpperBytes;
    std::vector<QString> FTexts;
    // Narrow copies of wide strings that a variant column held, as holder images.
    std::deque<std::string> FConvertedBytes;
    bool FHeldStrings = false;  //!< Bytes column read from a variant column
    bool FProbeVariant = false; //!< the probe is no text: compared as variants
    // Owned copies behind a probe's views (the bytes as a holder image).
    std::string FProbeBytes;
    std::u16string FProbeUnits;
    std::vector<std::byte> FProbePlace;
};

//! Compares records by keys in order, then by record index: the lower record
//! index first whatever the directions, so equal keys keep load order and
//! every pair of distinct records is unequal.
class TkvRecordComparer {
public:
    void Clear() { FKeys.clear(); }
    TkvSortKey &AddKey(TkvDataSortOrder order, TkvCompareMode mode);
    int KeyCount() const { return int(FKeys.size()); }
    TkvSortKey &Key(int index) { return *FKeys[index]; }
    const TkvSortKey &Key(int index) const { return *FKeys[index]; }

    int Compare(int recordIndexA, int recordIndexB) const;
    //! Only key `level`, with its direction (used for group boundaries).
    int CompareKey(int level, int recordIndexA, int recordIndexB) const;
    //! Asks for the record's values of keys 0 .. levels - 1 to be brought
    //! into the cache (a walk in key order compares them soon).
    void Prefetch(int levels, int recordIndex) const;

    //! Sorts record indexes by Compare.
    void Sort(std::vector<int> &recordList) { Sort(recordList, KeyCount()); }
    //! The same, keeping only the first `keptKeys` keys afterwards (those a
    //! group build compares by): the others may let their columns go as soon
    //! as the sort has read them, before its own buffers are taken.
    void Sort(std::vector<int> &recordList, int keptKeys);

    //! Bisection over a list sorted by Compare: the first record met that equals
    //! `values` (one per key, from key 0) on the first values.size() keys, or -1.
    int LocateByKeys(const std::vector<int> &recordList, const std::vector<Variant> &values);

private:
    bool SortFast(std::vector<int> &recordList, int keptKeys);
    //! Whether the list is in Compare's order of keys firstKey on (then record index).
    bool InOrderFrom(int firstKey, const std::vector<int> &recordList) const;
    std::vector<std::unique_ptr<TkvSortKey>> FKeys;
};

//! The records of a list in record order: a small list of a large storage,
//! or one already in record order, is returned as it is.
std::vector<int> InRecordOrder(const std::vector<int> &recordList, std::size_t recordCount);

//! The quicksort of record lists: middle element as pivot, scanning from both
//! ends, recursion into the left part and a loop on the right part. `less`
//! must be a strict total order. Past a depth of 2·log2(n) a part is finished
//! by heap sort, so crafted input cannot make it quadratic; with a total order
//! the result is the same.
template <typename T, typename Less> void QuickSortRecords(T *items, std::ptrdiff_t count, Less less);

} // namespace kestrum

#include "data/QuickSort.inl"

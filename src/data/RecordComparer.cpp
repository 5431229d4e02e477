#include "data/RecordComparer.h"

#include "core/Codepage.h"
#include "core/RegionalSettings.h"
#include "core/VariantCompare.h"
#include "data/DataStorage.h"
#include "data/FewValuesSort.h"
#include "data/ValueTypesHeld.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace kestrum {

namespace {

template <typename T> int threeWay(const T &a, const T &b)
{
    return (b < a) - (a < b);
}

template <typename T> T readUnaligned(const void *value)
{
    T result;
    std::memcpy(&result, value, sizeof(T));
    return result;
}

bool isObjectType(TkvValueTypeClass type)
{
    return type == TkvObjectValueType::Instance();
}

} // namespace

// A list in another order (the last sort's) read as it stands jumps about the
// storage and the key columns of millions of records; a large one is read
// through a mark per record instead.
std::vector<int> InRecordOrder(const std::vector<int> &recordList, std::size_t recordCount)
{
    if (recordList.size() * 8 < recordCount || std::is_sorted(recordList.begin(), recordList.end()))
        return recordList;
    std::vector<bool> listed(recordCount);
    for (int recordIndex : recordList)
        listed[std::size_t(recordIndex)] = true;
    std::vector<int> ordered;
    ordered.reserve(recordList.size());
    for (std::size_t recordIndex = 0; recordIndex < recordCount; ++recordIndex)
        if (listed[recordIndex])
            ordered.push_back(int(recordIndex));
    // A record listed twice stays listed twice.
    if (ordered.size() != recordList.size()) {
        ordered = recordList;
        std::sort(ordered.begin(), ordered.end());
    }
    return ordered;
}

void TkvSortKey::Prepare(TkvValueTypeClass valueType, int recordCount)
{
    FValueType = valueType;
    const std::size_t slotCount = std::size_t(recordCount) + 1; // the last slot holds a probe
    FStates.assign(slotCount, vsNoBuffer);
    FIntegers.clear();
    FReals.clear();
    FBytes.clear();
    FUnits.clear();
    FGeneric.clear();
    FVariants.clear();
    FUpperBytes.clear();
    FTexts.clear();
    FConvertedBytes.clear();
    FHeldStrings = false;
    FProbeVariant = false;
    if (FMode != TkvCompareMode::cmStoredValue || FHandler) {
        FColumn = Column::Variants;
        FVariants.assign(slotCount, Variant::null());
        if (FStringCompare == TkvStringCompare::scUpperOrdinal)
            FUpperBytes.assign(slotCount, NarrowString());
        else if (FStringCompare != TkvStringCompare::scVariant)
            FTexts.assign(slotCount, QString());
        return;
    }
    switch (valueType ? valueType->GetVarType() : TkvDeclaredVarType::Variant) {
    case TkvDeclaredVarType::Smallint:
    case TkvDeclaredVarType::Integer:
    case TkvDeclaredVarType::Word:
    case TkvDeclaredVarType::Boolean:
    case TkvDeclaredVarType::Currency:
    case TkvDeclaredVarType::LargeInt:
        FColumn = Column::Integer;
        FIntegers.assign(slotCount, 0);
        break;
    case TkvDeclaredVarType::Float:
    case TkvDeclaredVarType::DateTime:
        FColumn = Column::Real;
        FReals.assign(slotCount, 0.0);
        break;
    case TkvDeclaredVarType::String:
        FColumn = Column::Bytes;
        FBytes.assign(slotCount, std::string_view());
        break;
    case TkvDeclaredVarType::WideString:
        FColumn = Column::Units;
        FUnits.assign(slotCount, std::u16string_view());
        break;
    default:
        FColumn = Column::Generic;
        FGeneric.assign(slotCount, nullptr);
        break;
    }
}

void TkvSortKey::SetStored(int recordIndex, TkvValueState state, const void *value)
{
    FStates[recordIndex] = state;
    if (state != vsPresent)
        return;
    switch (FColumn) {
    case Column::Integer:
        switch (FValueType->GetVarType()) {
        case TkvDeclaredVarType::Smallint:
            FIntegers[recordIndex] = readUnaligned<std::int16_t>(value);
            break;
        case TkvDeclaredVarType::Integer:
            FIntegers[recordIndex] = readUnaligned<std::int32_t>(value);
            break;
        case TkvDeclaredVarType::Word:
            FIntegers[recordIndex] = readUnaligned<std::uint16_t>(value);
            break;
        case TkvDeclaredVarType::Boolean:
            FIntegers[recordIndex] = readUnaligned<std::uint8_t>(value) != 0;
            break;
        default: // currency (scaled), large integers, object references
            FIntegers[recordIndex] = isObjectType(FValueType)
                                         ? std::int64_t(readUnaligned<std::intptr_t>(value))
                                         : readUnaligned<std::int64_t>(value);
            break;
        }
        break;
    case Column::Real:
        FReals[recordIndex] = readUnaligned<double>(value);
        break;
    case Column::Bytes:
        FBytes[recordIndex] = TkvStringValueType::HeldBytes(value);
        break;
    case Column::Units:
        FUnits[recordIndex] = TkvWideStringValueType::HeldUnits(value);
        break;
    case Column::Generic:
        FGeneric[recordIndex] = value;
        break;
    case Column::Variants:
        break;
    }
}

void TkvSortKey::LoadStored(const TkvDataStorage &storage, const TkvValueDef *def,
                            const std::vector<int> &recordList)
{
    Prepare(def->ValueTypeClass(), storage.RecordCount());
    // A list already in record order (as PrepareKeys hands it on) is read as it is.
    std::vector<int> reordered;
    const bool inOrder = recordList.size() * 8 < std::size_t(storage.RecordCount()) ||
                         std::is_sorted(recordList.begin(), recordList.end());
    if (!inOrder)
        reordered = InRecordOrder(recordList, std::size_t(storage.RecordCount()));
    const std::vector<int> &ordered = inOrder ? recordList : reordered;
    if (FColumn == Column::Generic && FValueType == TkvVariantValueType::Instance() &&
        LoadHeldStrings(storage, def, ordered))
        return;
    for (int recordIndex : ordered) {
        TkvValuePointer pointer = storage.GetValuePointer(recordIndex, def);
        TkvValueState state = !pointer.HasBuffer ? vsNoBuffer : (pointer.IsNull ? vsNull : vsPresent);
        if (FColumn == Column::Variants)
            SetValue(recordIndex,
                     state == vsPresent ? def->ValueTypeClass()->GetValueAt(pointer.Value) : Variant::null());
        else
            SetStored(recordIndex, state, pointer.Value);
    }
}

// The variant comparison orders two strings by their narrow bytes (a wide
// string by its code-page form), so a column of text, such as a memo column,
// sorts as a byte-string column and its values are read in place. One value
// of another type sends the whole key back to the variant comparison.
bool TkvSortKey::LoadHeldStrings(const TkvDataStorage &storage, const TkvValueDef *def,
                                 const std::vector<int> &recordList)
{
    FColumn = Column::Bytes;
    FBytes.assign(FStates.size(), std::string_view());
    for (int recordIndex : recordList) {
        const TkvValuePointer pointer = storage.GetValuePointer(recordIndex, def);
        if (!pointer.HasBuffer || pointer.IsNull) {
            FStates[recordIndex] = pointer.HasBuffer ? vsNull : vsNoBuffer;
            continue;
        }
        std::string_view bytes;
        if (!TkvVariantValueType::HeldNarrow(pointer.Value, bytes)) {
            if (!TkvVariantValueType::HoldsWide(pointer.Value)) {
                Prepare(def->ValueTypeClass(), storage.RecordCount());
                return false;
            }
            bytes = FConvertedBytes.emplace_back(FValueType->GetValueAt(pointer.Value).toNarrow());
        }
        FStates[recordIndex] = vsPresent;
        FBytes[recordIndex] = bytes;
    }
    FHeldStrings = true;
    return true;
}

void TkvSortKey::LoadValues(TkvValueTypeClass valueType, int recordCount, const std::vector<int> &recordList,
                            const std::function<Variant(int recordIndex)> &valueOf)
{
    Prepare(valueType, recordCount);
    for (int recordIndex : recordList)
        SetValue(recordIndex, valueOf(recordIndex));
}

void TkvSortKey::SetValue(int recordIndex, const Variant &value)
{
    FStates[recordIndex] = value.isNull() ? vsNull : vsPresent;
    FVariants[recordIndex] = value;
    // The string options compare text: a Null reads as the empty text.
    if (FStringCompare == TkvStringCompare::scUpperOrdinal)
        FUpperBytes[recordIndex] = toNarrow(regionalSettings().upper(value.displayText()));
    else if (FStringCompare != TkvStringCompare::scVariant)
        FTexts[recordIndex] = value.displayText();
}

int TkvSortKey::CompareStoredSlots(std::uint8_t stateA, std::uint8_t stateB, int a, int b) const
{
    if (stateA != stateB || stateA != vsPresent)
        return threeWay(stateA, stateB);
    switch (FColumn) {
    case Column::Integer:
        return threeWay(FIntegers[a], FIntegers[b]);
    case Column::Real:
        return threeWay(FReals[a], FReals[b]);
    case Column::Bytes:
        return threeWay(FBytes[a].compare(FBytes[b]), 0);
    case Column::Units:
        return threeWay(FUnits[a].compare(FUnits[b]), 0);
    case Column::Generic:
        return FValueType->Compare(FGeneric[a], FGeneric[b]);
    case Column::Variants:
        break;
    }
    return 0;
}

int TkvSortKey::CompareVariantValues(const Variant &a, const Variant &b, int recordIndexA,
                                     int recordIndexB) const
{
    if (FHandler) {
        int result = 0;
        FHandler(recordIndexA, recordIndexB, a, b, result);
        return result;
    }
    return CompareVariants(a, b);
}

int TkvSortKey::Compare(int a, int b) const
{
    if (FColumn != Column::Variants)
        return CompareStoredSlots(FStates[a], FStates[b], a, b);
    if (FHandler || FStringCompare == TkvStringCompare::scVariant)
        return CompareVariantValues(FVariants[a], FVariants[b], a, b);
    switch (FStringCompare) {
    case TkvStringCompare::scUpperOrdinal:
        return threeWay(FUpperBytes[a].compare(FUpperBytes[b]), 0);
    case TkvStringCompare::scCollated:
        return regionalSettings().collate(FTexts[a], FTexts[b], false);
    default:
        return regionalSettings().collate(FTexts[a], FTexts[b], true);
    }
}

void TkvSortKey::SetProbe(const Variant &value)
{
    const int slot = ProbeSlot();
    if (FColumn == Column::Variants) {
        SetValue(slot, value);
        return;
    }
    FProbeVariant = false;
    if (value.isNull() || value.isEmpty()) {
        FStates[slot] = vsNull;
        return;
    }
    FStates[slot] = vsPresent;
    switch (FColumn) {
    case Column::Integer:
        switch (FValueType->GetVarType()) {
        case TkvDeclaredVarType::Currency:
            FIntegers[slot] = value.toCurrency().scaled;
            break;
        case TkvDeclaredVarType::Boolean:
            FIntegers[slot] = value.toBool();
            break;
        default:
            FIntegers[slot] = value.toInt64();
            break;
        }
        break;
    case Column::Real:
        FReals[slot] =
            FValueType->GetVarType() == TkvDeclaredVarType::DateTime ? value.toDate() : value.toDouble();
        break;
    case Column::Bytes:
        if (FHeldStrings && !value.isString()) {
            // A number probe against text compares as the variants would.
            FProbeVariant = true;
            FVariants.assign(1, value);
            break;
        }
        FProbeBytes = value.toNarrow();
        FBytes[slot] = FProbeBytes;
        break;
    case Column::Units:
        FProbeUnits = value.toWide();
        FUnits[slot] = FProbeUnits;
        break;
    case Column::Generic:
    case Column::Variants:
        FVariants.assign(1, value); // compared through variants, see CompareWithProbe
        break;
    }
}

int TkvSortKey::CompareWithProbe(int recordIndex) const
{
    const int slot = ProbeSlot();
    if (FColumn == Column::Generic || (FColumn == Column::Bytes && FProbeVariant)) {
        if (FStates[recordIndex] != vsPresent || FStates[slot] != vsPresent)
            return threeWay(FStates[recordIndex], FStates[slot]);
        return CompareVariants(StoredValue(recordIndex), FVariants.front());
    }
    return Compare(recordIndex, slot);
}

Variant TkvSortKey::StoredValue(int recordIndex) const
{
    if (FStates[recordIndex] != vsPresent)
        return Variant::null();
    switch (FColumn) {
    case Column::Integer:
        switch (FValueType->GetVarType()) {
        case TkvDeclaredVarType::Currency:
            return Variant(Currency{FIntegers[recordIndex]});
        case TkvDeclaredVarType::Boolean:
            return Variant(FIntegers[recordIndex] != 0);
        case TkvDeclaredVarType::Smallint:
            return Variant::fromInt16(std::int16_t(FIntegers[recordIndex]));
        case TkvDeclaredVarType::Word:
            return Variant::fromUInt16(std::uint16_t(FIntegers[recordIndex]));
        case TkvDeclaredVarType::Integer:
            return Variant(int(FIntegers[recordIndex]));
        default:
            return Variant(FIntegers[recordIndex]);
        }
    case Column::Real:
        return FValueType->GetVarType() == TkvDeclaredVarType::DateTime
                   ? Variant::fromDate(FReals[recordIndex])
                   : Variant(FReals[recordIndex]);
    case Column::Bytes:
        return Variant::fromNarrow(NarrowString(FBytes[recordIndex]));
    case Column::Units:
        return Variant::fromWide(std::u16string(FUnits[recordIndex]));
    case Column::Generic:
        return FValueType->GetValueAt(FGeneric[recordIndex]);
    case Column::Variants:
        return FVariants[recordIndex];
    }
    return Variant::null();
}

Variant TkvSortKey::ComparedValue(int recordIndex) const
{
    return FColumn == Column::Variants ? FVariants[recordIndex] : StoredValue(recordIndex);
}

TkvSortKey &TkvRecordComparer::AddKey(TkvDataSortOrder order, TkvCompareMode mode)
{
    FKeys.push_back(std::make_unique<TkvSortKey>(order, mode));
    return *FKeys.back();
}

void TkvSortKey::Prefetch(int recordIndex) const
{
    if (recordIndex < 0 || std::size_t(recordIndex) >= FStates.size())
        return;
    switch (FColumn) {
    case Column::Integer:
        __builtin_prefetch(&FIntegers[std::size_t(recordIndex)]);
        break;
    case Column::Real:
        __builtin_prefetch(&FReals[std::size_t(recordIndex)]);
        break;
    case Column::Bytes:
        __builtin_prefetch(FBytes[std::size_t(recordIndex)].data());
        break;
    case Column::Units:
        __builtin_prefetch(FUnits[std::size_t(recordIndex)].data());
        break;
    default:
        break;
    }
}

void TkvRecordComparer::Prefetch(int levels, int recordIndex) const
{
    for (int level = 0; level < levels && level < KeyCount(); ++level)
        FKeys[std::size_t(level)]->Prefetch(recordIndex);
}

int TkvRecordComparer::CompareKey(int level, int a, int b) const
{
    const TkvSortKey &key = *FKeys[level];
    int result = key.Compare(a, b);
    return key.Descending() ? -result : result;
}

int TkvRecordComparer::Compare(int a, int b) const
{
    for (const auto &key : FKeys) {
        int result = key->Compare(a, b);
        if (result != 0)
            return key->Descending() ? -result : result;
    }
    return threeWay(a, b);
}

int TkvRecordComparer::LocateByKeys(const std::vector<int> &recordList, const std::vector<Variant> &values)
{
    const int count = std::min(int(values.size()), KeyCount());
    for (int k = 0; k < count; ++k)
        FKeys[k]->SetProbe(values[k]);
    std::ptrdiff_t low = 0, high = std::ptrdiff_t(recordList.size()) - 1;
    while (low <= high) {
        std::ptrdiff_t middle = low + (high - low) / 2;
        int recordIndex = recordList[middle];
        int result = 0;
        for (int k = 0; k < count && result == 0; ++k) {
            result = FKeys[k]->CompareWithProbe(recordIndex);
            if (FKeys[k]->Descending())
                result = -result;
        }
        if (result == 0)
            return recordIndex;
        if (result < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return -1;
}

bool TkvRecordComparer::InOrderFrom(int firstKey, const std::vector<int> &recordList) const
{
    // The list's records are read in its order: the keys a few positions
    // ahead are fetched meanwhile.
    constexpr std::size_t PrefetchDistance = 16;
    const int keyCount = KeyCount();
    for (std::size_t p = 1; p < recordList.size(); ++p) {
        if (p + PrefetchDistance < recordList.size())
            for (int k = firstKey; k < keyCount; ++k)
                FKeys[std::size_t(k)]->Prefetch(recordList[p + PrefetchDistance]);
        const int a = recordList[p - 1], b = recordList[p];
        int result = 0;
        for (int k = firstKey; k < keyCount && result == 0; ++k) {
            const TkvSortKey &key = *FKeys[std::size_t(k)];
            result = key.Compare(a, b);
            if (key.Descending())
                result = -result;
        }
        if ((result == 0 ? threeWay(a, b) : result) >= 0)
            return false;
    }
    return true;
}

void TkvRecordComparer::Sort(std::vector<int> &recordList) const
{
    if (recordList.size() < 2 || SortFast(recordList))
        return;
    QuickSortRecords(recordList.data(), std::ptrdiff_t(recordList.size()),
                     [this](int a, int b) { return Compare(a, b) < 0; });
}

namespace {

//! A key turned into an unsigned integer of the same order (a string's first
//! bytes or units), and its record.
//! Packed to 12 bytes: a list of ten million pairs, and the radix sort's
//! second buffer of as many, are a quarter smaller than padded to 16.
struct __attribute__((packed, aligned(4))) KeySlot {
    std::uint64_t key;
    std::uint32_t record;
};
static_assert(sizeof(KeySlot) == 12);

//! One pass of a radix sort: stable by the byte `shift` bits up of `field`.
template <typename Field>
void radixPass(std::vector<KeySlot> &pairs, std::vector<KeySlot> &other, std::array<std::size_t, 256> count,
               int shift, Field field)
{
    std::size_t start = 0;
    for (std::size_t &c : count) {
        const std::size_t size = c;
        c = start;
        start += size;
    }
    for (const KeySlot &slot : pairs)
        other[count[(field(slot) >> shift) & 0xff]++] = slot;
    pairs.swap(other);
}

//! From this many pairs on, a radix pass per varying byte costs less than
//! sorting by comparison however many bytes vary (amounts vary in all of
//! theirs): comparisons grow with log2 of the count, past 16 per entry here.
constexpr std::size_t RadixAlways = std::size_t(1) << 16;

//! Sorts by key, then record. A column of few distinct values, or strings
//! with a common start, has few bytes that tell keys apart: a radix sort a
//! byte at a time over just those bytes (and the record's, when the pairs
//! are not in record order yet) is the fastest then; short lists of keys
//! that differ in many bytes are sorted by comparison.
void sortByKey(std::vector<KeySlot> &pairs)
{
    const std::size_t n = pairs.size();
    const auto byKeyThenRecord = [](const KeySlot &a, const KeySlot &b) {
        return a.key < b.key || (a.key == b.key && a.record < b.record);
    };
    std::vector<std::array<std::size_t, 256>> keyCounts(8);
    for (auto &count : keyCounts)
        count.fill(0);
    for (const KeySlot &slot : pairs)
        for (int b = 0; b < 8; ++b)
            ++keyCounts[std::size_t(b)][(slot.key >> (8 * b)) & 0xff];
    std::vector<int> varying;
    for (int b = 0; b < 8; ++b)
        if (keyCounts[std::size_t(b)][(pairs.front().key >> (8 * b)) & 0xff] != n)
            varying.push_back(b);
    if (n < 256 || (varying.size() > 5 && n < RadixAlways)) {
        QuickSortRecords(pairs.data(), std::ptrdiff_t(n), byKeyThenRecord);
        return;
    }
    std::vector<KeySlot> other(n);
    const bool recordOrder = std::is_sorted(
        pairs.begin(), pairs.end(), [](const KeySlot &a, const KeySlot &b) { return a.record < b.record; });
    if (!recordOrder) {
        std::vector<std::array<std::size_t, 256>> recordCounts(4);
        for (auto &count : recordCounts)
            count.fill(0);
        for (const KeySlot &slot : pairs)
            for (int b = 0; b < 4; ++b)
                ++recordCounts[std::size_t(b)][(slot.record >> (8 * b)) & 0xff];
        for (int b = 0; b < 4; ++b)
            if (recordCounts[std::size_t(b)][(pairs.front().record >> (8 * b)) & 0xff] != n)
                radixPass(pairs, other, recordCounts[std::size_t(b)], 8 * b,
                          [](const KeySlot &slot) { return std::uint64_t(slot.record); });
    }
    for (int b : varying)
        radixPass(pairs, other, keyCounts[std::size_t(b)], 8 * b,
                  [](const KeySlot &slot) { return slot.key; });
}

//! The 8 bytes (or 4 UTF-16 units) of a string from `offset` on, big-endian,
//! zero-padded.
std::uint64_t prefixOf(std::string_view text, std::size_t offset = 0)
{
    std::uint64_t prefix = 0;
    for (std::size_t i = offset; i < offset + 8; ++i)
        prefix = (prefix << 8) | (i < text.size() ? std::uint8_t(text[i]) : 0u);
    return prefix;
}

std::uint64_t prefixOf(std::u16string_view text, std::size_t offset = 0)
{
    std::uint64_t prefix = 0;
    for (std::size_t i = offset; i < offset + 4; ++i)
        prefix = (prefix << 16) | (i < text.size() ? std::uint16_t(text[i]) : 0u);
    return prefix;
}

//! Past this many leading units held equal, a run is sorted by comparing
//! whole strings: each deeper step costs a pass over the run.
constexpr std::size_t DeepestPrefix = 64;
//! Runs this short are sorted by comparing whole strings.
constexpr std::size_t ShortRun = 32;

//! Orders the entries of a string key after their prefixes of `offset` plus
//! one key's units: within a run of one prefix the next units decide, taken
//! as the key of a further radix sort (item names often share their first
//! bytes: "expense 1", "expense 2"), unless the prefix held every one of
//! them whole (all of one length no longer than it). A pair's `record` is a
//! position in `records`; runs are in position order, and each step keeps
//! ties in it.
template <typename View>
void sortRunsOfOnePrefix(std::vector<KeySlot> &pairs, const std::vector<View> &texts,
                         const std::vector<int> &records, bool descending, std::size_t offset = 0)
{
    constexpr std::size_t Whole = 8 / sizeof(typename View::value_type);
    const std::size_t held = offset + Whole;
    const auto text = [&](const KeySlot &slot) -> const View & {
        return texts[std::size_t(records[slot.record])];
    };
    std::vector<KeySlot> run;
    std::size_t begin = 0;
    while (begin < pairs.size()) {
        std::size_t end = begin + 1;
        const std::size_t size = text(pairs[begin]).size();
        bool oneLength = true;
        bool longer = size > held;
        while (end < pairs.size() && pairs[end].key == pairs[begin].key) {
            const std::size_t other = text(pairs[end]).size();
            oneLength = oneLength && other == size;
            longer = longer || other > held;
            ++end;
        }
        const auto first = pairs.begin() + std::ptrdiff_t(begin);
        const auto last = pairs.begin() + std::ptrdiff_t(end);
        begin = end;
        if (last - first < 2 || (oneLength && !longer))
            continue; // one entry, or every string held whole: equal
        if (!longer || std::size_t(last - first) <= ShortRun || held >= DeepestPrefix) {
            // The run is in position order: a stable sort keeps it among equal strings.
            std::stable_sort(first, last, [&](const KeySlot &a, const KeySlot &b) {
                const int c = text(a).compare(text(b));
                return descending ? c > 0 : c < 0;
            });
            continue;
        }
        run.assign(first, last);
        for (KeySlot &slot : run) {
            const std::uint64_t bits = prefixOf(text(slot), held);
            slot.key = descending ? ~bits : bits;
        }
        sortByKey(run);
        sortRunsOfOnePrefix(run, texts, records, descending, held);
        std::copy(run.begin(), run.end(), first);
    }
}

//! Whether a key sorts without calls per comparison: stored numbers or text.
bool hasFastPath(const TkvSortKey &key)
{
    const auto column = key.ColumnKind();
    return key.Mode() == TkvCompareMode::cmStoredValue && !key.HasHandler() &&
           (column == TkvSortKey::Column::Integer || column == TkvSortKey::Column::Real ||
            column == TkvSortKey::Column::Bytes || column == TkvSortKey::Column::Units);
}

//! Orders the records by one key, ties staying in their present order:
//! records without a value go to the front (ascending) or the back
//! (descending) by their state, the rest is sorted as (key, position)
//! pairs, strings then by their whole text where their first bytes tie.
void sortByOneKey(const TkvSortKey &key, std::vector<int> &records)
{
    if (SortByFewValues(key, records))
        return;
    const auto column = key.ColumnKind();
    const bool descending = key.Descending();
    const auto &states = key.States();

    // Texts no longer than a key's prefix and free of zero units are told
    // apart by their prefixes alone: their runs need no second look, which
    // would read every text again out of the storage's order.
    bool heldWhole = true;
    std::vector<std::uint32_t> absent; // positions of records without a value
    std::vector<KeySlot> pairs;
    pairs.reserve(records.size());
    for (std::size_t position = 0; position < records.size(); ++position) {
        const int recordIndex = records[position];
        if (states[recordIndex] != vsPresent) {
            absent.push_back(std::uint32_t(position));
            continue;
        }
        std::uint64_t bits = 0;
        switch (column) {
        case TkvSortKey::Column::Integer:
            bits = std::uint64_t(key.Integers()[recordIndex]) ^ 0x8000000000000000ull;
            break;
        case TkvSortKey::Column::Real:
            bits = OrderedDoubleBits(key.Reals()[recordIndex]);
            break;
        case TkvSortKey::Column::Bytes: {
            const std::string_view text = key.Bytes()[recordIndex];
            bits = prefixOf(text);
            heldWhole = heldWhole && text.size() <= 8 && text.find('\0') == std::string_view::npos;
            break;
        }
        default: {
            const std::u16string_view text = key.Units()[recordIndex];
            bits = prefixOf(text);
            heldWhole = heldWhole && text.size() <= 4 && text.find(u'\0') == std::u16string_view::npos;
            break;
        }
        }
        pairs.push_back({descending ? ~bits : bits, std::uint32_t(position)});
    }
    std::stable_sort(absent.begin(), absent.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::uint8_t stateA = states[records[a]], stateB = states[records[b]];
        return descending ? stateA > stateB : stateA < stateB;
    });
    if (!pairs.empty())
        sortByKey(pairs);
    if (!heldWhole && column == TkvSortKey::Column::Bytes)
        sortRunsOfOnePrefix(pairs, key.Bytes(), records, descending);
    else if (!heldWhole && column == TkvSortKey::Column::Units)
        sortRunsOfOnePrefix(pairs, key.Units(), records, descending);

    std::vector<int> sorted;
    sorted.reserve(records.size());
    if (!descending)
        for (std::uint32_t position : absent)
            sorted.push_back(records[position]);
    for (const KeySlot &slot : pairs)
        sorted.push_back(records[slot.record]);
    if (descending)
        for (std::uint32_t position : absent)
            sorted.push_back(records[position]);
    records.swap(sorted);
}

} // namespace

// Stored keys of numbers or strings, one sort per key from the last to the
// first, each keeping the ties of the one before; the records start in
// record order, which decides where every key ties. The order is exactly
// that of Compare.
bool TkvRecordComparer::SortFast(std::vector<int> &recordList) const
{
    // Without keys the order is the records' own; a freshly filtered list
    // already has it.
    if (FKeys.empty()) {
        if (std::is_sorted(recordList.begin(), recordList.end()))
            return true;
        // A list that was grouped (ungrouping) holds most records: marking
        // them and reading the marks in order costs less than a sort.
        const auto [low, high] = std::minmax_element(recordList.begin(), recordList.end());
        if (*low >= 0 && recordList.size() * 8 >= std::size_t(*high) + 1)
            recordList = InRecordOrder(recordList, std::size_t(*high) + 1);
        else
            std::sort(recordList.begin(), recordList.end());
        return true;
    }
    for (const auto &key : FKeys)
        if (!hasFastPath(*key))
            return false;
    // A list already in the order of every key but the first (a grouping put
    // in front of the present sort): a sort by the first key alone that keeps
    // ties in the list's order gives the whole order, without sorting again
    // by the others.
    if (FKeys.size() >= 2 && InOrderFrom(1, recordList)) {
        sortByOneKey(*FKeys.front(), recordList);
        return true;
    }
    // In record order the keys are read in memory order, and the pairs of
    // the first pass need no radix passes over their positions.
    std::vector<int> records = InRecordOrder(recordList, FKeys.front()->States().size());
    if (!std::is_sorted(records.begin(), records.end()))
        std::sort(records.begin(), records.end());
    for (auto key = FKeys.rbegin(); key != FKeys.rend(); ++key)
        sortByOneKey(**key, records);
    recordList.swap(records);
    return true;
}

} // namespace kestrum

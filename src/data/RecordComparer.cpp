#include "data/RecordComparer.h"

#include "core/Codepage.h"
#include "core/RegionalSettings.h"
#include "core/VariantCompare.h"
#include "data/DataStorage.h"
#include "data/StoredKeySort.h"
#include "data/ValueTypesHeld.h"

#include <algorithm>
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
    FBytes.Release();
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
        FBytes.Assign(slotCount);
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
        FBytes.Set(recordIndex, static_cast<const std::byte *>(value));
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

void TkvSortKey::ReleaseColumns()
{
    std::vector<std::uint8_t>().swap(FStates);
    std::vector<std::int64_t>().swap(FIntegers);
    std::vector<double>().swap(FReals);
    FBytes.Release();
    std::vector<std::u16string_view>().swap(FUnits);
    std::vector<const void *>().swap(FGeneric);
    std::vector<Variant>().swap(FVariants);
    std::vector<NarrowString>().swap(FUpperBytes);
    std::vector<QString>().swap(FTexts);
    FConvertedBytes.clear();
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
    FBytes.Assign(FStates.size());
    for (int recordIndex : recordList) {
        const TkvValuePointer pointer = storage.GetValuePointer(recordIndex, def);
        if (!pointer.HasBuffer || pointer.IsNull) {
            FStates[recordIndex] = pointer.HasBuffer ? vsNull : vsNoBuffer;
            continue;
        }
        const std::byte *image = TkvVariantValueType::HeldNarrowImage(pointer.Value);
        if (!image) {
            if (!TkvVariantValueType::HoldsWide(pointer.Value)) {
                Prepare(def->ValueTypeClass(), storage.RecordCount());
                return false;
            }
            image =
                reinterpret_cast<const std::byte *>(FConvertedBytes
                                                        .emplace_back(TkvStringValueType::HolderImage(
                                                            FValueType->GetValueAt(pointer.Value).toNarrow()))
                                                        .data());
        }
        FStates[recordIndex] = vsPresent;
        FBytes.Set(recordIndex, image);
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
        // Records of one loaded item mostly share its holder.
        if (FBytes.Image(std::size_t(a)) == FBytes.Image(std::size_t(b)))
            return 0;
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
        FProbeBytes = TkvStringValueType::HolderImage(value.toNarrow());
        FBytes.Set(slot, reinterpret_cast<const std::byte *>(FProbeBytes.data()));
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
        __builtin_prefetch(FBytes.Image(std::size_t(recordIndex)));
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

void TkvRecordComparer::Sort(std::vector<int> &recordList, int keptKeys)
{
    if (recordList.size() >= 2 && !SortFast(recordList, keptKeys))
        QuickSortRecords(recordList.data(), std::ptrdiff_t(recordList.size()),
                         [this](int a, int b) { return Compare(a, b) < 0; });
    if (keptKeys < KeyCount())
        FKeys.resize(std::size_t(std::max(keptKeys, 0)));
}

// Stored keys of numbers or strings, one sort per key from the last to the
// first, each keeping the ties of the one before; the records start in
// record order, which decides where every key ties. The order is exactly
// that of Compare.
bool TkvRecordComparer::SortFast(std::vector<int> &recordList, int keptKeys)
{
    const auto releaseUnlessKept = [&](std::size_t index) -> std::function<void()> {
        if (int(index) < keptKeys)
            return {};
        return [key = FKeys[index].get()] { key->ReleaseColumns(); };
    };
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
        if (!SortsByStoredBits(*key))
            return false;
    // A list already in the order of every key but the first (a grouping put
    // in front of the present sort): a sort by the first key alone that keeps
    // ties in the list's order gives the whole order, without sorting again
    // by the others.
    if (FKeys.size() >= 2 && InOrderFrom(1, recordList)) {
        SortByOneStoredKey(*FKeys.front(), recordList, releaseUnlessKept(0));
        return true;
    }
    // In record order the keys are read in memory order, and the pairs of
    // the first pass need no radix passes over their positions.
    // A list in record order already is sorted where it lies rather than
    // copied: a second list of millions of records at the sort's peak.
    const bool inRecordOrder = std::is_sorted(recordList.begin(), recordList.end());
    std::vector<int> records;
    if (inRecordOrder) {
        records.swap(recordList);
    } else {
        records = InRecordOrder(recordList, FKeys.front()->States().size());
        if (!std::is_sorted(records.begin(), records.end()))
            std::sort(records.begin(), records.end());
        // The list's own order decides nothing from here on.
        std::vector<int>().swap(recordList);
    }
    try {
        for (std::size_t k = FKeys.size(); k-- > 0;)
            SortByOneStoredKey(*FKeys[k], records, releaseUnlessKept(k));
    } catch (...) {
        // Out of memory: the list goes back with all its records, in record order.
        std::sort(records.begin(), records.end());
        recordList.swap(records);
        throw;
    }
    recordList.swap(records);
    return true;
}

} // namespace kestrum

#include "filter/FilterValueList.h"

#include "core/RegionalSettings.h"
#include "core/VariantCompare.h"
#include "data/DataController.h"
#include "data/DataStorage.h"
#include "data/ValueTypes.h"
#include "data/ValueTypesHeld.h"
#include "filter/DataFilterCriteria.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <string_view>

namespace kestrum {

int TkvFilterValueList::FirstValueIndex() const
{
    // Entries made when first asked for, after FItems, are all values.
    int index = 0;
    while (index < int(FItems.size()) && FItems[std::size_t(index)].Kind != vkValue)
        ++index;
    return index;
}

int TkvFilterValueList::CompareEntries(const TkvFilterValueItem &a, const TkvFilterValueItem &b) const
{
    if (FSortByDisplayText) {
        const RegionalSettings &settings = regionalSettings();
        if (FCriteria.Options().Contains(fcoCaseInsensitive))
            return settings.collate(settings.upper(a.DisplayText), settings.upper(b.DisplayText), false);
        return settings.collate(a.DisplayText, b.DisplayText, false);
    }
    return CompareVariants(FCriteria.PrepareValue(a.Value), FCriteria.PrepareValue(b.Value));
}

void TkvFilterValueList::Clear()
{
    FItems.clear();
    ForgetLazy();
}

const TkvFilterValueItem &TkvFilterValueList::LazyItem(std::size_t) const
{
    static const TkvFilterValueItem none;
    return none;
}

bool TkvFilterValueList::CaseInsensitive() const
{
    return FCriteria.Options().Contains(fcoCaseInsensitive);
}

void TkvFilterValueList::Add(TkvFilterValueKind kind, const Variant &value, const QString &displayText)
{
    TkvFilterValueItem entry{kind, value, displayText};
    if (kind == vkValue)
        Realize();
    if (kind != vkValue) {
        FItems.insert(FItems.begin() + FirstValueIndex(), std::move(entry));
        return;
    }
    if (FCriteria.MaxValueListCount() > 0 && Count() >= FCriteria.MaxValueListCount())
        return;
    int low = FirstValueIndex();
    int high = Count() - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const int c = CompareEntries(FItems[std::size_t(middle)], entry);
        if (c == 0)
            return; // already listed
        if (c < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    FItems.insert(FItems.begin() + low, std::move(entry));
}

int TkvFilterValueList::IndexOfKind(TkvFilterValueKind kind) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Kind == kind)
            return int(i);
    // Lazy entries are values, after every plain entry.
    return kind == vkValue && LazyCount() > 0 ? int(FItems.size()) : -1;
}

void TkvFilterValueList::VisitDisplayTexts(const std::function<void(const QString &)> &visit) const
{
    for (const TkvFilterValueItem &entry : FItems)
        visit(entry.DisplayText);
    VisitLazyDisplayTexts(visit);
}

int TkvFilterValueList::GetIndexByCriteriaItem(const TkvFilterCriteriaItem *item) const
{
    if (!item)
        return -1;
    const TkvFilterOperatorCode code = item->OperatorKind();
    if (item->IsNull() && (code == ocEqual || code == ocNotEqual))
        return IndexOfKind(code == ocEqual ? vkBlanks : vkNonBlanks);
    if (item->Parent() != &FCriteria.Root() || code != ocEqual)
        return IndexOfKind(vkCustom);
    for (int i = FirstValueIndex(); i < int(FItems.size()); ++i) {
        try {
            if (VariantsEqual(FItems[std::size_t(i)].Value, item->Value()))
                return i;
        } catch (const Exception &) {
            // a value of another kind is simply not this entry
        }
    }
    if (const std::ptrdiff_t position = LazyPositionOf(item->Value()); position >= 0)
        return int(FItems.size() + std::size_t(position));
    return IndexOfKind(vkAll);
}

namespace {

//! The bytes that make a stored value what it is (the string's units, the
//! number's bytes); false when the type keeps its value elsewhere.
bool StoredKey(TkvValueTypeClass type, bool wide, bool variant, const std::byte *place, std::string_view &key)
{
    if (variant) // a memo column: narrow texts held as variants
        return TkvVariantValueType::HeldNarrow(type->PrepareValuePointer(place), key);
    if (type->IsStringType()) {
        const void *holder = type->PrepareValuePointer(place);
        if (!holder)
            return false;
        if (wide) {
            const std::u16string_view units = TkvWideStringValueType::HeldUnits(holder);
            key = std::string_view(reinterpret_cast<const char *>(units.data()),
                                   units.size() * sizeof(char16_t));
        } else {
            key = TkvStringValueType::HeldBytes(holder);
        }
        return true;
    }
    if (type->IsHeld() || type->ValueByteSize() <= 0)
        return false;
    key = std::string_view(reinterpret_cast<const char *>(place), std::size_t(type->ValueByteSize()));
    return true;
}

//! The distinct values of a column of numbers up to 8 bytes wide, by their
//! bytes: an open-addressed table that grows by doubling, with no allocation
//! per value.
class NumberKeySet {
public:
    //! Whether the key was not in the set yet.
    bool Insert(std::uint64_t key)
    {
        if ((FSize + 1) * 2 > FKeys.size())
            Grow();
        std::size_t place = Hash(key) & FMask;
        while (FUsed[place]) {
            if (FKeys[place] == key)
                return false;
            place = (place + 1) & FMask;
        }
        FUsed[place] = 1;
        FKeys[place] = key;
        ++FSize;
        return true;
    }

private:
    static std::size_t Hash(std::uint64_t key)
    {
        key ^= key >> 33;
        key *= 0xff51afd7ed558ccdull;
        key ^= key >> 33;
        key *= 0xc4ceb9fe1a85ec53ull;
        return std::size_t(key ^ (key >> 33));
    }

    void Grow()
    {
        std::vector<std::uint64_t> keys = std::move(FKeys);
        std::vector<std::uint8_t> used = std::move(FUsed);
        const std::size_t capacity = std::max<std::size_t>(64, keys.size() * 2);
        FKeys.assign(capacity, 0);
        FUsed.assign(capacity, 0);
        FMask = capacity - 1;
        FSize = 0;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (used[i])
                Insert(keys[i]);
    }

    std::vector<std::uint64_t> FKeys;
    std::vector<std::uint8_t> FUsed;
    std::size_t FMask = 0;
    std::size_t FSize = 0;
};

//! The distinct texts of a column, each held as the first record that stores
//! it: an open-addressed table of (hash, record) pairs that grows by doubling.
//! A set of string views would allocate a node per text, which for millions
//! of distinct remarks costs more time and memory than the texts themselves.
class TextKeySet {
public:
    //! key(record) gives the text a record stores; `record` is taken for
    //! `text` when the text is not in the set yet.
    template <typename KeyOf> bool Insert(std::string_view text, int record, const KeyOf &key)
    {
        if ((FSize + 1) * 2 > FSlots.size())
            Grow();
        const std::uint32_t hash = Hash(text);
        std::size_t place = hash & FMask;
        while (FSlots[place].Record >= 0) {
            if (FSlots[place].Hash == hash && key(FSlots[place].Record) == text)
                return false;
            place = (place + 1) & FMask;
        }
        FSlots[place] = {hash, record};
        ++FSize;
        return true;
    }

private:
    struct Slot {
        std::uint32_t Hash = 0;
        int Record = -1;
    };

    static std::uint32_t Hash(std::string_view text)
    {
        // FNV-1a, mixed at the end so that the low bits used as the place spread.
        std::uint64_t h = 0xcbf29ce484222325ull;
        for (const char c : text)
            h = (h ^ std::uint8_t(c)) * 0x100000001b3ull;
        h ^= h >> 32;
        h *= 0xd6e8feb86659fd93ull;
        h ^= h >> 32;
        return std::uint32_t(h);
    }

    void Grow()
    {
        std::vector<Slot> previous = std::move(FSlots);
        const std::size_t capacity = std::max<std::size_t>(64, previous.size() * 2);
        FSlots.assign(capacity, Slot{});
        FMask = capacity - 1;
        for (const Slot &slot : previous) {
            if (slot.Record < 0)
                continue;
            std::size_t place = slot.Hash & FMask;
            while (FSlots[place].Record >= 0)
                place = (place + 1) & FMask;
            FSlots[place] = slot;
        }
    }

    std::vector<Slot> FSlots;
    std::size_t FMask = 0;
    std::size_t FSize = 0;
};

//! How value entries compare once their prepared values are known: as numbers
//! or as narrow strings when every value is one, else through the variants.
enum class EntryKeyKind : std::uint8_t { Number, Text, Variants };

} // namespace

bool IsPlainNumber(VarType type)
{
    switch (type) {
    case VarType::Int8:
    case VarType::Int16:
    case VarType::Int32:
    case VarType::UInt8:
    case VarType::UInt16:
    case VarType::UInt32:
    case VarType::Float32:
    case VarType::Float64:
    case VarType::Date:
        return true;
    default:
        return false;
    }
}

std::vector<int> TkvDataFilterValueList::FirstRecordsOfStoredValues(const TkvCustomDataController &controller,
                                                                    const TkvCustomDataField *field,
                                                                    bool &blanks, bool &keyed,
                                                                    bool &distinctTexts) const
{
    distinctTexts = false;
    const int count = controller.RecordCount();
    std::vector<int> firsts;
    const TkvValueDef *def = field ? field->ValueDef() : nullptr;
    const TkvValueTypeClass type = def ? def->ValueTypeClass() : nullptr;
    // Stored display texts may differ between records of one value: every record counts then.
    const bool variant = dynamic_cast<const TkvVariantValueType *>(type) != nullptr;
    keyed = def && !def->TextStored() &&
            (type->IsStringType() || variant || (!type->IsHeld() && type->ValueByteSize() > 0));
    if (keyed) {
        const bool wide = dynamic_cast<const TkvWideStringValueType *>(type) != nullptr;
        const bool emptyIsBlank = FCriteria.Options().Contains(fcoSoftNull);
        const TkvDataStorage &storage = controller.Storage();
        const int width = type->IsStringType() || variant ? 0 : type->ValueByteSize();
        if (width > 0 && width <= int(sizeof(std::uint64_t))) {
            NumberKeySet seen;
            for (int recordIndex = 0; recordIndex < count; ++recordIndex) {
                const std::byte *buffer = storage.RecordBuffer(recordIndex);
                if (def->IsNull(buffer)) {
                    blanks = true;
                    continue;
                }
                std::uint64_t key = 0;
                std::memcpy(&key, buffer + def->ValueOffset(), std::size_t(width));
                if (seen.Insert(key))
                    firsts.push_back(recordIndex);
            }
            return firsts;
        }
        const auto keyOf = [&](int recordIndex) {
            std::string_view key;
            StoredKey(type, wide, variant, storage.RecordBuffer(recordIndex) + def->ValueOffset(), key);
            return key;
        };
        // Distinct held texts show as distinct texts.
        distinctTexts = true;
        TextKeySet seen;
        for (int recordIndex = 0; recordIndex < count; ++recordIndex) {
            const std::byte *buffer = storage.RecordBuffer(recordIndex);
            if (def->IsNull(buffer)) {
                blanks = true;
                continue;
            }
            std::string_view key;
            if (!StoredKey(type, wide, variant, buffer + def->ValueOffset(), key)) {
                // A variant that is no narrow text is judged as a value and
                // counts on its own; a missing holder reads as Null.
                const void *holder = type->PrepareValuePointer(buffer + def->ValueOffset());
                if (variant && holder && !FCriteria.IsNull(type->GetValueAt(holder))) {
                    firsts.push_back(recordIndex);
                    distinctTexts = false;
                } else
                    blanks = true;
                continue;
            }
            if (emptyIsBlank && key.empty()) {
                blanks = true;
                continue;
            }
            if (seen.Insert(key, recordIndex, keyOf))
                firsts.push_back(recordIndex);
        }
        return firsts;
    }
    firsts.resize(std::size_t(count));
    for (int recordIndex = 0; recordIndex < count; ++recordIndex)
        firsts[std::size_t(recordIndex)] = recordIndex;
    return firsts;
}

void TkvFilterValueList::AddValues(std::vector<TkvFilterValueItem> values)
{
    if (FCriteria.MaxValueListCount() > 0) {
        // Which values make the cut depends on the record order: one at a time.
        for (TkvFilterValueItem &value : values) {
            if (Count() >= FCriteria.MaxValueListCount())
                break;
            Add(vkValue, value.Value, value.DisplayText);
        }
        return;
    }
    // Sorted once, equal values by their record order, so the first record of
    // equal values keeps its entry; each value's comparison key is made once.
    const std::size_t n = values.size();
    std::vector<std::size_t> order(n);
    std::vector<bool> equalsPrevious(n, false); // in sorted order
    if (FSortByDisplayText)
        SortByCollation(values, order, equalsPrevious);
    else
        SortByValue(values, order, equalsPrevious);
    // Values already in the list (added by hand before) keep their places: merge.
    if (FirstValueIndex() < Count()) {
        for (std::size_t i : order)
            Add(vkValue, values[i].Value, values[i].DisplayText);
        return;
    }
    // The entries are put in order where they stand, so that a list of
    // millions of values is not held twice: position k takes the entry at
    // order[k], following each cycle of the permutation once.
    std::vector<bool> placed(n, false);
    for (std::size_t start = 0; start < n; ++start) {
        if (placed[start])
            continue;
        TkvFilterValueItem first = std::move(values[start]);
        std::size_t k = start;
        for (;;) {
            placed[k] = true;
            const std::size_t from = order[k];
            if (from == start) {
                values[k] = std::move(first);
                break;
            }
            values[k] = std::move(values[from]);
            k = from;
        }
    }
    std::size_t kept = 0;
    for (std::size_t k = 0; k < n; ++k)
        if (!equalsPrevious[k]) {
            if (kept != k)
                values[kept] = std::move(values[k]);
            ++kept;
        }
    values.erase(values.begin() + std::ptrdiff_t(kept), values.end());
    values.insert(values.begin(), std::make_move_iterator(FItems.begin()),
                  std::make_move_iterator(FItems.end()));
    FItems = std::move(values);
}

void TkvFilterValueList::SortByCollation(const std::vector<TkvFilterValueItem> &values,
                                         std::vector<std::size_t> &order,
                                         std::vector<bool> &equalsPrevious) const
{
    TkvValueOrder sorted(CaseInsensitive());
    sorted.Build(values.size(), [&](std::size_t i) { return values[i].DisplayText; });
    sorted.SortedWithTies(order, equalsPrevious);
}

void TkvFilterValueList::SortByValue(const std::vector<TkvFilterValueItem> &values,
                                     std::vector<std::size_t> &order, std::vector<bool> &equalsPrevious) const
{
    const std::size_t n = values.size();
    for (std::size_t i = 0; i < n; ++i)
        order[i] = i;
    std::function<int(std::size_t, std::size_t)> compare;
    std::vector<NarrowString> texts;
    std::vector<Variant> prepared;
    prepared.reserve(n);
    EntryKeyKind kind = EntryKeyKind::Number;
    bool anyText = false;
    for (const TkvFilterValueItem &value : values) {
        prepared.push_back(FCriteria.PrepareValue(value.Value));
        const VarType t = prepared.back().type();
        const bool text = t == VarType::String || t == VarType::WideString;
        anyText |= text;
        if (!text && !IsPlainNumber(t))
            kind = EntryKeyKind::Variants;
    }
    if (kind == EntryKeyKind::Number && anyText) {
        kind = EntryKeyKind::Text;
        for (const Variant &value : prepared)
            if (value.type() != VarType::String && value.type() != VarType::WideString)
                kind = EntryKeyKind::Variants;
    }
    if (kind == EntryKeyKind::Text) {
        try {
            texts.reserve(n);
            for (const Variant &value : prepared)
                texts.push_back(value.type() == VarType::String ? value.rawNarrow() : value.toNarrow());
        } catch (const Exception &) {
            kind = EntryKeyKind::Variants;
        }
    }
    if (kind == EntryKeyKind::Number) {
        // Numbers sort beside their positions, without a call per comparison.
        std::vector<std::pair<double, std::size_t>> numbered;
        numbered.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            numbered.emplace_back(prepared[i].toDouble(), i);
        std::sort(numbered.begin(), numbered.end(), [](const auto &a, const auto &b) {
            const bool nanA = std::isnan(a.first), nanB = std::isnan(b.first);
            if (nanA || nanB) // a value that is not a number goes last, the sort stays ordered
                return nanA != nanB ? nanB : a.second < b.second;
            return a.first < b.first || (a.first == b.first && a.second < b.second);
        });
        for (std::size_t k = 0; k < n; ++k) {
            order[k] = numbered[k].second;
            equalsPrevious[k] = k > 0 && numbered[k - 1].first == numbered[k].first;
        }
        return;
    }
    switch (kind) {
    case EntryKeyKind::Number:
        break;
    case EntryKeyKind::Text:
        compare = [&](std::size_t a, std::size_t b) {
            const int c = texts[a].compare(texts[b]);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        };
        break;
    case EntryKeyKind::Variants:
        compare = [&](std::size_t a, std::size_t b) { return CompareVariants(prepared[a], prepared[b]); };
        break;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return compare(a, b) < 0; });
    for (std::size_t k = 1; k < n; ++k)
        equalsPrevious[k] = compare(order[k - 1], order[k]) == 0;
}

TkvDataFilterValueList::TkvDataFilterValueList(TkvDataFilterCriteria &criteria)
    : TkvFilterValueList(criteria), FDataCriteria(criteria)
{
}

void TkvDataFilterValueList::Load(int itemIndex, bool sortByDisplayText)
{
    Clear();
    SetSortByDisplayText(sortByDisplayText);
    TkvCustomDataController &controller = FDataCriteria.DataController();
    Add(vkAll, Variant::null(), QString::fromUtf8("(全部)"));
    Add(vkCustom, Variant::null(), QString::fromUtf8("(用户定制搜索)"));
    const bool gridMode = controller.Provider().IsGridMode();
    bool blanks = false;
    if (!gridMode && itemIndex >= 0 && itemIndex < controller.ItemCount()) {
        const TkvCustomDataField *field = controller.GetItemField(itemIndex);
        // Records holding the same stored value give the same entry (the first
        // of them wins), so each distinct value is read, judged and placed once.
        bool keyed = false, distinctTexts = false;
        std::vector<int> firsts = FirstRecordsOfStoredValues(controller, field, blanks, keyed, distinctTexts);
        // Which values make a cut depends on the record order: those lists
        // are built whole. In value order only distinct narrow texts as they
        // are (no upper-casing) are ordered without their values.
        const bool byBytes =
            !sortByDisplayText && distinctTexts && !CaseInsensitive() && HoldsNarrowTexts(field);
        if (keyed && (sortByDisplayText || byBytes) && FCriteria.MaxValueListCount() <= 0) {
            LoadLazily(std::move(firsts), field, distinctTexts);
        } else {
            std::vector<TkvFilterValueItem> values;
            values.reserve(firsts.size() + 4); // room for the fixed entries put in front
            for (int recordIndex : firsts) {
                Variant value = controller.GetFieldValue(recordIndex, field);
                if (FCriteria.IsNull(value)) {
                    blanks = true;
                    continue;
                }
                values.push_back(
                    {vkValue, std::move(value), controller.GetFieldDisplayText(recordIndex, field)});
            }
            AddValues(std::move(values));
        }
    }
    if (blanks || gridMode) {
        FItems.insert(FItems.begin() + 2,
                      TkvFilterValueItem{vkBlanks, Variant::null(), QString::fromUtf8("(为空)")});
        FItems.insert(FItems.begin() + 3,
                      TkvFilterValueItem{vkNonBlanks, Variant::null(), QString::fromUtf8("(不为空)")});
    }
    if (FDataCriteria.OnGetValueList)
        FDataCriteria.OnGetValueList(&FDataCriteria, itemIndex, *this);
}

bool TkvDataFilterValueList::HoldsNarrowTexts(const TkvCustomDataField *field)
{
    const TkvValueDef *def = field ? field->ValueDef() : nullptr;
    const TkvValueTypeClass type = def ? def->ValueTypeClass() : nullptr;
    return def && !def->TextStored() &&
           (dynamic_cast<const TkvVariantValueType *>(type) != nullptr ||
            (type->IsStringType() && !dynamic_cast<const TkvWideStringValueType *>(type)));
}

void TkvDataFilterValueList::LoadLazily(std::vector<int> records, const TkvCustomDataField *field,
                                        bool distinctTexts)
{
    const TkvCustomDataController &controller = FDataCriteria.DataController();
    FLazyOrder = TkvValueOrder(CaseInsensitive());
    // A narrow text (a memo's too) of ASCII characters only shows as those characters.
    const TkvValueDef *def = field->ValueDef();
    const TkvValueTypeClass type = def ? def->ValueTypeClass() : nullptr;
    const bool variant = dynamic_cast<const TkvVariantValueType *>(type) != nullptr;
    const bool narrow = HoldsNarrowTexts(field);
    FLazyNarrow = narrow && distinctTexts;
    const auto storedBytes = [&](std::size_t i, std::string_view &bytes) {
        const std::byte *buffer = controller.Storage().RecordBuffer(records[i]);
        return StoredKey(type, false, variant, buffer + def->ValueOffset(), bytes);
    };
    const auto bytesOf = [&](std::size_t i, std::string_view &bytes) {
        if (!storedBytes(i, bytes))
            return false;
        return std::all_of(bytes.begin(), bytes.end(), [](char c) { return std::uint8_t(c) < 0x80; });
    };
    if (!SortByDisplayText()) {
        // Texts in value order compare by their bytes.
        FLazyOrder.BuildFromBytes(records.size(), [&](std::size_t i) {
            std::string_view bytes;
            storedBytes(i, bytes);
            return bytes;
        });
        FLazyRecords = std::move(records);
        FLazyField = field;
        FLazyEntries.clear();
        return;
    }
    FLazyOrder.Build(
        records.size(), [&](std::size_t i) { return controller.GetFieldDisplayText(records[i], field); },
        narrow ? std::function<bool(std::size_t, std::string_view &)>(bytesOf) : nullptr);
    FLazyOrder.DropDuplicates(distinctTexts);
    FLazyRecords = std::move(records);
    FLazyField = field;
    FLazyEntries.clear();
}

TkvFilterValueItem TkvDataFilterValueList::MakeEntry(int recordIndex) const
{
    const TkvCustomDataController &controller = FDataCriteria.DataController();
    // Records may have gone since the list was made: such an entry reads as empty.
    if (recordIndex >= controller.RecordCount())
        return {vkValue, Variant::null(), QString()};
    return {vkValue, controller.GetFieldValue(recordIndex, FLazyField),
            controller.GetFieldDisplayText(recordIndex, FLazyField)};
}

const TkvFilterValueItem &TkvDataFilterValueList::LazyItem(std::size_t position) const
{
    if (const auto made = FLazyEntries.find(position); made != FLazyEntries.end())
        return made->second;
    const int recordIndex = FLazyRecords[FLazyOrder.IndexAt(position)];
    return FLazyEntries.emplace(position, MakeEntry(recordIndex)).first->second;
}

std::ptrdiff_t TkvDataFilterValueList::LazyPositionOf(const Variant &value) const
{
    std::ptrdiff_t found = -1;
    if (FLazyRecords.empty())
        return found;
    // Narrow texts equal a narrow text when their bytes do: read in place.
    const TkvValueDef *def = FLazyField->ValueDef();
    const TkvValueTypeClass type = def ? def->ValueTypeClass() : nullptr;
    const bool variant = dynamic_cast<const TkvVariantValueType *>(type) != nullptr;
    const bool inPlace = FLazyNarrow && value.type() == VarType::String;
    const TkvDataStorage &storage = FDataCriteria.DataController().Storage();
    const int recordCount = FDataCriteria.DataController().RecordCount();
    FLazyOrder.ForEachKept([&](std::size_t index) {
        if (inPlace) {
            const int recordIndex = FLazyRecords[index];
            std::string_view bytes;
            if (recordIndex >= recordCount ||
                !StoredKey(type, false, variant, storage.RecordBuffer(recordIndex) + def->ValueOffset(),
                           bytes) ||
                bytes != std::string_view(value.rawNarrow()))
                return;
            const std::ptrdiff_t position = FLazyOrder.PositionOfIndex(index);
            if (found < 0 || position < found)
                found = position;
            return;
        }
        try {
            if (!VariantsEqual(MakeEntry(FLazyRecords[index]).Value, value))
                return;
        } catch (const Exception &) {
            return; // a value of another kind is simply not this entry
        }
        const std::ptrdiff_t position = FLazyOrder.PositionOfIndex(index);
        if (found < 0 || position < found)
            found = position;
    });
    return found;
}

void TkvDataFilterValueList::VisitLazyDisplayTexts(const std::function<void(const QString &)> &visit) const
{
    const TkvCustomDataController &controller = FDataCriteria.DataController();
    FLazyOrder.ForEachKept([&](std::size_t index) {
        const int recordIndex = FLazyRecords[index];
        visit(recordIndex < controller.RecordCount() ? controller.GetFieldDisplayText(recordIndex, FLazyField)
                                                     : QString());
    });
}

void TkvDataFilterValueList::Realize()
{
    if (FLazyRecords.empty())
        return;
    FLazyOrder.SortAll();
    const std::size_t count = FLazyOrder.Count();
    FItems.reserve(FItems.size() + count);
    for (std::size_t position = 0; position < count; ++position)
        FItems.push_back(MakeEntry(FLazyRecords[FLazyOrder.IndexAt(position)]));
    ForgetLazy();
}

void TkvDataFilterValueList::ForgetLazy()
{
    FLazyRecords = {};
    FLazyEntries.clear();
    FLazyOrder = TkvValueOrder();
    FLazyField = nullptr;
    FLazyNarrow = false;
}

} // namespace kestrum

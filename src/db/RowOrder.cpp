#include "db/RowOrder.h"

#include <algorithm>
#include <numeric>

namespace kestrum {

void TDbRowOrder::Load(std::unique_ptr<TDbRowStore> store, int keyField)
{
    FStore = std::move(store);
    FKeyField = keyField;
    ++FGeneration;
    FLive.resize(std::size_t(FStore->SlotCount()));
    std::iota(FLive.begin(), FLive.end(), 0);
    FVisible.clear();
    FVisibleInSlotOrder = true;
    FPositionsValid = false;
    FKeysValid = false;
}

void TDbRowOrder::Clear()
{
    FStore.reset();
    FKeyField = -1;
    FLive.clear();
    FVisible.clear();
    FVisibleInSlotOrder = false;
    FPositionOfSlot.clear();
    FSlotsByKey.clear();
    FPositionsValid = FKeysValid = false;
}

void TDbRowOrder::ShowAll()
{
    ShowWhere([](int) { return true; });
}

int TDbRowOrder::PositionOfSlot(int slot) const
{
    if (FVisibleInSlotOrder)
        return slot >= 0 && slot < VisibleCount() ? slot : -1;
    if (!FPositionsValid) {
        FPositionOfSlot.assign(std::size_t(FStore ? FStore->SlotCount() : 0), -1);
        for (int position = 0; position < VisibleCount(); ++position)
            FPositionOfSlot[std::size_t(SlotAt(position))] = position;
        FPositionsValid = true;
    }
    return slot >= 0 && slot < int(FPositionOfSlot.size()) ? FPositionOfSlot[std::size_t(slot)] : -1;
}

int TDbRowOrder::AddRow(const TDbRowStore &row, int position)
{
    const int slot = FStore->AddCopy(row, 0);
    const auto before = position >= 0 && position < VisibleCount()
                            ? std::find(FLive.begin(), FLive.end(), SlotAt(position))
                            : FLive.end();
    FLive.insert(before, slot);
    // A row with a key already known stays behind it, as a later row of
    // the same key does in a fresh index.
    if (FKeysValid && HasIntegerKey(slot))
        FSlotsByKey.insert(UpperBoundOfKey(KeyOf(slot)), slot);
    FPositionsValid = false;
    return slot;
}

void TDbRowOrder::ReplaceRow(int slot, const TDbRowStore &row)
{
    FStore->SetCopy(slot, row, 0);
}

void TDbRowOrder::RemoveAt(int position)
{
    const int slot = SlotAt(position);
    // Unfiltered, the row stands at the same place among the live rows: no search.
    const bool samePlace = position < int(FLive.size()) && FLive[std::size_t(position)] == slot;
    FLive.erase(samePlace ? FLive.begin() + position : std::find(FLive.begin(), FLive.end(), slot));
    FVisible.erase(FVisible.begin() + position);
    FVisibleInSlotOrder = false;
    if (FKeysValid && HasIntegerKey(slot)) {
        const auto last = UpperBoundOfKey(KeyOf(slot));
        const auto found = std::find(LowerBoundOfKey(KeyOf(slot)), last, slot);
        if (found != last)
            FSlotsByKey.erase(found);
    }
    FPositionsValid = false;
}

std::vector<std::int32_t>::iterator TDbRowOrder::LowerBoundOfKey(std::int64_t key) const
{
    return std::lower_bound(FSlotsByKey.begin(), FSlotsByKey.end(), key,
                            [this](std::int32_t slot, std::int64_t k) { return KeyOf(slot) < k; });
}

std::vector<std::int32_t>::iterator TDbRowOrder::UpperBoundOfKey(std::int64_t key) const
{
    return std::upper_bound(FSlotsByKey.begin(), FSlotsByKey.end(), key,
                            [this](std::int64_t k, std::int32_t slot) { return k < KeyOf(slot); });
}

void TDbRowOrder::BuildKeyIndex() const
{
    FSlotsByKey.clear();
    FSlotsByKey.reserve(FLive.size());
    bool ascending = true;
    for (const std::int32_t slot : FLive) {
        if (!HasIntegerKey(slot))
            continue;
        if (!FSlotsByKey.empty() && KeyOf(FSlotsByKey.back()) > KeyOf(slot))
            ascending = false;
        FSlotsByKey.push_back(slot);
    }
    if (!ascending)
        std::stable_sort(FSlotsByKey.begin(), FSlotsByKey.end(),
                         [this](std::int32_t a, std::int32_t b) { return KeyOf(a) < KeyOf(b); });
    FKeysValid = true;
}

TBookmark TDbRowOrder::BookmarkOfSlot(int slot) const
{
    TBookmark bookmark;
    bookmark.FOwner = FOwner;
    if (HasIntegerKey(slot)) {
        bookmark.FKind = TBookmark::kKey;
        bookmark.FValue = FStore->Integer(slot, FKeyField);
    } else {
        bookmark.FKind = TBookmark::kSlot;
        bookmark.FGeneration = FGeneration;
        bookmark.FValue = slot;
    }
    return bookmark;
}

int TDbRowOrder::SlotOfBookmark(const TBookmark &bookmark) const
{
    if (!FStore || bookmark.FOwner != FOwner)
        return -1;
    if (bookmark.FKind == TBookmark::kSlot)
        return bookmark.FGeneration == FGeneration && bookmark.FValue < FStore->SlotCount()
                   ? int(bookmark.FValue)
                   : -1;
    if (bookmark.FKind != TBookmark::kKey)
        return -1;
    return SlotOfKey(bookmark.FValue);
}

int TDbRowOrder::SlotOfKey(std::int64_t key) const
{
    if (!FStore || FKeyField < 0)
        return -1;
    if (!FKeysValid)
        BuildKeyIndex();
    const auto found = LowerBoundOfKey(key);
    return found == FSlotsByKey.end() || KeyOf(*found) != key ? -1 : *found;
}

int TDbRowOrder::CompareBookmarks(const TBookmark &a, const TBookmark &b) const
{
    if (a.IsNull() || b.IsNull())
        return a.IsNull() == b.IsNull() ? 0 : (a.IsNull() ? -1 : 1);
    if (a == b)
        return 0;
    const int pa = PositionOfSlot(SlotOfBookmark(a));
    const int pb = PositionOfSlot(SlotOfBookmark(b));
    if (pa >= 0 && pb >= 0)
        return pa < pb ? -1 : 1;
    if (pa != pb)
        return pa < 0 ? 1 : -1;
    return a.FValue < b.FValue ? -1 : (a.FValue > b.FValue ? 1 : 0);
}

} // namespace kestrum

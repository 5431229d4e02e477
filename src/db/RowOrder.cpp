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
    FPositionsValid = false;
    FKeysValid = false;
}

void TDbRowOrder::Clear()
{
    FStore.reset();
    FKeyField = -1;
    FLive.clear();
    FVisible.clear();
    FPositionOfSlot.clear();
    FSlotOfKey.clear();
    FPositionsValid = FKeysValid = false;
}

void TDbRowOrder::ShowAll()
{
    FVisible = FLive;
    FPositionsValid = false;
}

int TDbRowOrder::PositionOfSlot(int slot) const
{
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
    if (FKeysValid && HasIntegerKey(slot))
        FSlotOfKey.emplace(FStore->Integer(slot, FKeyField), slot);
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
    if (FKeysValid && HasIntegerKey(slot))
        FSlotOfKey.erase(FStore->Integer(slot, FKeyField));
    FPositionsValid = false;
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
    if (bookmark.FKind != TBookmark::kKey || FKeyField < 0)
        return -1;
    if (!FKeysValid) {
        FSlotOfKey.clear();
        FSlotOfKey.reserve(FLive.size());
        for (const std::int32_t slot : FLive)
            if (FStore->Kind(slot, FKeyField) == TDbCellKind::Integer)
                FSlotOfKey.emplace(FStore->Integer(slot, FKeyField), slot);
        FKeysValid = true;
    }
    const auto found = FSlotOfKey.find(bookmark.FValue);
    return found == FSlotOfKey.end() ? -1 : found->second;
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

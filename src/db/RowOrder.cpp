#include "db/RowOrder.h"

#include <algorithm>
#include <numeric>

namespace kestrum {

TDbRowOrder::TDbRowOrder(std::uint64_t owner) : FOwner(owner)
{
    FLive.OnItemsMoved = [this](std::size_t first, std::size_t count) { NoteLivePlaces(first, count); };
}

void TDbRowOrder::Load(std::unique_ptr<TDbRowStore> store, int keyField)
{
    FAllShown = false; // nothing is shown until ShowWhere or ShowAll
    FStore = std::move(store);
    FKeyField = keyField;
    ++FGeneration;
    FLive.clear();
    // Room for the gap a first added row opens: no copy of the whole list then.
    const std::size_t slots = std::size_t(FStore->SlotCount());
    FLive.reserve(slots + slots / 64 + 16);
    FLive.resize(slots);
    std::iota(FLive.raw().begin(), FLive.raw().end(), 0);
    FVisible.clear();
    FLiveAtSlotPlaces = true;
    FVisibleInSlotOrder = true;
    FPositionsValid = false;
    FKeysValid = FKeysInLive = false;
}

void TDbRowOrder::Clear()
{
    FStore.reset();
    FKeyField = -1;
    FLive.clear();
    FVisible.clear();
    FAllShown = FLiveAtSlotPlaces = false;
    FVisibleInSlotOrder = false;
    FPositionOfSlot.clear();
    FSlotsByKey.clear();
    FPositionsValid = FKeysValid = FKeysInLive = false;
}

void TDbRowOrder::ShowAll()
{
    if (FAllShown)
        return;
    FVisible = TGapList<std::int32_t>();
    FAllShown = true;
    FPositionsValid = false;
    FLiveAtSlotPlaces = true;
    const std::vector<std::int32_t> &places = FLive.raw();
    for (std::size_t place = 0; place < places.size() && FLiveAtSlotPlaces; ++place)
        FLiveAtSlotPlaces = FLive.IndexOfRaw(place) < 0 || places[place] == std::int32_t(place);
}

void TDbRowOrder::NoteLivePlaces(std::size_t first, std::size_t count)
{
    if (!FAllShown)
        return;
    // Moved rows no longer stand at their slot's place.
    FLiveAtSlotPlaces = false;
    if (!FPositionsValid)
        return;
    const std::vector<std::int32_t> &places = FLive.raw();
    for (std::size_t place = first; place < first + count; ++place)
        FPositionOfSlot[std::size_t(places[place])] = std::int32_t(place);
}

int TDbRowOrder::PositionOfSlot(int slot) const
{
    if (FAllShown) {
        const std::vector<std::int32_t> &places = FLive.raw();
        if (FLiveAtSlotPlaces)
            return slot >= 0 && std::size_t(slot) < places.size() ? int(FLive.IndexOfRaw(std::size_t(slot)))
                                                                  : -1;
        // Rows in key order find their place in the key index: no index
        // of every row's place is built (a row put back among ten million).
        if (!FPositionsValid && KeysGivePlaces())
            return LivePlaceByKey(slot);
        if (!FPositionsValid) {
            // Room for the rows added after (a new entry, saved): no copy of
            // the whole index at the first of them.
            const std::size_t slots = std::size_t(FStore ? FStore->SlotCount() : 0);
            FPositionOfSlot.reserve(slots + slots / 64 + 16);
            FPositionOfSlot.assign(slots, -1);
            for (std::size_t place = 0; place < places.size(); ++place)
                if (FLive.IndexOfRaw(place) >= 0)
                    FPositionOfSlot[std::size_t(places[place])] = std::int32_t(place);
            FPositionsValid = true;
        }
        if (slot < 0 || slot >= int(FPositionOfSlot.size()) || FPositionOfSlot[std::size_t(slot)] < 0)
            return -1;
        return int(FLive.IndexOfRaw(std::size_t(FPositionOfSlot[std::size_t(slot)])));
    }
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
    std::size_t live = FLive.size();
    if (position >= 0 && position < VisibleCount()) {
        if (FAllShown) {
            live = std::size_t(position);
        } else {
            const std::int32_t shown = SlotAt(position);
            live = 0;
            while (live < FLive.size() && FLive[live] != shown)
                ++live;
        }
    }
    return InsertLive(row, live);
}

int TDbRowOrder::AddRowByKey(const TDbRowStore &row)
{
    if (!FStore || FKeyField < 0 || row.Kind(0, FKeyField) != TDbCellKind::Integer)
        return -1;
    const std::int64_t key = row.Integer(0, FKeyField);
    if (!FKeysValid)
        BuildKeyIndex();
    if (KeysGivePlaces())
        return InsertLive(row, UpperBoundOfKey(key));
    // Out of key order only the newest key has a place of its own: the last.
    if (KeyIndexSize() > 0 && key <= KeyOf(KeyIndexSlot(KeyIndexSize() - 1)))
        return -1;
    return InsertLive(row, FLive.size());
}

int TDbRowOrder::InsertLive(const TDbRowStore &row, std::size_t live)
{
    const int slot = FStore->AddCopy(row, 0);
    const bool keyed = HasIntegerKey(slot);
    // A row with a key already known stays behind it, as a later row of
    // the same key does in a fresh index.
    const std::size_t keyPlace = FKeysValid && keyed ? UpperBoundOfKey(KeyOf(slot)) : 0;
    if (FKeysValid && (!keyed || keyPlace != live)) {
        FLiveInKeyOrder = false;
        // The live rows no longer stand in key order: the key index needs
        // rows of its own from now on.
        if (FKeysInLive) {
            FSlotsByKey.clear();
            FSlotsByKey.raw().reserve(FLive.size() + FLive.size() / 64 + 16);
            FLive.ForEach([this](std::int32_t liveSlot) { FSlotsByKey.raw().push_back(liveSlot); });
            FKeysInLive = false;
        }
    }
    if (FAllShown) {
        // Shown at once, where it was asked for.
        if (FPositionsValid)
            FPositionOfSlot.resize(std::size_t(slot) + 1, -1);
        FLive.insert(live, slot);
        const std::size_t place = FLive.RawIndex(live);
        if (FPositionsValid)
            FPositionOfSlot[std::size_t(slot)] = std::int32_t(place);
        FLiveAtSlotPlaces = FLiveAtSlotPlaces && place == std::size_t(slot);
    } else {
        FLive.insert(live, slot);
        FPositionsValid = false;
    }
    if (FKeysValid && keyed && !FKeysInLive)
        FSlotsByKey.insert(keyPlace, slot);
    return slot;
}

void TDbRowOrder::ReplaceRow(int slot, const TDbRowStore &row)
{
    FStore->SetCopy(slot, row, 0);
}

void TDbRowOrder::RemoveAt(int position)
{
    const int slot = SlotAt(position);
    if (FAllShown) {
        FLive.erase(std::size_t(position));
        if (FPositionsValid)
            FPositionOfSlot[std::size_t(slot)] = -1;
    } else {
        // Unfiltered, the row stands at the same place among the live rows: no search.
        std::size_t live = std::size_t(position);
        if (live >= FLive.size() || FLive[live] != slot) {
            live = 0;
            while (live < FLive.size() && FLive[live] != slot)
                ++live;
        }
        FLive.erase(live);
        FVisible.erase(std::size_t(position));
        FVisibleInSlotOrder = false;
        FPositionsValid = false;
    }
    if (FKeysValid && !FKeysInLive && HasIntegerKey(slot)) {
        const std::size_t last = UpperBoundOfKey(KeyOf(slot));
        for (std::size_t i = LowerBoundOfKey(KeyOf(slot)); i < last; ++i)
            if (FSlotsByKey[i] == slot) {
                FSlotsByKey.erase(i);
                break;
            }
    }
}

std::size_t TDbRowOrder::LowerBoundOfKey(std::int64_t key) const
{
    std::size_t low = 0, high = KeyIndexSize();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (KeyOf(KeyIndexSlot(middle)) < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

std::size_t TDbRowOrder::UpperBoundOfKey(std::int64_t key) const
{
    std::size_t low = 0, high = KeyIndexSize();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (key < KeyOf(KeyIndexSlot(middle)))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

void TDbRowOrder::BuildKeyIndex() const
{
    FSlotsByKey = TGapList<std::int32_t>();
    // Rows read in key order (as a table is read) are their own key index:
    // one look at their keys, and no second list of millions of slots.
    bool keyedInOrder = true;
    bool first = true;
    std::int64_t previous = 0;
    FLive.ForEach([&](std::int32_t slot) {
        if (!keyedInOrder)
            return;
        if (!HasIntegerKey(slot) || (!first && KeyOf(slot) < previous)) {
            keyedInOrder = false;
            return;
        }
        previous = KeyOf(slot);
        first = false;
    });
    if (keyedInOrder) {
        FKeysInLive = FLiveInKeyOrder = FKeysValid = true;
        return;
    }
    FKeysInLive = false;
    std::vector<std::int32_t> &slots = FSlotsByKey.raw(); // no gap after clear
    slots.reserve(FLive.size());
    bool ascending = true;
    FLive.ForEach([&](std::int32_t slot) {
        if (!HasIntegerKey(slot))
            return;
        if (!slots.empty() && KeyOf(slots.back()) > KeyOf(slot))
            ascending = false;
        slots.push_back(slot);
    });
    if (!ascending)
        std::stable_sort(slots.begin(), slots.end(),
                         [this](std::int32_t a, std::int32_t b) { return KeyOf(a) < KeyOf(b); });
    FLiveInKeyOrder = ascending;
    FKeysValid = true;
}

int TDbRowOrder::LivePlaceByKey(int slot) const
{
    if (slot < 0 || slot >= FStore->SlotCount() || !HasIntegerKey(slot))
        return -1;
    const std::int64_t key = KeyOf(slot);
    for (std::size_t i = LowerBoundOfKey(key); i < KeyIndexSize() && KeyOf(KeyIndexSlot(i)) == key; ++i)
        if (KeyIndexSlot(i) == slot)
            return int(i);
    return -1;
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
    const std::size_t found = LowerBoundOfKey(key);
    return found == KeyIndexSize() || KeyOf(KeyIndexSlot(found)) != key ? -1 : KeyIndexSlot(found);
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

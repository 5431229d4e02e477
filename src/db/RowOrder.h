#pragma once
// The rows a record set loaded and the order it shows them in: every live row
// in load order, the visible ones (those a filter keeps), and the indexes that
// find a row's visible position and a key's row without a scan. Bookmarks are
// made and resolved here, because what they name (a key or a load slot) is
// the rows' business.
#include "core/GapList.h"
#include "db/Bookmark.h"
#include "db/RowStore.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrum {

class TDbRowOrder {
public:
    //! owner identifies the record set in the bookmarks handed out.
    explicit TDbRowOrder(std::uint64_t owner);
    TDbRowOrder(const TDbRowOrder &) = delete;
    TDbRowOrder &operator=(const TDbRowOrder &) = delete;

    //! Takes a freshly read result: every row live, in the order read, and
    //! none shown until ShowWhere or ShowAll. keyField is the column holding
    //! the table's key (-1: none). Slot bookmarks taken before stop being valid.
    void Load(std::unique_ptr<TDbRowStore> store, int keyField);
    void Clear();
    bool Loaded() const { return FStore != nullptr; }
    const TDbRowStore &Store() const { return *FStore; }
    int KeyField() const { return FKeyField; }

    int VisibleCount() const { return int(FAllShown ? FLive.size() : FVisible.size()); }
    int SlotAt(int position) const
    {
        return FAllShown ? FLive[std::size_t(position)] : FVisible[std::size_t(position)];
    }
    //! The visible position of a slot; -1 when the row is not shown or gone.
    int PositionOfSlot(int slot) const;

    //! Shows the live rows for which keep(slot) holds, in their order.
    template <typename Keep> void ShowWhere(Keep &&keep)
    {
        FVisible.clear();
        FVisible.reserve(FLive.size()); // no second copy while a large list grows
        FVisibleInSlotOrder = true;
        FLive.ForEach([&](std::int32_t slot) {
            if (keep(int(slot))) {
                FVisibleInSlotOrder = FVisibleInSlotOrder && slot == std::int32_t(FVisible.size());
                FVisible.push_back(slot);
            }
        });
        FAllShown = false;
        FPositionsValid = false;
    }
    //! Shows every live row; nothing to do while they all are shown.
    void ShowAll();

    //! Adds a copy of row's only slot as a live row before the row shown at
    //! position (at the end when position is past the visible rows). While
    //! every live row is shown it is shown at once, else not until the next
    //! ShowWhere or ShowAll. Returns its slot.
    int AddRow(const TDbRowStore &row, int position);
    //! Adds a copy of row's only slot as a live row where the table's key
    //! order puts it, as reading the rows again would: when the rows stand
    //! in key order, before the first row with a greater key; otherwise only
    //! a key greater than every other goes, last. Shown as AddRow shows it.
    //! Returns its slot, or -1 (nothing added) when its place is not known.
    int AddRowByKey(const TDbRowStore &row);
    //! Overwrites a slot's cells with row's only slot; the key stays.
    void ReplaceRow(int slot, const TDbRowStore &row);
    //! Drops the row shown at position from the live and visible rows.
    void RemoveAt(int position);

    //! The live slot whose key is key; -1 when none (or no key column).
    int SlotOfKey(std::int64_t key) const;

    TBookmark BookmarkOfSlot(int slot) const;
    //! The slot a bookmark names; -1 when it is another record set's, of
    //! another load, or its row is gone.
    int SlotOfBookmark(const TBookmark &bookmark) const;
    //! -1, 0, 1 by the rows' visible order; a null bookmark sorts first, one
    //! whose row is not shown after every shown one.
    int CompareBookmarks(const TBookmark &a, const TBookmark &b) const;

private:
    bool HasIntegerKey(int slot) const
    {
        return FKeyField >= 0 && FStore->Kind(slot, FKeyField) == TDbCellKind::Integer;
    }
    std::int64_t KeyOf(int slot) const { return FStore->Integer(slot, FKeyField); }
    //! Where a key's first entry is (or would go) in FSlotsByKey.
    std::size_t LowerBoundOfKey(std::int64_t key) const;
    std::size_t UpperBoundOfKey(std::int64_t key) const;
    void BuildKeyIndex() const;
    //! Adds a copy of row's only slot before the live row at `live`.
    int InsertLive(const TDbRowStore &row, std::size_t live);
    //! The key index tells every live row's place: all have an integer key
    //! and stand in key order.
    bool KeysGivePlaces() const
    {
        return FKeysValid && FLiveInKeyOrder && (FKeysInLive || FSlotsByKey.size() == FLive.size());
    }
    //! The key index: its size and its slot at `i` (see FKeysInLive).
    std::size_t KeyIndexSize() const { return FKeysInLive ? FLive.size() : FSlotsByKey.size(); }
    std::int32_t KeyIndexSlot(std::size_t i) const { return FKeysInLive ? FLive[i] : FSlotsByKey[i]; }
    //! The place of a slot among the live rows by the key index (see
    //! KeysGivePlaces); -1 when it is not live.
    int LivePlaceByKey(int slot) const;
    //! Where the live rows' slots stand in FLive's raw array, when shown all.
    void NoteLivePlaces(std::size_t first, std::size_t count);

    std::uint64_t FOwner;
    std::uint64_t FGeneration = 0; // counts loads, for slot bookmarks
    std::unique_ptr<TDbRowStore> FStore;
    int FKeyField = -1;
    // The lists are gap lists: a row added or removed where the last one was
    // (a new entry, rows deleted one after another) moves no other row.
    TGapList<std::int32_t> FLive;    // live rows in order -> slot
    TGapList<std::int32_t> FVisible; // visible rows (FLive filtered) -> slot, unless all are shown
    // Every live row is shown (no filter): FLive is the visible list too, and
    // single rows added or removed keep the position index current.
    bool FAllShown = false;
    // With every row shown: each live slot stands at the place of its number
    // in FLive's raw array (as read, rows removed without moving others), so
    // its position needs no index.
    bool FLiveAtSlotPlaces = false;
    // Both indexes are built on first use after a change of many rows; single
    // rows added or removed keep the key index current themselves. The key
    // index is the live slots with an integer key sorted by key (equal keys in
    // live order), four bytes a row where a hash map took forty; a table read
    // in key order needs no sort at all.
    // The position index: with every row shown, the place of each slot in
    // FLive's raw array (-1: gone), which a move of the gap updates for the
    // rows it moves; filtered, the visible position of each slot.
    mutable std::vector<std::int32_t> FPositionOfSlot;
    mutable bool FPositionsValid = false;
    // Every shown row stands at the position of its slot (all rows as read,
    // none hidden or moved): positions need no index then.
    bool FVisibleInSlotOrder = false;
    mutable TGapList<std::int32_t> FSlotsByKey;
    mutable bool FKeysValid = false;
    // The live rows stand in key order (as a statement ordered by its key
    // reads them), so the key index holds them in their live order: a key's
    // place there is its row's place. Known while FKeysValid.
    mutable bool FLiveInKeyOrder = false;
    // Every live row has an integer key and they stand in key order: FLive
    // is the key index, and FSlotsByKey stays empty. Known while FKeysValid.
    mutable bool FKeysInLive = false;
};

} // namespace kestrum

#pragma once
// Records identified by their key values: the key lists that keep the
// selection and the expanded details across a reload, and the selection of
// a controller whose rows are the record set's buffer window (grid mode),
// kept by bookmark.
#include "data/DataSelection.h"
#include "db/Bookmark.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace kestrum {

class TkvDBDataController;

//! Key values of records, each as one comparable byte string (see
//! TkvDBDataController::RecordKey).
class TkvKeys {
public:
    virtual ~TkvKeys() = default;
    int Count() const { return int(FItems.size()); }
    const std::string &Items(int index) const { return FItems.at(std::size_t(index)); }
    void Add(std::string key) { FItems.push_back(std::move(key)); }
    void Clear() { FItems.clear(); }
    bool Empty() const { return FItems.empty(); }

private:
    std::vector<std::string> FItems;
};

//! The keys of selected data rows.
class TkvSelectedKeys : public TkvKeys {};

//! The keys of master records whose details are expanded.
class TkvDetailKeys : public TkvKeys {};

//! What a reload keeps by key: selected rows and expanded details. Saved
//! before the records are cleared, restored once they are read again.
class TkvSaveObject {
public:
    explicit TkvSaveObject(TkvDBDataController &controller) : FController(controller) {}
    //! False when the controller has no key fields or nothing to keep.
    bool Save();
    void Restore();
    const TkvSelectedKeys &SelectedKeys() const { return FSelectedKeys; }
    const TkvDetailKeys &DetailKeys() const { return FDetailKeys; }

private:
    TkvDBDataController &FController;
    TkvSelectedKeys FSelectedKeys;
    TkvDetailKeys FDetailKeys;
    bool FSaved = false;
};

//! In grid mode the records are the rows of the record set's buffer window,
//! so a selected row is remembered by bookmark and found again whenever the
//! window moves.
class TkvDBDataSelection {
public:
    explicit TkvDBDataSelection(TkvDBDataController &controller) : FController(controller) {}

    //! Raise "DataController not in GridMode" outside grid mode.
    int BookmarkCount() const;
    //! The bookmarks of the selected rows in the record set's order.
    TBookmark Bookmarks(int index) const;
    TBookmark AnchorBookmark() const;
    bool IsBookmarkSelected(const TBookmark &bookmark) const;

    //! The row selection changed: the window's rows are taken again.
    void SelectionChanged();
    //! The window is about to be read again: the anchor row is remembered.
    void WindowLeaving();
    //! The window was read again: its rows are selected by bookmark.
    void WindowLoaded();
    void Clear();

private:
    void CheckGridMode() const;
    //! The bookmark of the window row a record stands for.
    TBookmark BookmarkOfRecord(int recordIndex) const;

    TkvDBDataController &FController;
    std::vector<TBookmark> FBookmarks;
    TBookmark FAnchor;
    bool FRestoring = false;
};

} // namespace kestrum

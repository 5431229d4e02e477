// Records by key: key bytes and values of a record, the key lists kept
// across a reload, and the grid-mode selection by bookmark.
#include "data/DbDataKeys.h"

#include "core/BinaryStream.h"
#include "core/VariantStream.h"
#include "data/DbDataController.h"
#include "db/DbDataLink.h"
#include "db/DbQuery.h"

#include <algorithm>

namespace kestrum {

// ---------------------------------------------------------------------------
// Keys of records

std::string TkvDBDataController::RecordKey(int recordIndex) const
{
    std::string key;
    if (!HasKeyFields())
        return key;
    for (const TkvDBDataField *sub : FKeyField->SubFields()) {
        const TkvValueDef *def = sub->ValueDef();
        const TkvValuePointer pointer = def ? Storage().GetValuePointer(recordIndex, def) : TkvValuePointer();
        if (!def || pointer.IsNull || !pointer.Value) {
            key += '\0';
            continue;
        }
        key += '\1';
        const TkvValueTypeClass type = def->ValueTypeClass();
        if (!type->IsHeld()) {
            key.append(static_cast<const char *>(pointer.Value), std::size_t(type->ValueByteSize()));
            continue;
        }
        // Strings and variants: their stream form, after its length, so that
        // the parts of a key never run into each other.
        BinaryWriter writer;
        EncodeVariant(writer, type->GetValueAt(pointer.Value));
        const std::uint32_t length = std::uint32_t(writer.bytes().size());
        key.append(reinterpret_cast<const char *>(&length), sizeof length);
        key += writer.bytes();
    }
    return key;
}

Variant TkvDBDataController::GetRecordKeyValues(int recordIndex) const
{
    if (!HasKeyFields())
        return Variant::null();
    std::vector<Variant> values;
    for (const TkvDBDataField *sub : FKeyField->SubFields())
        values.push_back(GetFieldValue(recordIndex, sub));
    if (values.size() == 1)
        return values.front();
    return Variant::fromArray(std::move(values));
}

std::unordered_map<std::string, int> TkvDBDataController::BuildKeyIndex() const
{
    std::unordered_map<std::string, int> index;
    if (!HasKeyFields())
        return index;
    index.reserve(std::size_t(RecordCount()));
    for (int recordIndex = 0; recordIndex < RecordCount(); ++recordIndex)
        index.emplace(RecordKey(recordIndex), recordIndex);
    return index;
}

std::string TkvDBDataController::CurrentRowKey()
{
    TDbQuery *dataSet = DataSet();
    if (!HasKeyFields() || !DBProvider().IsActive() || dataSet->IsEmpty())
        return {};
    // The current row's key, read into a scratch record like any record's.
    const int probe = Storage().AddInternalRecord();
    std::string key;
    try {
        TkvValueDefDBReader reader(dataSet);
        Storage().ReadRecord(probe, reader, true);
        key = RecordKey(probe);
    } catch (...) {
        Storage().ReleaseInternalRecord(probe);
        throw;
    }
    Storage().ReleaseInternalRecord(probe);
    return key;
}

int TkvDBDataController::FindRecordIndexOfCurrentRow()
{
    const std::string wanted = CurrentRowKey();
    if (wanted.empty())
        return -1;
    for (int recordIndex = 0; recordIndex < RecordCount(); ++recordIndex)
        if (RecordKey(recordIndex) == wanted)
            return recordIndex;
    return -1;
}

// ---------------------------------------------------------------------------
// TkvSaveObject

bool TkvSaveObject::Save()
{
    FSelectedKeys.Clear();
    FDetailKeys.Clear();
    FSaved = false;
    if (!FController.HasKeyFields() || FController.DBProvider().IsGridMode())
        return false;
    const TkvDataSelection &selection = FController.Selection();
    for (int i = 0; i < selection.Count(); ++i) {
        const TkvDataSelectionEntry &entry = selection.Items(i);
        if (!entry.IsGroupRow && entry.RecordIndex >= 0 && entry.RecordIndex < FController.RecordCount())
            FSelectedKeys.Add(FController.RecordKey(entry.RecordIndex));
    }
    if (FController.HasRelations())
        for (const int recordIndex : FController.Relations().ExpandedRecords())
            if (recordIndex < FController.RecordCount())
                FDetailKeys.Add(FController.RecordKey(recordIndex));
    FSaved = !FSelectedKeys.Empty() || !FDetailKeys.Empty();
    return FSaved;
}

void TkvSaveObject::Restore()
{
    if (!FSaved)
        return;
    FSaved = false;
    const std::unordered_map<std::string, int> index = FController.BuildKeyIndex();
    auto recordOf = [&index](const std::string &key) {
        const auto found = index.find(key);
        return found == index.end() ? -1 : found->second;
    };
    // Row indexes are placeholders (unique per record); the row rebuild that
    // follows the reload finds every entry's row again.
    std::vector<TkvDataSelectionEntry> entries;
    const int levels = FController.Grouping() ? FController.Grouping()->LevelCount() : 0;
    for (int i = 0; i < FSelectedKeys.Count(); ++i) {
        const int recordIndex = recordOf(FSelectedKeys.Items(i));
        if (recordIndex >= 0)
            entries.push_back({recordIndex, recordIndex, levels, false});
    }
    FController.Selection().Assign(std::move(entries));
    if (FController.HasRelations()) {
        std::vector<int> expanded;
        for (int i = 0; i < FDetailKeys.Count(); ++i)
            if (const int recordIndex = recordOf(FDetailKeys.Items(i)); recordIndex >= 0)
                expanded.push_back(recordIndex);
        FController.Relations().SetExpandedRecords(std::move(expanded));
    }
    FSelectedKeys.Clear();
    FDetailKeys.Clear();
}

// ---------------------------------------------------------------------------
// TkvDBDataSelection

void TkvDBDataSelection::CheckGridMode() const
{
    if (!FController.DBProvider().IsGridMode())
        throw EkvInvalidDataControllerOperation(SNotGridModeError);
}

int TkvDBDataSelection::BookmarkCount() const
{
    CheckGridMode();
    return int(FBookmarks.size());
}

TBookmark TkvDBDataSelection::Bookmarks(int index) const
{
    CheckGridMode();
    if (index < 0 || index >= int(FBookmarks.size()))
        throw EListError(index);
    std::vector<TBookmark> ordered = FBookmarks;
    if (TDbQuery *dataSet = FController.DataSet())
        std::stable_sort(ordered.begin(), ordered.end(), [dataSet](const TBookmark &a, const TBookmark &b) {
            return dataSet->CompareBookmarks(a, b) < 0;
        });
    return ordered[std::size_t(index)];
}

TBookmark TkvDBDataSelection::AnchorBookmark() const
{
    CheckGridMode();
    // The anchor row may have been set since the last change of the rows.
    const int anchorRow = FController.Selection().AnchorRowIndex();
    if (anchorRow >= 0 && anchorRow < FController.RowCount())
        return BookmarkOfRecord(FController.GetRowRecordIndex(anchorRow));
    return FAnchor;
}

void TkvDBDataSelection::WindowLeaving()
{
    const int anchorRow = FController.Selection().AnchorRowIndex();
    if (FController.DBProvider().IsGridMode() && anchorRow >= 0 && anchorRow < FController.RowCount())
        FAnchor = BookmarkOfRecord(FController.GetRowRecordIndex(anchorRow));
}

bool TkvDBDataSelection::IsBookmarkSelected(const TBookmark &bookmark) const
{
    return std::find(FBookmarks.begin(), FBookmarks.end(), bookmark) != FBookmarks.end();
}

TBookmark TkvDBDataSelection::BookmarkOfRecord(int recordIndex) const
{
    TDbQuery *dataSet = FController.DataSet();
    if (!dataSet || recordIndex < 0 || recordIndex >= FController.RecordCount())
        return {};
    return dataSet->BookmarkAt(FController.DBProvider().DataLink().FirstRecord() + recordIndex);
}

void TkvDBDataSelection::SelectionChanged()
{
    if (FRestoring || !FController.DBProvider().IsGridMode() || FController.DBProvider().IsLoading())
        return;
    // Rows outside the window keep their bookmarks; the window's rows are
    // selected exactly as the row selection says.
    const TkvDataSelection &selection = FController.Selection();
    for (int recordIndex = 0; recordIndex < FController.RecordCount(); ++recordIndex) {
        const TBookmark bookmark = BookmarkOfRecord(recordIndex);
        if (!bookmark.IsNull())
            std::erase(FBookmarks, bookmark);
    }
    for (int i = 0; i < selection.Count(); ++i) {
        const TkvDataSelectionEntry &entry = selection.Items(i);
        if (entry.IsGroupRow)
            continue;
        const TBookmark bookmark = BookmarkOfRecord(entry.RecordIndex);
        if (!bookmark.IsNull() && !IsBookmarkSelected(bookmark))
            FBookmarks.push_back(bookmark);
    }
    if (selection.AnchorRowIndex() >= 0 && selection.AnchorRowIndex() < FController.RowCount())
        FAnchor = BookmarkOfRecord(FController.GetRowRecordIndex(selection.AnchorRowIndex()));
    else if (selection.Count() == 0)
        FAnchor = TBookmark();
}

void TkvDBDataSelection::WindowLoaded()
{
    if (!FController.DBProvider().IsGridMode())
        return;
    std::vector<TkvDataSelectionEntry> entries;
    int anchorRecord = -1;
    for (int recordIndex = 0; recordIndex < FController.RecordCount(); ++recordIndex) {
        const TBookmark bookmark = BookmarkOfRecord(recordIndex);
        if (bookmark.IsNull())
            continue;
        if (IsBookmarkSelected(bookmark))
            entries.push_back({recordIndex, recordIndex, 0, false});
        if (!FAnchor.IsNull() && bookmark == FAnchor)
            anchorRecord = recordIndex;
    }
    FRestoring = true;
    try {
        FController.Selection().Assign(std::move(entries));
        // Without grouping the window's row k is record k.
        FController.Selection().SetAnchorRowIndex(anchorRecord);
    } catch (...) {
        FRestoring = false;
        throw;
    }
    FRestoring = false;
}

void TkvDBDataSelection::Clear()
{
    FBookmarks.clear();
    FAnchor = TBookmark();
}

} // namespace kestrum

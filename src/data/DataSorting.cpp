#include "data/DataSorting.h"

#include "data/DataController.h"

#include <algorithm>

namespace kestrum {

int TkvSortingFieldList::Find(const TkvCustomDataField *field) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[std::size_t(i)].Field == field)
            return i;
    return -1;
}

TkvDataSortOrder TkvSortingFieldList::SortOrderOf(const TkvCustomDataField *field) const
{
    const int index = Find(field);
    return index < 0 ? soNone : FItems[std::size_t(index)].SortOrder;
}

void TkvSortingFieldList::Add(TkvCustomDataField *field, TkvDataSortOrder order)
{
    FItems.push_back({field, order});
    Changed();
}

void TkvSortingFieldList::Insert(int index, TkvCustomDataField *field, TkvDataSortOrder order)
{
    index = std::clamp(index, 0, Count());
    FItems.insert(FItems.begin() + index, {field, order});
    Changed();
}

void TkvSortingFieldList::Delete(int index)
{
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TkvSortingFieldList::Clear()
{
    while (Count() > 0)
        Delete(0);
}

void TkvSortingFieldList::Move(int currentIndex, int newIndex)
{
    if (currentIndex == newIndex)
        return;
    TkvSortingFieldListItem item = FItems.at(std::size_t(currentIndex));
    FItems.erase(FItems.begin() + currentIndex);
    FItems.insert(FItems.begin() + std::clamp(newIndex, 0, Count()), item);
    Changed();
}

void TkvSortingFieldList::SetSortOrder(int index, TkvDataSortOrder order)
{
    if (FItems.at(std::size_t(index)).SortOrder == order)
        return;
    FItems[std::size_t(index)].SortOrder = order;
    Changed();
}

void TkvSortingFieldList::ApplySortOrder(TkvCustomDataField *field, TkvDataSortOrder order)
{
    const int index = Find(field);
    if (index >= 0) {
        if (order != soNone)
            SetSortOrder(index, order);
        else
            Delete(index);
    } else if (order != soNone) {
        Add(field, order);
    }
}

void TkvSortingFieldList::ChangeIndex(TkvCustomDataField *field, int index)
{
    const int current = Find(field);
    if (index < 0) {
        if (current >= 0)
            Delete(current);
    } else if (current < 0) {
        Insert(std::min(index, Count()), field, soAscending);
    } else {
        Move(current, std::min(index, Count() - 1));
    }
}

void TkvSortingFieldList::AddFields(const TkvSortingFieldList &other)
{
    for (const TkvSortingFieldListItem &item : other.FItems)
        if (Find(item.Field) < 0)
            Add(item.Field, item.SortOrder);
}

std::vector<TkvCustomDataField *> TkvSortingFieldList::Fields() const
{
    std::vector<TkvCustomDataField *> fields;
    for (const TkvSortingFieldListItem &item : FItems)
        fields.push_back(item.Field);
    return fields;
}

void TkvGroupingFieldList::ApplySortOrder(TkvCustomDataField *field, TkvDataSortOrder order)
{
    TkvSortingFieldList::ApplySortOrder(field, order == soNone ? soAscending : order);
}

void TkvGroupingFieldList::SyncSortOrders(const TkvSortingFieldList &sorting)
{
    for (int i = 0; i < Count(); ++i) {
        const TkvDataSortOrder order = sorting.SortOrderOf(FItems[std::size_t(i)].Field);
        SetSortOrder(i, order == soNone ? soAscending : order);
    }
}

// The controller's sorting.

TkvDataControllerSorting::TkvDataControllerSorting(TkvCustomDataController &controller)
    : FController(controller)
{
    FSortingList.OnChanged = [this] { FController.InfoChanged(dcicSorting); };
    FGroupingList.OnChanged = [this] { FController.InfoChanged(dcicGrouping | dcicSorting | dcicSummary); };
}

void TkvDataControllerSorting::PrepareKeys(const std::vector<int> &recordList)
{
    FComparer.Clear();
    const TkvDataControllerOptions options = FController.Options();
    const bool stringOptions = options.Contains(dcoAnsiSort) || options.Contains(dcoCaseInsensitive);
    const int recordCount = FController.RecordCount();
    // Stored keys read their columns in record order: the list is put in it
    // once for all of them.
    std::vector<int> inRecordOrder;
    bool ordered = false;
    for (int k = 0; k < FCombinedKeyList.Count(); ++k) {
        TkvCustomDataField *field = FCombinedKeyList.Items(k).Field;
        const TkvValueTypeClass type = field->ValueTypeClass();
        const bool stringKey = stringOptions && type && type->IsStringType();
        const bool displayText = options.Contains(dcoSortByDisplayText) && !field->IsInternal() &&
                                 FController.Owner() &&
                                 FController.Owner()->NeedsDisplayTextForSorting(field->ItemIndex());
        const bool convert = field->CompareByValue() || stringKey || displayText;
        const TkvCompareMode mode = !convert      ? TkvCompareMode::cmStoredValue
                                    : displayText ? TkvCompareMode::cmDisplayText
                                                  : TkvCompareMode::cmValue;
        TkvSortKey &key = FComparer.AddKey(FCombinedKeyList.Items(k).SortOrder, mode);
        if (FController.OnCompare) {
            const int itemIndex = field->ItemIndex();
            key.SetHandler(
                [this, itemIndex](int a, int b, const Variant &v1, const Variant &v2, int &compare) {
                    FController.OnCompare(&FController, a, b, itemIndex, v1, v2, compare);
                });
        } else if (stringKey) {
            key.SetStringCompare(!options.Contains(dcoAnsiSort)         ? TkvStringCompare::scUpperOrdinal
                                 : options.Contains(dcoCaseInsensitive) ? TkvStringCompare::scCollatedNoCase
                                                                        : TkvStringCompare::scCollated);
        }
        if (mode == TkvCompareMode::cmStoredValue && !FController.OnCompare) {
            if (const TkvValueDef *def = field->ValueDef()) {
                if (!ordered) {
                    inRecordOrder =
                        InRecordOrder(recordList, std::size_t(FController.Storage().RecordCount()));
                    ordered = true;
                }
                key.LoadStored(FController.Storage(), def, inRecordOrder);
            } else {
                key.Prepare(type, recordCount); // no stored values: every record compares equal
            }
        } else if (mode == TkvCompareMode::cmDisplayText) {
            key.LoadValues(type, recordCount, recordList,
                           [&](int r) { return Variant(FController.GetFieldDisplayText(r, field)); });
        } else {
            key.LoadValues(type, recordCount, recordList,
                           [&](int r) { return FController.GetFieldValue(r, field); });
        }
    }
}

void TkvDataControllerSorting::Sort(std::vector<int> &recordList)
{
    SortOrPrepare(recordList, true);
}

void TkvDataControllerSorting::PrepareSortedList(std::vector<int> &recordList)
{
    SortOrPrepare(recordList, false);
}

void TkvDataControllerSorting::SortOrPrepare(std::vector<int> &recordList, bool sort)
{
    FCombinedKeyList.OnChanged = nullptr;
    FCombinedKeyList.Clear();
    FCombinedKeyList.AddFields(FGroupingList);
    FCombinedKeyList.AddFields(FSortingList);
    if (FController.Provider().IsGridMode() || recordList.empty()) {
        FComparer.Clear();
        return;
    }
    // The group build compares by the keys alone: unless grouped there is
    // nothing to prepare for a list already in order.
    if (!sort && FGroupingList.Count() == 0) {
        FComparer.Clear();
        return;
    }
    try {
        PrepareKeys(recordList);
        if (sort)
            FComparer.Sort(recordList, FGroupingList.Count());
    } catch (...) {
        FComparer.Clear();
        throw;
    }
    // The keys stay for the group build of this update; without grouping
    // they are not needed any more.
    if (FGroupingList.Count() == 0)
        FComparer.Clear();
}

int TkvDataControllerSorting::InsertPosition(const std::vector<int> &recordList, int recordIndex)
{
    // The keys are read for every listed record, as a sort reads them, and the
    // record is then placed by bisection: linear work instead of a full sort.
    if (FController.Provider().IsGridMode())
        return -1;
    FCombinedKeyList.OnChanged = nullptr;
    FCombinedKeyList.Clear();
    FCombinedKeyList.AddFields(FGroupingList);
    FCombinedKeyList.AddFields(FSortingList);

    // Keys that compare stored values need no preparation: each bisection
    // step compares the two records in the storage, as the sort's keys would.
    std::vector<TStoredKey> storedKeys;
    if (StoredKeys(FCombinedKeyList, storedKeys)) {
        const auto less = [&](int a, int b) { return CompareStored(storedKeys, a, b, true) < 0; };
        return int(std::lower_bound(recordList.begin(), recordList.end(), recordIndex, less) -
                   recordList.begin());
    }
    // Grouped, the tree follows the record only by stored keys.
    if (FGroupingList.Count() > 0)
        return -1;

    std::vector<int> keyed;
    keyed.reserve(recordList.size() + 1);
    keyed = recordList;
    keyed.push_back(recordIndex);
    int position;
    try {
        PrepareKeys(keyed);
        const auto it = std::lower_bound(recordList.begin(), recordList.end(), recordIndex,
                                         [this](int a, int b) { return FComparer.Compare(a, b) < 0; });
        position = int(it - recordList.begin());
    } catch (...) {
        FComparer.Clear();
        throw;
    }
    FComparer.Clear();
    return position;
}

int TkvDataControllerSorting::FindPosition(const std::vector<int> &recordList, int recordIndex)
{
    if (FController.Provider().IsGridMode() || !HasSorting())
        return -2;
    TkvSortingFieldList combined;
    combined.AddFields(FGroupingList);
    combined.AddFields(FSortingList);
    std::vector<TStoredKey> keys;
    if (!StoredKeys(combined, keys))
        return -2;
    const auto less = [&](int a, int b) { return CompareStored(keys, a, b, true) < 0; };
    const auto it = std::lower_bound(recordList.begin(), recordList.end(), recordIndex, less);
    // A record whose values changed since the list was sorted may be missed:
    // only a hit tells.
    return it != recordList.end() && *it == recordIndex ? int(it - recordList.begin()) : -2;
}

bool TkvDataControllerSorting::FollowsByStoredKeys() const
{
    if (FController.Provider().IsGridMode())
        return false;
    TkvSortingFieldList combined;
    combined.AddFields(FGroupingList);
    combined.AddFields(FSortingList);
    std::vector<TStoredKey> keys;
    return StoredKeys(combined, keys);
}

int TkvDataControllerSorting::SharedGroupLevels(int recordA, int recordB) const
{
    const TkvDataStorage &storage = FController.Storage();
    int level = 0;
    for (; level < FGroupingList.Count(); ++level) {
        const TkvValueDef *def = FGroupingList.Items(level).Field->ValueDef();
        if (def && storage.CompareRecords(recordA, recordB, def) != 0)
            break;
    }
    return level;
}

bool TkvDataControllerSorting::StoredKeys(const TkvSortingFieldList &fields,
                                          std::vector<TStoredKey> &keys) const
{
    if (FController.OnCompare)
        return false;
    const TkvDataControllerOptions options = FController.Options();
    const bool stringOptions = options.Contains(dcoAnsiSort) || options.Contains(dcoCaseInsensitive);
    for (int k = 0; k < fields.Count(); ++k) {
        const TkvCustomDataField *field = fields.Items(k).Field;
        const TkvValueTypeClass type = field->ValueTypeClass();
        const bool displayText = options.Contains(dcoSortByDisplayText) && !field->IsInternal() &&
                                 FController.Owner() &&
                                 FController.Owner()->NeedsDisplayTextForSorting(field->ItemIndex());
        if (field->CompareByValue() || (stringOptions && type && type->IsStringType()) || displayText)
            return false;
        if (const TkvValueDef *def = field->ValueDef())
            keys.push_back({def, fields.Items(k).SortOrder == soDescending});
    }
    return true;
}

int TkvDataControllerSorting::CompareStored(const std::vector<TStoredKey> &keys, int a, int b,
                                            bool byIndex) const
{
    const TkvDataStorage &storage = FController.Storage();
    for (const TStoredKey &key : keys)
        if (const int result = storage.CompareRecords(a, b, key.Def))
            return key.Descending ? -result : result;
    if (!byIndex)
        return 0;
    return a < b ? -1 : (a > b ? 1 : 0); // equal keys keep load order
}

bool TkvDataControllerSorting::KeepsPlace(const std::vector<int> &recordList, int position)
{
    if (FController.Provider().IsGridMode() || position < 0 || position >= int(recordList.size()))
        return false;
    TkvSortingFieldList combined;
    combined.AddFields(FGroupingList);
    combined.AddFields(FSortingList);
    std::vector<TStoredKey> keys;
    if (!StoredKeys(combined, keys))
        return false;
    const std::size_t p = std::size_t(position);
    const int record = recordList[p];
    return (p == 0 || CompareStored(keys, recordList[p - 1], record, true) < 0) &&
           (p + 1 == recordList.size() || CompareStored(keys, record, recordList[p + 1], true) < 0);
}

bool TkvDataControllerSorting::SameGroups(int recordA, int recordB)
{
    std::vector<TStoredKey> keys;
    return StoredKeys(FGroupingList, keys) && CompareStored(keys, recordA, recordB, false) == 0;
}

void TkvDataControllerSorting::RemoveField(TkvCustomDataField *field)
{
    const int sortingIndex = FSortingList.Find(field);
    if (sortingIndex >= 0)
        FSortingList.Delete(sortingIndex);
    const int groupingIndex = FGroupingList.Find(field);
    if (groupingIndex >= 0) {
        FController.ClearSelection();
        FGroupingList.Delete(groupingIndex);
    }
    FGroupingList.SyncSortOrders(FSortingList);
}

void TkvDataControllerSorting::ComparisonModeChanged(TkvCustomDataField *field)
{
    // Groups built with the old comparison may merge or split differently, so
    // a selection of their rows no longer means anything.
    TkvDataControllerInfoChanges changes = 0;
    if (FSortingList.Find(field) >= 0)
        changes |= dcicSorting;
    if (FGroupingList.Find(field) >= 0) {
        FController.ClearSelection();
        changes |= dcicSorting | dcicGrouping;
    }
    if (changes)
        FController.InfoChanged(changes);
}

void TkvDataControllerSorting::ApplySortOrder(int itemIndex, TkvDataSortOrder order)
{
    TkvCustomDataField *field = FController.GetItemField(itemIndex);
    if (FSortingList.SortOrderOf(field) == order)
        return;
    FController.BeginBatch();
    try {
        FController.InfoChanged(dcicSortingOrder);
        FSortingList.ApplySortOrder(field, order);
        FGroupingList.SyncSortOrders(FSortingList);
    } catch (...) {
        FController.EndBatch();
        throw;
    }
    FController.EndBatch();
}

void TkvDataControllerSorting::MoveSortKey(int itemIndex, int newIndex)
{
    TkvCustomDataField *field = FController.GetItemField(itemIndex);
    const int current = FSortingList.Find(field);
    if (current < 0 || current == newIndex || FSortingList.Count() == 0)
        return;
    newIndex = std::clamp(newIndex, 0, FSortingList.Count() - 1);
    FController.BeginBatch();
    FSortingList.Move(current, newIndex);
    FController.InfoChanged(dcicSortingOrder);
    FController.EndBatch();
}

void TkvDataControllerSorting::ResetSorting(bool keepGrouped)
{
    const int oldCount = FSortingList.Count();
    FController.BeginBatch();
    if (keepGrouped) {
        for (int i = FSortingList.Count() - 1; i >= 0; --i)
            if (FGroupingList.Find(FSortingList.Items(i).Field) < 0)
                FSortingList.Delete(i);
    } else {
        FSortingList.Clear();
        FGroupingList.SyncSortOrders(FSortingList);
    }
    if (FSortingList.Count() != oldCount)
        FController.InfoChanged(dcicSortingOrder);
    FController.EndBatch();
}

TkvDataSortOrder TkvDataControllerSorting::GetItemSortOrder(int itemIndex) const
{
    const TkvCustomDataField *field = FController.GetItemField(itemIndex);
    const int grouped = FGroupingList.Find(field);
    return grouped >= 0 ? FGroupingList.Items(grouped).SortOrder : FSortingList.SortOrderOf(field);
}

int TkvDataControllerSorting::GetItemSortingIndex(int itemIndex) const
{
    return FSortingList.Find(FController.GetItemField(itemIndex));
}

TkvDataControllerSorting *DataSortingOf(const TkvCustomDataController &controller)
{
    return dynamic_cast<TkvDataControllerSorting *>(controller.Sorting());
}

} // namespace kestrum

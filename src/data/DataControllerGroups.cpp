#include "data/DataControllerGroups.h"

#include "data/DataController.h"
#include "data/DataSorting.h"

namespace kestrum {

TkvDataControllerGroups::TkvDataControllerGroups(TkvCustomDataController &controller,
                                                 TkvDataControllerSorting &sorting)
    : FController(controller), FSorting(sorting)
{
}

const std::vector<int> &TkvDataControllerGroups::RecordList() const
{
    return FController.Info().RecordList();
}

int TkvDataControllerGroups::PositionOf(int recordIndex) const
{
    return FController.Info().RecordListIndexOf(recordIndex);
}

int TkvDataControllerGroups::RecordPositionOfRow(int rowIndex) const
{
    if (rowIndex < 0 || rowIndex >= FGroups.RowCount())
        return -1;
    const TkvGroupRowInfo info = FGroups.RowInfo(rowIndex);
    return info.IsGroupRow ? -1 : info.RecordPosition;
}

bool TkvDataControllerGroups::CanFollowRecords() const
{
    return FGroups.Count() > 0 && FGroups.LevelCount() == LevelCount() && FSorting.FollowsByStoredKeys();
}

void TkvDataControllerGroups::RecordLeft(int position)
{
    for (int &stale : FStalePositions)
        if (stale > position)
            --stale;
    const int remaining = FGroups.RemovePosition(position);
    if (remaining >= 0)
        FStalePositions.push_back(remaining);
}

void TkvDataControllerGroups::RecordEntered(const std::vector<int> &recordList, int position)
{
    for (int &stale : FStalePositions)
        if (stale >= position)
            ++stale;
    const std::size_t p = std::size_t(position);
    const int record = recordList[p];
    const int sharedBefore = p > 0 ? FSorting.SharedGroupLevels(recordList[p - 1], record) : 0;
    const int sharedAfter =
        p + 1 < recordList.size() ? FSorting.SharedGroupLevels(recordList[p + 1], record) : 0;
    const std::vector<TkvCustomDataField *> &fields = FGroups.Fields();
    FGroups.InsertPosition(position, sharedBefore, sharedAfter, [&](int level) {
        return FController.GetFieldValue(record, fields[std::size_t(level)]);
    });
    FStalePositions.push_back(position);
}

bool TkvDataControllerGroups::KeepsPlaceAndGroups(int recordIndex, int position)
{
    if (FGroups.Count() == 0 || FGroups.LevelCount() != LevelCount())
        return false;
    if (position < 0 || !FSorting.KeepsPlace(RecordList(), position))
        return false;
    // In its place it may still have left its group for the next one at the
    // border between them: it stays when it still has a group mate's keys.
    // A record alone in its group may have taken other keys (the group's
    // row would show stale ones): the tree is built again for it.
    const int deepest = FGroups.GroupIndexByRecordPosition(position, FGroups.LevelCount() - 1);
    if (deepest < 0)
        return false;
    const int first = FGroups.FirstRecordPosition(deepest);
    const int last = FGroups.LastRecordPosition(deepest);
    const int mate = position > first ? position - 1 : position + 1;
    if (mate > last || !FSorting.SameGroups(recordIndex, RecordList()[std::size_t(mate)]))
        return false;
    FStalePositions.push_back(position);
    return true;
}

int TkvDataControllerGroups::LevelCount() const
{
    return FSorting.GroupingList().Count();
}

void TkvDataControllerGroups::BeforeUpdate(TkvDataControllerInfoChanges changes)
{
    if (!FController.Options().Contains(dcoSaveExpanding))
        return;
    unsigned mode = 0;
    if (changes & (dcicLoad | dcicGrouping))
        mode |= esmExpanded;
    if (FController.Selection().Count() > 0 &&
        (changes & (dcicLoad | dcicGrouping | dcicSorting | dcicExpanding)))
        mode |= esmSelected;
    FExpanding.Save(mode, FGroups, FSorting.GroupingList().Fields(), [&](int groupIndex) {
        const TkvDataGroupInfo &node = FGroups.Item(groupIndex);
        return FGroups.IsNodeVisible(groupIndex) && FController.Selection().IsRowSelected(node.RowIndex) &&
               FGroups.RowInfo(node.RowIndex).GroupIndex == groupIndex;
    });
}

void TkvDataControllerGroups::Build(const std::vector<int> &recordList)
{
    TkvRecordComparer &comparer = FSorting.Comparer();
    std::vector<TkvCustomDataField *> fields = FSorting.GroupingList().Fields();
    if (comparer.KeyCount() < int(fields.size()) || FController.Provider().IsGridMode()) {
        FGroups.Clear();
        return;
    }
    FGroups.Build(
        fields, recordList, [&](int level, int a, int b) { return comparer.CompareKey(level, a, b) == 0; },
        [&](int level, int recordIndex) { return comparer.Key(level).ComparedValue(recordIndex); },
        [&](int recordIndex) { comparer.Prefetch(int(fields.size()), recordIndex); });
    FStalePositions.clear();
    if (FExpanding.SaveMode() == 0)
        return;
    const bool applied = FExpanding.Restore(
        FGroups,
        [&](const std::vector<Variant> &values) {
            const int recordIndex = comparer.LocateByKeys(recordList, values);
            return recordIndex < 0 ? -1 : PositionOf(recordIndex);
        },
        [&](int groupIndex) {
            const TkvDataGroupInfo &node = FGroups.Item(groupIndex);
            if (!FGroups.IsNodeVisible(groupIndex))
                return;
            TkvDataSelectionEntry entry;
            entry.RowIndex = node.RowIndex;
            entry.RecordIndex = recordList[std::size_t(FGroups.FirstRecordPosition(groupIndex))];
            entry.Level = node.Level;
            entry.IsGroupRow = true;
            FController.Selection().Add(entry);
        });
    if (!applied && FController.Selection().Count() > 0)
        FController.ClearSelection();
}

void TkvDataControllerGroups::AfterUpdate()
{
    FExpanding.Clear();
    FSorting.ReleaseKeys();
}

TkvRowInfo TkvDataControllerGroups::GetRowInfo(int rowIndex) const
{
    const TkvGroupRowInfo info = FGroups.RowInfo(rowIndex);
    TkvRowInfo row;
    row.Level = info.Level;
    row.IsGroupRow = info.IsGroupRow;
    row.Expanded = info.IsGroupRow && FGroups.Item(info.GroupIndex).Expanded;
    row.RecordIndex = RecordList()[std::size_t(info.RecordPosition)];
    return row;
}

int TkvDataControllerGroups::RowIndexByRecordIndex(int recordIndex, int level, bool makeVisible)
{
    const int position = PositionOf(recordIndex);
    if (position < 0 || FGroups.Count() == 0)
        return -1;
    const bool dataRow = level >= FGroups.LevelCount();
    const int groupIndex =
        FGroups.GroupIndexByRecordPosition(position, dataRow ? FGroups.LevelCount() - 1 : level);
    if (groupIndex < 0)
        return -1;
    if (makeVisible) {
        const bool wasVisible =
            FGroups.IsNodeVisible(groupIndex) && (!dataRow || FGroups.Item(groupIndex).Expanded);
        if (!wasVisible) {
            FGroups.ExpandAncestors(groupIndex, dataRow);
            FGroups.UpdateRowIndexes();
            FController.InfoChanged(dcicExpanding);
        }
    }
    return dataRow ? FGroups.RowIndexByRecordPosition(position) : FGroups.Item(groupIndex).RowIndex;
}

void TkvDataControllerGroups::RemoveField(TkvCustomDataField *field)
{
    FExpanding.ForgetField(field);
}

void TkvDataControllerGroups::PlaceInGrouping(int itemIndex, int groupIndex)
{
    TkvCustomDataField *field = FController.GetItemField(itemIndex);
    TkvGroupingFieldList &grouping = FSorting.GroupingList();
    const int current = grouping.Find(field);
    if (current == groupIndex || (current < 0 && groupIndex < 0))
        return;
    FController.BeginBatch();
    try {
        FController.InfoChanged(dcicGroupingOrder);
        grouping.ChangeIndex(field, groupIndex);
        grouping.SyncSortOrders(FSorting.SortingList());
    } catch (...) {
        FController.EndBatch();
        throw;
    }
    FController.EndBatch();
}

void TkvDataControllerGroups::ExpandingChanged()
{
    FGroups.UpdateRowIndexes();
    FController.InfoChanged(dcicExpanding);
}

void TkvDataControllerGroups::SetExpanded(int rowIndex, bool expanded, bool recursive)
{
    if (rowIndex < 0 || rowIndex >= FController.RowCount())
        throw EkvInvalidDataControllerOperation(SRowIndexError);
    if (LevelCount() == 0 || FGroups.Count() == 0)
        return;
    const TkvGroupRowInfo info = FGroups.RowInfo(rowIndex);
    if (!info.IsGroupRow)
        return;
    FController.BeginBatch();
    FGroups.SetExpanded(info.GroupIndex, expanded, recursive);
    ExpandingChanged();
    if (!expanded) {
        // The focus moves to the row that now shows the focused record.
        const int focusedRecord = FController.FocusedRecordIndex();
        const int focusedLevel = FController.Info().FocusingInfo().Level;
        if (focusedRecord >= 0) {
            const int row = RowIndexByRecordIndex(focusedRecord, focusedLevel, false);
            if (row >= 0 && row != FController.FocusedRowIndex())
                FController.ChangeFocusedRowIndex(row);
        }
    }
    FController.EndBatch();
}

void TkvDataControllerGroups::FullExpand()
{
    for (int g = 0; g < FGroups.Count(); ++g)
        FGroups.Item(g).Expanded = true;
    ExpandingChanged();
}

void TkvDataControllerGroups::FullCollapse()
{
    FController.BeginBatch();
    for (int g = 0; g < FGroups.Count(); ++g)
        FGroups.Item(g).Expanded = false;
    ExpandingChanged();
    const int focusedRecord = FController.FocusedRecordIndex();
    if (focusedRecord >= 0)
        FController.ChangeFocusedRowIndex(RowIndexByRecordIndex(focusedRecord, FGroups.LevelCount(), false));
    FController.EndBatch();
}

int TkvDataControllerGroups::GroupingItemCount() const
{
    return FSorting.GroupingList().Count();
}

int TkvDataControllerGroups::GroupingItemIndex(int level) const
{
    const TkvGroupingFieldList &grouping = FSorting.GroupingList();
    return level >= 0 && level < grouping.Count() ? grouping.Items(level).Field->ItemIndex() : -1;
}

int TkvDataControllerGroups::ItemGroupIndex(int itemIndex) const
{
    return FSorting.GroupingList().Find(FController.GetItemField(itemIndex));
}

int TkvDataControllerGroups::LevelOfGroup(int groupIndex) const
{
    return FGroups.IsValidIndex(groupIndex) ? FGroups.Item(groupIndex).Level : -1;
}

int TkvDataControllerGroups::GroupIndexByRowIndex(int rowIndex) const
{
    if (rowIndex < 0 || rowIndex >= FGroups.RowCount())
        return -1;
    return FGroups.RowInfo(rowIndex).GroupIndex;
}

int TkvDataControllerGroups::ChildRecordIndex(int groupIndex, int childIndex) const
{
    const int position = FGroups.ChildRecordPosition(groupIndex, childIndex);
    return position < 0 ? -1 : RecordList()[std::size_t(position)];
}

std::vector<int> TkvDataControllerGroups::GetRecordList(int groupIndex) const
{
    std::vector<int> records;
    if (!FGroups.IsValidIndex(groupIndex))
        return records;
    const std::vector<int> &list = RecordList();
    for (int p = FGroups.FirstRecordPosition(groupIndex); p <= FGroups.LastRecordPosition(groupIndex); ++p)
        records.push_back(list[std::size_t(p)]);
    return records;
}

TkvDataControllerGroups *DataGroupsOf(const TkvCustomDataController &controller)
{
    return dynamic_cast<TkvDataControllerGroups *>(controller.Grouping());
}

} // namespace kestrum

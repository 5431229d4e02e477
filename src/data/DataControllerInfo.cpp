#include "data/DataControllerInfo.h"

#include "data/DataController.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace kestrum {

TkvCustomDataControllerInfo::TkvCustomDataControllerInfo(TkvCustomDataController &controller)
    : FController(controller)
{
    FSelection.OnChanged = [this] {
        TkvDataControllerInfoChanges changes = dcicSelection;
        if (FController.IsSelectionSummarised())
            changes |= dcicSummary;
        Change(changes);
    };
}

static bool IsGrouped(const TkvCustomDataController &controller)
{
    return controller.Grouping() && controller.Grouping()->LevelCount() > 0;
}

int TkvCustomDataControllerInfo::RecordListIndexOf(int recordIndex) const
{
    // A record past the end (one just deleted) is in no list: its stored
    // keys cannot be searched for.
    if (recordIndex < 0 || recordIndex >= FController.RecordCount())
        return -1;
    if (IsListInRecordOrder()) {
        // Unfiltered, record k is row k; filtered, the list is still ascending.
        if (recordIndex < int(FRecordList.size()) && FRecordList[std::size_t(recordIndex)] == recordIndex)
            return recordIndex;
        const auto it = std::lower_bound(FRecordList.begin(), FRecordList.end(), recordIndex);
        return it != FRecordList.end() && *it == recordIndex ? int(it - FRecordList.begin()) : -1;
    }
    if (!FPositionsValid) {
        // A list sorted by stored keys is searched by them, rather than a
        // map of every record built after each change of the list.
        if (IkvDataSorting *sorting = FController.Sorting()) {
            const int position = sorting->FindPosition(FRecordList, recordIndex);
            if (position != -2)
                return position;
        }
        int highest = -1;
        for (int r : FRecordList)
            highest = std::max(highest, r);
        FPositions.assign(std::size_t(highest + 1), -1);
        for (std::size_t position = 0; position < FRecordList.size(); ++position)
            FPositions[std::size_t(FRecordList[position])] = int(position);
        FPositionsValid = true;
    }
    return std::size_t(recordIndex) < FPositions.size() ? FPositions[std::size_t(recordIndex)] : -1;
}

int TkvCustomDataControllerInfo::RowCount() const
{
    if (IsGrouped(FController))
        return FController.Grouping()->RowCount();
    return int(FRecordList.size());
}

TkvRowInfo TkvCustomDataControllerInfo::GetRowInfo(int rowIndex) const
{
    if (IsGrouped(FController))
        return FController.Grouping()->GetRowInfo(rowIndex);
    TkvRowInfo info;
    info.RecordIndex = FRecordList[std::size_t(rowIndex)];
    return info;
}

int TkvCustomDataControllerInfo::GetRowIndexByRecordIndex(int recordIndex, bool makeVisible)
{
    if (IsGrouped(FController)) {
        IkvDataGrouping *grouping = FController.Grouping();
        return grouping->RowIndexByRecordIndex(recordIndex, grouping->LevelCount(), makeVisible);
    }
    return RecordListIndexOf(recordIndex);
}

// ---------------------------------------------------------------------------
// Focus

void TkvCustomDataControllerInfo::DeriveFocusFromRow()
{
    if (FFocusingInfo.RowIndex < 0) {
        FFocusingInfo.RecordIndex = -1;
        FFocusingInfo.Level = -1;
        FFocusingInfo.IsGroupRow = false;
        return;
    }
    const TkvRowInfo row = GetRowInfo(FFocusingInfo.RowIndex);
    FFocusingInfo.RecordIndex = row.RecordIndex;
    FFocusingInfo.Level = row.Level;
    FFocusingInfo.IsGroupRow = row.IsGroupRow;
}

void TkvCustomDataControllerInfo::ClampFocus(TkvDataFocusingInfo &info) const
{
    if (info.RowIndex >= RowCount())
        info.RowIndex = RowCount() - 1;
}

bool TkvCustomDataControllerInfo::ChangeFocusedRowIndex(int rowIndex)
{
    rowIndex = std::clamp(rowIndex, -1, RowCount() - 1);
    if (rowIndex == FFocusingInfo.RowIndex)
        return true;
    int recordIndex = rowIndex < 0 ? -1 : GetRowInfo(rowIndex).RecordIndex;
    if (!FController.CanFocusRecord(recordIndex))
        return false;
    // The provider may have reloaded or moved rows while it moved the source
    // (a pending entry was saved on the way): the record it stands on now is
    // the one asked for, found again by bookmark, whatever its index became.
    if (recordIndex >= 0 && FController.IsFocusFollowingSource()) {
        const int current = FController.Provider().CurrentRecordIndex();
        if (current >= 0 && current != recordIndex) {
            recordIndex = current;
            rowIndex = GetRowIndexByRecordIndex(current, false);
        }
    }
    rowIndex = std::clamp(rowIndex, -1, RowCount() - 1);
    FFocusingInfo.PrevRecordIndex = FFocusingInfo.RecordIndex;
    FFocusingInfo.RowIndex = rowIndex;
    ClampFocus(FFocusingInfo);
    ClampFocus(FPrevFocusingInfo);
    DeriveFocusFromRow();
    if (FFocusingInfo.RecordIndex != recordIndex && recordIndex >= 0) {
        FFocusingInfo.RowIndex = GetRowIndexByRecordIndex(recordIndex, false);
        DeriveFocusFromRow();
    }
    if (!FFocusingInfo.SameFocus(FPrevFocusingInfo, true)) {
        Change(dcicFocusedRow | dcicFocusedRecord);
        if (!FController.MultiSelect())
            SelectFocusedRow();
    }
    return true;
}

int TkvCustomDataControllerInfo::RowIndexOfRecordAtLevel(int recordIndex, int level, bool makeVisible)
{
    if (recordIndex < 0 || RecordListIndexOf(recordIndex) < 0)
        return -1;
    if (!IsGrouped(FController))
        return RecordListIndexOf(recordIndex);
    IkvDataGrouping *grouping = FController.Grouping();
    // A focused group row keeps its level; otherwise the data row.
    if (level < 0 || level >= grouping->LevelCount())
        level = grouping->LevelCount();
    return grouping->RowIndexByRecordIndex(recordIndex, level, makeVisible);
}

void TkvCustomDataControllerInfo::SetNewItemRowFocused(bool focused)
{
    if (FFocusingInfo.NewItemRowFocused == focused)
        return;
    FFocusingInfo.PrevRecordIndex = FFocusingInfo.RecordIndex;
    FFocusingInfo.NewItemRowFocused = focused;
    FFocusingInfo.RowIndex = -1;
    DeriveFocusFromRow();
    Change(dcicFocusedRow | dcicFocusedRecord);
    if (!FController.MultiSelect())
        SelectFocusedRow();
}

void TkvCustomDataControllerInfo::RestoreFocus()
{
    if (FFocusingInfo.NewItemRowFocused) {
        // The new-item row keeps the focus whatever the record set stands on
        // (a posted entry from it lands among the rows, the row stays for the next).
        FFocusingInfo.RowIndex = -1;
        DeriveFocusFromRow();
        return;
    }
    int recordIndex = FFocusingInfo.RecordIndex;
    TkvCustomDataProvider &provider = FController.Provider();
    if (provider.IsSyncMode() && provider.IsActive())
        recordIndex = provider.CurrentRecordIndex();
    const int rowIndex = RowIndexOfRecordAtLevel(recordIndex, FFocusingInfo.RestoreLevel(), true);
    FFocusingInfo.RowIndex = rowIndex;
    DeriveFocusFromRow();
    if (!FFocusingInfo.SameFocus(FPrevFocusingInfo, false) ||
        FFocusingInfo.RowIndex != FPrevFocusingInfo.RowIndex)
        FChanges |= dcicFocusedRow | dcicFocusedRecord;
}

void TkvCustomDataControllerInfo::FocusDelivered()
{
    FPrevFocusingInfo = FFocusingInfo;
    FPrevFocusingInfo.Changed = false;
    FFocusingInfo.Changed = false;
}

void TkvCustomDataControllerInfo::ClearSelection()
{
    FSelection.Clear();
}

void TkvCustomDataControllerInfo::SelectFocusedRow()
{
    FController.BeginBatch();
    FSelection.Clear();
    if (FFocusingInfo.RowIndex >= 0) {
        const TkvRowInfo row = GetRowInfo(FFocusingInfo.RowIndex);
        FSelection.Add({FFocusingInfo.RowIndex, row.RecordIndex, row.Level, row.IsGroupRow});
    }
    FController.EndBatch();
}

// A reload keeps selection entries by record index, so when records come or
// go before the selected one, the entry lands on another record while the
// focus follows the record it was on. With one row selectable at a time the
// selected row is the focused row: anything else shows two highlighted rows,
// one of them an entry the user never chose.
void TkvCustomDataControllerInfo::KeepSingleSelectionOnFocus()
{
    if (FController.MultiSelect() || FSelection.Count() == 0)
        return;
    const int focused = FFocusingInfo.RowIndex;
    if (FSelection.Count() == 1 && FSelection.Items(0).RowIndex == focused)
        return;
    FSelection.Clear();
    if (focused >= 0) {
        const TkvRowInfo row = GetRowInfo(focused);
        FSelection.Add({focused, row.RecordIndex, row.Level, row.IsGroupRow});
    }
}

// ---------------------------------------------------------------------------
// Updating

void TkvCustomDataControllerInfo::EndUpdate()
{
    if (FLockCount > 0)
        --FLockCount;
    CheckUpdate();
}

void TkvCustomDataControllerInfo::Change(TkvDataControllerInfoChanges changes)
{
    // Anything but a change of the criteria may reorder or change records.
    if ((changes & (dcicLoad | dcicSorting | dcicGrouping | dcicRecord)) && !FFilterOnlyChange) {
        FWholeOrder = TkvWholeOrder::Unknown;
        FSortedWhole = std::vector<int>();
    }
    FFilterOnlyChange = false;
    FChanges |= changes;
    CheckUpdate();
}

void TkvCustomDataControllerInfo::CheckUpdate()
{
    if (FLockCount == 0 && FChanges != 0 && !FInUpdate)
        Update();
}

void TkvCustomDataControllerInfo::RecordIndexesShifted(int recordIndex, int delta)
{
    if (IkvDataSummaryHook *summary = FController.SummaryHook())
        summary->NotedRecordsShifted(recordIndex, delta);
    int &focused = FFocusingInfo.RecordIndex;
    if (focused < 0 || focused < recordIndex)
        return;
    if (delta < 0 && focused == recordIndex)
        focused = -1;
    else
        focused += delta;
}

void TkvCustomDataControllerInfo::ResetRecords()
{
    FRecordChangePending = false;
    FRecordList.clear();
    FListRecordCount = 0;
    RecordListChanged();
    FSelection.Clear();
    FFocusingInfo = TkvDataFocusingInfo();
}

void TkvCustomDataControllerInfo::RecordIndexesMoved(TkvDataChangeKind kind, int recordIndex)
{
    int &told = FPrevFocusingInfo.RecordIndex;
    if (recordIndex < 0 || told < 0)
        return;
    if (kind == dckRecordDeleted)
        told = told == recordIndex ? -1 : told - (told > recordIndex);
    else if (kind == dckRecordAdded)
        told += told >= recordIndex;
}

bool TkvCustomDataControllerInfo::RecordChanged(TkvDataChangeKind kind, int recordIndex)
{
    const bool added = kind == dckRecordAdded;
    const bool deleted = kind == dckRecordDeleted;
    const bool valueChange = kind == dckValue || kind == dckRecord;
    if ((!added && !deleted && !valueChange) || recordIndex < 0 || (FChanges & dcicLoad)) {
        FRecordChangePending = false;
        return false;
    }
    if (FRecordChangePending) {
        // Values typed into a record just added are placed with it.
        const bool merges = FChangedRecordIndex == recordIndex && valueChange &&
                            (FChangedRecordKind == dckRecordAdded || FChangedRecordKind == dckValue ||
                             FChangedRecordKind == dckRecord);
        if (!merges) {
            FRecordChangePending = false;
            return false;
        }
        return true;
    }
    FRecordChangePending = true;
    FChangedRecordKind = kind;
    FChangedRecordIndex = recordIndex;
    return true;
}

bool TkvCustomDataControllerInfo::IsListInRecordOrder() const
{
    // Unsorted, the list keeps load order (a sort without keys restores it).
    IkvDataSorting *sorting = FController.Sorting();
    return !IsGrouped(FController) && !(sorting && sorting->HasSorting());
}

bool TkvCustomDataControllerInfo::FollowChangedRecord(bool &wasListed, bool &isListed)
{
    FRecordChangePending = false;
    const int record = FChangedRecordIndex;
    const TkvDataChangeKind kind = FChangedRecordKind;
    wasListed = isListed = false;
    if (IsGrouped(FController) && FollowChangedRecordInGroups(wasListed, isListed))
        return true;
    if (IsGrouped(FController) && !FController.Grouping()->CanFollowRecords())
        return false;
    if (record < 0 || record >= FController.RecordCount() + (kind == dckRecordDeleted))
        return false;
    // Where the record stood, looked up while the list is as it was.
    const bool valueChange = kind == dckValue || kind == dckRecord;
    const int oldPosition = valueChange && !IsListInRecordOrder() ? ChangedRecordPosition() : -1;
    RecordListChanged();
    // Tested before the list is touched: a condition that cannot be
    // evaluated leaves the list as it was.
    const bool listedNow =
        kind != dckRecordDeleted && (record == FController.Provider().EditingRecordIndex() ||
                                     FController.IsRecordVisibleByFilters(record));
    // The list named every record before the change (it holds a subset of
    // the records it was built for, in record order when unsorted).
    const int countBefore =
        FController.RecordCount() + (kind == dckRecordDeleted ? 1 : 0) - (kind == dckRecordAdded ? 1 : 0);
    const bool listCurrent = FListRecordCount == countBefore;
    const bool wasWhole = listCurrent && int(FRecordList.size()) == countBefore;
    FListRecordCount = FController.RecordCount();
    std::vector<int> &list = FRecordList;
    const bool recordOrder = IsListInRecordOrder();
    const bool identity = recordOrder && record < int(list.size()) && list[std::size_t(record)] == record;
    if (!recordOrder) {
        // Its indexes must name the records it was built for.
        if (!listCurrent)
            return false;
        return FollowRecordInSortedList(kind, oldPosition, listedNow, wasListed, isListed);
    }
    const auto where = identity ? list.begin() + record : std::lower_bound(list.begin(), list.end(), record);
    if (kind == dckRecordAdded || kind == dckRecordDeleted)
        return FollowRecordInRecordOrder(kind, std::size_t(where - list.begin()), listedNow, wasWhole,
                                         wasListed, isListed);
    wasListed = where != list.end() && *where == record;
    isListed = listedNow;
    // Its place does not depend on its values.
    if (isListed && !wasListed)
        list.insert(std::lower_bound(list.begin(), list.end(), record), record);
    else if (!isListed && wasListed)
        list.erase(where);
    return true;
}

int TkvCustomDataControllerInfo::ChangedRecordPosition() const
{
    const int record = FChangedRecordIndex;
    const auto at = [&](int position) {
        return position >= 0 && std::size_t(position) < FRecordList.size() &&
               FRecordList[std::size_t(position)] == record;
    };
    if (FPositionsValid)
        return RecordListIndexOf(record);
    // The record saved is mostly the focused one: its row tells its place.
    if (FFocusingInfo.RecordIndex == record && FFocusingInfo.RowIndex >= 0 && !FFocusingInfo.IsGroupRow) {
        const int position = IsGrouped(FController)
                                 ? FController.Grouping()->RecordPositionOfRow(FFocusingInfo.RowIndex)
                                 : FFocusingInfo.RowIndex;
        if (at(position))
            return position;
    }
    // Its values may have moved it out of the place bisection would look.
    if (IkvDataSorting *sorting = FController.Sorting()) {
        const int position = sorting->FindPosition(FRecordList, record);
        if (at(position))
            return position;
    }
    const auto it = std::find(FRecordList.begin(), FRecordList.end(), record);
    return it == FRecordList.end() ? -1 : int(it - FRecordList.begin());
}

bool TkvCustomDataControllerInfo::FollowRecordInSortedList(TkvDataChangeKind kind, int oldPosition,
                                                           bool listedNow, bool &wasListed, bool &isListed)
{
    std::vector<int> &list = FRecordList;
    const int record = FChangedRecordIndex;
    IkvDataGrouping *grouping = IsGrouped(FController) ? FController.Grouping() : nullptr;
    if (kind == dckRecordDeleted) {
        // One pass: the record leaves, the later records move down by one index.
        std::size_t kept = 0;
        int *data = list.data();
        for (std::size_t i = 0, count = list.size(); i < count; ++i) {
            const int value = data[i];
            if (value == record)
                oldPosition = int(i);
            else
                data[kept++] = value - (value > record);
        }
        list.resize(kept);
    } else if (kind == dckRecordAdded) {
        // The records from its index on moved up by one; none did when it was appended.
        if (record < FController.RecordCount() - 1)
            for (int &value : list)
                value += value >= record;
        oldPosition = -1;
    } else if (oldPosition >= 0) {
        list.erase(list.begin() + oldPosition);
    }
    wasListed = oldPosition >= 0;
    if (wasListed && grouping)
        grouping->RecordLeft(oldPosition);
    isListed = listedNow;
    if (!isListed)
        return true;
    const int position = FController.Sorting()->InsertPosition(list, record);
    if (position < 0)
        return false;
    list.insert(list.begin() + position, record);
    if (grouping)
        grouping->RecordEntered(list, position);
    return true;
}

bool TkvCustomDataControllerInfo::FollowChangedRecordInGroups(bool &wasListed, bool &isListed)
{
    // Only a record that keeps its place and its groups is followed: the
    // list and the tree stand, and the summaries follow that record alone.
    const int record = FChangedRecordIndex;
    if ((FChangedRecordKind != dckValue && FChangedRecordKind != dckRecord) || record < 0 ||
        record >= FController.RecordCount() || FListRecordCount != FController.RecordCount())
        return false;
    const bool listedNow =
        record == FController.Provider().EditingRecordIndex() || FController.IsRecordVisibleByFilters(record);
    if (!listedNow)
        return false;
    const int position = ChangedRecordPosition();
    if (position < 0 || !FController.Grouping()->KeepsPlaceAndGroups(record, position))
        return false;
    wasListed = isListed = true;
    return true;
}

bool TkvCustomDataControllerInfo::FollowRecordInRecordOrder(TkvDataChangeKind kind, std::size_t where,
                                                            bool listedNow, bool wasWhole, bool &wasListed,
                                                            bool &isListed)
{
    std::vector<int> &list = FRecordList;
    const int record = FChangedRecordIndex;
    const std::size_t count = list.size();
    // A list of every record (0, 1, 2, ...) stays one when a record comes or
    // goes: only its end changes, whatever the record.
    if (wasWhole && kind == dckRecordDeleted) {
        wasListed = true;
        list.pop_back();
        return true;
    }
    if (wasWhole && listedNow) {
        isListed = true;
        // A little room rather than twice the list, which a full list's
        // push_back would take.
        if (list.capacity() == count)
            list.reserve(count + count / 64 + 16);
        list.push_back(int(count));
        return true;
    }
    // Otherwise the records after the one added or deleted move by one
    // index, and the list by one place from it on: both in one pass over
    // the tail.
    if (kind == dckRecordDeleted) {
        wasListed = where < count && list[where] == record;
        if (!wasListed) {
            for (std::size_t i = where; i < count; ++i)
                --list[i];
            return true;
        }
        int *data = list.data();
        for (std::size_t i = where; i + 1 < count; ++i)
            data[i] = data[i + 1] - 1;
        list.pop_back();
        return true;
    }
    // Added: it was never listed under its index.
    isListed = listedNow;
    if (!isListed) {
        for (std::size_t i = where; i < count; ++i)
            ++list[i];
        return true;
    }
    list.push_back(0);
    int *data = list.data();
    for (std::size_t i = count; i > where; --i)
        data[i] = data[i - 1] + 1;
    data[where] = record;
    return true;
}

std::vector<int> TkvCustomDataControllerInfo::FilteredRecordList()
{
    const int count = FController.RecordCount();
    std::vector<int> list;
    // Room for records added later: the first one added copies no list.
    list.reserve(std::size_t(std::max(count, 0)) * 65 / 64 + 16);
    list.resize(std::size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        list[std::size_t(i)] = i;
    const bool findFilter = FController.FindFilterItemIndex() >= 0 && !FController.FindFilterText().isEmpty();
    if (!findFilter && FController.Filter().IsEmpty())
        return list;
    const int editingRecord = FController.Provider().EditingRecordIndex();
    // One pass that moves every kept record down over the dropped ones, so
    // dropping half a million records costs no more than keeping them.
    std::size_t kept = 0;
    if (findFilter) {
        for (int recordIndex = 0; recordIndex < count; ++recordIndex)
            if (recordIndex == editingRecord || FController.IsRecordVisibleByFilters(recordIndex))
                list[kept++] = recordIndex;
    } else {
        // Only the criteria decide: they get every record at once.
        kept = FController.Filter().FilterRecords(count, editingRecord, list.data());
    }
    list.resize(kept);
    return list;
}

bool TkvCustomDataControllerInfo::RebuildRecordList()
{
    std::vector<int> list = FilteredRecordList();
    const std::size_t count = std::size_t(std::max(FController.RecordCount(), 0));
    RecordListChanged();
    bool ordered = false;
    IkvDataSorting *sorting = FController.Sorting();
    if (FWholeOrder != TkvWholeOrder::Unknown && sorting && sorting->HasSorting() &&
        FListRecordCount == int(count)) {
        if (FWholeOrder == TkvWholeOrder::InList && FRecordList.size() == count) {
            FSortedWhole = std::move(FRecordList);
            FWholeOrder = TkvWholeOrder::Kept;
        }
        if (FWholeOrder == TkvWholeOrder::Kept && FSortedWhole.size() == count) {
            ordered = true;
            if (list.size() == count) {
                list = std::move(FSortedWhole);
                FSortedWhole = std::vector<int>();
                FWholeOrder = TkvWholeOrder::InList;
            } else {
                list = InSortedOrder(list);
            }
        }
    }
    if (!ordered) {
        FWholeOrder = TkvWholeOrder::Unknown;
        FSortedWhole = std::vector<int>();
    }
    FRecordList = std::move(list);
    FListRecordCount = FController.RecordCount();
    FFilterState = TkvFilterState::Evaluating;
    return ordered;
}

std::vector<int> TkvCustomDataControllerInfo::InSortedOrder(const std::vector<int> &kept) const
{
    std::vector<std::uint64_t> marks((FSortedWhole.size() + 63) / 64);
    for (int record : kept)
        marks[std::size_t(record) / 64] |= std::uint64_t(1) << (std::size_t(record) % 64);
    std::vector<int> list;
    list.reserve(kept.size() + kept.size() / 64 + 16);
    for (int record : FSortedWhole)
        if (marks[std::size_t(record) / 64] >> (std::size_t(record) % 64) & 1)
            list.push_back(record);
    return list;
}

bool TkvCustomDataControllerInfo::KeepListAfterFilterError()
{
    if (FFilterState == TkvFilterState::Evaluating)
        FFilterError = std::current_exception();
    FFilterState = TkvFilterState::Failed;
    const int count = FController.RecordCount();
    if (FListRecordCount == count)
        return false;
    // The records were read again since the list was built: its indexes may
    // name records that are gone, so nothing is hidden until a filter works.
    RecordListChanged();
    FRecordList.resize(std::size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        FRecordList[std::size_t(i)] = i;
    FListRecordCount = count;
    return true;
}

std::exception_ptr TkvCustomDataControllerInfo::TakeFilterError()
{
    return std::exchange(FFilterError, nullptr);
}

void TkvCustomDataControllerInfo::UpdateSelectionRowIndexes()
{
    if (FSelection.Count() == 0)
        return;
    if (IsGrouped(FController)) {
        IkvDataGrouping *grouping = FController.Grouping();
        const int levelCount = grouping->LevelCount();
        FSelection.UpdateRowIndexes([&](const TkvDataSelectionEntry &entry) {
            const int level = entry.IsGroupRow ? entry.Level : levelCount;
            if (level < 0 || level > levelCount)
                return -1;
            const int row = grouping->RowIndexByRecordIndex(entry.RecordIndex, level, false);
            // A hidden record or group maps to the row of a collapsed ancestor.
            if (row < 0 || row >= RowCount())
                return -1;
            const TkvRowInfo info = GetRowInfo(row);
            if (info.IsGroupRow != entry.IsGroupRow || info.Level != level)
                return -1;
            if (!entry.IsGroupRow && info.RecordIndex != entry.RecordIndex)
                return -1;
            return row;
        });
        return;
    }
    // One pass over the record list instead of a search per entry.
    std::vector<int> positions;
    if (FSelection.Count() > 4) {
        positions.assign(std::size_t(std::max(FController.RecordCount(), 0)), -1);
        for (std::size_t p = 0; p < FRecordList.size(); ++p)
            if (FRecordList[p] >= 0 && std::size_t(FRecordList[p]) < positions.size())
                positions[std::size_t(FRecordList[p])] = int(p);
    }
    FSelection.UpdateRowIndexes([&](const TkvDataSelectionEntry &entry) {
        if (entry.IsGroupRow || entry.RecordIndex < 0)
            return -1;
        if (positions.empty())
            return RecordListIndexOf(entry.RecordIndex);
        return std::size_t(entry.RecordIndex) < positions.size() ? positions[std::size_t(entry.RecordIndex)]
                                                                 : -1;
    });
}

void TkvCustomDataControllerInfo::Update()
{
    FInUpdate = true;
    ++FLockCount; // changes made by the steps below join this update
    try {
        TkvDataControllerInfoChanges changes = FChanges;
        FChanges = 0;
        if (FController.IsStructureStale()) {
            // Grouping switched grid mode on or off: the storage is laid out
            // for the other mode, so it is made again and every record read.
            FController.Restructure();
            FController.DataChanged(dckAll, -1, -1);
            changes |= FChanges | dcicLoad | dcicSorting | dcicGrouping | dcicSummary;
            FChanges = 0;
        }
        bool followSummary = false, wasListed = false, isListed = false, ordered = false;
        if (FRecordChangePending && (changes & dcicLoad)) {
            changes |= dcicSummary; // the rebuild covers the record, the summaries must too
        } else if (FRecordChangePending) {
            const std::size_t oldCount = FRecordList.size();
            bool followed = false;
            try {
                followed = FollowChangedRecord(wasListed, isListed);
            } catch (const Exception &) {
                followed = false; // the rebuild below meets the same error and keeps the rows whole
            }
            if (!followed) {
                changes |= dcicLoad | dcicSorting | dcicSummary;
                if (IsGrouped(FController))
                    changes |= dcicGrouping;
            } else {
                // A followed sorted list of every record is still their sorted order.
                IkvDataSorting *sorting = FController.Sorting();
                if (sorting && sorting->HasSorting() &&
                    FRecordList.size() == std::size_t(std::max(FController.RecordCount(), 0)))
                    FWholeOrder = TkvWholeOrder::InList;
                followSummary = !(changes & dcicSummary);
                changes |= dcicSummary;
                if (FRecordList.size() < oldCount && FSelection.Count() > 0)
                    FSelection.Clear();
            }
        }
        FRecordChangePending = false;
        // After the follow: a record that could not be followed in its groups
        // rebuilds the tree, whose expansion is saved first.
        IkvDataGrouping *grouping = FController.Grouping();
        if (grouping)
            grouping->BeforeUpdate(changes);
        if (changes & dcicLoad) {
            const std::size_t oldCount = FRecordList.size();
            try {
                ordered = RebuildRecordList();
            } catch (const Exception &) {
                // The rows stay whole; the error is raised when the update is done.
                if (KeepListAfterFilterError())
                    changes |= dcicSorting | dcicGrouping;
            }
            if (FRecordList.size() < oldCount && FSelection.Count() > 0)
                FSelection.Clear();
        }
        if ((changes & (dcicSorting | dcicGrouping)) && FController.Sorting()) {
            RecordListChanged();
            if (ordered) {
                FController.Sorting()->PrepareSortedList(FRecordList);
            } else {
                FController.Sorting()->Sort(FRecordList);
                const bool whole = FController.Sorting()->HasSorting() &&
                                   FRecordList.size() == std::size_t(std::max(FController.RecordCount(), 0));
                FWholeOrder = whole ? TkvWholeOrder::InList : TkvWholeOrder::Unknown;
            }
        }
        if ((changes & dcicGrouping) && grouping)
            grouping->Build(FRecordList);
        RestoreFocus();
        UpdateSelectionRowIndexes();
        KeepSingleSelectionOnFocus();
        if (grouping)
            grouping->AfterUpdate();
        changes |= FChanges;
        FChanges = 0;
        IkvDataSummaryHook *summary = FController.SummaryHook();
        const bool summarised = (changes & dcicSummary) && !FController.IsOwnerLoading() &&
                                !FController.IsOwnerDestroying() && summary;
        if (summarised && !(followSummary && summary->FollowRecord(FChangedRecordKind, FChangedRecordIndex,
                                                                   wasListed, isListed)))
            summary->Recalculate();
        // The focused record is the one the provider edits: its values as
        // counted let the next post take them out again. They are what the
        // storage holds when the summaries were just computed, or while
        // nothing is edited; typed values of an edit were not counted.
        if (summary && (summarised || !FController.Provider().IsEditing()))
            summary->NoteRecord(FFocusingInfo.RecordIndex, false);
        changes |= FChanges;
        FChanges = 0;
        --FLockCount;
        FInUpdate = false;
        FController.RowsUpdated(changes);
    } catch (...) {
        --FLockCount;
        FInUpdate = false;
        throw;
    }
}

} // namespace kestrum

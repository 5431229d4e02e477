#pragma once
// The row builder of a controller: the filtered, sorted record list, the
// visible rows derived from it, focus, selection and the pending row changes.
#include "data/DataControllerTypes.h"
#include "data/DataSelection.h"

#include <exception>
#include <vector>

namespace kestrum {

class TkvCustomDataController;

struct TkvDataFocusingInfo {
    int RowIndex = -1;
    int RecordIndex = -1;
    int Level = -1; //!< -1 when nothing is focused
    //! A group row has the focus. A data row's level is only the grouping level
    //! count of the moment: once grouping changes it would name a group row.
    bool IsGroupRow = false;
    int PrevRecordIndex = -1;
    bool Changed = false;
    bool NewItemRowFocused = false;

    bool SameFocus(const TkvDataFocusingInfo &other, bool compareRow) const
    {
        return RecordIndex == other.RecordIndex && Level == other.Level && IsGroupRow == other.IsGroupRow &&
               (!compareRow || RowIndex == other.RowIndex);
    }
    //! The level to look the focused record up at after a rebuild: the group
    //! row's, or -1 for the data row.
    int RestoreLevel() const { return IsGroupRow ? Level : -1; }
};

class TkvCustomDataControllerInfo {
public:
    explicit TkvCustomDataControllerInfo(TkvCustomDataController &controller);

    TkvCustomDataController &DataController() const { return FController; }

    //! Record indexes that passed the filter, in display order.
    const std::vector<int> &RecordList() const { return FRecordList; }
    int RecordListIndexOf(int recordIndex) const;

    // Rows.
    int RowCount() const;
    TkvRowInfo GetRowInfo(int rowIndex) const; //!< unchecked
    int GetRowIndexByRecordIndex(int recordIndex, bool makeVisible);

    // Focus.
    const TkvDataFocusingInfo &FocusingInfo() const { return FFocusingInfo; }
    const TkvDataFocusingInfo &PrevFocusingInfo() const { return FPrevFocusingInfo; }
    bool ChangeFocusedRowIndex(int rowIndex);
    //! Focus restore after a rebuild, from the record (and level) focused.
    void RestoreFocus();
    //! The owner's new-item row takes the focus (no row is focused then) or
    //! gives it up; leaving it focuses nothing until a row is asked for.
    void SetNewItemRowFocused(bool focused);
    //! The row that shows a record at a level (a group row for a level above
    //! the data rows), -1 when none.
    int RowIndexOfRecordAtLevel(int recordIndex, int level, bool makeVisible);
    //! Takes the current focusing info as the delivered one.
    void FocusDelivered();

    TkvDataSelection &Selection() { return FSelection; }
    const TkvDataSelection &Selection() const { return FSelection; }
    void ClearSelection();
    //! Sets the selection to the focused row alone (single selection).
    void SelectFocusedRow();

    // Update brackets and pending work.
    void BeginUpdate() { ++FLockCount; }
    void EndUpdate();
    int LockCount() const { return FLockCount; }
    void Change(TkvDataControllerInfoChanges changes);
    TkvDataControllerInfoChanges PendingChanges() const { return FChanges; }
    //! Runs the pending work unless locked.
    void CheckUpdate();
    //! Records from `recordIndex` on moved by `delta` (an insert or a delete):
    //! the focused record keeps pointing at the same record, or at none.
    void RecordIndexesShifted(int recordIndex, int delta);
    //! Forgets the rows (restructuring).
    void ResetRecords();
    //! One record's values changed, or it was added or deleted (the storage
    //! has it already, later records shifted): at the next update the record
    //! list follows that one record, filtered and placed by the sort keys,
    //! instead of being rebuilt and sorted in full. False when that cannot
    //! be done (a record added to or deleted from grouped rows, another change
    //! pending); the caller then asks for a rebuild.
    bool RecordChanged(TkvDataChangeKind kind, int recordIndex);
    //! A record was added at or deleted from recordIndex: the focus told
    //! last follows its record to its new index, or names none once it is gone.
    void RecordIndexesMoved(TkvDataChangeKind kind, int recordIndex);

    //! The criteria changed: an evaluation error is reported again.
    //! The next change asked for is the criteria's own: a sorted order of
    //! every record stays good through it.
    void FilterChanged()
    {
        FFilterState = TkvFilterState::Evaluating;
        FFilterOnlyChange = true;
    }
    //! The evaluation error of the last update, to be raised once the update
    //! has delivered its rows (null when none is due).
    std::exception_ptr TakeFilterError();

private:
    //! How the filter fared: an error is raised the first time and not again
    //! until the criteria changes, so that a save whose reload runs into the
    //! same error does not report a failure after the data was written.
    enum class TkvFilterState { Evaluating, Failed };

    void Update();
    //! True when the list came out in key order (taken from the kept
    //! sorted order of every record), so it needs no sort.
    bool RebuildRecordList();
    //! The kept sorted order of every record, filtered: the records of `kept`
    //! (ascending) in that order.
    std::vector<int> InSortedOrder(const std::vector<int> &kept) const;
    //! The filtered record list, built aside: an evaluation error raises and
    //! leaves the current list as it was.
    std::vector<int> FilteredRecordList();
    //! The rebuild failed (called while its error is handled): keeps the
    //! current list when it still names the records there are, else lists
    //! every record. True when the list changed.
    bool KeepListAfterFilterError();
    //! Applies the change noted by RecordChanged, telling whether the record
    //! was listed before and is now; false when a rebuild must run.
    bool FollowChangedRecord(bool &wasListed, bool &isListed);
    //! Where the changed record stood in the list before the change, -1
    //! when it was not listed (read before the list changes).
    int ChangedRecordPosition() const;
    //! FollowChangedRecord for a sorted (or grouped) list: the record leaves
    //! its old place (`oldPosition`, -1 when not listed) and takes the place
    //! its keys give it, the group tree following it.
    bool FollowRecordInSortedList(TkvDataChangeKind kind, int oldPosition, bool listedNow, bool &wasListed,
                                  bool &isListed);
    //! FollowChangedRecord while grouped: a changed record that keeps its
    //! place and groups leaves the list and the group tree as they are.
    bool FollowChangedRecordInGroups(bool &wasListed, bool &isListed);
    //! FollowChangedRecord for a record added or deleted while the list is in
    //! record order; `where` is the first place whose record is not before it,
    //! wasWhole tells that the list held every record before the change.
    bool FollowRecordInRecordOrder(TkvDataChangeKind kind, std::size_t where, bool listedNow, bool wasWhole,
                                   bool &wasListed, bool &isListed);
    //! Without sorting keys or groups the list is in record index order.
    bool IsListInRecordOrder() const;
    void ClampFocus(TkvDataFocusingInfo &info) const;
    //! Moves every selection entry to the row that now shows its record (or
    //! its group); entries without a visible row are dropped.
    void UpdateSelectionRowIndexes();
    //! Without multi-select, makes a selection that drifted off the focused
    //! row the focused row again.
    void KeepSingleSelectionOnFocus();
    void DeriveFocusFromRow();

    //! After every change of the record list: positions are found again.
    void RecordListChanged() { FPositionsValid = false; }

    TkvCustomDataController &FController;
    std::vector<int> FRecordList;
    //! The record count the list was built for.
    int FListRecordCount = 0;
    TkvFilterState FFilterState = TkvFilterState::Evaluating;
    //! Where the sorted order of every record is, so that a filter changed,
    //! narrowed or cleared on a sorted list takes its rows in that order
    //! instead of sorting them again.
    enum class TkvWholeOrder {
        Unknown, //!< not known (keys, records or values changed since)
        InList,  //!< FRecordList is every record, sorted
        Kept     //!< FSortedWhole holds it; FRecordList is filtered from it
    };
    TkvWholeOrder FWholeOrder = TkvWholeOrder::Unknown;
    std::vector<int> FSortedWhole;
    bool FFilterOnlyChange = false;
    std::exception_ptr FFilterError;
    // Position of each record index in the record list (-1: filtered out),
    // built on first use after a change: a scroll of the record set looks
    // the focused record up every time.
    mutable std::vector<int> FPositions;
    mutable bool FPositionsValid = false;
    TkvDataFocusingInfo FFocusingInfo;
    TkvDataFocusingInfo FPrevFocusingInfo; //!< the one delivered last
    TkvDataSelection FSelection;
    int FLockCount = 0;
    bool FInUpdate = false;
    TkvDataControllerInfoChanges FChanges = 0;
    bool FRecordChangePending = false;
    TkvDataChangeKind FChangedRecordKind = dckAll;
    int FChangedRecordIndex = -1;
};

} // namespace kestrum

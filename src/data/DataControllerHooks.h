#pragma once
// The steps that sorting, grouping and summaries add to the controller's row
// builder. The controller owns one object of each (made by
// CreateDataControllerHooks in DataControllerHooks.cpp) and calls them during
// the update that runs when the outermost update bracket closes, in this order:
//   BeforeUpdate (grouping: save expansion)  ->  rebuild + filter the record list
//   ->  IkvDataSorting::Sort  ->  IkvDataGrouping::Build  ->  focus restore
//   (IkvDataGrouping::RowIndexByRecordIndex)  ->  IkvDataGrouping::AfterUpdate
//   ->  IkvDataSummaryHook::Recalculate.
// To request work they call TkvCustomDataController::InfoChanged(dcic... flags)
// inside BeginBatch/EndBatch (or on their own: it updates at once when unlocked).
#include "data/DataControllerTypes.h"

#include <memory>
#include <vector>

namespace kestrum {

class TkvCustomDataController;
class TkvCustomDataField;

class IkvDataSorting {
public:
    virtual ~IkvDataSorting() = default;
    //! Any sorting key exists (a reload then re-sorts).
    virtual bool HasSorting() const = 0;
    //! Orders the filtered record list: grouping keys, sorting keys, record index.
    virtual void Sort(std::vector<int> &recordList) = 0;
    //! The filtered record list is already in key order (taken from a sorted
    //! order of every record): prepares what a sort leaves for the group
    //! build without comparing any records.
    virtual void PrepareSortedList(std::vector<int> &recordList) { Sort(recordList); }
    //! A field goes away: drop it from every key list.
    virtual void RemoveField(TkvCustomDataField *field) = 0;
    //! Where a record belongs in a list sorted by the current keys (the list
    //! without it): the index to insert it at, or -1 when this sorting
    //! cannot say (the list is then sorted in full).
    virtual int InsertPosition(const std::vector<int> &recordList, int recordIndex)
    {
        return (void)recordList, (void)recordIndex, -1;
    }
    //! Where a record stands in a list sorted by the current keys, found
    //! without a pass over the list: -2 when this sorting cannot say (or
    //! the record is not where its values put it), else its index.
    virtual int FindPosition(const std::vector<int> &recordList, int recordIndex)
    {
        return (void)recordList, (void)recordIndex, -2;
    }
    //! The way a field compares changed: a key on it must be applied again.
    virtual void ComparisonModeChanged(TkvCustomDataField *field) { (void)field; }
};

class IkvDataGrouping {
public:
    virtual ~IkvDataGrouping() = default;
    //! Grouping levels; 0 means the rows are the record list itself.
    virtual int LevelCount() const = 0;
    //! Start of an update with these pending row-builder changes.
    virtual void BeforeUpdate(TkvDataControllerInfoChanges changes) { (void)changes; }
    //! Rebuilds the group tree over the sorted filtered record list.
    virtual void Build(const std::vector<int> &recordList) = 0;
    //! End of an update (restored expansion is discarded).
    virtual void AfterUpdate() {}
    // Rows while grouped (LevelCount() > 0).
    virtual int RowCount() const = 0;
    virtual TkvRowInfo GetRowInfo(int rowIndex) const = 0;
    //! The row that shows the record at a level (LevelCount() for its data row),
    //! expanding groups when asked; -1 when it is not in the list or hidden.
    virtual int RowIndexByRecordIndex(int recordIndex, int level, bool makeVisible) = 0;
    virtual void RemoveField(TkvCustomDataField *field) = 0;
    //! The values of a listed record changed: true when it keeps its place in
    //! the sorted list and stays in its groups, so that the list and the tree
    //! stand as they are; false when they must be built again.
    virtual bool KeepsPlaceAndGroups(int recordIndex, int position)
    {
        (void)recordIndex, (void)position;
        return false;
    }
    //! The list position a data row shows, -1 for a group row.
    virtual int RecordPositionOfRow(int rowIndex) const { return (void)rowIndex, -1; }
    //! Whether the tree can follow one record entering or leaving the list
    //! (RecordLeft, RecordEntered) instead of being built again.
    virtual bool CanFollowRecords() const { return false; }
    //! The record at `position` left the sorted list (already taken out).
    virtual void RecordLeft(int position) { (void)position; }
    //! A record came into the sorted list at `position` (already there).
    virtual void RecordEntered(const std::vector<int> &recordList, int position)
    {
        (void)recordList, (void)position;
    }
};

class IkvDataSummaryHook {
public:
    virtual ~IkvDataSummaryHook() = default;
    virtual void Recalculate() = 0;
    //! Summaries count only selected records, so a selection change recalculates.
    virtual bool SummarisesSelection() const { return false; }
    //! A field goes away: forget every summary tied to it.
    virtual void ForgetField(TkvCustomDataField *field) = 0;
    //! Keeps the record's summed values as they were counted, so that a later
    //! change of that record alone can take them out again (the record the
    //! provider edits changes in storage before the summaries hear of it).
    //! `keepSame`: a note of this very record stays as it is.
    virtual void NoteRecord(int recordIndex, bool keepSame) { (void)recordIndex, (void)keepSame; }
    //! Records from `recordIndex` on moved by `delta`; a deleted noted record
    //! stays noted as deleted.
    virtual void NotedRecordsShifted(int recordIndex, int delta) { (void)recordIndex, (void)delta; }
    //! One record changed alone (`kind` as its data change): the summaries
    //! follow it from its noted values; false when they must be recalculated.
    virtual bool FollowRecord(TkvDataChangeKind kind, int recordIndex, bool wasListed, bool isListed)
    {
        return (void)kind, (void)recordIndex, (void)wasListed, (void)isListed, false;
    }
};

struct TkvDataControllerHooks {
    std::unique_ptr<IkvDataSorting> Sorting;
    std::unique_ptr<IkvDataGrouping> Grouping;
    std::unique_ptr<IkvDataSummaryHook> Summary;
};

//! Makes the sorting, grouping and summary objects of a new controller.
TkvDataControllerHooks CreateDataControllerHooks(TkvCustomDataController &controller);

} // namespace kestrum

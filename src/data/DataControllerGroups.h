#pragma once
// The grouping step of a controller and its public grouping interface.
#include "data/DataControllerHooks.h"
#include "data/DataExpandingInfos.h"
#include "data/DataGroups.h"

#include <utility>
#include <vector>

namespace kestrum {

class TkvCustomDataController;
class TkvDataControllerSorting;

class TkvDataControllerGroups : public IkvDataGrouping {
public:
    TkvDataControllerGroups(TkvCustomDataController &controller, TkvDataControllerSorting &sorting);

    TkvDataGroups &DataGroups() { return FGroups; }
    const TkvDataGroups &DataGroups() const { return FGroups; }

    // The controller's steps.
    int LevelCount() const override;
    void BeforeUpdate(TkvDataControllerInfoChanges changes) override;
    void Build(const std::vector<int> &recordList) override;
    void AfterUpdate() override;
    int RowCount() const override { return FGroups.RowCount(); }
    TkvRowInfo GetRowInfo(int rowIndex) const override;
    //! A hidden record (makeVisible false) gives the collapsed group row that hides it.
    int RowIndexByRecordIndex(int recordIndex, int level, bool makeVisible) override;
    void RemoveField(TkvCustomDataField *field) override;
    bool KeepsPlaceAndGroups(int recordIndex, int position) override;
    int RecordPositionOfRow(int rowIndex) const override;
    bool CanFollowRecords() const override;
    void RecordLeft(int position) override;
    void RecordEntered(const std::vector<int> &recordList, int position) override;
    //! Positions (one per group chain) whose group summaries a followed
    //! record made stale since the last build; taken once.
    std::vector<int> TakeStalePositions() { return std::exchange(FStalePositions, {}); }

    // The public grouping interface (item indexes as the controller's).
    void PlaceInGrouping(int itemIndex, int groupIndex);
    //! Raises "RowIndex out of range"; nothing for a data row or when not grouped.
    void SetExpanded(int rowIndex, bool expanded, bool recursive);
    void ChangeExpanding(int rowIndex, bool expanded, bool recursive)
    {
        SetExpanded(rowIndex, expanded, recursive);
    }
    void FullExpand();
    void FullCollapse();
    int GroupingItemCount() const;
    int GroupingItemIndex(int level) const;
    int ItemGroupIndex(int itemIndex) const;
    int LevelOfGroup(int groupIndex) const;
    int GroupIndexByRowIndex(int rowIndex) const;
    int ChildCount(int groupIndex) const { return FGroups.ChildCount(groupIndex); }
    int ChildGroupIndex(int groupIndex, int childIndex) const
    {
        return FGroups.ChildGroupIndex(groupIndex, childIndex);
    }
    int ChildRecordIndex(int groupIndex, int childIndex) const;
    //! Every record under the group, in sorted order.
    std::vector<int> GetRecordList(int groupIndex) const;

private:
    const std::vector<int> &RecordList() const;
    int PositionOf(int recordIndex) const;
    void ExpandingChanged();

    TkvCustomDataController &FController;
    TkvDataControllerSorting &FSorting;
    TkvDataGroups FGroups;
    TkvDataExpandingInfos FExpanding;
    std::vector<int> FStalePositions;
};

//! The controller's grouping object (null when made without these hooks).
TkvDataControllerGroups *DataGroupsOf(const TkvCustomDataController &controller);

} // namespace kestrum

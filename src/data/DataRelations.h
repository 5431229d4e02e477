#pragma once
// The master-detail relations of a controller: which owner items stand for
// detail levels, and which master records show their details expanded.
#include "data/DataField.h"

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TkvCustomDataController;
class TkvDataRelationList;

//! One detail level of a master controller.
class TkvDataRelation {
public:
    TkvDataRelation(TkvDataRelationList &list, TkvDataItem item) : FList(list), FItem(item) {}

    TkvDataRelationList &RelationList() const { return FList; }
    //! The owner's object that stands for the detail level (a level of views).
    TkvDataItem Item() const { return FItem; }
    int Index() const;
    //! The controller that shows the details (none until one is attached).
    TkvCustomDataController *DetailDataController() const { return FDetail; }
    void SetDetailDataController(TkvCustomDataController *detail) { FDetail = detail; }

private:
    TkvDataRelationList &FList;
    TkvDataItem FItem;
    TkvCustomDataController *FDetail = nullptr;
};

class TkvDataRelationList {
public:
    explicit TkvDataRelationList(TkvCustomDataController &controller) : FController(controller) {}

    TkvCustomDataController &DataController() const { return FController; }
    int Count() const { return int(FItems.size()); }
    TkvDataRelation *Items(int index) const { return FItems.at(std::size_t(index)).get(); }
    //! Raises "Item already exists" when the item has a relation.
    TkvDataRelation *Add(TkvDataItem item);
    void Remove(TkvDataRelation *relation);
    TkvDataRelation *FindByItem(TkvDataItem item) const;
    int IndexOf(const TkvDataRelation *relation) const;
    void Clear();

    // Expanded details by master record (sorted record indexes).
    bool IsDetailExpanded(int recordIndex) const;
    //! True when the state changed.
    bool ChangeDetailExpanding(int recordIndex, bool expanded);
    void CollapseDetails() { FExpanded.clear(); }
    const std::vector<int> &ExpandedRecords() const { return FExpanded; }
    void SetExpandedRecords(std::vector<int> records);

    // Hooks of the controller's record changes.
    //! Records from `recordIndex` on moved by `delta`; a deleted record's
    //! expansion goes with it.
    void RecordIndexesShifted(int recordIndex, int delta);
    //! Records at or above the count are gone.
    void DropRecordsFrom(int recordCount);

    //! Called after a change of the relations or of the expanded states.
    std::function<void()> OnChanged;

private:
    void Changed()
    {
        if (OnChanged)
            OnChanged();
    }
    TkvCustomDataController &FController;
    std::vector<std::unique_ptr<TkvDataRelation>> FItems;
    std::vector<int> FExpanded;
};

} // namespace kestrum

#pragma once
// Sort keys of a data controller: the sorting list, the grouping list, the
// combined key list, and the controller's sorting operations.
#include "data/DataControllerHooks.h"
#include "data/RecordComparer.h"

#include <functional>
#include <vector>

namespace kestrum {

class TkvCustomDataController;
class TkvCustomDataField;

struct TkvSortingFieldListItem {
    TkvCustomDataField *Field;
    TkvDataSortOrder SortOrder;
};

//! Fields in key priority (entry 0 is the primary key); a field occurs once.
class TkvSortingFieldList {
public:
    virtual ~TkvSortingFieldList() = default;

    int Count() const { return int(FItems.size()); }
    const TkvSortingFieldListItem &Items(int index) const { return FItems.at(std::size_t(index)); }
    int Find(const TkvCustomDataField *field) const;
    TkvDataSortOrder SortOrderOf(const TkvCustomDataField *field) const;
    void Add(TkvCustomDataField *field, TkvDataSortOrder order);
    void Insert(int index, TkvCustomDataField *field, TkvDataSortOrder order);
    void Delete(int index);
    void Clear();
    void Move(int currentIndex, int newIndex);
    void SetSortOrder(int index, TkvDataSortOrder order);
    virtual void ApplySortOrder(TkvCustomDataField *field, TkvDataSortOrder order);
    //! index < 0 removes; an absent field is inserted ascending; a present one moves.
    void ChangeIndex(TkvCustomDataField *field, int index);
    //! Appends the other list's entries whose fields are absent here.
    void AddFields(const TkvSortingFieldList &other);
    std::vector<TkvCustomDataField *> Fields() const;

    //! Called after every effective change.
    std::function<void()> OnChanged;

protected:
    void Changed()
    {
        if (OnChanged)
            OnChanged();
    }
    std::vector<TkvSortingFieldListItem> FItems;
};

//! Grouping fields in level order; an entry is never removed by sorting.
class TkvGroupingFieldList : public TkvSortingFieldList {
public:
    void ApplySortOrder(TkvCustomDataField *field, TkvDataSortOrder order) override;
    //! Each level takes the sorting list's order for its field, else ascending.
    void SyncSortOrders(const TkvSortingFieldList &sorting);
};

//! The sorting step of a controller and its sorting operations.
class TkvDataControllerSorting : public IkvDataSorting {
public:
    explicit TkvDataControllerSorting(TkvCustomDataController &controller);

    TkvSortingFieldList &SortingList() { return FSortingList; }
    TkvGroupingFieldList &GroupingList() { return FGroupingList; }
    const TkvSortingFieldList &CombinedKeyList() const { return FCombinedKeyList; }
    //! The keys of the last sort (valid until ReleaseKeys).
    TkvRecordComparer &Comparer() { return FComparer; }
    void ReleaseKeys() { FComparer.Clear(); }

    bool HasSorting() const override { return FSortingList.Count() + FGroupingList.Count() > 0; }
    void Sort(std::vector<int> &recordList) override;
    void PrepareSortedList(std::vector<int> &recordList) override;
    void RemoveField(TkvCustomDataField *field) override;
    int InsertPosition(const std::vector<int> &recordList, int recordIndex) override;
    //! The values of the record at `position` of the sorted list changed:
    //! true when it still sorts between its neighbours (grouping keys, then
    //! sorting keys, then record index, as Sort orders them) and so keeps its
    //! place. False also when a key does not compare stored values, which
    //! only a full sort can say.
    bool KeepsPlace(const std::vector<int> &recordList, int position);
    int FindPosition(const std::vector<int> &recordList, int recordIndex) override;
    //! Every grouping and sorting key compares stored values, so that a record
    //! is placed (InsertPosition) and found (FindPosition) by bisection.
    bool FollowsByStoredKeys() const;
    //! How many leading grouping levels two records share (stored values;
    //! meaningful when FollowsByStoredKeys).
    int SharedGroupLevels(int recordA, int recordB) const;
    //! Whether two records have equal stored values in every grouping key;
    //! false also when a grouping key does not compare stored values.
    bool SameGroups(int recordA, int recordB);
    void ComparisonModeChanged(TkvCustomDataField *field) override;

    void ApplySortOrder(int itemIndex, TkvDataSortOrder order);
    void MoveSortKey(int itemIndex, int newIndex);
    void ResetSorting(bool keepGrouped);
    //! The item's order in the combined list (a grouped item: its grouping order).
    TkvDataSortOrder GetItemSortOrder(int itemIndex) const;
    int GetItemSortingIndex(int itemIndex) const;

private:
    void PrepareKeys(const std::vector<int> &recordList);
    void SortOrPrepare(std::vector<int> &recordList, bool sort);
    //! A key compared by the stored values of its column.
    struct TStoredKey {
        const TkvValueDef *Def;
        bool Descending;
    };
    //! The keys of `fields` as stored-value comparisons; false when one of
    //! them compares otherwise (by value, as text, through OnCompare).
    bool StoredKeys(const TkvSortingFieldList &fields, std::vector<TStoredKey> &keys) const;
    //! Compares two records by stored keys (the record index breaks ties when `byIndex`).
    int CompareStored(const std::vector<TStoredKey> &keys, int a, int b, bool byIndex) const;

    TkvCustomDataController &FController;
    TkvSortingFieldList FSortingList;
    TkvGroupingFieldList FGroupingList;
    TkvSortingFieldList FCombinedKeyList;
    TkvRecordComparer FComparer;
};

//! The sorting, grouping and summary steps of a controller, wired together;
//! CreateDataControllerHooks returns these.
TkvDataControllerHooks CreateSortingGroupingSummaryHooks(TkvCustomDataController &controller);
//! The controller's sorting object (null when it was made without these hooks).
TkvDataControllerSorting *DataSortingOf(const TkvCustomDataController &controller);

} // namespace kestrum

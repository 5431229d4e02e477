#pragma once
// The value list of one item for the column drop-down: the fixed entries and
// the item's distinct values, sorted.
#include "core/Variant.h"
#include "filter/FilterTypes.h"

#include <QString>

#include <vector>

namespace kestrum {

class TkvFilterCriteria;
class TkvFilterCriteriaItem;
class TkvDataFilterCriteria;
class TkvCustomDataController;
class TkvCustomDataField;

//! A kind whose every value a double holds exactly and compares as a number
//! (dates included): integers of up to 32 bits, floats and dates.
bool IsPlainNumber(VarType type);

struct TkvFilterValueItem {
    TkvFilterValueKind Kind = vkValue;
    Variant Value;
    QString DisplayText;
};

class TkvFilterValueList {
public:
    explicit TkvFilterValueList(TkvFilterCriteria &criteria) : FCriteria(criteria) {}
    virtual ~TkvFilterValueList() = default;

    int Count() const { return int(FItems.size()); }
    const TkvFilterValueItem &Items(int index) const { return FItems[std::size_t(index)]; }
    void Clear() { FItems.clear(); }
    //! Value entries stay sorted and unique; special entries go before the first value entry.
    void Add(TkvFilterValueKind kind, const Variant &value, const QString &displayText);
    int IndexOfKind(TkvFilterValueKind kind) const;
    //! The entry that stands for the item's condition (the drop-down's check mark), or -1.
    int GetIndexByCriteriaItem(const TkvFilterCriteriaItem *item) const;
    //! Whether value entries are ordered by their display texts (else by value).
    bool SortByDisplayText() const { return FSortByDisplayText; }
    void SetSortByDisplayText(bool value) { FSortByDisplayText = value; }

protected:
    int FirstValueIndex() const;
    //! Adds value entries as Add would one by one, sorting them once when no cap applies.
    void AddValues(std::vector<TkvFilterValueItem> values);
    int CompareEntries(const TkvFilterValueItem &a, const TkvFilterValueItem &b) const;
    //! The entries' positions in display-text order; equalsPrevious marks an
    //! entry equal to the one before it in that order.
    void SortByCollation(const std::vector<TkvFilterValueItem> &values, std::vector<std::size_t> &order,
                         std::vector<bool> &equalsPrevious) const;
    //! The same in value order.
    void SortByValue(const std::vector<TkvFilterValueItem> &values, std::vector<std::size_t> &order,
                     std::vector<bool> &equalsPrevious) const;

    TkvFilterCriteria &FCriteria;
    std::vector<TkvFilterValueItem> FItems;
    bool FSortByDisplayText = false;
};

class TkvDataFilterValueList : public TkvFilterValueList {
public:
    explicit TkvDataFilterValueList(TkvDataFilterCriteria &criteria);
    //! Fills the list for an item from every record (the filter does not apply).
    void Load(int itemIndex, bool sortByDisplayText = false);

private:
    //! The first record of each distinct stored value, in record order; blanks
    //! notes stored Nulls. Every record when the values cannot be told apart in place.
    static std::vector<int> FirstRecordsOfStoredValues(const TkvCustomDataController &controller,
                                                       const TkvCustomDataField *field, bool &blanks);

    TkvDataFilterCriteria &FDataCriteria;
};

} // namespace kestrum

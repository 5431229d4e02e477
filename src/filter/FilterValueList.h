#pragma once
// The value list of one item for the column drop-down: the fixed entries and
// the item's distinct values, sorted.
#include "core/Variant.h"
#include "filter/FilterTypes.h"

#include "filter/FilterValueOrder.h"

#include <QString>

#include <functional>
#include <unordered_map>
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

    int Count() const { return int(FItems.size() + LazyCount()); }
    const TkvFilterValueItem &Items(int index) const
    {
        return std::size_t(index) < FItems.size() ? FItems[std::size_t(index)]
                                                  : LazyItem(std::size_t(index) - FItems.size());
    }
    void Clear();
    //! Value entries stay sorted and unique; special entries go before the first value entry.
    void Add(TkvFilterValueKind kind, const Variant &value, const QString &displayText);
    int IndexOfKind(TkvFilterValueKind kind) const;
    //! Calls visit with every entry's display text, in no particular order,
    //! without making the entries not made yet.
    void VisitDisplayTexts(const std::function<void(const QString &)> &visit) const;
    //! The entry that stands for the item's condition (the drop-down's check mark), or -1.
    int GetIndexByCriteriaItem(const TkvFilterCriteriaItem *item) const;
    //! Whether value entries are ordered by their display texts (else by value).
    bool SortByDisplayText() const { return FSortByDisplayText; }
    void SetSortByDisplayText(bool value) { FSortByDisplayText = value; }

protected:
    //! Value entries after FItems that a subclass makes when first asked for:
    //! a list of millions of values holds only the ones shown.
    virtual std::size_t LazyCount() const { return 0; }
    virtual const TkvFilterValueItem &LazyItem(std::size_t position) const;
    //! The lazy entry that equals the value, -1 for none.
    virtual std::ptrdiff_t LazyPositionOf(const Variant &) const { return -1; }
    //! Makes every lazy entry a plain one (before the list changes).
    virtual void Realize() {}
    virtual void VisitLazyDisplayTexts(const std::function<void(const QString &)> &) const {}
    virtual void ForgetLazy() {}

    int FirstValueIndex() const;
    //! Adds value entries as Add would one by one, sorting them once when no cap applies.
    void AddValues(std::vector<TkvFilterValueItem> values);
    int CompareEntries(const TkvFilterValueItem &a, const TkvFilterValueItem &b) const;
    //! The entries' positions in display-text order; equalsPrevious marks an
    //! entry equal to the one before it in that order.
    void SortByCollation(const std::vector<TkvFilterValueItem> &values, std::vector<std::size_t> &order,
                         std::vector<bool> &equalsPrevious) const;
    bool CaseInsensitive() const;
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

protected:
    std::size_t LazyCount() const override { return FLazyRecords.empty() ? 0 : FLazyOrder.Count(); }
    const TkvFilterValueItem &LazyItem(std::size_t position) const override;
    std::ptrdiff_t LazyPositionOf(const Variant &value) const override;
    void Realize() override;
    void ForgetLazy() override;
    void VisitLazyDisplayTexts(const std::function<void(const QString &)> &visit) const override;

private:
    //! The first record of each distinct stored value, in record order (a
    //! value that cannot be keyed in place counts on its own); blanks notes
    //! the values the criteria reads as Null. Every record when the values
    //! cannot be told apart in place (keyed is false then). distinctTexts
    //! tells that the records hold texts that all differ.
    std::vector<int> FirstRecordsOfStoredValues(const TkvCustomDataController &controller,
                                                const TkvCustomDataField *field, bool &blanks, bool &keyed,
                                                bool &distinctTexts) const;
    //! Keys the distinct values' display texts and leaves them to be sorted
    //! and read as they are shown.
    //! Lists narrow texts (in place, a memo's too) in distinct holders;
    //! distinctTexts then says every listed record holds such a text.
    static bool HoldsNarrowTexts(const TkvCustomDataField *field);
    void LoadLazily(std::vector<int> records, const TkvCustomDataField *field, bool distinctTexts);
    TkvFilterValueItem MakeEntry(int recordIndex) const;

    TkvDataFilterCriteria &FDataCriteria;
    // The lazy entries: the records that hold the distinct values, their
    // order, and the entries made so far by position.
    std::vector<int> FLazyRecords;
    const TkvCustomDataField *FLazyField = nullptr;
    //! Every lazy entry is a narrow text held in place.
    bool FLazyNarrow = false;
    mutable TkvValueOrder FLazyOrder;
    mutable std::unordered_map<std::size_t, TkvFilterValueItem> FLazyEntries;
};

} // namespace kestrum

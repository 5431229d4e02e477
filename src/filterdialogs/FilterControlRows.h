#pragma once
// The rows of the filter builder: a tree of group rows (a bool code and child
// rows) and condition rows (an item, a dialog operator and its values) that
// mirrors the criteria being edited.
#include "core/Variant.h"
#include "filter/FilterCriteriaItems.h"
#include "filter/FilterTypes.h"
#include "filterdialogs/FilterDialogOperators.h"

#include <QString>

#include <memory>
#include <vector>

namespace kestrum {

class TkvFilterControlGroupRow;

class TkvFilterControlRow {
public:
    explicit TkvFilterControlRow(TkvFilterControlGroupRow *parent) : FParent(parent) {}
    virtual ~TkvFilterControlRow() = default;
    TkvFilterControlRow(const TkvFilterControlRow &) = delete;
    TkvFilterControlRow &operator=(const TkvFilterControlRow &) = delete;

    TkvFilterControlGroupRow *Parent() const { return FParent; }
    virtual bool IsGroup() const = 0;
    bool IsRoot() const { return FParent == nullptr; }
    //! 0 for the root, one more per group in between.
    int Level() const;
    //! The group an added condition goes to: a group itself, else the parent.
    TkvFilterControlGroupRow *OwnGroup();

private:
    TkvFilterControlGroupRow *FParent;
};

class TkvFilterControlGroupRow : public TkvFilterControlRow {
public:
    explicit TkvFilterControlGroupRow(TkvFilterControlGroupRow *parent, TkvFilterBoolCode boolCode = bcAnd)
        : TkvFilterControlRow(parent), FBoolCode(boolCode)
    {
    }
    bool IsGroup() const override { return true; }

    TkvFilterBoolCode BoolCode() const { return FBoolCode; }
    void SetBoolCode(TkvFilterBoolCode value) { FBoolCode = value; }
    //! "<根>" for the root, "按以下定义搜索" for the other groups.
    QString Caption() const;

    int Count() const { return int(FRows.size()); }
    TkvFilterControlRow *Rows(int index) const { return FRows[std::size_t(index)].get(); }
    int IndexOf(const TkvFilterControlRow *row) const;
    template <typename T> T *Add(std::unique_ptr<T> row)
    {
        T *added = row.get();
        FRows.push_back(std::move(row));
        return added;
    }
    void Remove(TkvFilterControlRow *row);
    void Clear() { FRows.clear(); }

private:
    TkvFilterBoolCode FBoolCode;
    std::vector<std::unique_ptr<TkvFilterControlRow>> FRows;
};

//! One value of a condition: what the editor delivered and the text it showed.
struct TkvFilterControlValue {
    Variant Value = Variant::null();
    QString DisplayText;
};

class TkvFilterControlConditionRow : public TkvFilterControlRow {
public:
    using TkvFilterControlRow::TkvFilterControlRow;
    bool IsGroup() const override { return false; }

    //! The link's item index, -1 before an item is chosen.
    int ItemIndex = -1;
    TkvFilterItemLink ItemLink = nullptr;
    TkvFilterDialogOperator Operator = fdoEqual;
    TkvFilterDialogOperators SupportedOperators;
    std::vector<TkvFilterControlValue> Values;
};

//! The builder's words for the bool codes: "与", "或", "不是", "不是所有".
QString FilterControlBoolCaption(TkvFilterBoolCode code);

//! How many values an operator takes: 0, 1, 2, or -1 for one or more (in-list).
int FilterControlValueCount(TkvFilterDialogOperator op);
inline bool IsInListFilterDialogOperator(TkvFilterDialogOperator op)
{
    return op == fdoInList || op == fdoNotInList;
}
inline bool IsBetweenFilterDialogOperator(TkvFilterDialogOperator op)
{
    return op == fdoBetween || op == fdoNotBetween;
}

} // namespace kestrum

#pragma once
// The criteria a data controller owns: conditions over the controller's
// fields, evaluated over the loaded records, switched on by `Active`.
#include "data/FilterCriteriaInterface.h"
#include "filter/FilterCriteriaTree.h"
#include "filter/FilterValueList.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestrum {

class TkvCustomDataController;
class TkvCustomDataField;
class TkvDataFilterCriteria;
class TDbQuery;

using TkvDataFilterGetValueListEvent =
    std::function<void(TkvFilterCriteria *sender, int itemIndex, TkvDataFilterValueList &valueList)>;

//! A leaf over a data field. Number, date and text fields are tested on the
//! stored values themselves, without a Variant per record, where the
//! operator and the leaf value allow it; every other case takes the general path.
class TkvDataFilterCriteriaItem : public TkvFilterCriteriaItem {
public:
    TkvDataFilterCriteriaItem(TkvFilterCriteriaItemList *parent, TkvFilterItemLink itemLink,
                              TkvFilterOperatorCode operatorKind, const Variant &value,
                              const QString &displayValue);
    ~TkvDataFilterCriteriaItem() override;
    TkvCustomDataField *Field() const { return static_cast<TkvCustomDataField *>(ItemLink()); }
    bool Evaluate(int recordIndex) override;
    //! Tests the records 0 .. count-1 in one loop (the result negated when
    //! asked), as the criteria's filter of every record does for a lone leaf.
    std::size_t FilterRecords(int count, int exemptRecord, bool negate, int *kept);
    //! Tests the same records, keeping of the `keptCount` listed in `kept`
    //! (in record order) those that pass, in place: a condition joined by
    //! AND to the ones that listed them.
    std::size_t RefineRecords(int count, int exemptRecord, int *kept, std::size_t keptCount);

    struct StoredTest; //!< the typed test of the stored values, built on demand

private:
    const StoredTest *CurrentStoredTest();
    //! Calls visit(recordIndex, passes) for the records 0 .. count-1 in
    //! order, the exempt one passing untested.
    template <typename Visit> void TestRecords(int count, int exemptRecord, Visit visit);
    std::unique_ptr<StoredTest> FStoredTest;
};

class TkvDataFilterCriteria : public TkvFilterCriteria, public IkvFilterCriteria {
public:
    explicit TkvDataFilterCriteria(TkvCustomDataController &dataController);
    ~TkvDataFilterCriteria() override;

    TkvCustomDataController &DataController() const { return FDataController; }
    bool Active() const { return FActive; }
    void SetActive(bool value) override;
    TkvDataFilterGetValueListEvent OnGetValueList;

    //! Active, a non-empty tree, and the values are in memory.
    virtual bool FiltersRows() const;
    void Assign(const TkvFilterCriteria &source) override;

    //! The field of an item index (null when out of range).
    TkvCustomDataField *ItemField(int itemIndex) const;
    //! Adds a condition for an item (column or field); the display text
    //! defaults to the value's text (empty for Null). With replace, the
    //! item's conditions go first.
    TkvFilterCriteriaItem *AddItemCondition(TkvFilterCriteriaItemList *parent, TkvFilterItemLink itemLink,
                                            TkvFilterOperatorCode operatorKind, const Variant &value,
                                            std::optional<QString> displayText, bool replaceExisting);
    //! The value list of an item for the column drop-down.
    std::unique_ptr<TkvDataFilterValueList> CreateValueList()
    {
        return std::make_unique<TkvDataFilterValueList>(*this);
    }

    // Item links are the controller's fields; an item (column) is resolved to its field.
    TkvFilterItemLink ResolveItemLink(TkvFilterItemLink itemLink) const override;
    int ItemIDByItemLink(TkvFilterItemLink itemLink) const override;
    TkvFilterItemLink ItemLinkByID(int id) const override;
    QString ItemCaption(TkvFilterItemLink itemLink) const override;
    QString ItemFieldName(TkvFilterItemLink itemLink) const override;
    Variant GetRecordValue(const TkvFilterCriteriaItem &item, int recordIndex) const override;

    // IkvFilterCriteria.
    bool IsEmpty() const override { return !FiltersRows(); }
    bool DoFilterRecord(int recordIndex) override { return EvaluateRecord(recordIndex); }
    std::size_t FilterRecords(int count, int exemptRecord, int *kept) override;
    void FieldRemoving(TkvCustomDataField *field) override { RemoveConditionsOf(field); }
    QString FilterCaption() const override { return CaptionText(); }
    bool IsActive() const override { return FActive; }
    int ConditionCount() const override { return TkvFilterCriteria::ConditionCount(); }
    void ClearConditions() override { ClearTree(); }

protected:
    std::unique_ptr<TkvFilterCriteriaItem>
    CreateItem(TkvFilterCriteriaItemList *parent, TkvFilterItemLink itemLink,
               TkvFilterOperatorCode operatorKind, const Variant &value, const QString &displayText) override;
    bool CanChange() const override;
    void DoChanged() override;

private:
    //! What filtered the rows last: a change whose conditions cannot be
    //! evaluated goes back to it, so that the criteria still describes the
    //! rows shown and later reloads do not meet the same error.
    struct TkvAppliedFilter {
        std::string Tree;
        bool Active = false;
        TkvFilterCriteriaOptions Options;
    };
    void NoteApplied();
    void RestoreApplied();

    TkvCustomDataController &FDataController;
    bool FActive = false;
    std::optional<TkvAppliedFilter> FApplied;
};

//! `OnBeforeChange`: the record set and the filter expression, before the criteria applies.
using TkvDBDataFilterBeforeChangeEvent =
    std::function<void(TkvFilterCriteria *sender, TDbQuery *dataSet, const QString &filterText)>;

//! The criteria of a record-set controller: its expression may also go to
//! the record set's own filter.
class TkvDBDataFilterCriteria : public TkvDataFilterCriteria {
public:
    using TkvDataFilterCriteria::TkvDataFilterCriteria;

    bool AutoDataSetFilter() const { return FAutoDataSetFilter; }
    void SetAutoDataSetFilter(bool value);
    bool IgnoreOrigin() const { return FIgnoreOrigin; }
    void SetIgnoreOrigin(bool value) { FIgnoreOrigin = value; }
    TkvDBDataFilterBeforeChangeEvent OnBeforeChange;

    bool FiltersRows() const override;
    void Assign(const TkvFilterCriteria &source) override;
    void RestoreDefaults() override;
    //! The record sets here are queries: their filters test Null with IS / IS NOT.
    bool IsQueryExpression() const override;

protected:
    void BeforeChange() override;

private:
    TDbQuery *DataSet() const;
    bool FAutoDataSetFilter = false;
    bool FIgnoreOrigin = true;
};

//! The controller's criteria as the filter model, or null when it has none.
TkvDataFilterCriteria *DataFilterCriteriaOf(const TkvCustomDataController &dataController);

} // namespace kestrum

#pragma once
// The nodes of a criteria tree: inner lists joined by a bool code, and leaf
// conditions that test one item with one operator.
#include "core/BinaryStream.h"
#include "core/Variant.h"
#include "filter/FilterOperators.h"
#include "filter/FilterTypes.h"

#include <QString>

#include <memory>
#include <vector>

namespace kestrum {

class TkvFilterCriteria;
class TkvFilterCriteriaItemList;

//! What a condition tests: a data field or a column, as the criteria knows it.
using TkvFilterItemLink = void *;

class TkvCustomFilterCriteriaItem {
public:
    explicit TkvCustomFilterCriteriaItem(TkvFilterCriteriaItemList *parent) : FParent(parent) {}
    virtual ~TkvCustomFilterCriteriaItem() = default;
    TkvCustomFilterCriteriaItem(const TkvCustomFilterCriteriaItem &) = delete;
    TkvCustomFilterCriteriaItem &operator=(const TkvCustomFilterCriteriaItem &) = delete;

    TkvFilterCriteriaItemList *Parent() const { return FParent; }
    virtual TkvFilterCriteria *Criteria() const;
    virtual bool IsItemList() const = 0;
    //! Extra data after the node's record in a stream (none here).
    virtual void ReadData(BinaryReader &) {}
    virtual void WriteData(BinaryWriter &writer) const = 0;
    //! The node's value for a record (all children of a list are evaluated).
    virtual bool Evaluate(int recordIndex) = 0;

protected:
    //! Passes a change to the criteria.
    void Changed();

private:
    friend class TkvFilterCriteriaItemList;
    TkvFilterCriteriaItemList *FParent;
};

class TkvFilterCriteriaItemList : public TkvCustomFilterCriteriaItem {
public:
    //! The root knows its criteria directly; other lists reach it through their parent.
    TkvFilterCriteriaItemList(TkvFilterCriteriaItemList *parent, TkvFilterBoolCode boolOperatorKind,
                              TkvFilterCriteria *criteria = nullptr);
    ~TkvFilterCriteriaItemList() override;

    TkvFilterCriteria *Criteria() const override;
    bool IsItemList() const override { return true; }
    void WriteData(BinaryWriter &writer) const override;
    bool Evaluate(int recordIndex) override;

    TkvFilterBoolCode BoolOperatorKind() const { return FBoolOperatorKind; }
    void SetBoolOperatorKind(TkvFilterBoolCode value);
    int Count() const { return int(FItems.size()); }
    TkvCustomFilterCriteriaItem *Items(int index) const { return FItems[std::size_t(index)].get(); }
    int IndexOf(const TkvCustomFilterCriteriaItem *item) const;

    //! A new inner list appended to this list's children.
    TkvFilterCriteriaItemList *AppendSubList(TkvFilterBoolCode boolOperatorKind);
    //! Frees a child.
    void RemoveItem(TkvCustomFilterCriteriaItem *item);

    // Used by the criteria's tree operations.
    TkvCustomFilterCriteriaItem *AddItem(std::unique_ptr<TkvCustomFilterCriteriaItem> item);
    std::unique_ptr<TkvCustomFilterCriteriaItem> TakeItem(TkvCustomFilterCriteriaItem *item);
    void ClearItems();

private:
    TkvFilterBoolCode FBoolOperatorKind;
    TkvFilterCriteria *FCriteria;
    std::vector<std::unique_ptr<TkvCustomFilterCriteriaItem>> FItems;
};

class TkvFilterCriteriaItem : public TkvCustomFilterCriteriaItem {
public:
    TkvFilterCriteriaItem(TkvFilterCriteriaItemList *parent, TkvFilterItemLink itemLink,
                          TkvFilterOperatorCode operatorKind, const Variant &value,
                          const QString &displayValue);
    ~TkvFilterCriteriaItem() override;

    bool IsItemList() const override { return false; }
    void WriteData(BinaryWriter &writer) const override;
    bool Evaluate(int recordIndex) override;

    TkvFilterItemLink ItemLink() const { return FItemLink; }
    void SetItemLink(TkvFilterItemLink value);
    TkvFilterOperatorCode OperatorKind() const { return FOperatorKind; }
    void SetOperatorKind(TkvFilterOperatorCode value);
    const Variant &Value() const { return FValue; }
    void SetValue(const Variant &value);
    const QString &DisplayValue() const { return FDisplayValue; }
    void SetDisplayValue(const QString &value);
    TkvFilterOperator &Operator() const { return *FOperator; }

    //! The record's value of the linked item (Null without a link).
    virtual Variant GetRecordValue(int recordIndex) const;
    //! The display value (display mode) or the value expression.
    QString GetValueText(bool display) const;
    QString GetFieldCaption() const;
    QString GetFieldName() const;
    //! Whether the value is Null by the criteria's null test.
    bool IsNull() const;
    //! Chooses the operator class again from the code and the value.
    void RecreateOperator();
    //! The leaf value prepared for tests (cached until the criteria changes).
    const Variant &PreparedValue();

protected:
    //! The test of a prepared record value; variant errors are softened by the option.
    bool TestValue(const Variant &recordValue);

private:
    TkvFilterItemLink FItemLink;
    TkvFilterOperatorCode FOperatorKind;
    Variant FValue;
    QString FDisplayValue;
    std::unique_ptr<TkvFilterOperator> FOperator;
    Variant FPreparedValue;
    std::uint64_t FPreparedGeneration = 0;
};

} // namespace kestrum

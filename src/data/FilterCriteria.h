#pragma once
// What the controller asks of its filter criteria. The criteria itself lives
// in the filter module above; the controller owns it through this interface.
#include <QString>

namespace kestrum {

class TkvCustomDataController;
class TkvCustomDataField;

class IkvFilterCriteria {
public:
    virtual ~IkvFilterCriteria() = default;
    //! Filters no record (inactive, an empty tree, or values not in memory);
    //! such a criteria is not evaluated at all.
    virtual bool IsEmpty() const = 0;
    //! Whether the record passes.
    virtual bool DoFilterRecord(int recordIndex) = 0;
    //! A field is about to be removed: its conditions go with it.
    virtual void FieldRemoving(TkvCustomDataField *field) { (void)field; }
    //! The text the grid's filter box shows; empty for an empty tree.
    virtual QString FilterCaption() const { return {}; }
    virtual bool IsActive() const { return false; }
    virtual void SetActive(bool value) { (void)value; }
    //! The conditions (leaves) the tree holds, active or not.
    virtual int ConditionCount() const { return 0; }
    //! Drops every condition.
    virtual void ClearConditions() {}
};

//! The criteria a controller has until a real one is assigned: keeps everything.
class TkvEmptyFilterCriteria : public IkvFilterCriteria {
public:
    bool IsEmpty() const override { return true; }
    bool DoFilterRecord(int) override { return true; }
};

} // namespace kestrum

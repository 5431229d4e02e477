#pragma once
// What the controller asks of its filter criteria. The criteria itself lives
// in the filter module above; the controller owns it through this interface.
#include <QString>

#include <cstddef>

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
    //! Writes in order the records of 0 .. count-1 that pass to kept and
    //! returns how many; the exempt record (the one being edited) is kept
    //! without being tested. A criteria that can test many records at once
    //! does it here.
    virtual std::size_t FilterRecords(int count, int exemptRecord, int *kept)
    {
        std::size_t result = 0;
        for (int recordIndex = 0; recordIndex < count; ++recordIndex)
            if (recordIndex == exemptRecord || DoFilterRecord(recordIndex))
                kept[result++] = recordIndex;
        return result;
    }
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

#pragma once
// What the controller asks of its filter criteria when it filters records.
namespace kestrum {

class TkvCustomDataController;

class IkvFilterCriteria {
public:
    virtual ~IkvFilterCriteria() = default;
    //! An empty criteria keeps every record (and is not evaluated at all).
    virtual bool IsEmpty() const = 0;
    //! Whether the record passes.
    virtual bool DoFilterRecord(int recordIndex) = 0;
};

//! The criteria a controller has until a real one is assigned: keeps everything.
class TkvEmptyFilterCriteria : public IkvFilterCriteria {
public:
    bool IsEmpty() const override { return true; }
    bool DoFilterRecord(int) override { return true; }
};

} // namespace kestrum

#pragma once
// The controller's link to its source. The base has no source: nothing can be
// edited, every focus change is allowed, and values live only in the storage.
#include "core/Variant.h"
#include "data/DataControllerTypes.h"

#include <QString>

#include <vector>

namespace kestrum {

class TkvCustomDataController;
class TkvCustomDataField;

class TkvCustomDataProvider {
public:
    explicit TkvCustomDataProvider(TkvCustomDataController &controller) : FDataController(controller) {}
    virtual ~TkvCustomDataProvider() = default;
    TkvCustomDataProvider(const TkvCustomDataProvider &) = delete;
    TkvCustomDataProvider &operator=(const TkvCustomDataProvider &) = delete;

    TkvCustomDataController &DataController() const { return FDataController; }

    // State of the source.
    virtual bool IsActive() const { return false; }
    virtual bool CanModify() const { return false; }
    virtual bool IsEditing() const { return false; }
    virtual bool IsInserting() const { return false; }
    virtual bool IsModified() const { return false; }
    virtual bool IsEmpty() const { return true; }
    //! An editor is writing a value into the source right now.
    bool IsChangingValue() const { return FChangingValue; }
    void SetChangingValue(bool value) { FChangingValue = value; }
    //! Only the source's buffer window is held (values come from the source).
    virtual bool IsGridMode() const { return false; }
    //! Values come from a custom source rather than the storage.
    virtual bool IsCustomSource() const { return false; }
    //! The controller's focus follows the source's current record.
    virtual bool IsSyncMode() const { return false; }
    //! A focus synchronisation with the source is running.
    virtual bool IsSyncing() const { return false; }
    //! The provider is moving the source itself (data changes are its own).
    virtual bool IsLocked() const { return false; }
    //! A reload of all records is running.
    virtual bool IsLoading() const { return false; }

    // Edit operations on the source.
    virtual void Append() {}
    virtual void Insert() {}
    virtual void Edit() {}
    virtual void Post() {}
    virtual void Cancel() {}
    virtual void Refresh() {}
    //! Deletes the source's current row (focus has been put on the record).
    virtual void DeleteRecord(int recordIndex) { (void)recordIndex; }
    virtual void DeleteRecords(const std::vector<int> &recordIndexes) { (void)recordIndexes; }
    //! Collects pending values from the source's editors.
    virtual void UpdateData() {}
    virtual Variant ReadEditValue(TkvCustomDataField *field, TkvDataEditValueSource source)
    {
        (void)field, (void)source;
        return Variant::null();
    }
    virtual bool WriteEditValue(TkvCustomDataField *field, TkvDataEditValueSource source,
                                const Variant &value)
    {
        (void)field, (void)source, (void)value;
        return false;
    }
    virtual bool CanModifyField(TkvCustomDataField *field) const { return (void)field, false; }

    // Records.
    //! Fills the storage from the source (all records).
    virtual void LoadRecords() {}
    //! Whether the source has fields to bind to.
    virtual bool HasFields() const { return false; }
    //! Re-binds every field to the source.
    virtual void UpdateFields() {}
    //! Moves the source to the record; false refuses the focus change.
    virtual bool ChangeFocusedRecord(int recordIndex) { return (void)recordIndex, true; }
    //! The record the source is on (-1 none).
    virtual int CurrentRecordIndex() const { return -1; }
    //! The record being edited or inserted through the source (-1 none); it is
    //! never filtered out.
    virtual int EditingRecordIndex() const { return -1; }
    //! Ends editing bookkeeping when the controller is restructured.
    virtual void ResetEditing() {}

    // Values that are not held in memory (grid mode, a custom source): read
    // from the source's row that the record stands for.
    virtual Variant GetValue(int recordIndex, const TkvCustomDataField *field)
    {
        (void)recordIndex, (void)field;
        return Variant::null();
    }
    virtual QString GetDisplayText(int recordIndex, const TkvCustomDataField *field)
    {
        (void)recordIndex, (void)field;
        return QString();
    }

    // Moving the source itself (grid mode: the rows are its buffer window).
    virtual void MoveFirst() {}
    virtual void MoveLast() {}
    virtual void MoveBy(int distance) { (void)distance; }
    virtual bool IsBOF() const { return true; }
    virtual bool IsEOF() const { return true; }
    //! Incremental search in the source: the first row, from the current one
    //! on (or after it with `next`), in the direction asked, whose display
    //! text of the field begins with `upperText` (compared upper-cased); the
    //! source moves there. Wraps round to the start unless `next` is set.
    virtual bool LocateByText(TkvCustomDataField *field, const QString &upperText, bool next, bool forward)
    {
        (void)field, (void)upperText, (void)next, (void)forward;
        return false;
    }

private:
    TkvCustomDataController &FDataController;
    bool FChangingValue = false;
};

} // namespace kestrum

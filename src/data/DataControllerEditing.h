#pragma once
// Editing through the provider: what may be done and what is under way, the
// operations (append, insert, edit, post, cancel, delete), the values editors
// read and write, and the owner's new-item row with its internal record.
#include "core/Variant.h"
#include "data/DataControllerTypes.h"

namespace kestrum {

class TkvCustomDataController;
class TkvCustomDataProvider;

class TkvDataControllerEditing {
public:
    explicit TkvDataControllerEditing(TkvCustomDataController &controller) : FController(controller) {}
    TkvDataControllerEditing(const TkvDataControllerEditing &) = delete;
    TkvDataControllerEditing &operator=(const TkvDataControllerEditing &) = delete;

    TkvDataControllerEditState EditState() const;
    TkvDataControllerEditOperations EditOperations() const;
    bool IsEditing() const;
    int EditingRecordIndex() const;

    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void DeleteFocused();
    void DeleteSelection();
    void UpdateData();
    Variant ReadEditValue(int itemIndex, TkvDataEditValueSource source);
    bool WriteEditValue(int itemIndex, const Variant &value, TkvDataEditValueSource source);
    //! The entry that is being edited is posted, or cancelled when unchanged.
    void FinishEditing();

    //! The internal record of the new-item row (allocated on first use).
    int NewItemRecordIndex() const;
    //! Whether the record is the new-item row's record (once allocated).
    bool IsNewItemRecord(int recordIndex) const
    {
        return FNewItemRecordIndex != 0 && recordIndex == FNewItemRecordIndex;
    }
    //! The storage dropped its internal records: the next use allocates anew.
    void ForgetNewItemRecord() { FNewItemRecordIndex = 0; }
    bool SetNewItemRowFocused(bool focused);
    bool IsEditingNewItem() const;

private:
    TkvCustomDataProvider &Provider() const;

    TkvCustomDataController &FController;
    mutable int FNewItemRecordIndex = 0; //!< 0 = none yet (internal indexes are negative)
};

} // namespace kestrum

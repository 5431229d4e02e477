// Editing through the provider: append, insert, edit, post, cancel, delete,
// and the values editors read and write.
#include "data/DataController.h"
#include "data/DataControllerGroups.h"

#include <algorithm>

namespace kestrum {

TkvDataControllerEditState TkvCustomDataController::EditState() const
{
    TkvDataControllerEditState state;
    if (FProvider->IsInserting())
        state.Include(desInserting);
    if (FProvider->IsEditing() || FProvider->IsInserting())
        state.Include(desEditing);
    if (FProvider->IsChangingValue())
        state.Include(desChangingValue);
    if (FProvider->IsModified())
        state.Include(desModified);
    return state;
}

TkvDataControllerEditOperations TkvCustomDataController::EditOperations() const
{
    TkvDataControllerEditOperations operations;
    if (FProvider->CanModify()) {
        operations.Include(deoAppend);
        operations.Include(deoEdit);
        operations.Include(deoInsert);
        if (!FProvider->IsEmpty())
            operations.Include(deoDelete);
    }
    if (!FProvider->IsActive() || FProvider->IsSyncMode())
        operations.Include(deoFollowsSource);
    return operations;
}

bool TkvCustomDataController::IsEditing() const
{
    const TkvDataControllerEditState state = EditState();
    return (state.Contains(desInserting) || state.Contains(desEditing)) && EditingRecordIndex() != -1;
}

int TkvCustomDataController::EditingRecordIndex() const
{
    return FProvider->EditingRecordIndex();
}

int TkvCustomDataController::NewItemRecordIndex() const
{
    if (FNewItemRecordIndex == 0) {
        // -1 means "no record" to every caller: the first internal record
        // stays reserved so that the new-item record never reads as none.
        int recordIndex = FStorage->AddInternalRecord();
        if (recordIndex == -1)
            recordIndex = FStorage->AddInternalRecord();
        FNewItemRecordIndex = recordIndex;
    }
    return FNewItemRecordIndex;
}

bool TkvCustomDataController::IsEditingNewItem() const
{
    return FNewItemRecordIndex != 0 && FProvider->EditingRecordIndex() == FNewItemRecordIndex &&
           EditState().Contains(desInserting);
}

void TkvCustomDataController::FinishEditing()
{
    if (!EditState().Contains(desEditing))
        return;
    UpdateData(); // values still in editors count
    if (FProvider->IsModified())
        Post();
    else
        Cancel();
}

bool TkvCustomDataController::SetNewItemRowFocused(bool focused)
{
    if (NewItemRowFocused() == focused)
        return true;
    BeginBatch();
    try {
        // Whatever is being edited ends before the focus moves, as on any row change.
        FinishEditing();
        if (focused)
            NewItemRecordIndex();
        FInfo->SetNewItemRowFocused(focused);
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
    return NewItemRowFocused() == focused;
}

void TkvCustomDataController::Append()
{
    if (FProvider->CanModify())
        FProvider->Append();
}

void TkvCustomDataController::Insert()
{
    if (FProvider->CanModify())
        FProvider->Insert();
}

void TkvCustomDataController::Edit()
{
    if (!FProvider->CanModify())
        return;
    // On the new-item row an edit begins a new entry.
    if (NewItemRowFocused())
        FProvider->Append();
    else
        FProvider->Edit();
}

void TkvCustomDataController::Post()
{
    if (FProvider->CanModify() && EditState().Contains(desEditing))
        FProvider->Post();
}

void TkvCustomDataController::Cancel()
{
    if (FProvider->CanModify() && EditState().Contains(desEditing))
        FProvider->Cancel();
}

void TkvCustomDataController::DeleteFocused()
{
    if (!EditOperations().Contains(deoDelete) || FocusedRowIndex() < 0)
        return;
    const TkvRowInfo row = GetRowInfo(FocusedRowIndex());
    if (!row.IsGroupRow) {
        FProvider->DeleteRecord(row.RecordIndex);
        return;
    }
    // Every record of the group, visible or collapsed.
    std::vector<int> records;
    if (TkvDataControllerGroups *groups = DataGroupsOf(*this))
        records = groups->GetRecordList(groups->GroupIndexByRowIndex(FocusedRowIndex()));
    if (records.empty())
        records.push_back(row.RecordIndex);
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    FProvider->DeleteRecords(records);
}

void TkvCustomDataController::DeleteSelection()
{
    if (Selection().Count() == 0 || !EditOperations().Contains(deoDelete))
        return;
    if (!FMultiSelect) {
        DeleteFocused();
        return;
    }
    FProvider->DeleteRecords(Selection().RecordIndexes());
}

void TkvCustomDataController::UpdateData()
{
    FProvider->UpdateData();
}

Variant TkvCustomDataController::ReadEditValue(int itemIndex, TkvDataEditValueSource source)
{
    TkvCustomDataField *field = GetItemField(itemIndex);
    // The new-item row shows nothing until an entry is begun there.
    if (NewItemRowFocused() && !IsEditingNewItem())
        return source == TkvDataEditValueSource::evsText ? Variant(QString()) : Variant::null();
    return FProvider->ReadEditValue(field, source);
}

bool TkvCustomDataController::WriteEditValue(int itemIndex, const Variant &value,
                                             TkvDataEditValueSource source)
{
    TkvCustomDataField *field = GetItemField(itemIndex);
    if (!FProvider->CanModify() || !FProvider->CanModifyField(field))
        return false;
    if (!EditState().Contains(desEditing) || (NewItemRowFocused() && !IsEditingNewItem()))
        Edit();
    return FProvider->WriteEditValue(field, source, value);
}

} // namespace kestrum

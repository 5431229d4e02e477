#include "data/DataControllerEditing.h"

#include "data/DataController.h"
#include "data/DataControllerGroups.h"

#include <algorithm>

namespace kestrum {

TkvCustomDataProvider &TkvDataControllerEditing::Provider() const
{
    return FController.Provider();
}

TkvDataControllerEditState TkvDataControllerEditing::EditState() const
{
    TkvDataControllerEditState state;
    if (Provider().IsInserting())
        state.Include(desInserting);
    if (Provider().IsEditing() || Provider().IsInserting())
        state.Include(desEditing);
    if (Provider().IsChangingValue())
        state.Include(desChangingValue);
    if (Provider().IsModified())
        state.Include(desModified);
    return state;
}

TkvDataControllerEditOperations TkvDataControllerEditing::EditOperations() const
{
    TkvDataControllerEditOperations operations;
    if (Provider().CanModify()) {
        operations.Include(deoAppend);
        operations.Include(deoEdit);
        operations.Include(deoInsert);
        if (!Provider().IsEmpty())
            operations.Include(deoDelete);
    }
    if (!Provider().IsActive() || Provider().IsSyncMode())
        operations.Include(deoFollowsSource);
    return operations;
}

bool TkvDataControllerEditing::IsEditing() const
{
    const TkvDataControllerEditState state = EditState();
    return (state.Contains(desInserting) || state.Contains(desEditing)) && EditingRecordIndex() != -1;
}

int TkvDataControllerEditing::EditingRecordIndex() const
{
    return Provider().EditingRecordIndex();
}

int TkvDataControllerEditing::NewItemRecordIndex() const
{
    if (FNewItemRecordIndex == 0) {
        // -1 means "no record" to every caller: the first internal record
        // stays reserved so that the new-item record never reads as none.
        int recordIndex = FController.Storage().AddInternalRecord();
        if (recordIndex == -1)
            recordIndex = FController.Storage().AddInternalRecord();
        FNewItemRecordIndex = recordIndex;
    }
    return FNewItemRecordIndex;
}

bool TkvDataControllerEditing::IsEditingNewItem() const
{
    return FNewItemRecordIndex != 0 && Provider().EditingRecordIndex() == FNewItemRecordIndex &&
           EditState().Contains(desInserting);
}

void TkvDataControllerEditing::FinishEditing()
{
    if (!EditState().Contains(desEditing))
        return;
    UpdateData(); // values still in editors count
    if (Provider().IsModified())
        Post();
    else
        Cancel();
}

bool TkvDataControllerEditing::SetNewItemRowFocused(bool focused)
{
    if (FController.NewItemRowFocused() == focused)
        return true;
    FController.BeginBatch();
    try {
        // Whatever is being edited ends before the focus moves, as on any row change.
        FinishEditing();
        if (focused)
            NewItemRecordIndex();
        FController.Info().SetNewItemRowFocused(focused);
    } catch (...) {
        FController.EndBatch();
        throw;
    }
    FController.EndBatch();
    return FController.NewItemRowFocused() == focused;
}

void TkvDataControllerEditing::Append()
{
    if (Provider().CanModify())
        Provider().Append();
}

void TkvDataControllerEditing::Insert()
{
    if (Provider().CanModify())
        Provider().Insert();
}

void TkvDataControllerEditing::Edit()
{
    if (!Provider().CanModify())
        return;
    // On the new-item row an edit begins a new entry.
    if (FController.NewItemRowFocused())
        Provider().Append();
    else
        Provider().Edit();
}

void TkvDataControllerEditing::Post()
{
    if (Provider().CanModify() && EditState().Contains(desEditing))
        Provider().Post();
}

void TkvDataControllerEditing::Cancel()
{
    if (Provider().CanModify() && EditState().Contains(desEditing))
        Provider().Cancel();
}

void TkvDataControllerEditing::DeleteFocused()
{
    if (!EditOperations().Contains(deoDelete) || FController.FocusedRowIndex() < 0)
        return;
    const TkvRowInfo row = FController.GetRowInfo(FController.FocusedRowIndex());
    if (!row.IsGroupRow) {
        Provider().DeleteRecord(row.RecordIndex);
        return;
    }
    // Every record of the group, visible or collapsed.
    std::vector<int> records;
    if (TkvDataControllerGroups *groups = DataGroupsOf(FController))
        records = groups->GetRecordList(groups->GroupIndexByRowIndex(FController.FocusedRowIndex()));
    if (records.empty())
        records.push_back(row.RecordIndex);
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    Provider().DeleteRecords(records);
}

void TkvDataControllerEditing::DeleteSelection()
{
    if (FController.Selection().Count() == 0 || !EditOperations().Contains(deoDelete))
        return;
    if (!FController.MultiSelect()) {
        DeleteFocused();
        return;
    }
    Provider().DeleteRecords(FController.Selection().RecordIndexes());
}

void TkvDataControllerEditing::UpdateData()
{
    Provider().UpdateData();
}

Variant TkvDataControllerEditing::ReadEditValue(int itemIndex, TkvDataEditValueSource source)
{
    TkvCustomDataField *field = FController.GetItemField(itemIndex);
    // The new-item row shows nothing until an entry is begun there.
    if (FController.NewItemRowFocused() && !IsEditingNewItem())
        return source == TkvDataEditValueSource::evsText ? Variant(QString()) : Variant::null();
    return Provider().ReadEditValue(field, source);
}

bool TkvDataControllerEditing::WriteEditValue(int itemIndex, const Variant &value,
                                              TkvDataEditValueSource source)
{
    TkvCustomDataField *field = FController.GetItemField(itemIndex);
    if (!Provider().CanModify() || !Provider().CanModifyField(field))
        return false;
    if (!EditState().Contains(desEditing) || (FController.NewItemRowFocused() && !IsEditingNewItem()))
        Edit();
    return Provider().WriteEditValue(field, source, value);
}

} // namespace kestrum

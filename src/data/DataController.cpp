#include "data/DataController.h"

#include <algorithm>

namespace kestrum {

TkvCustomDataController::TkvCustomDataController(IkvDataControllerOwner *owner) : FOwner(owner)
{
    FStorage = std::make_unique<TkvDataStorage>();
    FFields = std::make_unique<TkvCustomDataFieldList>(FStorage.get());
    FProvider = std::make_unique<TkvCustomDataProvider>(*this);
    FInfo = std::make_unique<TkvCustomDataControllerInfo>(*this);
    FHooks = CreateDataControllerHooks(*this);
    FStorage->OnClearInternalRecords = [this] { FEditing.ForgetNewItemRecord(); };
}

TkvCustomDataController::~TkvCustomDataController()
{
    // The criteria goes first: it reads fields and storage while it is destroyed.
    FFilters.ReleaseCriteria();
    FRelations.reset();
    FHooks.Summary.reset();
    FHooks.Grouping.reset();
    FHooks.Sorting.reset();
    FStorage->OnClearInternalRecords = nullptr;
    FStorage->ClearRecords(false);
    FFields->Clear();
    FInfo.reset();
    FProvider.reset();
    FFields.reset();
    FStorage.reset();
}

void TkvCustomDataController::SetProvider(std::unique_ptr<TkvCustomDataProvider> provider)
{
    FProvider = std::move(provider);
}

void TkvCustomDataController::FilterChanged()
{
    FInfo->FilterChanged();
    BeginBatch();
    InfoChanged(dcicLoad | dcicSummary | dcicSorting | dcicGrouping);
    Change(chgData);
    EndBatch();
}

void TkvCustomDataController::SetOptions(TkvDataControllerOptions options)
{
    if (FOptions == options)
        return;
    FOptions = options;
    InfoChanged(dcicSorting | dcicGrouping);
}

// ---------------------------------------------------------------------------
// Update brackets and changes

void TkvCustomDataController::BeginBatch()
{
    FInfo->BeginUpdate();
}

void TkvCustomDataController::EndBatch()
{
    FInfo->EndUpdate();
    CheckChange();
}

void TkvCustomDataController::CheckChange()
{
    if (IsLocked())
        return;
    FNotifier.Deliver();
    // The rows went out whole; a filter that could not be evaluated says so now.
    if (std::exception_ptr error = FInfo->TakeFilterError())
        std::rethrow_exception(error);
}

void TkvCustomDataController::Change(TkvDataControllerChanges changes)
{
    FNotifier.Add(changes);
    CheckChange();
}

void TkvCustomDataController::InfoChanged(TkvDataControllerInfoChanges changes)
{
    FInfo->Change(changes);
    CheckChange();
}

void TkvCustomDataController::RowsUpdated(TkvDataControllerInfoChanges changes)
{
    FNotifier.Add(TkvDataControllerNotifier::ChangesOfRowUpdate(changes));
    CheckChange();
}

void TkvCustomDataController::DataChanged(TkvDataChangeKind kind, int itemIndex, int recordIndex)
{
    FNotifier.NoteDataChange(kind, itemIndex, recordIndex);
    if (kind == dckRecordAdded || kind == dckRecordDeleted)
        FInfo->RecordIndexesMoved(kind, recordIndex);
    // A change of one record moves that record alone in the rows; anything
    // else rebuilds, filters and sorts the whole record list.
    const bool oneRecord =
        kind != dckAll && !FProvider->IsGridMode() && FInfo->RecordChanged(kind, recordIndex);
    TkvDataControllerInfoChanges changes = dcicRecord;
    if (!oneRecord) {
        changes = dcicLoad | dcicSummary;
        if (FHooks.Sorting && FHooks.Sorting->HasSorting())
            changes |= dcicSorting;
        if (FHooks.Grouping && FHooks.Grouping->LevelCount() > 0)
            changes |= dcicGrouping;
    }
    BeginBatch();
    try {
        if (kind == dckAll) {
            if (FProvider->HasFields())
                BeforeReload();
            if (!FProvider->IsLoading())
                FProvider->LoadRecords();
        } else if (kind == dckRecordAdded || kind == dckRecordDeleted) {
            changes |= dcicFocusedRecord;
        }
        FNotifier.Add(chgData);
        FInfo->Change(changes);
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
}

void TkvCustomDataController::LayoutChanged()
{
    BeginBatch();
    UpdateFields();
    Change(chgLayout);
    EndBatch();
}

void TkvCustomDataController::Restructure()
{
    BeginBatch();
    FProvider->ResetEditing();
    FStorage->ClearRecords(false);
    FInfo->ResetRecords();
    if (FRelations)
        FRelations->CollapseDetails();
    FStructuredGridMode = FProvider->IsGridMode();
    const bool fromSource = FStructuredGridMode || FProvider->IsCustomSource();
    FStorage->SetStoredValuesOnly(fromSource);
    // Records then stand for rows of the source: each keeps its row number.
    if (fromSource && !FRecordNumberField) {
        FRecordNumberField = AddInternalField(TkvIntegerValueType::Instance());
    } else if (!fromSource && FRecordNumberField) {
        TkvCustomDataField *field = FRecordNumberField;
        FRecordNumberField = nullptr;
        FFields->Remove(field);
    }
    Change(chgLayout | chgBookmark);
    InfoChanged(dcicLoad | dcicFocusedRecord);
    EndBatch();
}

// ---------------------------------------------------------------------------
// Fields and items

std::unique_ptr<TkvCustomDataField> TkvCustomDataController::CreateField(TkvDataItem item, bool isInternal)
{
    return std::make_unique<TkvCustomDataField>(FFields.get(), item, isInternal);
}

TkvCustomDataField *TkvCustomDataController::AttachItem(TkvDataItem item)
{
    if (FFields->FieldByItem(item))
        throw EkvInvalidDataControllerOperation(SItemExistsError);
    BeginBatch();
    TkvCustomDataField *field = FFields->Add(CreateField(item, false));
    Change(chgLayout);
    EndBatch();
    return field;
}

void TkvCustomDataController::DetachItem(TkvDataItem item)
{
    if (TkvCustomDataField *field = FFields->FieldByItem(item))
        RemoveField(field);
}

void TkvCustomDataController::RemoveField(TkvCustomDataField *field)
{
    BeginBatch();
    try {
        if (FHooks.Sorting)
            FHooks.Sorting->RemoveField(field);
        if (FHooks.Grouping)
            FHooks.Grouping->RemoveField(field);
        if (FHooks.Summary)
            FHooks.Summary->ForgetField(field);
        FSearch.FieldRemoving(field);
        FFilters.FieldRemoving(field);
        FFields->Remove(field);
        Change(chgLayout);
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
}

void TkvCustomDataController::UpdateItemIndexes(const std::vector<TkvDataItem> &items)
{
    FFields->ReorderItems(items);
    Change(chgLayout);
}

TkvCustomDataField *TkvCustomDataController::GetItemField(int itemIndex) const
{
    if (itemIndex < 0 || itemIndex >= ItemCount())
        throw EkvInvalidDataControllerOperation(SItemIndexError);
    return FFields->ItemFields(itemIndex);
}

int TkvCustomDataController::GetItemIndex(TkvDataItem item) const
{
    const TkvCustomDataField *field = FFields->FieldByItem(item);
    return field ? field->ItemIndex() : -1;
}

TkvValueTypeClass TkvCustomDataController::GetItemValueTypeClass(int itemIndex) const
{
    return GetItemField(itemIndex)->ValueTypeClass();
}

void TkvCustomDataController::ChangeValueTypeClass(int itemIndex, TkvValueTypeClass valueTypeClass)
{
    TkvCustomDataField *field = GetItemField(itemIndex);
    if (field->ValueTypeClass() == valueTypeClass)
        return;
    field->SetValueTypeClass(valueTypeClass);
    if (FOwner)
        FOwner->ItemValueTypeChanged(itemIndex);
    if (FProvider->IsCustomSource())
        Restructure();
}

bool TkvCustomDataController::GetItemTextStored(int itemIndex) const
{
    return GetItemField(itemIndex)->TextStored();
}

void TkvCustomDataController::ChangeTextStorage(int itemIndex, bool stored)
{
    GetItemField(itemIndex)->SetTextStored(stored);
}

void TkvCustomDataController::ChangeCompareByValue(int itemIndex, bool value)
{
    TkvCustomDataField *field = GetItemField(itemIndex);
    if (field->CompareByValue() == value)
        return;
    field->SetCompareByValue(value);
    ItemComparisonModeChanged(itemIndex);
}

void TkvCustomDataController::ItemComparisonModeChanged(int itemIndex)
{
    TkvCustomDataField *field = GetItemField(itemIndex);
    BeginBatch();
    try {
        FInfo->Change(dcicView);
        if (FHooks.Sorting)
            FHooks.Sorting->ComparisonModeChanged(field);
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
}

void TkvCustomDataController::UpdateFields()
{
    FProvider->UpdateFields();
}

TkvCustomDataField *TkvCustomDataController::AddInternalField(TkvValueTypeClass valueTypeClass)
{
    TkvCustomDataField *field = FFields->Add(CreateField(nullptr, true));
    field->SetValueTypeClass(valueTypeClass);
    return field;
}

// ---------------------------------------------------------------------------
// Values

void TkvCustomDataController::CheckRecordIndex(int recordIndex) const
{
    if ((recordIndex < 0 || recordIndex >= RecordCount()) && !FEditing.IsNewItemRecord(recordIndex))
        throw EkvInvalidDataControllerOperation(SRecordIndexError);
}

void TkvCustomDataController::ClearRecordValues(int recordIndex)
{
    for (int i = 0; i < ItemCount(); ++i) {
        const TkvValueDef *def = GetItemField(i)->ValueDef();
        if (!def)
            continue;
        FStorage->SetValue(recordIndex, def, Variant::null());
        if (def->TextStored())
            FStorage->SetDisplayText(recordIndex, def, QString());
    }
}

Variant TkvCustomDataController::GetFieldValue(int recordIndex, const TkvCustomDataField *field) const
{
    const TkvValueDef *def = field->ValueDef();
    if (!def)
        return Variant::null();
    if (recordIndex >= 0 && def->BufferSize() == 0 && FStorage->StoredValuesOnly())
        return FProvider->GetValue(recordIndex, field); // not held in memory
    if (recordIndex < 0 && -recordIndex > FStorage->InternalRecordCount())
        return Variant::null();
    return FStorage->GetValue(recordIndex, def);
}

QString TkvCustomDataController::GetFieldDisplayText(int recordIndex, const TkvCustomDataField *field) const
{
    const TkvValueDef *def = field->ValueDef();
    if (!def)
        return QString();
    if (recordIndex >= 0 && def->BufferSize() == 0 && FStorage->StoredValuesOnly())
        return FProvider->GetDisplayText(recordIndex, field);
    if (recordIndex < 0 && -recordIndex > FStorage->InternalRecordCount())
        return QString();
    return FStorage->GetDisplayText(recordIndex, def);
}

Variant TkvCustomDataController::GetValue(int recordIndex, int itemIndex) const
{
    const TkvCustomDataField *field = GetItemField(itemIndex);
    return GetFieldValue(recordIndex, field);
}

QString TkvCustomDataController::GetDisplayText(int recordIndex, int itemIndex) const
{
    const TkvCustomDataField *field = GetItemField(itemIndex);
    return GetFieldDisplayText(recordIndex, field);
}

void TkvCustomDataController::SetValue(int recordIndex, int itemIndex, const Variant &value)
{
    const TkvCustomDataField *field = GetItemField(itemIndex);
    if (FProvider->IsGridMode())
        return;
    if (const TkvValueDef *def = field->ValueDef())
        FStorage->SetValue(recordIndex, def, value);
    DataChanged(dckValue, itemIndex, recordIndex);
}

void TkvCustomDataController::SetDisplayText(int recordIndex, int itemIndex, const QString &text)
{
    const TkvCustomDataField *field = GetItemField(itemIndex);
    if (FProvider->IsGridMode())
        return;
    if (const TkvValueDef *def = field->ValueDef())
        FStorage->SetDisplayText(recordIndex, def, text);
    DataChanged(dckValue, itemIndex, recordIndex);
}

// ---------------------------------------------------------------------------
// Rows and focus

TkvRowInfo TkvCustomDataController::GetRowInfo(int rowIndex) const
{
    if (rowIndex < 0 || rowIndex >= RowCount())
        throw EkvInvalidDataControllerOperation(SRowIndexError);
    return FInfo->GetRowInfo(rowIndex);
}

int TkvCustomDataController::GetRowIndexByRecordIndex(int recordIndex, bool makeVisible)
{
    return FInfo->GetRowIndexByRecordIndex(recordIndex, makeVisible);
}

bool TkvCustomDataController::IsFocusFollowingSource() const
{
    return FProvider->IsSyncMode() && FProvider->IsActive();
}

int TkvCustomDataController::RecordIndexForFocus(int rowIndex) const
{
    if (rowIndex < 0 || rowIndex >= RowCount())
        return -1;
    return FInfo->GetRowInfo(rowIndex).RecordIndex;
}

bool TkvCustomDataController::CanFocusRecord(int recordIndex)
{
    if (!IsFocusFollowingSource() || FProvider->IsSyncing())
        return true;
    return FProvider->ChangeFocusedRecord(recordIndex);
}

// ---------------------------------------------------------------------------
// Relations

TkvDataRelationList &TkvCustomDataController::Relations()
{
    if (!FRelations) {
        FRelations = std::make_unique<TkvDataRelationList>(*this);
        FRelations->OnChanged = [this] { Change(chgDetail); };
    }
    return *FRelations;
}

void TkvCustomDataController::ChangeDetailExpanding(int recordIndex, bool expanded)
{
    CheckRecordIndex(recordIndex);
    Relations().ChangeDetailExpanding(recordIndex, expanded);
}

// ---------------------------------------------------------------------------
// Selection

void TkvCustomDataController::ChangeRowSelection(int rowIndex, bool selected)
{
    const TkvRowInfo row = GetRowInfo(rowIndex);
    BeginBatch();
    if (selected) {
        if (!FMultiSelect)
            Selection().Clear();
        Selection().Add({rowIndex, row.RecordIndex, row.Level, row.IsGroupRow});
    } else {
        Selection().RemoveRow(rowIndex);
    }
    EndBatch();
}

void TkvCustomDataController::ClearSelection()
{
    BeginBatch();
    Selection().Clear();
    EndBatch();
}

} // namespace kestrum

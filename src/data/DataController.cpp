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
    FStorage->OnClearInternalRecords = [this] { FNewItemRecordIndex = 0; };
}

TkvCustomDataController::~TkvCustomDataController()
{
    // The criteria goes first: it reads fields and storage while it is destroyed.
    FFilter = nullptr;
    FOwnedFilter.reset();
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

void TkvCustomDataController::SetFilter(IkvFilterCriteria *criteria)
{
    FFilter = criteria;
    if (FOwnedFilter && FOwnedFilter.get() != criteria)
        FOwnedFilter.reset();
    FilterChanged();
}

void TkvCustomDataController::AdoptFilter(std::unique_ptr<IkvFilterCriteria> criteria)
{
    IkvFilterCriteria *filter = criteria.get();
    std::unique_ptr<IkvFilterCriteria> old = std::move(FOwnedFilter);
    FOwnedFilter = std::move(criteria);
    FFilter = filter;
    old.reset();
    FilterChanged();
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
        if (FSearchItemIndex >= 0 && GetItemField(FSearchItemIndex) == field)
            CancelIncrementalSearch();
        if (FFindFilterItemIndex >= 0 && GetItemField(FFindFilterItemIndex) == field)
            ClearFindFilter();
        Filter().FieldRemoving(field);
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
    if ((recordIndex < 0 || recordIndex >= RecordCount()) &&
        (recordIndex >= 0 || recordIndex != FNewItemRecordIndex))
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
// Records

void TkvCustomDataController::SetRecordCount(int count)
{
    if (FProvider->IsGridMode())
        return;
    count = std::max(count, 0);
    const int oldCount = RecordCount();
    if (count == oldCount)
        return;
    BeginBatch();
    FStorage->SetRecordCount(count);
    Selection().DropRecordsFrom(count);
    if (FRelations)
        FRelations->DropRecordsFrom(count);
    DataChanged(count > oldCount ? dckRecordAdded : dckRecordDeleted, -1, -1);
    EndBatch();
}

int TkvCustomDataController::AppendRecord()
{
    const int recordIndex = FStorage->AppendRecord();
    DataChanged(dckRecordAdded, -1, recordIndex);
    return recordIndex;
}

int TkvCustomDataController::InsertRecord(int recordIndex)
{
    if (recordIndex < 0 || recordIndex > RecordCount())
        throw EkvInvalidDataControllerOperation(SRecordIndexError);
    FStorage->InsertRecord(recordIndex);
    FInfo->RecordIndexesShifted(recordIndex, 1);
    if (FRelations)
        FRelations->RecordIndexesShifted(recordIndex, 1);
    DataChanged(dckRecordAdded, -1, recordIndex);
    return recordIndex;
}

void TkvCustomDataController::DeleteRecord(int recordIndex)
{
    CheckRecordIndex(recordIndex);
    BeginBatch();
    // Its values leave the summaries: as counted when it is the one noted
    // (edited values may stand in the storage), else as stored.
    if (FHooks.Summary && recordIndex >= 0)
        FHooks.Summary->NoteRecord(recordIndex, true);
    FStorage->DeleteRecord(recordIndex);
    FInfo->RecordIndexesShifted(recordIndex, -1);
    if (FRelations && recordIndex >= 0)
        FRelations->RecordIndexesShifted(recordIndex, -1);
    // Selection entries name records by index: later records moved down by one.
    std::vector<TkvDataSelectionEntry> kept;
    for (int i = 0; i < Selection().Count(); ++i) {
        TkvDataSelectionEntry entry = Selection().Items(i);
        if (!entry.IsGroupRow && entry.RecordIndex == recordIndex)
            continue;
        if (entry.RecordIndex > recordIndex)
            --entry.RecordIndex;
        kept.push_back(entry);
    }
    if (int(kept.size()) != Selection().Count()) {
        Selection().Clear();
        for (const auto &entry : kept)
            Selection().Add(entry);
    }
    DataChanged(dckRecordDeleted, -1, recordIndex);
    EndBatch();
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

bool TkvCustomDataController::ChangeFocusedRowIndex(int rowIndex)
{
    BeginBatch();
    bool result = false;
    try {
        if (NewItemRowFocused() && std::clamp(rowIndex, -1, RowCount() - 1) >= 0) {
            // Leaving the new-item row ends its entry first; a posted entry
            // joins the rows, so the row asked for is found again by its record.
            const TkvRowInfo target = GetRowInfo(std::clamp(rowIndex, 0, RowCount() - 1));
            const int rowCount = RowCount();
            FinishEditing();
            if (RowCount() != rowCount) {
                const int found = FInfo->RowIndexOfRecordAtLevel(
                    target.RecordIndex, target.IsGroupRow ? target.Level : -1, false);
                if (found >= 0)
                    rowIndex = found;
            }
            FInfo->SetNewItemRowFocused(false);
        }
        result = FInfo->ChangeFocusedRowIndex(rowIndex);
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
    return result;
}

bool TkvCustomDataController::ChangeFocusedRecordIndex(int recordIndex)
{
    const int rowIndex = recordIndex < 0 ? -1 : GetRowIndexByRecordIndex(recordIndex, true);
    if (recordIndex >= 0 && rowIndex < 0)
        return false;
    return ChangeFocusedRowIndex(rowIndex);
}

void TkvCustomDataController::GotoFirst()
{
    if (FProvider->IsGridMode())
        FProvider->MoveFirst();
    else
        ChangeFocusedRowIndex(0);
}

void TkvCustomDataController::GotoLast()
{
    if (FProvider->IsGridMode())
        FProvider->MoveLast();
    else
        ChangeFocusedRowIndex(RowCount() - 1);
}

void TkvCustomDataController::GotoNext()
{
    ShiftCursor(1);
}

void TkvCustomDataController::GotoPrev()
{
    ShiftCursor(-1);
}

void TkvCustomDataController::ShiftCursor(int distance)
{
    if (FProvider->IsGridMode()) {
        FProvider->MoveBy(distance);
        return;
    }
    if (RowCount() == 0)
        return;
    // From no row, moving starts at the first row.
    const int from = std::max(FocusedRowIndex(), 0);
    ChangeFocusedRowIndex(std::max(from + (FocusedRowIndex() < 0 ? 0 : distance), 0));
}

bool TkvCustomDataController::IsBOF() const
{
    if (FProvider->IsGridMode())
        return FProvider->IsBOF();
    return FocusedRowIndex() <= 0;
}

bool TkvCustomDataController::IsEOF() const
{
    if (FProvider->IsGridMode())
        return FProvider->IsEOF();
    return FocusedRowIndex() < 0 || FocusedRowIndex() >= RowCount() - 1;
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

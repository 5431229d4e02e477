// Update brackets, the merging of data changes and the delivery of change
// notifications in their fixed order.
#include "data/DataController.h"

#include <algorithm>

namespace kestrum {

namespace {

// Strength of a data change kind when two changes of one record merge: a
// merged change never says less than the pending one did.
int KindRank(TkvDataChangeKind kind)
{
    switch (kind) {
    case dckValue:
        return 0;
    case dckRecord:
        return 1;
    case dckRecordAdded:
    case dckRecordDeleted:
        return 2;
    case dckAll:
        return 3;
    }
    return 3;
}

} // namespace

// ---------------------------------------------------------------------------
// Update brackets and notification

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
    DeliverChanges();
    // The rows went out whole; a filter that could not be evaluated says so now.
    if (std::exception_ptr error = FInfo->TakeFilterError())
        std::rethrow_exception(error);
}

void TkvCustomDataController::Change(TkvDataControllerChanges changes)
{
    FChanges |= changes;
    CheckChange();
}

void TkvCustomDataController::InfoChanged(TkvDataControllerInfoChanges changes)
{
    FInfo->Change(changes);
    CheckChange();
}

int TkvCustomDataController::AddDataChangedListener(std::function<void()> listener)
{
    FListeners.emplace_back(FNextListenerId, std::move(listener));
    return FNextListenerId++;
}

void TkvCustomDataController::RemoveDataChangedListener(int id)
{
    std::erase_if(FListeners, [id](const auto &entry) { return entry.first == id; });
}

void TkvCustomDataController::DataChanged(TkvDataChangeKind kind, int itemIndex, int recordIndex)
{
    if (FDataChangePending) {
        if (FPendingKind == dckAll) {
            // A pending reload already covers every later change.
        } else if (FPendingRecordIndex != -1 && recordIndex != FPendingRecordIndex) {
            FPendingKind = dckAll;
        } else if (kind != dckValue || FPendingItemIndex == -1 || FPendingItemIndex == itemIndex) {
            if (KindRank(kind) >= KindRank(FPendingKind))
                FPendingKind = kind;
        } else {
            FPendingKind = std::max(FPendingKind, dckRecord, [](TkvDataChangeKind a, TkvDataChangeKind b) {
                return KindRank(a) < KindRank(b);
            });
            itemIndex = -1;
        }
        FPendingItemIndex = itemIndex;
        FPendingRecordIndex = recordIndex;
    } else {
        FPendingKind = kind;
        FPendingItemIndex = itemIndex;
        FPendingRecordIndex = recordIndex;
        FDataChangePending = true;
    }

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
        FChanges |= chgData;
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

void TkvCustomDataController::RowsUpdated(TkvDataControllerInfoChanges changes)
{
    TkvDataControllerChanges result = 0;
    if (changes & (dcicSorting | dcicView))
        result |= chgLayout;
    if (changes & (dcicLoad | dcicGrouping | dcicExpanding | dcicRecord))
        result |= chgData;
    if (changes & (dcicFocusedRow | dcicResetFocusedRow | dcicFocusedRecord))
        result |= chgFocus;
    if (changes & dcicSelection)
        result |= chgSelection;
    if (changes & dcicSummary)
        result |= chgSummary;
    if (changes & dcicSortingOrder)
        result |= chgSorting;
    if (changes & dcicGroupingOrder)
        result |= chgGrouping;
    FChanges |= result;
    CheckChange();
}

void TkvCustomDataController::OwnerLoaded()
{
    if (!FEventsDeferred)
        return;
    FEventsDeferred = false;
    if (OnDataChanged)
        OnDataChanged(this);
    for (const auto &listener : std::vector(FListeners))
        listener.second();
}

void TkvCustomDataController::DeliverChanges()
{
    if (FDelivering || IsLocked())
        return;
    FDelivering = true;
    try {
        // A handler may cause further changes; they go out in a further round.
        for (int round = 0; FChanges != 0 && round < 8; ++round) {
            const TkvDataControllerChanges changes = FChanges;
            FChanges = 0;
            auto send = [this](const TkvUpdateControlInfo &info) {
                if (FUpdateControlHandler)
                    FUpdateControlHandler(info);
            };
            if (changes & chgData) {
                TkvDataChangeKind kind = FPendingKind;
                const int itemIndex = FPendingItemIndex;
                const int recordIndex = FPendingRecordIndex;
                if (kind == dckValue && itemIndex == -1)
                    kind = dckRecord;
                if ((kind == dckValue || kind == dckRecord) && recordIndex == -1)
                    kind = dckAll;
                FPendingKind = dckAll;
                FPendingItemIndex = -1;
                FPendingRecordIndex = -1;
                FDataChangePending = false;
                send(TkvDataChangedInfo(kind, itemIndex, recordIndex));
                if (IsOwnerLoading()) {
                    FEventsDeferred = true;
                } else {
                    if (OnRecordChanged && (kind == dckValue || kind == dckRecord) && recordIndex != -1)
                        OnRecordChanged(this, recordIndex, itemIndex);
                    if (OnDataChanged)
                        OnDataChanged(this);
                    if (!(FProvider->IsGridMode() && FProvider->IsLocked()))
                        for (const auto &listener : std::vector(FListeners))
                            listener.second();
                }
            } else if (changes & (chgLayout | chgDetail | chgSummary)) {
                send(TkvLayoutChangedInfo());
            } else if (changes & chgUpdateRecord) {
                send(TkvUpdateRecordInfo(FocusedRecordIndex()));
            }
            if (changes & chgFocus) {
                const TkvDataFocusingInfo &now = FInfo->FocusingInfo();
                const TkvDataFocusingInfo before = FInfo->PrevFocusingInfo();
                if (now.RowIndex != before.RowIndex)
                    send(TkvFocusedRowChangedInfo(before.RowIndex, now.RowIndex));
                // Told whenever a record is or was focused, also when only its row
                // moved (a sort): the view scrolls to it and repaints both rows.
                if (before.RecordIndex >= 0 || now.RecordIndex >= 0 || before.Changed ||
                    before.NewItemRowFocused != now.NewItemRowFocused) {
                    send(TkvFocusedRecordChangedInfo(before.RecordIndex, now.RecordIndex, before.RowIndex,
                                                     now.RowIndex,
                                                     before.NewItemRowFocused != now.NewItemRowFocused));
                    SearchFocusedRecordChanged();
                }
                FInfo->FocusDelivered();
            }
            if (changes & chgSelection) {
                const int selected = Selection().Count() == 1 ? Selection().Items(0).RowIndex : -1;
                const int previous = FDeliveredSelectedRow;
                FDeliveredSelectedRow = selected;
                send(TkvSelectionChangedInfo(previous, selected));
            }
            if (changes & chgSearch)
                send(TkvSearchChangedInfo());
            if (changes & chgBookmark)
                send(TkvBookmarkChangedInfo());
            if ((changes & chgGrouping) && !IsOwnerLoading() && OnGroupingChanged)
                OnGroupingChanged(this);
            if ((changes & chgSorting) && !IsOwnerLoading() && OnSortingChanged && !FInSortingChanged) {
                FInSortingChanged = true;
                try {
                    OnSortingChanged(this);
                } catch (...) {
                    FInSortingChanged = false;
                    throw;
                }
                FInSortingChanged = false;
            }
        }
    } catch (...) {
        FDelivering = false;
        throw;
    }
    FDelivering = false;
}

} // namespace kestrum

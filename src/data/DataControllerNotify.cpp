#include "data/DataControllerNotify.h"

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

void TkvDataControllerNotifier::NoteDataChange(TkvDataChangeKind kind, int itemIndex, int recordIndex)
{
    if (!FPendingData) {
        FPendingData = TPendingDataChange{kind, itemIndex, recordIndex};
        return;
    }
    TPendingDataChange &pending = *FPendingData;
    if (pending.Kind == dckAll) {
        // A pending reload already covers every later change.
    } else if (pending.RecordIndex != -1 && recordIndex != pending.RecordIndex) {
        pending.Kind = dckAll;
    } else if (kind != dckValue || pending.ItemIndex == -1 || pending.ItemIndex == itemIndex) {
        if (KindRank(kind) >= KindRank(pending.Kind))
            pending.Kind = kind;
    } else {
        pending.Kind = std::max(pending.Kind, dckRecord, [](TkvDataChangeKind a, TkvDataChangeKind b) {
            return KindRank(a) < KindRank(b);
        });
        itemIndex = -1;
    }
    // The delivered change names the item and record of the latest change.
    pending.ItemIndex = itemIndex;
    pending.RecordIndex = recordIndex;
}

TkvDataControllerChanges TkvDataControllerNotifier::ChangesOfRowUpdate(TkvDataControllerInfoChanges changes)
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
    return result;
}

int TkvDataControllerNotifier::AddDataChangedListener(std::function<void()> listener)
{
    FListeners.emplace_back(FNextListenerId, std::move(listener));
    return FNextListenerId++;
}

void TkvDataControllerNotifier::RemoveDataChangedListener(int id)
{
    std::erase_if(FListeners, [id](const auto &entry) { return entry.first == id; });
}

void TkvDataControllerNotifier::Send(const TkvUpdateControlInfo &info) const
{
    if (FUpdateControlHandler)
        FUpdateControlHandler(info);
}

void TkvDataControllerNotifier::NotifyListeners() const
{
    // A copy: a listener may add or remove listeners.
    for (const auto &listener : std::vector(FListeners))
        listener.second();
}

void TkvDataControllerNotifier::OwnerLoaded()
{
    if (!FOwnerEventsOwed)
        return;
    FOwnerEventsOwed = false;
    if (FController.OnDataChanged)
        FController.OnDataChanged(&FController);
    NotifyListeners();
}

void TkvDataControllerNotifier::Deliver()
{
    if (FState != State::Idle || FController.IsLocked())
        return;
    TStateScope delivering(*this, State::Delivering);
    // A handler may cause further changes; they go out in a further round.
    for (int round = 0; FChanges != 0 && round < 8; ++round) {
        const TkvDataControllerChanges changes = FChanges;
        FChanges = 0;
        if (changes & chgData)
            DeliverDataChange();
        else if (changes & (chgLayout | chgDetail | chgSummary))
            Send(TkvLayoutChangedInfo());
        else if (changes & chgUpdateRecord)
            Send(TkvUpdateRecordInfo(FController.FocusedRecordIndex()));
        if (changes & chgFocus)
            DeliverFocusChange();
        if (changes & chgSelection)
            DeliverSelectionChange();
        if (changes & chgSearch)
            Send(TkvSearchChangedInfo());
        if (changes & chgBookmark)
            Send(TkvBookmarkChangedInfo());
        if ((changes & chgGrouping) && !FController.IsOwnerLoading() && FController.OnGroupingChanged)
            FController.OnGroupingChanged(&FController);
        if ((changes & chgSorting) && !FController.IsOwnerLoading() && FController.OnSortingChanged) {
            TStateScope notifying(*this, State::NotifyingSorting);
            FController.OnSortingChanged(&FController);
        }
    }
}

void TkvDataControllerNotifier::DeliverDataChange()
{
    const TPendingDataChange pending = FPendingData.value_or(TPendingDataChange{});
    FPendingData.reset();
    TkvDataChangeKind kind = pending.Kind;
    if (kind == dckValue && pending.ItemIndex == -1)
        kind = dckRecord;
    if ((kind == dckValue || kind == dckRecord) && pending.RecordIndex == -1)
        kind = dckAll;
    Send(TkvDataChangedInfo(kind, pending.ItemIndex, pending.RecordIndex));
    if (FController.IsOwnerLoading()) {
        FOwnerEventsOwed = true;
        return;
    }
    if (FController.OnRecordChanged && (kind == dckValue || kind == dckRecord) && pending.RecordIndex != -1)
        FController.OnRecordChanged(&FController, pending.RecordIndex, pending.ItemIndex);
    if (FController.OnDataChanged)
        FController.OnDataChanged(&FController);
    const TkvCustomDataProvider &provider = FController.Provider();
    if (!(provider.IsGridMode() && provider.IsLocked()))
        NotifyListeners();
}

void TkvDataControllerNotifier::DeliverFocusChange()
{
    TkvCustomDataControllerInfo &info = FController.Info();
    const TkvDataFocusingInfo &now = info.FocusingInfo();
    const TkvDataFocusingInfo before = info.PrevFocusingInfo();
    if (now.RowIndex != before.RowIndex)
        Send(TkvFocusedRowChangedInfo(before.RowIndex, now.RowIndex));
    // Told whenever a record is or was focused, also when only its row moved
    // (a sort): the view scrolls to it and repaints both rows. Read after the
    // row notice: its handler may have moved the focus again.
    const bool newItemRowMoved = before.NewItemRowFocused != now.NewItemRowFocused;
    if (before.RecordIndex >= 0 || now.RecordIndex >= 0 || before.Changed || newItemRowMoved) {
        Send(TkvFocusedRecordChangedInfo(before.RecordIndex, now.RecordIndex, before.RowIndex, now.RowIndex,
                                         newItemRowMoved));
        // The focus moved away from the match: the incremental search ends.
        if (FController.IncrementalSearch().EndQuietly())
            FChanges |= chgSearch;
    }
    info.FocusDelivered();
}

void TkvDataControllerNotifier::DeliverSelectionChange()
{
    const TkvDataSelection &selection = FController.Selection();
    const int selected = selection.Count() == 1 ? selection.Items(0).RowIndex : -1;
    const int previous = std::exchange(FDeliveredSelectedRow, selected);
    Send(TkvSelectionChangedInfo(previous, selected));
}

} // namespace kestrum

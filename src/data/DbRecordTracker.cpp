#include "data/DbRecordTracker.h"

#include "data/DbDataController.h"

namespace kestrum {

void TkvDbRecordTracker::SetEditingRecord(int recordIndex, Entry entry)
{
    FEditingRecordIndex = recordIndex;
    FEditingEntry = entry;
}

void TkvDbRecordTracker::SetRefreshRecord(int recordIndex, Entry entry)
{
    FRefreshRecordIndex = recordIndex;
    FRefreshEntry = entry;
}

void TkvDbRecordTracker::EditingStarts(TkvDBDataController &controller)
{
    FEditingRecordIndex = controller.FocusedRecordIndex();
    SetRefreshRecord(FEditingRecordIndex, Entry::Edit);
    controller.Change(chgUpdateRecord);
}

void TkvDbRecordTracker::EditingEnds(TkvDBDataController &controller)
{
    // Only the new-item record is edited as an internal record.
    const int newItemRecord = FEditingRecordIndex < -1 ? controller.NewItemRecordIndex() : 0;
    if (FEditingRecordIndex != -1 && FEditingRecordIndex == newItemRecord) {
        // The new-item row is empty again for the next entry.
        controller.ClearRecordValues(newItemRecord);
        FNewItemEnded = true;
    }
    FEditingRecordIndex = -1;
    FEditingEntry = Entry::Edit;
}

} // namespace kestrum

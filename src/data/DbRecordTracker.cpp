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
    // Only the new-item record is edited as an internal record (below -1);
    // a row's record, the first one included, never is.
    if (FEditingRecordIndex < -1 && FEditingRecordIndex == controller.NewItemRecordIndex()) {
        // The new-item row is empty again for the next entry.
        controller.ClearRecordValues(FEditingRecordIndex);
        FNewItemEnded = true;
    }
    FEditingRecordIndex = -1;
    FEditingEntry = Entry::Edit;
}

} // namespace kestrum

// Loading every row of the record set into the storage, and moving the
// record set to a record the controller focuses.
#include "data/DbDataController.h"
#include "data/DBDataProvider.h"

#include "db/DbErrors.h"
#include "db/DbQuery.h"

#include <algorithm>

namespace kestrum {

namespace {
//! Counts a lock up for the lifetime of the guard.
class TCounterGuard {
public:
    explicit TCounterGuard(int &counter) : FCounter(counter) { ++FCounter; }
    ~TCounterGuard() { --FCounter; }
    TCounterGuard(const TCounterGuard &) = delete;
    TCounterGuard &operator=(const TCounterGuard &) = delete;

private:
    int &FCounter;
};
} // namespace

bool TkvDBDataProvider::HasFields() const
{
    return IsActive() && DataSet()->FieldCount() > 0;
}

void TkvDBDataProvider::UpdateFields()
{
    DBDataController().BindFields();
}

void TkvDBDataProvider::LoadRecords()
{
    TkvDBDataController &controller = DBDataController();
    if (IsGridMode()) {
        LoadWindow();
        return;
    }
    if (FDataLink.BufferCount() != 1)
        FDataLink.SetBufferCount(1);
    FWindowFirstRecord = -1;
    TkvDataStorage &storage = controller.Storage();
    // With key fields, the selected rows and expanded details are found again
    // by key after the rows were read.
    TkvSaveObject saved(controller);
    saved.Save();
    storage.ClearRecords(false);
    FEditingRecordIndex = -1;
    FInternalEditRecord = 0;
    if (!IsActive() || DataSet()->ControlsDisabled()) {
        FCurrentRecordIndex = -1;
        return;
    }
    TDbQuery *dataSet = DataSet();
    ++FRowsVersion;
    FLoading = true;
    ++FLockCount;
    dataSet->DisableControls();
    try {
        const TDataSetState state = dataSet->State();
        if (state == dsEdit || state == dsInsert || state == dsSetKey)
            dataSet->Cancel(); // pending changes are dropped

        FSavedBookmark = dataSet->BookmarkAvailable() ? dataSet->GetBookmark() : TBookmark();
        FSavedActiveRecord = FDataLink.ActiveRecord();
        FSavedBof = dataSet->Bof();
        FSavedEof = dataSet->Eof();

        dataSet->First();
        bool rebind = false;
        for (int i = 0; i < controller.Fields().Count(); ++i)
            rebind =
                rebind || static_cast<TkvDBDataField *>(controller.Fields().Items(i))->IsFieldDestroyed();
        if (rebind)
            controller.BindFields();
        storage.CheckStructure();
        storage.ReserveRecords(dataSet->RecordCount());

        TkvValueDefDBReader reader(dataSet);
        FCurrentRecordIndex = -1;
        const bool findCurrent = !FSavedBookmark.IsNull();
        while (!dataSet->Eof()) {
            const int recordIndex = storage.AppendRecord();
            storage.ReadRecord(recordIndex, reader, true);
            if (findCurrent && FCurrentRecordIndex < 0 && dataSet->GetBookmark() == FSavedBookmark)
                FCurrentRecordIndex = recordIndex;
            dataSet->Next();
        }

        try {
            if (findCurrent && dataSet->BookmarkValid(FSavedBookmark)) {
                dataSet->GotoBookmark(FSavedBookmark);
                // The same row of the link's window as before: to the edge, then back.
                const int moved = dataSet->MoveBy(-FSavedActiveRecord);
                dataSet->MoveBy(-moved);
            } else {
                dataSet->First();
            }
            if (FSavedBof && !dataSet->Bof())
                dataSet->Prior();
            if (FSavedEof && !dataSet->Eof())
                dataSet->Next();
        } catch (const EDatabaseError &) {
            // The position is a convenience; the rows are loaded.
        }
        if (!dataSet->IsEmpty() && (FCurrentRecordIndex < 0 || FCurrentRecordIndex >= storage.RecordCount()))
            FCurrentRecordIndex = std::clamp(dataSet->RecNo() - 1, 0, storage.RecordCount() - 1);
        if (dataSet->IsEmpty())
            FCurrentRecordIndex = -1;
    } catch (...) {
        dataSet->EnableControls();
        --FLockCount;
        FLoading = false;
        throw;
    }
    dataSet->EnableControls();
    --FLockCount;
    FLoading = false;
    controller.Selection().DropRecordsFrom(storage.RecordCount());
    if (controller.HasRelations())
        controller.Relations().DropRecordsFrom(storage.RecordCount());
    FSavedBookmark = TBookmark();
    saved.Restore();
}

bool TkvDBDataProvider::ChangeFocusedRecord(int recordIndex)
{
    if (!IsActive() || FLoading)
        return true;
    TDbQuery *dataSet = DataSet();
    if (recordIndex < 0)
        return dataSet->IsEmpty(); // no row while rows exist is refused
    if (recordIndex == FCurrentRecordIndex)
        return true;
    const bool result = MoveToRecord(recordIndex);
    RefreshSkippedProviders();
    return result;
}

bool TkvDBDataProvider::MoveToRecord(int recordIndex)
{
    TDbQuery *dataSet = DataSet();
    TCounterGuard sync(FSyncLockCount);
    if (IsGridMode()) {
        // A row of the window: the record set moves to it.
        const int position = PositionOfRecord(recordIndex);
        const int current = dataSet->RecNo() - 1;
        if (position != current)
            dataSet->MoveBy(position - current);
        return true;
    }
    if (IsEditing()) {
        // Leaving the pending entry may move rows (a cancelled insert goes,
        // a saved entry that left the statement's rows goes with a re-run),
        // so the wanted row is held by bookmark, not by its index.
        int position = recordIndex;
        if (FInserting && FEditingRecordIndex >= 0) {
            if (recordIndex == FEditingRecordIndex)
                return true; // the entry being added is focused already
            if (recordIndex > FEditingRecordIndex)
                --position;
        }
        const TBookmark wanted = dataSet->BookmarkAt(position);
        const unsigned version = FRowsVersion;
        dataSet->CheckBrowseMode();
        if (version != FRowsVersion) {
            if (!wanted.IsNull() && dataSet->BookmarkValid(wanted))
                dataSet->GotoBookmark(wanted); // the scroll updates the current record index
            return true;
        }
    }
    TkvDBDataController &controller = DBDataController();
    if (controller.HasKeyFields() && recordIndex < controller.RecordCount()) {
        // Records are named by key: the record set finds the row itself.
        const Variant keys = controller.GetRecordKeyValues(recordIndex);
        const int position = dataSet->FindRowPosition(controller.KeyField()->SubFieldNames(), keys);
        if (position >= 0) {
            if (position != dataSet->RecNo() - 1)
                dataSet->Locate(controller.KeyField()->SubFieldNames(), keys);
            return true;
        }
    }
    const int distance = recordIndex - FCurrentRecordIndex;
    if (distance != 0 && FCurrentRecordIndex >= 0)
        dataSet->MoveBy(distance);
    else if (distance != 0)
        dataSet->SetRecNo(recordIndex + 1);
    return true;
}

void TkvDBDataProvider::ResetEditing()
{
    EditingEnds();
}

} // namespace kestrum

#include "data/DbRecordLoader.h"

#include "data/DbDataController.h"
#include "db/DbErrors.h"
#include "db/DbQuery.h"

#include <algorithm>

namespace kestrum {

void TkvDbRecordLoader::RebindDestroyedFields()
{
    bool rebind = false;
    for (int i = 0; i < FController.Fields().Count(); ++i)
        rebind = rebind || static_cast<TkvDBDataField *>(FController.Fields().Items(i))->IsFieldDestroyed();
    if (rebind)
        FController.BindFields();
}

void TkvDbRecordLoader::Load()
{
    if (FLink.BufferCount() != 1)
        FLink.SetBufferCount(1);
    TkvDataStorage &storage = FController.Storage();
    // With key fields, the selected rows and expanded details are found again
    // by key after the rows were read.
    TkvSaveObject saved(FController);
    saved.Save();
    storage.ClearRecords(false);
    FRecords.ForgetEditingRecord();
    TDbQuery *dataSet = FLink.DataSet();
    if (!dataSet || !FLink.Active() || dataSet->ControlsDisabled()) {
        FRecords.SetCurrentRecordIndex(-1);
        return;
    }
    FRecords.RowsMoved();
    {
        TkvDbProviderState::TScope loading(FState, TkvDbProviderState::State::Loading);
        dataSet->DisableControls();
        try {
            ReadRows();
        } catch (...) {
            dataSet->EnableControls();
            throw;
        }
        dataSet->EnableControls();
    }
    FController.Selection().DropRecordsFrom(storage.RecordCount());
    if (FController.HasRelations())
        FController.Relations().DropRecordsFrom(storage.RecordCount());
    saved.Restore();
}

void TkvDbRecordLoader::ReadRows()
{
    TDbQuery *dataSet = FLink.DataSet();
    TkvDataStorage &storage = FController.Storage();
    const TDataSetState state = dataSet->State();
    if (state == dsEdit || state == dsInsert || state == dsSetKey)
        dataSet->Cancel(); // pending changes are dropped

    const TBookmark savedBookmark = dataSet->BookmarkAvailable() ? dataSet->GetBookmark() : TBookmark();
    const int savedActiveRecord = FLink.ActiveRecord();
    const bool savedBof = dataSet->Bof();
    const bool savedEof = dataSet->Eof();

    dataSet->First();
    RebindDestroyedFields();
    storage.CheckStructure();
    storage.ReserveRecords(dataSet->RecordCount());

    TkvValueDefDBReader reader(dataSet);
    FRecords.SetCurrentRecordIndex(-1);
    const bool findCurrent = !savedBookmark.IsNull();
    while (!dataSet->Eof()) {
        const int recordIndex = storage.AppendRecord();
        storage.ReadRecord(recordIndex, reader, true);
        if (findCurrent && FRecords.CurrentRecordIndex() < 0 && dataSet->GetBookmark() == savedBookmark)
            FRecords.SetCurrentRecordIndex(recordIndex);
        dataSet->Next();
    }

    try {
        if (findCurrent && dataSet->BookmarkValid(savedBookmark)) {
            dataSet->GotoBookmark(savedBookmark);
            // The same row of the link's window as before: to the edge, then back.
            const int moved = dataSet->MoveBy(-savedActiveRecord);
            dataSet->MoveBy(-moved);
        } else {
            dataSet->First();
        }
        if (savedBof && !dataSet->Bof())
            dataSet->Prior();
        if (savedEof && !dataSet->Eof())
            dataSet->Next();
    } catch (const EDatabaseError &) {
        // The position is a convenience; the rows are loaded.
    }
    const int current = FRecords.CurrentRecordIndex();
    if (!dataSet->IsEmpty() && (current < 0 || current >= storage.RecordCount()))
        FRecords.SetCurrentRecordIndex(std::clamp(dataSet->RecNo() - 1, 0, storage.RecordCount() - 1));
    if (dataSet->IsEmpty())
        FRecords.SetCurrentRecordIndex(-1);
}

} // namespace kestrum

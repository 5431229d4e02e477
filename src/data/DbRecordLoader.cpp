#include "data/DbRecordLoader.h"

#include "data/DbDataController.h"
#include "db/DbDataSource.h"
#include "db/DbErrors.h"
#include "db/DbQuery.h"
#include "db/DbRowReader.h"

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

bool TkvDbRecordLoader::BeginRows(TDbQuery &query)
{
    FTakenFrom = nullptr;
    if (FLink.DataSet() != &query || !FLink.DataSource() || !FLink.DataSource()->Enabled() ||
        query.ControlsDisabled())
        return false;
    TkvDataStorage &storage = FController.Storage();
    FOpening = &query;
    try {
        FController.BindFields();
        storage.ClearRecords(false);
        FRecords.ForgetEditingRecord();
        FRecords.RowsMoved();
        storage.CheckStructure();
    } catch (...) {
        FOpening = nullptr;
        throw;
    }
    if (!FFiller.Plan(storage, query)) {
        FOpening = nullptr;
        return false;
    }
    return true;
}

void TkvDbRecordLoader::TakeRow(int position, const TDbRowReader &row)
{
    TkvDataStorage &storage = FController.Storage();
    (void)position; // rows come in order: the position is the next record
    FFiller.Fill(storage, storage.AppendRecord(), row);
}

void TkvDbRecordLoader::EndRows(TDbQuery &query, bool complete)
{
    FOpening = nullptr;
    if (complete) {
        FTakenFrom = &query;
    } else {
        FTakenFrom = nullptr;
        FController.Storage().ClearRecords(false);
    }
}

bool TkvDbRecordLoader::UseTakenRows(TDbQuery *dataSet)
{
    const bool taken = FTakenFrom && FTakenFrom == dataSet && FLink.Active() &&
                       dataSet->State() == dsBrowse && !FController.Storage().StructureChanged() &&
                       FController.Storage().RecordCount() == dataSet->RecordCount();
    FTakenFrom = nullptr;
    return taken;
}

void TkvDbRecordLoader::Load()
{
    if (FLink.BufferCount() != 1)
        FLink.SetBufferCount(1);
    TkvDataStorage &storage = FController.Storage();
    TDbQuery *dataSet = FLink.DataSet();
    // The rows taken while the record set opened are the rows: nothing to read.
    const bool taken = UseTakenRows(dataSet);
    // With key fields, the selected rows and expanded details are found again
    // by key after the rows were read.
    TkvSaveObject saved(FController);
    saved.Save();
    if (!taken)
        storage.ClearRecords(false);
    FRecords.ForgetEditingRecord();
    if (!dataSet || !FLink.Active() || dataSet->ControlsDisabled()) {
        storage.ClearRecords(false);
        FRecords.SetCurrentRecordIndex(-1);
        return;
    }
    FRecords.RowsMoved();
    {
        TkvDbProviderState::TScope loading(FState, TkvDbProviderState::State::Loading);
        dataSet->DisableControls();
        try {
            ReadRows(taken);
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

void TkvDbRecordLoader::ReadRows(bool taken)
{
    TDbQuery *dataSet = FLink.DataSet();
    TkvDataStorage &storage = FController.Storage();
    const TDataSetState state = dataSet->State();
    if (state == dsEdit || state == dsInsert || state == dsSetKey)
        dataSet->Cancel(); // pending changes are dropped

    if (taken) {
        // The rows were read in the open, and the record set stands where it
        // opened: the records are its rows, its row the current record.
        RebindDestroyedFields();
        FRecords.SetCurrentRecordIndex(dataSet->IsEmpty() ? -1 : dataSet->RecNo() - 1);
        return;
    }

    const TBookmark savedBookmark = dataSet->BookmarkAvailable() ? dataSet->GetBookmark() : TBookmark();
    const int savedActiveRecord = FLink.ActiveRecord();
    const bool savedBof = dataSet->Bof();
    const bool savedEof = dataSet->Eof();

    dataSet->First();
    RebindDestroyedFields();
    FRecords.SetCurrentRecordIndex(-1);
    const bool findCurrent = !savedBookmark.IsNull();
    storage.CheckStructure();
    storage.ReserveRecords(dataSet->RecordCount());
    if (dataSet->KeepsKeysOnly() && FFiller.Plan(storage, *dataSet)) {
        // Each record stands at its row's visible position; the current one
        // is found by bookmark below.
        const int count = dataSet->RecordCount();
        for (int i = 0; i < count; ++i)
            storage.AppendRecord();
        dataSet->ReadVisibleRows([&](int position, const TDbRowReader &row) {
            if (position < count)
                FFiller.Fill(storage, position, row);
        });
    } else {
        TkvValueDefDBReader reader(dataSet);
        while (!dataSet->Eof()) {
            const int recordIndex = storage.AppendRecord();
            storage.ReadRecord(recordIndex, reader, true);
            if (findCurrent && FRecords.CurrentRecordIndex() < 0 && dataSet->GetBookmark() == savedBookmark)
                FRecords.SetCurrentRecordIndex(recordIndex);
            dataSet->Next();
        }
    }
    if (FRecords.CurrentRecordIndex() < 0 && findCurrent && dataSet->BookmarkValid(savedBookmark)) {
        // Records stand at their rows' positions: the bookmark's row is the current record.
        dataSet->GotoBookmark(savedBookmark);
        FRecords.SetCurrentRecordIndex(dataSet->RecNo() - 1);
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

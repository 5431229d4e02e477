#include "data/DataControllerRecords.h"

#include "data/DataController.h"

#include <algorithm>

namespace kestrum {

void TkvDataControllerRecords::SetRecordCount(int count)
{
    if (FController.Provider().IsGridMode())
        return;
    count = std::max(count, 0);
    const int oldCount = FController.RecordCount();
    if (count == oldCount)
        return;
    FController.BeginBatch();
    FController.Storage().SetRecordCount(count);
    FController.Selection().DropRecordsFrom(count);
    if (TkvDataRelationList *relations = FController.RelationsIfAny())
        relations->DropRecordsFrom(count);
    FController.DataChanged(count > oldCount ? dckRecordAdded : dckRecordDeleted, -1, -1);
    FController.EndBatch();
}

int TkvDataControllerRecords::AppendRecord()
{
    const int recordIndex = FController.Storage().AppendRecord();
    FController.DataChanged(dckRecordAdded, -1, recordIndex);
    return recordIndex;
}

int TkvDataControllerRecords::InsertRecord(int recordIndex)
{
    if (recordIndex < 0 || recordIndex > FController.RecordCount())
        throw EkvInvalidDataControllerOperation(SRecordIndexError);
    FController.Storage().InsertRecord(recordIndex);
    FController.Info().RecordIndexesShifted(recordIndex, 1);
    if (TkvDataRelationList *relations = FController.RelationsIfAny())
        relations->RecordIndexesShifted(recordIndex, 1);
    FController.DataChanged(dckRecordAdded, -1, recordIndex);
    return recordIndex;
}

void TkvDataControllerRecords::DeleteRecord(int recordIndex)
{
    FController.CheckRecordIndex(recordIndex);
    FController.BeginBatch();
    // Its values leave the summaries: as counted when it is the one noted
    // (edited values may stand in the storage), else as stored.
    IkvDataSummaryHook *summary = FController.SummaryHook();
    if (summary && recordIndex >= 0)
        summary->NoteRecord(recordIndex, true);
    FController.Storage().DeleteRecord(recordIndex);
    FController.Info().RecordIndexesShifted(recordIndex, -1);
    if (TkvDataRelationList *relations = FController.RelationsIfAny(); relations && recordIndex >= 0)
        relations->RecordIndexesShifted(recordIndex, -1);
    // Selection entries name records by index: later records moved down by one.
    TkvDataSelection &selection = FController.Selection();
    std::vector<TkvDataSelectionEntry> kept;
    for (int i = 0; i < selection.Count(); ++i) {
        TkvDataSelectionEntry entry = selection.Items(i);
        if (!entry.IsGroupRow && entry.RecordIndex == recordIndex)
            continue;
        if (entry.RecordIndex > recordIndex)
            --entry.RecordIndex;
        kept.push_back(entry);
    }
    if (int(kept.size()) != selection.Count()) {
        selection.Clear();
        for (const auto &entry : kept)
            selection.Add(entry);
    }
    FController.DataChanged(dckRecordDeleted, -1, recordIndex);
    FController.EndBatch();
}

} // namespace kestrum

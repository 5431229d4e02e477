#include "data/DbSmartRefresh.h"

#include "data/DataControllerGroups.h"
#include "data/DbDataController.h"
#include "data/DbReadPositionGuard.h"
#include "data/DbRecordTracker.h"
#include "db/DbField.h"
#include "db/DbQuery.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kestrum {

bool TkvDbSmartRefresh::RefreshRecord(TDbQuery *dataSet)
{
    TkvDBDataController &controller = FController;
    const int record = FRecords.RefreshRecordIndex();
    if (record < 0 || record >= controller.RecordCount() || dataSet->ControlsDisabled())
        return false;
    TkvValueDefDBReader reader(dataSet);
    bool deleted = false;
    controller.BeginBatch();
    try {
        if (FRecords.RefreshEntry() == TkvDbRecordTracker::Entry::Insert) {
            // The placeholder of an insert: the posted row is the current
            // one; a cancelled insert left no row behind.
            if (dataSet->RecordCount() == controller.RecordCount() && !dataSet->IsEmpty()) {
                controller.Storage().ReadRecord(record, reader, true);
            } else if (dataSet->RecordCount() + 1 == controller.RecordCount()) {
                FRecords.RowsMoved();
                controller.DeleteRecord(record);
                deleted = true;
            } else {
                controller.EndBatch();
                return false;
            }
        } else if (!dataSet->IsEmpty() && controller.CurrentRowKey() == controller.RecordKey(record)) {
            controller.Storage().ReadRecord(record, reader, true);
        } else {
            // Found by its key elsewhere, or gone.
            const int position = dataSet->FindRowPosition(controller.KeyField()->SubFieldNames(),
                                                          controller.GetRecordKeyValues(record));
            if (position >= 0) {
                TkvDbReadPositionGuard read(dataSet, position);
                controller.Storage().ReadRecord(record, reader, true);
            } else {
                FRecords.RowsMoved();
                controller.DeleteRecord(record);
                deleted = true;
            }
        }
        FRecords.SetCurrentRecordIndex(
            dataSet->IsEmpty() ? -1 : std::clamp(dataSet->RecNo() - 1, 0, controller.RecordCount() - 1));
        if (!deleted)
            controller.DataChanged(dckRecord, -1, record);
    } catch (...) {
        controller.EndBatch();
        throw;
    }
    controller.EndBatch();
    return true;
}

bool TkvDbSmartRefresh::ApplyNewItemChange(TDbQuery *dataSet, const TDbRowChange &change)
{
    TkvDBDataController &controller = FController;
    // No row stood for the entry until now.
    const int rows = dataSet->RecordCount();
    const int position = change.Position;
    const int current = dataSet->IsEmpty() ? -1 : dataSet->RecNo() - 1;
    if (change.Kind == TDbRowChange::rcInsertCancelled) {
        if (controller.RecordCount() != rows)
            return false;
        FRecords.SetCurrentRecordIndex(current);
        controller.Change(chgUpdateRecord);
        return true;
    }
    if (change.Kind != TDbRowChange::rcInserted || controller.RecordCount() + 1 != rows ||
        position != current || position > controller.RecordCount())
        return false;
    controller.BeginBatch();
    try {
        FRecords.RowsMoved();
        controller.InsertRecord(position);
        TkvValueDefDBReader reader(dataSet);
        controller.Storage().ReadRecord(position, reader, true);
        FRecords.SetCurrentRecordIndex(current);
    } catch (...) {
        controller.EndBatch();
        throw;
    }
    controller.EndBatch();
    return true;
}

bool TkvDbSmartRefresh::ApplyRowChange(TDbQuery *dataSet, const TDbRowChange &change)
{
    TkvDBDataController &controller = FController;
    if (dataSet->ControlsDisabled())
        return false;
    if (FRecords.NewItemEnded()) {
        // The entry of the new-item row: no row stood for it until now.
        FRecords.ForgetNewItemEnded();
        return ApplyNewItemChange(dataSet, change);
    }
    // Record k is the record set's k-th row; a record being inserted stood
    // at its insert position until now.
    const int rows = dataSet->RecordCount();
    const int position = change.Position;
    const int current = dataSet->IsEmpty() ? -1 : dataSet->RecNo() - 1;
    const bool rowGone =
        change.Kind == TDbRowChange::rcDeleted || change.Kind == TDbRowChange::rcInsertCancelled;
    if (controller.RecordCount() != rows + (rowGone ? 1 : 0) || position < 0 ||
        position >= controller.RecordCount())
        return false;
    if (!rowGone && current != position)
        return false;
    controller.BeginBatch();
    try {
        if (rowGone) {
            FRecords.RowsMoved();
            FRecords.SetCurrentRecordIndex(current);
            controller.DeleteRecord(position);
        } else {
            // The row as the record set holds it now: what the file holds
            // after a post, the stored values after a cancel.
            TkvValueDefDBReader reader(dataSet);
            controller.Storage().ReadRecord(position, reader, true);
            FRecords.SetCurrentRecordIndex(current);
            controller.DataChanged(dckRecord, -1, position);
        }
    } catch (...) {
        controller.EndBatch();
        throw;
    }
    controller.EndBatch();
    return true;
}

bool TkvDbSmartRefresh::ApplyOtherWriterChange(TDbQuery *dataSet, const TDbRowChange &change)
{
    TkvDBDataController &controller = FController;
    if (dataSet->ControlsDisabled())
        return false;
    const int rows = dataSet->RecordCount();
    const int position = change.Position;
    const int current = dataSet->IsEmpty() ? -1 : dataSet->RecNo() - 1;
    int recordsBefore = rows;
    if (change.Kind == TDbRowChange::rcInserted)
        recordsBefore = rows - 1;
    else if (change.Kind == TDbRowChange::rcDeleted)
        recordsBefore = rows + 1;
    else if (change.Kind != TDbRowChange::rcUpdated)
        return false;
    if (controller.RecordCount() != recordsBefore || position < 0 ||
        position >= std::max(rows, recordsBefore))
        return false;
    controller.BeginBatch();
    try {
        if (change.Kind == TDbRowChange::rcDeleted) {
            FRecords.RowsMoved();
            controller.DeleteRecord(position);
        } else {
            if (change.Kind == TDbRowChange::rcInserted) {
                FRecords.RowsMoved();
                controller.InsertRecord(position);
            }
            TkvDbReadPositionGuard read(dataSet, position);
            TkvValueDefDBReader reader(dataSet);
            controller.Storage().ReadRecord(position, reader, true);
            controller.DataChanged(dckRecord, -1, position);
        }
        FRecords.SetCurrentRecordIndex(current);
    } catch (...) {
        controller.EndBatch();
        throw;
    }
    controller.EndBatch();
    return true;
}

void TkvDbSmartRefresh::CreateInsertedRecord(TDbQuery *dataSet)
{
    TkvDBDataController &controller = FController;
    if (FRecords.HasInsertedRecord())
        return; // the placeholder exists already
    if (controller.NewItemRowFocused()) {
        // An entry begun on the owner's new-item row is edited in the
        // new-item record; the rows get it when it is posted.
        const int recordIndex = controller.NewItemRecordIndex();
        FRecords.SetEditingRecord(recordIndex, TkvDbRecordTracker::Entry::Insert);
        FRecords.ForgetRefreshRecord();
        TkvValueDefDBReader reader(dataSet);
        controller.Storage().ReadRecord(recordIndex, reader, true);
        controller.Change(chgUpdateRecord);
        return;
    }
    // The grouping values of the record beside the insert position (the one
    // focused before the insert), so that a new row lands in the focused group.
    std::vector<std::pair<TDbField *, Variant>> groupingValues;
    TkvDataControllerGroups *groups = DataGroupsOf(controller);
    const int neighbour = controller.FocusedRecordIndex();
    if (groups && controller.Options().Contains(dcoAssignGroupingValues) && neighbour >= 0)
        for (int level = 0; level < groups->GroupingItemCount(); ++level) {
            const int itemIndex = groups->GroupingItemIndex(level);
            TDbField *field = controller.GetItemDBField(itemIndex)->Field();
            if (field && field->CanModify())
                groupingValues.emplace_back(field, controller.GetValue(neighbour, itemIndex));
        }
    controller.BeginBatch();
    try {
        const bool append = dataSet->Eof();
        if (!append)
            controller.ClearSelection();
        int recordIndex;
        if (append) {
            recordIndex = controller.AppendRecord();
        } else {
            const int at = std::clamp(dataSet->RecNo() - 1, 0, controller.RecordCount());
            recordIndex = controller.InsertRecord(at);
        }
        FRecords.RowsMoved();
        FRecords.SetEditingRecord(recordIndex, TkvDbRecordTracker::Entry::Insert);
        FRecords.SetRefreshRecord(recordIndex, TkvDbRecordTracker::Entry::Insert);
        FRecords.SetCurrentRecordIndex(recordIndex);
        for (const auto &[field, value] : groupingValues)
            field->SetValue(value); // each change re-reads the placeholder
        TkvValueDefDBReader reader(dataSet);
        controller.Storage().ReadRecord(recordIndex, reader, true);
    } catch (...) {
        controller.EndBatch();
        throw;
    }
    // Focus restore after the rows are rebuilt picks the current record: the new one.
    controller.EndBatch();
}

} // namespace kestrum

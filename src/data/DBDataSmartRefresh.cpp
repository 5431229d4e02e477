// Following a change of the record set without reading every row again:
// the smart refresh of the one record that was edited, and the providers
// that share a record set telling each other when a movement is done.
#include "data/DbDataController.h"
#include "data/DBDataProvider.h"

#include "db/DbQuery.h"

#include <algorithm>

namespace kestrum {

namespace {

class TReadRowGuard {
public:
    TReadRowGuard(TDbQuery *dataSet, int position) : FDataSet(dataSet), FOld(dataSet->ReadPosition())
    {
        FDataSet->SetReadPosition(position);
    }
    ~TReadRowGuard() { FDataSet->SetReadPosition(FOld); }
    TReadRowGuard(const TReadRowGuard &) = delete;
    TReadRowGuard &operator=(const TReadRowGuard &) = delete;

private:
    TDbQuery *FDataSet;
    int FOld;
};

} // namespace

bool TkvDBDataProvider::SmartRefreshRecord()
{
    TkvDBDataController &controller = DBDataController();
    TDbQuery *dataSet = DataSet();
    const int record = FRefreshRecordIndex;
    if (record < 0 || record >= controller.RecordCount() || dataSet->ControlsDisabled())
        return false;
    TkvValueDefDBReader reader(dataSet);
    bool deleted = false;
    controller.BeginBatch();
    try {
        if (FRefreshInserted) {
            // The placeholder of an insert: the posted row is the current
            // one; a cancelled insert left no row behind.
            if (dataSet->RecordCount() == controller.RecordCount() && !dataSet->IsEmpty()) {
                controller.Storage().ReadRecord(record, reader, true);
            } else if (dataSet->RecordCount() + 1 == controller.RecordCount()) {
                ++FRowsVersion;
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
                TReadRowGuard read(dataSet, position);
                controller.Storage().ReadRecord(record, reader, true);
            } else {
                ++FRowsVersion;
                controller.DeleteRecord(record);
                deleted = true;
            }
        }
        FCurrentRecordIndex =
            dataSet->IsEmpty() ? -1 : std::clamp(dataSet->RecNo() - 1, 0, controller.RecordCount() - 1);
        if (!deleted)
            controller.DataChanged(dckRecord, -1, record);
    } catch (...) {
        controller.EndBatch();
        throw;
    }
    controller.EndBatch();
    SyncFocusFromSource();
    return true;
}

void TkvDBDataProvider::RefreshSkippedProviders()
{
    if (FSyncLockCount > 0)
        return; // an outer movement is still running
    TDbQuery *dataSet = DataSet();
    if (!dataSet)
        return;
    // A copy: a refresh may create or destroy providers.
    const std::vector<TkvDBDataProvider *> providers = Providers();
    for (TkvDBDataProvider *other : providers) {
        if (other == this || other->DataSet() != dataSet)
            continue;
        if (std::find(Providers().begin(), Providers().end(), other) == Providers().end())
            continue;
        if (other->FSkippedDataChange || other->FLayoutChangePending) {
            other->FSkippedDataChange = false;
            other->DataSetChanged(nullptr);
        }
    }
}

} // namespace kestrum

#pragma once
// Loading every row of the record set into the controller's storage, with
// the selection kept by key and the record set left on the row it was on.
// When the record set opens, the loader takes its rows as they are read and
// fills the storage in the same pass; the load that follows the open then
// finds them there. A later load of rows the record set keeps by key reads
// them again in one run of its statement.
#include "data/DbRowFiller.h"

namespace kestrum {

class TDbQuery;
class TDbRowReader;
class TkvDBDataController;
class TkvDBDataLink;
class TkvDbProviderState;
class TkvDbRecordTracker;

class TkvDbRecordLoader {
public:
    TkvDbRecordLoader(TkvDBDataController &controller, TkvDBDataLink &link, TkvDbProviderState &state,
                      TkvDbRecordTracker &records)
        : FController(controller), FLink(link), FState(state), FRecords(records)
    {
    }

    //! Reads all rows; pending changes of the record set are dropped.
    void Load();

    // The rows of an opening record set as they are read (see TDbRowSink).
    bool BeginRows(TDbQuery &query);
    void TakeRow(int position, const TDbRowReader &row);
    void EndRows(TDbQuery &query, bool complete);
    //! The record set whose rows are being taken (its fields are bound
    //! before it is active); nullptr when none.
    TDbQuery *OpeningDataSet() const { return FOpening; }

private:
    //! Binds the fields again when a record-set field they were bound to is gone.
    void RebindDestroyedFields();
    //! Reads the rows from the first on (unless taken already); the current
    //! record is the row that was current before.
    void ReadRows(bool taken);
    //! Whether the storage holds the rows taken at the record set's open,
    //! unchanged since; true once only.
    bool UseTakenRows(TDbQuery *dataSet);

    TkvDBDataController &FController;
    TkvDBDataLink &FLink;
    TkvDbProviderState &FState;
    TkvDbRecordTracker &FRecords;
    TkvDbRowFiller FFiller;
    TDbQuery *FOpening = nullptr;
    TDbQuery *FTakenFrom = nullptr; // the record set whose open filled the storage
};

} // namespace kestrum

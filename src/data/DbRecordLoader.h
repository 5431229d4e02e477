#pragma once
// Loading every row of the record set into the controller's storage, with
// the selection kept by key and the record set left on the row it was on.
namespace kestrum {

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

private:
    //! Binds the fields again when a record-set field they were bound to is gone.
    void RebindDestroyedFields();
    //! Reads the rows from the first on; the current record is the row that
    //! was current before.
    void ReadRows();

    TkvDBDataController &FController;
    TkvDBDataLink &FLink;
    TkvDbProviderState &FState;
    TkvDbRecordTracker &FRecords;
};

} // namespace kestrum

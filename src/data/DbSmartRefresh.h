#pragma once
// Following a change of the record set without reading every row again: the
// one record that was edited is read again by key (smart refresh), a posted,
// cancelled or deleted row is followed alone, and an insert gets its
// placeholder record at once.
namespace kestrum {

class TDbQuery;
class TkvDBDataController;
class TkvDbRecordTracker;
struct TDbRowChange;

class TkvDbSmartRefresh {
public:
    TkvDbSmartRefresh(TkvDBDataController &controller, TkvDbRecordTracker &records)
        : FController(controller), FRecords(records)
    {
    }

    //! Reads only the record edited last again, by key; false when a full
    //! reload is needed instead. The caller syncs the focus after a true.
    bool RefreshRecord(TDbQuery *dataSet);
    //! Follows one posted, cancelled or deleted row in the controller without
    //! reading the others; false when the records do not match the rows.
    bool ApplyRowChange(TDbQuery *dataSet, const TDbRowChange &change);
    //! Follows one row another program wrote (updated, inserted or deleted
    //! at a position that need not be the current one); false when the
    //! records do not match the rows.
    bool ApplyOtherWriterChange(TDbQuery *dataSet, const TDbRowChange &change);
    //! The record set went into insert: the record that stands for the new
    //! row is added (or the new-item record takes the entry).
    void CreateInsertedRecord(TDbQuery *dataSet);

private:
    //! The entry of the new-item row was posted or cancelled.
    bool ApplyNewItemChange(TDbQuery *dataSet, const TDbRowChange &change);

    TkvDBDataController &FController;
    TkvDbRecordTracker &FRecords;
};

} // namespace kestrum

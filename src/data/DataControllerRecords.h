#pragma once
// Adding and removing records. Rows, focus, selection, expanded details and
// summaries name records by index, so each change of the record count moves
// or drops those references with it before the rows are rebuilt.
namespace kestrum {

class TkvCustomDataController;

class TkvDataControllerRecords {
public:
    explicit TkvDataControllerRecords(TkvCustomDataController &controller) : FController(controller) {}
    TkvDataControllerRecords(const TkvDataControllerRecords &) = delete;
    TkvDataControllerRecords &operator=(const TkvDataControllerRecords &) = delete;

    //! Grows with empty records or drops the last ones (not in grid mode).
    void SetRecordCount(int count);
    int AppendRecord();
    //! Inserts an empty record before the one at the index (or at the end).
    int InsertRecord(int recordIndex);
    void DeleteRecord(int recordIndex);

private:
    TkvCustomDataController &FController;
};

} // namespace kestrum

#pragma once
// The records a record-set provider keeps track of between notifications:
// the one the record set is on, the one being edited or inserted, and the
// one a smart refresh reads again once the edit is posted.
namespace kestrum {

class TkvDBDataController;

class TkvDbRecordTracker {
public:
    //! How the edited record came to be edited.
    enum class Entry {
        Edit,   //!< An existing row.
        Insert, //!< A row added for the entry (its placeholder), or the new-item record.
    };

    //! The record the record set is on (-1 none).
    int CurrentRecordIndex() const { return FCurrentRecordIndex; }
    void SetCurrentRecordIndex(int recordIndex) { FCurrentRecordIndex = recordIndex; }
    void MoveCurrentRecordIndex(int distance) { FCurrentRecordIndex += distance; }

    //! The record being edited (-1 none; below -1 an internal record: the new-item row).
    int EditingRecordIndex() const { return FEditingRecordIndex; }
    void SetEditingRecord(int recordIndex, Entry entry);
    //! An insert has its record already (a second insert notice adds none).
    bool HasInsertedRecord() const { return FEditingEntry == Entry::Insert && FEditingRecordIndex >= 0; }
    //! The rows were read anew, or the edit ended: no record is edited any more.
    void ForgetEditingRecord() { FEditingRecordIndex = -1; }

    //! The record edited last, kept past the end of editing until the data-set
    //! change that follows (smart refresh), and how it was entered.
    int RefreshRecordIndex() const { return FRefreshRecordIndex; }
    Entry RefreshEntry() const { return FRefreshEntry; }
    void SetRefreshRecord(int recordIndex, Entry entry);
    void ForgetRefreshRecord() { FRefreshRecordIndex = -1; }

    //! The entry of the new-item row ended; the data-set change that follows
    //! adds its posted row, or only repaints after a cancel.
    bool NewItemEnded() const { return FNewItemEnded; }
    void ForgetNewItemEnded() { FNewItemEnded = false; }

    //! Counts changes that move records to other indexes (reloads, inserts
    //! and deletes), so that a focus move can tell that its index went stale.
    unsigned RowsVersion() const { return FRowsVersion; }
    void RowsMoved() { ++FRowsVersion; }

    //! An existing row went into edit: it is edited and read again after the post.
    void EditingStarts(TkvDBDataController &controller);
    //! The record set left edit or insert; the new-item row is emptied for the next entry.
    void EditingEnds(TkvDBDataController &controller);

private:
    int FCurrentRecordIndex = -1;
    int FEditingRecordIndex = -1;
    Entry FEditingEntry = Entry::Edit;
    int FRefreshRecordIndex = -1;
    Entry FRefreshEntry = Entry::Edit;
    bool FNewItemEnded = false;
    unsigned FRowsVersion = 0;
};

} // namespace kestrum

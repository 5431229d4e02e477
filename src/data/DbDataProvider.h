#pragma once
// The provider that binds a controller to a record set through a data source:
// it loads every row, keeps focus and the current row in step both ways and
// carries edit operations to the record set.
#include "data/DataProvider.h"
#include "db/Bookmark.h"
#include "db/DbDataLink.h"

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TDbDataSource;
class TDbField;
class TDbQuery;
class TkvDBDataController;
class TkvDBDataField;
class TkvDBDataProvider;

//! Turns data-source notifications into provider calls.
class TkvDBDataLink : public TDbDataLink {
public:
    explicit TkvDBDataLink(TkvDBDataProvider &provider) : FProvider(provider) {}

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void EditingChanged() override;
    void FocusControl(TDbField *&field) override;
    void LayoutChanged() override;
    void RecordChanged(TDbField *field) override;
    void UpdateData() override;

private:
    TkvDBDataProvider &FProvider;
};

//! The switches of how a record-set controller works (the ledger keeps the defaults).
class TkvDBDataModeController {
public:
    explicit TkvDBDataModeController(TkvDBDataController &controller) : FController(controller) {}
    bool GridMode() const { return FGridMode; }
    void SetGridMode(bool value);
    int GridModeBufferCount() const { return FGridModeBufferCount; }
    void SetGridModeBufferCount(int value);
    bool SmartRefresh() const { return FSmartRefresh; }
    void SetSmartRefresh(bool value) { FSmartRefresh = value; }
    bool SyncMode() const { return FSyncMode; }
    void SetSyncMode(bool value);
    //! Master-detail switches and events: kept and stored, no relation uses them.
    bool DetailInSQLMode() const { return FDetailInSQLMode; }
    void SetDetailInSQLMode(bool value) { FDetailInSQLMode = value; }
    std::function<void(TkvDBDataController *controller)> OnDetailFirst;
    std::function<void(TkvDBDataController *controller, bool &isCurrentQuery)> OnDetailIsCurrentQuery;
    bool SyncInserts() const { return FSyncInserts; }
    bool SyncDetails() const { return FSyncDetails; }

private:
    TkvDBDataController &FController;
    bool FGridMode = false;
    int FGridModeBufferCount = 0;
    bool FSmartRefresh = false;
    bool FSyncMode = true;
    bool FDetailInSQLMode = false;
    bool FSyncInserts = true;
    bool FSyncDetails = true;
};

class TkvDBDataProvider : public TkvCustomDataProvider {
public:
    explicit TkvDBDataProvider(TkvDBDataController &controller);
    ~TkvDBDataProvider() override;

    TkvDBDataController &DBDataController() const;
    TkvDBDataLink &DataLink() { return FDataLink; }
    TDbDataSource *DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDbDataSource *source) { FDataLink.SetDataSource(source); }
    TDbQuery *DataSet() const { return FDataLink.DataSet(); }

    bool IsActive() const override;
    bool CanModify() const override;
    bool IsEditing() const override;
    bool IsInserting() const override;
    bool IsModified() const override;
    bool IsEmpty() const override;
    bool IsGridMode() const override;
    bool IsSyncMode() const override;
    bool IsSyncing() const override { return FSyncLockCount > 0; }
    bool IsLocked() const override { return FLockCount > 0; }
    bool IsLoading() const override { return FLoading; }
    //! Rows the link's buffer holds in grid mode.
    int GridModeBufferCount() const;

    void Append() override;
    void Insert() override;
    void Edit() override;
    void Post() override;
    void Cancel() override;
    void Refresh() override;
    void DeleteRecord(int recordIndex) override;
    void DeleteRecords(const std::vector<int> &recordIndexes) override;
    void UpdateData() override;
    Variant ReadEditValue(TkvCustomDataField *field, TkvDataEditValueSource source) override;
    bool WriteEditValue(TkvCustomDataField *field, TkvDataEditValueSource source,
                        const Variant &value) override;
    bool CanModifyField(TkvCustomDataField *field) const override;

    void LoadRecords() override;
    bool HasFields() const override;
    void UpdateFields() override;
    bool ChangeFocusedRecord(int recordIndex) override;
    int CurrentRecordIndex() const override { return FCurrentRecordIndex; }
    int EditingRecordIndex() const override { return FEditingRecordIndex; }
    void ResetEditing() override;

    // Grid mode: the records are the rows of the link's buffer window.
    Variant GetValue(int recordIndex, const TkvCustomDataField *field) override;
    QString GetDisplayText(int recordIndex, const TkvCustomDataField *field) override;
    void MoveFirst() override;
    void MoveLast() override;
    void MoveBy(int distance) override;
    bool IsBOF() const override;
    bool IsEOF() const override;
    bool LocateByText(TkvCustomDataField *field, const QString &upperText, bool next, bool forward) override;

    // Notifications from the link.
    void ActiveChanged(bool active);
    void DataSetChanged(const TDbRowChange *change = nullptr);
    void DataSetScrolled(int distance);
    void EditingChanged();
    void RecordChanged(TDbField *field);
    void LayoutChanged();
    void UpdateDataFromEditors();
    void FocusControl(TDbField *&field);

    //! Leaves the data source without passing on what that changes (destruction).
    void Detach();

    //! Every provider alive, for providers that share a record set.
    static const std::vector<TkvDBDataProvider *> &Providers();

private:
    //! Another provider of the same record set is locked or moving it.
    bool IsOtherProviderBusy(bool lockedOnly) const;
    //! Tells the providers that skipped a data-set change while this one
    //! moved the record set that it is done.
    void RefreshSkippedProviders();
    //! Reads the link's buffer window into the storage (grid mode).
    void LoadWindow();
    //! The record set's visible position that a window record stands for.
    int PositionOfRecord(int recordIndex) const;
    //! Updates only the record that was edited, by key; false when a full
    //! reload is needed instead.
    bool SmartRefreshRecord();
    //! Moves the record set to the record (ChangeFocusedRecord's work).
    bool MoveToRecord(int recordIndex);
    void CreateInsertedRecord();
    //! Follows one posted, cancelled or deleted row in the controller without
    //! reading the others; false when the records do not match the rows.
    bool ApplyRowChange(const TDbRowChange &change);
    void EditingStarts();
    void EditingEnds();
    void SyncFocusFromSource();
    void RunWithControlsDisabled(const std::function<void()> &action);

    TkvDBDataLink FDataLink;
    int FLockCount = 0;
    int FSyncLockCount = 0;
    bool FLoading = false;
    int FCurrentRecordIndex = -1;
    TBookmark FSavedBookmark;
    int FSavedActiveRecord = 0;
    bool FSavedBof = false;
    bool FSavedEof = false;
    int FEditingRecordIndex = -1;
    //! The record edited last, kept past the end of editing until the
    //! data-set change that follows (smart refresh), and whether it was added.
    int FRefreshRecordIndex = -1;
    bool FRefreshInserted = false;
    //! A layout change arrived while this provider could not rebuild.
    bool FLayoutChangePending = false;
    //! A data-set change was skipped while another provider moved the record set.
    bool FSkippedDataChange = false;
    //! The link's window start when the window was last read.
    int FWindowFirstRecord = -1;
    int FInternalEditRecord = 0; //!< 0: none
    bool FInserting = false;
    //! The entry of the new-item row ended; the data-set change that follows
    //! adds its posted row, or only repaints after a cancel.
    bool FNewItemEnded = false;
    bool FDetached = false;
    //! Counts changes that move records to other indexes (reloads, inserts
    //! and deletes), so a focus move can tell that its index went stale.
    unsigned FRowsVersion = 0;
};

} // namespace kestrum

#pragma once
// The provider that binds a controller to a record set through a data source:
// it keeps focus and the current row in step both ways, carries edit
// operations to the record set and follows its notifications. Reading the
// rows, the grid-mode window and the smart refresh are its collaborators'.
#include "data/DataProvider.h"
#include "data/DbDataModeController.h"
#include "data/DbGridWindow.h"
#include "data/DbProviderState.h"
#include "data/DbRecordLoader.h"
#include "data/DbRecordTracker.h"
#include "data/DbSmartRefresh.h"
#include "db/DbDataLink.h"
#include "db/RowSink.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kestrum {

class TDbDataSource;
class TDbField;
class TDbQuery;
class TkvDBDataController;
class TkvDBDataField;
class TkvDBDataProvider;

//! Turns data-source notifications into provider calls, and takes the rows
//! of an opening record set for the provider's loader.
class TkvDBDataLink : public TDbDataLink, public TDbRowSink {
public:
    explicit TkvDBDataLink(TkvDBDataProvider &provider) : FProvider(provider) {}

    bool BeginRows(TDbQuery &query) override;
    void TakeRow(int position, const TDbRowReader &row) override;
    void EndRows(TDbQuery &query, bool complete) override;

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

class TkvDBDataProvider : public TkvCustomDataProvider {
public:
    explicit TkvDBDataProvider(TkvDBDataController &controller);
    ~TkvDBDataProvider() override;

    TkvDBDataController &DBDataController() const;
    TkvDBDataLink &DataLink() { return FDataLink; }
    TDbDataSource *DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDbDataSource *source) { FDataLink.SetDataSource(source); }
    TDbQuery *DataSet() const { return FDataLink.DataSet(); }
    //! The record set the fields bind to: the active one, or one whose rows
    //! are being taken as it opens.
    TDbQuery *BindingDataSet() const { return IsActive() ? DataSet() : FLoader.OpeningDataSet(); }

    // The rows of an opening record set as they are read.
    bool BeginRows(TDbQuery &query);
    void TakeRow(int position, const TDbRowReader &row) { FLoader.TakeRow(position, row); }
    void EndRows(TDbQuery &query, bool complete) { FLoader.EndRows(query, complete); }

    bool IsActive() const override;
    bool CanModify() const override;
    bool IsEditing() const override;
    bool IsInserting() const override;
    bool IsModified() const override;
    bool IsEmpty() const override;
    bool IsGridMode() const override;
    bool IsSyncMode() const override;
    bool IsSyncing() const override { return FState.IsSyncing(); }
    //! Only a load moves the record set on the provider's own account.
    bool IsLocked() const override { return FState.IsLoading(); }
    bool IsLoading() const override { return FState.IsLoading(); }
    //! What the provider is doing now.
    TkvDbProviderState::State State() const { return FState.Current(); }
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
    int CurrentRecordIndex() const override { return FRecords.CurrentRecordIndex(); }
    int EditingRecordIndex() const override { return FRecords.EditingRecordIndex(); }
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

    // What another program wrote into the table the rows come from.
    //! Whether such a change can be followed now: not while an entry is
    //! edited or added (it waits until the entry is saved or given up) nor
    //! while rows are being loaded or moved.
    bool CanFollowOtherWriter() const;
    //! Follows the row with the table key `key` alone (a changed row is read
    //! again, a new one appears, a deleted one goes); `key` 0 stands for
    //! "something changed": every row is read again, the focused row kept.
    //! Calls only when CanFollowOtherWriter. Returns false when every row
    //! was read again. Raises what the database raises.
    bool FollowOtherWriter(std::int64_t key);

    //! Leaves the data source without passing on what that changes (destruction).
    void Detach();

    //! Every provider alive, for providers that share a record set.
    static const std::vector<TkvDBDataProvider *> &Providers();

private:
    //! Another provider of the same record set is loading (`busy` Loading) or
    //! moving it (`busy` Syncing).
    bool IsOtherProviderBusy(TkvDbProviderState::State busy) const;
    //! Tells the providers that skipped a data-set change while this one
    //! moved the record set that it is done.
    void RefreshSkippedProviders();
    //! Follows a data-set change of the browse state: the edited record
    //! alone, the one row changed, or every row.
    void FollowBrowseChange(const TDbRowChange *change);
    //! Moves the record set to the record (ChangeFocusedRecord's work).
    bool MoveToRecord(int recordIndex);
    //! Leaves a pending entry before a move; false when that moved the rows
    //! and the record set was put on the wanted row already.
    bool LeaveEntryFor(int recordIndex);
    void SyncFocusFromSource();
    void RunWithControlsDisabled(const std::function<void()> &action);

    TkvDBDataLink FDataLink;
    TkvDbProviderState FState;
    TkvDbRecordTracker FRecords;
    TkvDbRecordLoader FLoader;
    TkvDbGridWindow FWindow;
    TkvDbSmartRefresh FSmartRefresh;
    //! A row change heard now is another program's, not this page's own.
    bool FFollowingOtherWriter = false;
};

} // namespace kestrum

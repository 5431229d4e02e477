#include "data/DbDataProvider.h"

#include "data/DataControllerGroups.h"
#include "data/DbDataController.h"
#include "db/DbDataSource.h"
#include "db/DbErrors.h"
#include "db/DbField.h"
#include "db/DbQuery.h"

#include <QStringList>

#include <algorithm>

namespace kestrum {

namespace {
std::vector<TkvDBDataProvider *> &ProviderList()
{
    static std::vector<TkvDBDataProvider *> providers;
    return providers;
}
} // namespace

// ---------------------------------------------------------------------------
// TkvDBDataLink

void TkvDBDataLink::ActiveChanged()
{
    FProvider.ActiveChanged(Active());
}

void TkvDBDataLink::DataSetChanged()
{
    FProvider.DataSetChanged(RowChange());
}

void TkvDBDataLink::DataSetScrolled(int distance)
{
    FProvider.DataSetScrolled(distance);
}

void TkvDBDataLink::EditingChanged()
{
    FProvider.EditingChanged();
}

void TkvDBDataLink::FocusControl(TDbField *&field)
{
    FProvider.FocusControl(field);
}

void TkvDBDataLink::LayoutChanged()
{
    FProvider.LayoutChanged();
}

void TkvDBDataLink::RecordChanged(TDbField *field)
{
    FProvider.RecordChanged(field);
}

void TkvDBDataLink::UpdateData()
{
    FProvider.UpdateDataFromEditors();
}

bool TkvDBDataLink::BeginRows(TDbQuery &query)
{
    return FProvider.BeginRows(query);
}

void TkvDBDataLink::TakeRow(int position, const TDbRowReader &row)
{
    FProvider.TakeRow(position, row);
}

void TkvDBDataLink::EndRows(TDbQuery &query, bool complete)
{
    FProvider.EndRows(query, complete);
}

// ---------------------------------------------------------------------------
// TkvDBDataProvider

TkvDBDataProvider::TkvDBDataProvider(TkvDBDataController &controller)
    : TkvCustomDataProvider(controller), FDataLink(*this), FLoader(controller, FDataLink, FState, FRecords),
      FWindow(controller, FDataLink, FState, FRecords), FSmartRefresh(controller, FRecords)
{
    ProviderList().push_back(this);
}

TkvDBDataProvider::~TkvDBDataProvider()
{
    Detach();
    std::erase(ProviderList(), this);
}

void TkvDBDataProvider::Detach()
{
    FState.Detach();
    FDataLink.SetDataSource(nullptr);
}

const std::vector<TkvDBDataProvider *> &TkvDBDataProvider::Providers()
{
    return ProviderList();
}

TkvDBDataController &TkvDBDataProvider::DBDataController() const
{
    return static_cast<TkvDBDataController &>(DataController());
}

bool TkvDBDataProvider::IsActive() const
{
    return DataSet() && FDataLink.Active();
}

bool TkvDBDataProvider::CanModify() const
{
    return IsActive() && DataSet()->CanModify() && IsSyncMode();
}

bool TkvDBDataProvider::IsEditing() const
{
    if (!IsActive())
        return false;
    const TDataSetState state = DataSet()->State();
    return state == dsEdit || state == dsInsert || state == dsSetKey;
}

bool TkvDBDataProvider::IsInserting() const
{
    return IsActive() && DataSet()->State() == dsInsert;
}

bool TkvDBDataProvider::IsModified() const
{
    return IsActive() && DataSet()->Modified();
}

bool TkvDBDataProvider::IsEmpty() const
{
    return !IsActive() || DataSet()->IsEmpty();
}

bool TkvDBDataProvider::IsSyncMode() const
{
    return DBDataController().DataModeController().SyncMode();
}

bool TkvDBDataProvider::IsGridMode() const
{
    // Grouping needs every record: it switches grid mode off while it lasts.
    if (!DBDataController().DataModeController().GridMode())
        return false;
    const IkvDataGrouping *grouping = DataController().Grouping();
    return !(grouping && grouping->LevelCount() > 0);
}

int TkvDBDataProvider::GridModeBufferCount() const
{
    return FWindow.BufferCount();
}

bool TkvDBDataProvider::IsOtherProviderBusy(TkvDbProviderState::State busy) const
{
    TDbQuery *dataSet = DataSet();
    if (!dataSet)
        return false;
    for (TkvDBDataProvider *other : ProviderList()) {
        if (other == this || other->DataSet() != dataSet)
            continue;
        if (busy == TkvDbProviderState::State::Loading ? other->FState.IsLoading()
                                                       : other->FState.IsSyncing())
            return true;
    }
    return false;
}

void TkvDBDataProvider::RefreshSkippedProviders()
{
    if (FState.IsSyncing())
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
        if (other->FState.Pending() != TkvDbProviderState::Deferred::None) {
            other->FState.DropDataChange();
            other->DataSetChanged(nullptr);
        }
    }
}

void TkvDBDataProvider::RunWithControlsDisabled(const std::function<void()> &action)
{
    TDbQuery *dataSet = DataSet();
    dataSet->DisableControls();
    try {
        action();
    } catch (...) {
        dataSet->EnableControls();
        throw;
    }
    dataSet->EnableControls();
}

// ---------------------------------------------------------------------------
// Edit operations

void TkvDBDataProvider::Append()
{
    if (!IsActive())
        return;
    if (IsEditing())
        RunWithControlsDisabled([this] {
            DataSet()->CheckBrowseMode(); // posts a pending insert
            DataSet()->Append();
        });
    else
        DataSet()->Append();
}

void TkvDBDataProvider::Insert()
{
    if (!IsActive())
        return;
    if (IsEditing())
        RunWithControlsDisabled([this] {
            DataSet()->CheckBrowseMode();
            DataSet()->Insert();
        });
    else
        DataSet()->Insert();
}

void TkvDBDataProvider::Edit()
{
    if (IsActive())
        DataSet()->Edit();
}

void TkvDBDataProvider::Post()
{
    if (IsActive())
        DataSet()->Post();
}

void TkvDBDataProvider::Cancel()
{
    if (IsActive())
        DataSet()->Cancel();
}

void TkvDBDataProvider::Refresh()
{
    if (IsActive())
        DataSet()->Refresh();
}

void TkvDBDataProvider::DeleteRecord(int recordIndex)
{
    (void)recordIndex; // focus synchronisation has put the record set on it
    if (IsActive())
        DataSet()->Delete();
}

void TkvDBDataProvider::DeleteRecords(const std::vector<int> &recordIndexes)
{
    if (!IsActive() || recordIndexes.empty())
        return;
    std::vector<int> records = recordIndexes;
    if (IsGridMode())
        for (int &record : records)
            record = FWindow.PositionOfRecord(record); // a window row: its place in the record set
    std::sort(records.begin(), records.end());
    RunWithControlsDisabled([this, &records] {
        TDbQuery *dataSet = DataSet();
        // From the last to the first, so that earlier rows keep their positions.
        for (auto it = records.rbegin(); it != records.rend(); ++it) {
            dataSet->MoveBy(*it - (dataSet->RecNo() - 1));
            if (dataSet->RecNo() - 1 == *it)
                dataSet->Delete();
        }
    });
}

void TkvDBDataProvider::UpdateData()
{
    if (IsActive())
        DataSet()->UpdateRecord();
}

Variant TkvDBDataProvider::ReadEditValue(TkvCustomDataField *field, TkvDataEditValueSource source)
{
    TDbField *dbField = static_cast<TkvDBDataField *>(field)->Field();
    if (!dbField)
        return Variant::null();
    if (source == TkvDataEditValueSource::evsText)
        return Variant(dbField->Text());
    if (source == TkvDataEditValueSource::evsKey && dbField->IsLookup() && dbField->DataSet())
        return dbField->DataSet()->FieldValues(dbField->KeyFields());
    return dbField->Value();
}

bool TkvDBDataProvider::WriteEditValue(TkvCustomDataField *field, TkvDataEditValueSource source,
                                       const Variant &value)
{
    TDbField *dbField = static_cast<TkvDBDataField *>(field)->Field();
    if (!dbField)
        return false;
    SetChangingValue(true);
    try {
        if (source == TkvDataEditValueSource::evsKey && dbField->IsLookup()) {
            // A lookup is edited through its key fields.
            const QStringList names = dbField->KeyFields().split(';', Qt::SkipEmptyParts);
            const std::vector<Variant> values =
                value.isArray() ? value.elements() : std::vector<Variant>(names.size(), value);
            if (std::size_t(names.size()) != values.size())
                throw EkvInvalidDataControllerOperation("Lookup key values do not match the key fields");
            for (qsizetype k = 0; k < names.size(); ++k)
                dbField->DataSet()->FieldByName(names[k].trimmed())->SetValue(values[std::size_t(k)]);
        } else if (source == TkvDataEditValueSource::evsText || dbField->HasSetTextHandler())
            dbField->SetText(value.isNull() ? QString() : value.toString());
        else
            dbField->SetValue(value);
    } catch (...) {
        SetChangingValue(false);
        throw;
    }
    SetChangingValue(false);
    return true;
}

bool TkvDBDataProvider::CanModifyField(TkvCustomDataField *field) const
{
    const TDbField *dbField = static_cast<TkvDBDataField *>(field)->Field();
    if (dbField && dbField->IsLookup()) {
        // Editable when every key field is.
        const QStringList names = dbField->KeyFields().split(';', Qt::SkipEmptyParts);
        for (const QString &name : names) {
            const TDbField *key =
                dbField->DataSet() ? dbField->DataSet()->FindField(name.trimmed()) : nullptr;
            if (!key || !key->CanModify())
                return false;
        }
        return !names.isEmpty();
    }
    return dbField && dbField->CanModify();
}

// ---------------------------------------------------------------------------
// Notifications

void TkvDBDataProvider::ActiveChanged(bool active)
{
    if (FState.IsDetached())
        return;
    DBDataController().SourceActivityChanged(active);
}

void TkvDBDataProvider::SyncFocusFromSource()
{
    if (FState.IsSyncing() || FState.IsLoading())
        return;
    TkvDbProviderState::TScope syncing(FState, TkvDbProviderState::State::Syncing);
    DBDataController().ChangeFocusedRecordIndex(FRecords.CurrentRecordIndex());
}

void TkvDBDataProvider::DataSetChanged(const TDbRowChange *change)
{
    if (FState.IsDetached() || !IsActive())
        return;
    using State = TkvDbProviderState::State;
    if (FState.Pending() == TkvDbProviderState::Deferred::LayoutChange && !FState.IsLoading() &&
        !IsOtherProviderBusy(State::Syncing)) {
        FState.ClearDeferred();
        LayoutChanged(); // binds anew and reloads
        return;
    }
    if (IsOtherProviderBusy(State::Syncing)) {
        // That provider tells this one when it is done.
        FState.Defer(TkvDbProviderState::Deferred::DataChange);
        return;
    }
    if (FState.IsLoading() || IsOtherProviderBusy(State::Loading)) {
        SyncFocusFromSource();
        return;
    }
    FState.DropDataChange();
    const TDataSetState state = DataSet()->State();
    if (IsGridMode()) {
        // The window is read again; it shows a pending insert in its place.
        FRecords.ForgetRefreshRecord();
        if (state == dsBrowse)
            FRecords.ForgetEditingRecord();
        DBDataController().DataChanged(dckAll, -1, -1);
        if (state == dsInsert)
            FRecords.SetEditingRecord(FRecords.CurrentRecordIndex(), TkvDbRecordTracker::Entry::Insert);
        return;
    }
    if (state == dsBrowse)
        FollowBrowseChange(change);
    else if (state == dsInsert && DBDataController().DataModeController().SyncInserts())
        FSmartRefresh.CreateInsertedRecord(DataSet());
}

void TkvDBDataProvider::FollowBrowseChange(const TDbRowChange *change)
{
    TkvDBDataController &controller = DBDataController();
    if (FRecords.EditingRecordIndex() != -1)
        FRecords.EditingEnds(controller); // the link tells of the state after this change
    FRecords.ForgetEditingRecord();
    if (FFollowingOtherWriter && change) {
        // Another program's row: no edit of ours ends with it.
        if (!FSmartRefresh.ApplyOtherWriterChange(DataSet(), *change))
            controller.DataChanged(dckAll, -1, -1);
        return;
    }
    const bool smart = controller.DataModeController().SmartRefresh() && controller.HasKeyFields() &&
                       FRecords.RefreshRecordIndex() >= 0;
    const bool refreshed = smart && FSmartRefresh.RefreshRecord(DataSet());
    if (refreshed)
        SyncFocusFromSource();
    FRecords.ForgetRefreshRecord();
    if (!refreshed && (!change || !FSmartRefresh.ApplyRowChange(DataSet(), *change))) {
        FRecords.ForgetNewItemEnded();
        controller.DataChanged(dckAll, -1, -1);
    }
    FRecords.ForgetNewItemEnded();
}

bool TkvDBDataProvider::CanFollowOtherWriter() const
{
    if (FState.IsDetached() || !IsActive())
        return true; // nothing shown: nothing to wait for
    const TkvDBDataController &controller = DBDataController();
    const IkvDataControllerOwner *owner = controller.Owner();
    return DataSet()->State() == dsBrowse && !controller.IsEditing() &&
           !(owner && owner->IsWritingEditorValue()) && FState.Current() == TkvDbProviderState::State::Idle &&
           !IsOtherProviderBusy(TkvDbProviderState::State::Loading) &&
           !IsOtherProviderBusy(TkvDbProviderState::State::Syncing);
}

bool TkvDBDataProvider::FollowOtherWriter(std::int64_t key)
{
    if (FState.IsDetached() || !IsActive())
        return true;
    TDbQuery *dataSet = DataSet();
    if (key != 0) {
        FFollowingOtherWriter = true;
        bool followed = false;
        try {
            followed = dataSet->RefreshRow(key);
        } catch (...) {
            FFollowingOtherWriter = false;
            throw;
        }
        FFollowingOtherWriter = false;
        if (followed)
            return true;
    }
    // The record set keeps its current row by bookmark, and the reload
    // focuses it again.
    dataSet->Refresh();
    return false;
}

void TkvDBDataProvider::DataSetScrolled(int distance)
{
    if (FState.IsDetached())
        return;
    if (IsGridMode() && !FState.IsLoading()) {
        if (FWindow.Moved()) {
            // The window moved: its rows are read again and the current one focused.
            DBDataController().DataChanged(dckAll, -1, -1);
            return;
        }
        FRecords.SetCurrentRecordIndex(FDataLink.ActiveRecord());
        SyncFocusFromSource();
        return;
    }
    FRecords.MoveCurrentRecordIndex(distance);
    SyncFocusFromSource();
}

void TkvDBDataProvider::EditingChanged()
{
    if (FState.IsDetached())
        return;
    if (!FDataLink.Active() || !FDataLink.Editing()) {
        FRecords.EditingEnds(DBDataController());
        return;
    }
    if (DataSet()->State() == dsEdit)
        FRecords.EditingStarts(DBDataController());
}

void TkvDBDataProvider::RecordChanged(TDbField *field)
{
    (void)field;
    // The new-item record is an internal one: below -1.
    const int editing = FRecords.EditingRecordIndex();
    if (FState.IsDetached() || !IsEditing() || editing == -1)
        return;
    TkvDBDataController &controller = DBDataController();
    if (editing >= controller.RecordCount())
        return;
    if (IsGridMode()) {
        controller.Change(chgUpdateRecord); // its values are read from the record set
        return;
    }
    TkvValueDefDBReader reader(DataSet());
    controller.Storage().ReadRecord(editing, reader, true);
    controller.Change(chgUpdateRecord);
}

void TkvDBDataProvider::LayoutChanged()
{
    if (FState.IsDetached())
        return;
    if (FState.IsLoading() || IsOtherProviderBusy(TkvDbProviderState::State::Syncing)) {
        // Not now: the next data-set change rebuilds the layout.
        FState.Defer(TkvDbProviderState::Deferred::LayoutChange);
        return;
    }
    // Binding anew and reading every row also covers a data change skipped before.
    FState.ClearDeferred();
    TkvDBDataController &controller = DBDataController();
    controller.BeginBatch();
    try {
        controller.BindFields();
        controller.DataChanged(dckAll, -1, -1);
    } catch (...) {
        controller.EndBatch();
        throw;
    }
    controller.EndBatch();
}

void TkvDBDataProvider::UpdateDataFromEditors()
{
    IkvDataControllerOwner *owner = DBDataController().Owner();
    if (owner && owner->IsWritingEditorValue())
        owner->PostEditorValue();
    SetChangingValue(false);
}

void TkvDBDataProvider::FocusControl(TDbField *&field)
{
    TkvDBDataController &controller = DBDataController();
    IkvDataControllerOwner *owner = controller.Owner();
    if (!owner || !field)
        return;
    for (int i = 0; i < controller.ItemCount(); ++i) {
        if (controller.GetItemDBField(i)->Field() == field) {
            if (owner->FocusItemEditor(controller.GetItem(i)))
                field = nullptr;
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Records and focus

bool TkvDBDataProvider::HasFields() const
{
    return IsActive() && DataSet()->FieldCount() > 0;
}

void TkvDBDataProvider::UpdateFields()
{
    DBDataController().BindFields();
}

void TkvDBDataProvider::LoadRecords()
{
    if (IsGridMode()) {
        FWindow.Load();
        return;
    }
    FWindow.Forget();
    FLoader.Load();
}

bool TkvDBDataProvider::BeginRows(TDbQuery &query)
{
    // In grid mode the records are a window of rows: nothing to keep.
    if (FState.IsDetached() || IsGridMode())
        return false;
    return FLoader.BeginRows(query);
}

void TkvDBDataProvider::ResetEditing()
{
    FRecords.EditingEnds(DBDataController());
}

bool TkvDBDataProvider::ChangeFocusedRecord(int recordIndex)
{
    if (!IsActive() || FState.IsLoading())
        return true;
    TDbQuery *dataSet = DataSet();
    if (recordIndex < 0)
        return dataSet->IsEmpty(); // no row while rows exist is refused
    if (recordIndex == FRecords.CurrentRecordIndex())
        return true;
    const bool result = MoveToRecord(recordIndex);
    RefreshSkippedProviders();
    return result;
}

bool TkvDBDataProvider::LeaveEntryFor(int recordIndex)
{
    // Leaving the pending entry may move rows (a cancelled insert goes, a
    // saved entry that left the statement's rows goes with a re-run), so the
    // wanted row is held by bookmark, not by its index.
    TDbQuery *dataSet = DataSet();
    int position = recordIndex;
    if (FRecords.HasInsertedRecord()) {
        if (recordIndex == FRecords.EditingRecordIndex())
            return false; // the entry being added is focused already
        if (recordIndex > FRecords.EditingRecordIndex())
            --position;
    }
    const TBookmark wanted = dataSet->BookmarkAt(position);
    const unsigned version = FRecords.RowsVersion();
    dataSet->CheckBrowseMode();
    if (version == FRecords.RowsVersion())
        return true;
    if (!wanted.IsNull() && dataSet->BookmarkValid(wanted))
        dataSet->GotoBookmark(wanted); // the scroll updates the current record index
    return false;
}

bool TkvDBDataProvider::MoveToRecord(int recordIndex)
{
    TDbQuery *dataSet = DataSet();
    TkvDbProviderState::TScope syncing(FState, TkvDbProviderState::State::Syncing);
    if (IsGridMode()) {
        // A row of the window: the record set moves to it.
        const int position = FWindow.PositionOfRecord(recordIndex);
        const int current = dataSet->RecNo() - 1;
        if (position != current)
            dataSet->MoveBy(position - current);
        return true;
    }
    if (IsEditing() && !LeaveEntryFor(recordIndex))
        return true;
    TkvDBDataController &controller = DBDataController();
    if (controller.HasKeyFields() && recordIndex < controller.RecordCount()) {
        // Records are named by key: the record set finds the row itself.
        const Variant keys = controller.GetRecordKeyValues(recordIndex);
        const int position = dataSet->FindRowPosition(controller.KeyField()->SubFieldNames(), keys);
        if (position >= 0) {
            if (position != dataSet->RecNo() - 1)
                dataSet->Locate(controller.KeyField()->SubFieldNames(), keys);
            return true;
        }
    }
    const int current = FRecords.CurrentRecordIndex();
    const int distance = recordIndex - current;
    if (distance != 0 && current >= 0)
        dataSet->MoveBy(distance);
    else if (distance != 0)
        dataSet->SetRecNo(recordIndex + 1);
    return true;
}

// ---------------------------------------------------------------------------
// Grid mode: the records are the rows of the link's buffer window

Variant TkvDBDataProvider::GetValue(int recordIndex, const TkvCustomDataField *field)
{
    return FWindow.GetValue(recordIndex, field);
}

QString TkvDBDataProvider::GetDisplayText(int recordIndex, const TkvCustomDataField *field)
{
    return FWindow.GetDisplayText(recordIndex, field);
}

void TkvDBDataProvider::MoveFirst()
{
    if (IsActive())
        DataSet()->First();
}

void TkvDBDataProvider::MoveLast()
{
    if (IsActive())
        DataSet()->Last();
}

void TkvDBDataProvider::MoveBy(int distance)
{
    if (IsActive() && distance != 0)
        DataSet()->MoveBy(distance);
}

bool TkvDBDataProvider::IsBOF() const
{
    return !IsActive() || DataSet()->Bof();
}

bool TkvDBDataProvider::IsEOF() const
{
    return !IsActive() || DataSet()->Eof();
}

bool TkvDBDataProvider::LocateByText(TkvCustomDataField *field, const QString &upperText, bool next,
                                     bool forward)
{
    return FWindow.LocateByText(field, upperText, next, forward);
}

} // namespace kestrum

#include "data/DBDataProvider.h"

#include "data/DbDataController.h"
#include "data/DataControllerGroups.h"
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

//! Counts a lock up for the lifetime of the guard.
class TCounterGuard {
public:
    explicit TCounterGuard(int &counter) : FCounter(counter) { ++FCounter; }
    ~TCounterGuard() { --FCounter; }
    TCounterGuard(const TCounterGuard &) = delete;
    TCounterGuard &operator=(const TCounterGuard &) = delete;

private:
    int &FCounter;
};
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

// ---------------------------------------------------------------------------
// TkvDBDataModeController

void TkvDBDataModeController::SetSyncMode(bool value)
{
    if (FSyncMode == value)
        return;
    FSyncMode = value;
    FController.Refresh();
}

// ---------------------------------------------------------------------------
// TkvDBDataProvider

TkvDBDataProvider::TkvDBDataProvider(TkvDBDataController &controller)
    : TkvCustomDataProvider(controller), FDataLink(*this)
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
    FDetached = true;
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

bool TkvDBDataProvider::IsOtherProviderBusy(bool lockedOnly) const
{
    TDbQuery *dataSet = DataSet();
    if (!dataSet)
        return false;
    for (TkvDBDataProvider *other : ProviderList()) {
        if (other == this || other->DataSet() != dataSet)
            continue;
        if (lockedOnly ? other->FLockCount > 0 : other->FSyncLockCount > 0)
            return true;
    }
    return false;
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
            record = PositionOfRecord(record); // a window row: its place in the record set
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
    if (FDetached)
        return;
    DBDataController().SourceActivityChanged(active);
}

void TkvDBDataProvider::SyncFocusFromSource()
{
    if (FSyncLockCount > 0 || FLoading)
        return;
    TCounterGuard sync(FSyncLockCount);
    DBDataController().ChangeFocusedRecordIndex(FCurrentRecordIndex);
}

void TkvDBDataProvider::DataSetChanged(const TDbRowChange *change)
{
    if (FDetached || !IsActive())
        return;
    if (FLayoutChangePending && FLockCount == 0 && !FLoading && !IsOtherProviderBusy(false)) {
        FLayoutChangePending = false;
        FSkippedDataChange = false;
        LayoutChanged(); // binds anew and reloads
        return;
    }
    if (IsOtherProviderBusy(false)) {
        FSkippedDataChange = true; // that provider tells this one when it is done
        return;
    }
    if (FLockCount > 0 || IsOtherProviderBusy(true)) {
        SyncFocusFromSource();
        return;
    }
    FSkippedDataChange = false;
    const TDataSetState state = DataSet()->State();
    if (IsGridMode()) {
        // The window is read again; it shows a pending insert in its place.
        FRefreshRecordIndex = -1;
        if (state == dsBrowse)
            FEditingRecordIndex = -1;
        DBDataController().DataChanged(dckAll, -1, -1);
        if (state == dsInsert) {
            FEditingRecordIndex = FCurrentRecordIndex;
            FInserting = true;
        }
        return;
    }
    if (state == dsBrowse) {
        if (FEditingRecordIndex != -1)
            EditingEnds(); // the link tells of the state after this change
        FEditingRecordIndex = -1;
        const bool smart = DBDataController().DataModeController().SmartRefresh() &&
                           DBDataController().HasKeyFields() && FRefreshRecordIndex >= 0;
        const bool refreshed = smart && SmartRefreshRecord();
        FRefreshRecordIndex = -1;
        if (!refreshed && (!change || !ApplyRowChange(*change))) {
            FNewItemEnded = false;
            DBDataController().DataChanged(dckAll, -1, -1);
        }
        FNewItemEnded = false;
    } else if (state == dsInsert && DBDataController().DataModeController().SyncInserts()) {
        CreateInsertedRecord();
    }
}

bool TkvDBDataProvider::ApplyRowChange(const TDbRowChange &change)
{
    TkvDBDataController &controller = DBDataController();
    TDbQuery *dataSet = DataSet();
    if (IsGridMode() || dataSet->ControlsDisabled())
        return false;
    // Record k is the record set's k-th row; a record being inserted stood
    // at its insert position until now.
    const int rows = dataSet->RecordCount();
    const int position = change.Position;
    const int current = dataSet->IsEmpty() ? -1 : dataSet->RecNo() - 1;
    if (FNewItemEnded) {
        // The entry of the new-item row: no row stood for it until now.
        FNewItemEnded = false;
        if (change.Kind == TDbRowChange::rcInsertCancelled) {
            if (controller.RecordCount() != rows)
                return false;
            FCurrentRecordIndex = current;
            controller.Change(chgUpdateRecord);
            return true;
        }
        if (change.Kind != TDbRowChange::rcInserted || controller.RecordCount() + 1 != rows ||
            position != current || position > controller.RecordCount())
            return false;
        controller.BeginBatch();
        try {
            ++FRowsVersion;
            controller.InsertRecord(position);
            TkvValueDefDBReader reader(dataSet);
            controller.Storage().ReadRecord(position, reader, true);
            FCurrentRecordIndex = current;
        } catch (...) {
            controller.EndBatch();
            throw;
        }
        controller.EndBatch();
        return true;
    }
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
            ++FRowsVersion;
            FCurrentRecordIndex = current;
            controller.DeleteRecord(position);
        } else {
            // The row as the record set holds it now: what the file holds
            // after a post, the stored values after a cancel.
            TkvValueDefDBReader reader(dataSet);
            controller.Storage().ReadRecord(position, reader, true);
            FCurrentRecordIndex = current;
            controller.DataChanged(dckRecord, -1, position);
        }
    } catch (...) {
        controller.EndBatch();
        throw;
    }
    controller.EndBatch();
    return true;
}

void TkvDBDataProvider::CreateInsertedRecord()
{
    TkvDBDataController &controller = DBDataController();
    TDbQuery *dataSet = DataSet();
    if (FInserting && FEditingRecordIndex >= 0)
        return; // the placeholder exists already
    if (controller.NewItemRowFocused()) {
        // An entry begun on the owner's new-item row is edited in the
        // new-item record; the rows get it when it is posted.
        const int recordIndex = controller.NewItemRecordIndex();
        FEditingRecordIndex = recordIndex;
        FRefreshRecordIndex = -1;
        FInserting = true;
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
        ++FRowsVersion;
        FEditingRecordIndex = recordIndex;
        FRefreshRecordIndex = recordIndex;
        FRefreshInserted = true;
        FInserting = true;
        FCurrentRecordIndex = recordIndex;
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

void TkvDBDataProvider::DataSetScrolled(int distance)
{
    if (FDetached)
        return;
    if (IsGridMode() && !FLoading) {
        if (FDataLink.FirstRecord() != FWindowFirstRecord ||
            FDataLink.RecordCount() != DBDataController().RecordCount()) {
            // The window moved: its rows are read again and the current one focused.
            DBDataController().DataChanged(dckAll, -1, -1);
            return;
        }
        FCurrentRecordIndex = FDataLink.ActiveRecord();
        SyncFocusFromSource();
        return;
    }
    FCurrentRecordIndex += distance;
    SyncFocusFromSource();
}

void TkvDBDataProvider::EditingStarts()
{
    FEditingRecordIndex = DBDataController().FocusedRecordIndex();
    FRefreshRecordIndex = FEditingRecordIndex;
    FRefreshInserted = false;
    DBDataController().Change(chgUpdateRecord);
}

void TkvDBDataProvider::EditingEnds()
{
    TkvDBDataController &controller = DBDataController();
    // Only the new-item record is edited as an internal record.
    const int newItemRecord = FEditingRecordIndex < -1 ? controller.NewItemRecordIndex() : 0;
    if (FEditingRecordIndex != -1 && FEditingRecordIndex == newItemRecord) {
        // The new-item row is empty again for the next entry.
        controller.ClearRecordValues(newItemRecord);
        FNewItemEnded = true;
    }
    FEditingRecordIndex = -1;
    FInserting = false;
    if (FInternalEditRecord != 0) {
        const int record = FInternalEditRecord;
        FInternalEditRecord = 0;
        if (-record <= DBDataController().Storage().InternalRecordCount())
            DBDataController().Storage().ReleaseInternalRecord(record);
    }
}

void TkvDBDataProvider::EditingChanged()
{
    if (FDetached)
        return;
    if (!FDataLink.Active() || !FDataLink.Editing()) {
        EditingEnds();
        return;
    }
    if (DataSet()->State() == dsEdit)
        EditingStarts();
}

void TkvDBDataProvider::RecordChanged(TDbField *field)
{
    (void)field;
    // The new-item record is an internal one: below -1.
    if (FDetached || !IsEditing() || FEditingRecordIndex == -1)
        return;
    TkvDBDataController &controller = DBDataController();
    if (FEditingRecordIndex >= controller.RecordCount())
        return;
    if (IsGridMode()) {
        controller.Change(chgUpdateRecord); // its values are read from the record set
        return;
    }
    TkvValueDefDBReader reader(DataSet());
    controller.Storage().ReadRecord(FEditingRecordIndex, reader, true);
    controller.Change(chgUpdateRecord);
}

void TkvDBDataProvider::LayoutChanged()
{
    if (FDetached)
        return;
    if (FLockCount > 0 || FLoading || IsOtherProviderBusy(false)) {
        // Not now: the next data-set change rebuilds the layout.
        FLayoutChangePending = true;
        return;
    }
    FLayoutChangePending = false;
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

} // namespace kestrum

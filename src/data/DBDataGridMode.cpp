// Grid mode of the record-set provider: the controller's records are the
// rows of the link's buffer window, values are read from the record set, and
// moving, locating and searching are done by the record set itself.
#include "data/DbDataController.h"
#include "data/DBDataProvider.h"

#include "core/RegionalSettings.h"
#include "db/DbField.h"
#include "db/DbQuery.h"

#include <algorithm>

namespace kestrum {

namespace {

//! Reads a row of the record set other than the current one for its lifetime.
class TReadPositionGuard {
public:
    TReadPositionGuard(TDbQuery *dataSet, int position) : FDataSet(dataSet), FOld(dataSet->ReadPosition())
    {
        FDataSet->SetReadPosition(position);
    }
    ~TReadPositionGuard() { FDataSet->SetReadPosition(FOld); }
    TReadPositionGuard(const TReadPositionGuard &) = delete;
    TReadPositionGuard &operator=(const TReadPositionGuard &) = delete;

private:
    TDbQuery *FDataSet;
    int FOld;
};

constexpr int DefaultGridModeBufferCount = 100;

} // namespace

// ---------------------------------------------------------------------------
// Switches

void TkvDBDataModeController::SetGridMode(bool value)
{
    if (FGridMode == value)
        return;
    FGridMode = value;
    // The storage is laid out anew for the other mode and filled again at once.
    FController.BeginBatch();
    try {
        FController.Restructure();
        FController.Refresh();
    } catch (...) {
        FController.EndBatch();
        throw;
    }
    FController.EndBatch();
}

void TkvDBDataModeController::SetGridModeBufferCount(int value)
{
    value = std::max(value, 0);
    if (FGridModeBufferCount == value)
        return;
    FGridModeBufferCount = value;
    if (FController.DBProvider().IsGridMode())
        FController.Refresh();
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
    const int count = DBDataController().DataModeController().GridModeBufferCount();
    if (count > 0)
        return count;
    const IkvDataControllerOwner *owner = DataController().Owner();
    const int visible = owner ? owner->VisibleRowCount() : 0;
    return visible > 0 ? visible : DefaultGridModeBufferCount;
}

// ---------------------------------------------------------------------------
// Loading the window

int TkvDBDataProvider::PositionOfRecord(int recordIndex) const
{
    return FWindowFirstRecord + recordIndex;
}

void TkvDBDataProvider::LoadWindow()
{
    TkvDBDataController &controller = DBDataController();
    TkvDataStorage &storage = controller.Storage();
    if (FWindowFirstRecord >= 0)
        controller.DBSelection().WindowLeaving();
    storage.ClearRecords(false);
    FEditingRecordIndex = -1;
    FInternalEditRecord = 0;
    FWindowFirstRecord = -1;
    if (!IsActive() || DataSet()->ControlsDisabled()) {
        FCurrentRecordIndex = -1;
        return;
    }
    TDbQuery *dataSet = DataSet();
    ++FRowsVersion;
    FLoading = true;
    ++FLockCount;
    try {
        FDataLink.SetBufferCount(GridModeBufferCount());
        bool rebind = false;
        for (int i = 0; i < controller.Fields().Count(); ++i)
            rebind =
                rebind || static_cast<TkvDBDataField *>(controller.Fields().Items(i))->IsFieldDestroyed();
        if (rebind)
            controller.BindFields();
        storage.CheckStructure();
        FWindowFirstRecord = FDataLink.FirstRecord();
        const int count = FDataLink.RecordCount();
        storage.SetRecordCount(count);
        const TkvCustomDataField *recordNumber = controller.RecordNumberField();
        const TkvValueDef *recordNumberDef = recordNumber ? recordNumber->ValueDef() : nullptr;
        // Only the stored columns (key parts, the row number) are read; the
        // values of the items are read from the record set when asked for.
        bool anyStored = false;
        for (int i = 0; i < storage.ValueDefs().Count(); ++i)
            anyStored = anyStored || (storage.ValueDefs().Items(i)->BufferSize() > 0 &&
                                      storage.ValueDefs().Items(i) != recordNumberDef);
        TkvValueDefDBReader reader(dataSet);
        for (int k = 0; k < count; ++k) {
            TReadPositionGuard read(dataSet, FWindowFirstRecord + k);
            if (anyStored)
                storage.ReadRecord(k, reader, true);
            if (recordNumberDef)
                storage.SetValue(k, recordNumberDef, Variant(FWindowFirstRecord + k + 1));
        }
        FCurrentRecordIndex = dataSet->IsEmpty() ? -1 : std::clamp(FDataLink.ActiveRecord(), 0, count - 1);
    } catch (...) {
        --FLockCount;
        FLoading = false;
        throw;
    }
    --FLockCount;
    FLoading = false;
    controller.DBSelection().WindowLoaded();
}

// ---------------------------------------------------------------------------
// Values of the window's rows

Variant TkvDBDataProvider::GetValue(int recordIndex, const TkvCustomDataField *field)
{
    const TDbField *dbField = static_cast<const TkvDBDataField *>(field)->Field();
    if (!dbField || !IsActive() || FWindowFirstRecord < 0 || recordIndex >= DataController().RecordCount())
        return Variant::null();
    TReadPositionGuard read(DataSet(), PositionOfRecord(recordIndex));
    return dbField->Value();
}

QString TkvDBDataProvider::GetDisplayText(int recordIndex, const TkvCustomDataField *field)
{
    const TDbField *dbField = static_cast<const TkvDBDataField *>(field)->Field();
    if (!dbField || !IsActive() || FWindowFirstRecord < 0 || recordIndex >= DataController().RecordCount())
        return QString();
    TReadPositionGuard read(DataSet(), PositionOfRecord(recordIndex));
    return dbField->DisplayText();
}

// ---------------------------------------------------------------------------
// Moving and searching the record set

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
    TDbField *dbField = static_cast<TkvDBDataField *>(field)->Field();
    if (!dbField || !IsActive() || upperText.isEmpty())
        return false;
    TDbQuery *dataSet = DataSet();
    const int count = dataSet->RecordCount();
    if (count == 0)
        return false;
    const int current = std::max(dataSet->RecNo() - 1, 0);
    const RegionalSettings &settings = regionalSettings();
    int found = -1;
    {
        // A search from the current row on wraps round to the rows before it;
        // a search for the next match goes one way to the end.
        const int step = forward ? 1 : -1;
        for (int i = next ? 1 : 0; i < count && found < 0; ++i) {
            int position = current + step * i;
            if (next && (position < 0 || position >= count))
                break;
            if (!next)
                position %= count;
            TReadPositionGuard read(dataSet, position);
            if (settings.upper(dbField->DisplayText()).startsWith(upperText))
                found = position;
        }
    }
    if (found < 0)
        return false;
    if (found != current)
        dataSet->MoveBy(found - current);
    return dataSet->RecNo() - 1 == found;
}

} // namespace kestrum

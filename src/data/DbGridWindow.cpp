#include "data/DbGridWindow.h"

#include "core/RegionalSettings.h"
#include "data/DbDataController.h"
#include "data/DbReadPositionGuard.h"
#include "db/DbField.h"
#include "db/DbQuery.h"

#include <algorithm>

namespace kestrum {

namespace {
constexpr int DefaultGridModeBufferCount = 100;
} // namespace

TDbQuery *TkvDbGridWindow::ActiveDataSet() const
{
    return FLink.DataSet() && FLink.Active() ? FLink.DataSet() : nullptr;
}

int TkvDbGridWindow::BufferCount() const
{
    const int count = FController.DataModeController().GridModeBufferCount();
    if (count > 0)
        return count;
    const IkvDataControllerOwner *owner = FController.Owner();
    const int visible = owner ? owner->VisibleRowCount() : 0;
    return visible > 0 ? visible : DefaultGridModeBufferCount;
}

bool TkvDbGridWindow::Moved() const
{
    return FLink.FirstRecord() != FFirstRecord || FLink.RecordCount() != FController.RecordCount();
}

void TkvDbGridWindow::Load()
{
    TkvDataStorage &storage = FController.Storage();
    if (FFirstRecord >= 0)
        FController.DBSelection().WindowLeaving();
    storage.ClearRecords(false);
    FRecords.ForgetEditingRecord();
    FFirstRecord = -1;
    TDbQuery *dataSet = ActiveDataSet();
    if (!dataSet || dataSet->ControlsDisabled()) {
        FRecords.SetCurrentRecordIndex(-1);
        return;
    }
    FRecords.RowsMoved();
    {
        TkvDbProviderState::TScope loading(FState, TkvDbProviderState::State::Loading);
        FLink.SetBufferCount(BufferCount());
        bool rebind = false;
        for (int i = 0; i < FController.Fields().Count(); ++i)
            rebind =
                rebind || static_cast<TkvDBDataField *>(FController.Fields().Items(i))->IsFieldDestroyed();
        if (rebind)
            FController.BindFields();
        storage.CheckStructure();
        FFirstRecord = FLink.FirstRecord();
        const int count = FLink.RecordCount();
        storage.SetRecordCount(count);
        const TkvCustomDataField *recordNumber = FController.RecordNumberField();
        const TkvValueDef *recordNumberDef = recordNumber ? recordNumber->ValueDef() : nullptr;
        // Only the stored columns (key parts, the row number) are read; the
        // values of the items are read from the record set when asked for.
        bool anyStored = false;
        for (int i = 0; i < storage.ValueDefs().Count(); ++i)
            anyStored = anyStored || (storage.ValueDefs().Items(i)->BufferSize() > 0 &&
                                      storage.ValueDefs().Items(i) != recordNumberDef);
        TkvValueDefDBReader reader(dataSet);
        for (int k = 0; k < count; ++k) {
            TkvDbReadPositionGuard read(dataSet, FFirstRecord + k);
            if (anyStored)
                storage.ReadRecord(k, reader, true);
            if (recordNumberDef)
                storage.SetValue(k, recordNumberDef, Variant(FFirstRecord + k + 1));
        }
        FRecords.SetCurrentRecordIndex(dataSet->IsEmpty() ? -1
                                                          : std::clamp(FLink.ActiveRecord(), 0, count - 1));
    }
    FController.DBSelection().WindowLoaded();
}

Variant TkvDbGridWindow::GetValue(int recordIndex, const TkvCustomDataField *field) const
{
    const TDbField *dbField = static_cast<const TkvDBDataField *>(field)->Field();
    TDbQuery *dataSet = ActiveDataSet();
    if (!dbField || !dataSet || FFirstRecord < 0 || recordIndex >= FController.RecordCount())
        return Variant::null();
    TkvDbReadPositionGuard read(dataSet, PositionOfRecord(recordIndex));
    return dbField->Value();
}

QString TkvDbGridWindow::GetDisplayText(int recordIndex, const TkvCustomDataField *field) const
{
    const TDbField *dbField = static_cast<const TkvDBDataField *>(field)->Field();
    TDbQuery *dataSet = ActiveDataSet();
    if (!dbField || !dataSet || FFirstRecord < 0 || recordIndex >= FController.RecordCount())
        return QString();
    TkvDbReadPositionGuard read(dataSet, PositionOfRecord(recordIndex));
    return dbField->DisplayText();
}

bool TkvDbGridWindow::LocateByText(TkvCustomDataField *field, const QString &upperText, bool next,
                                   bool forward)
{
    TDbField *dbField = static_cast<TkvDBDataField *>(field)->Field();
    TDbQuery *dataSet = ActiveDataSet();
    if (!dbField || !dataSet || upperText.isEmpty())
        return false;
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
                position = (position % count + count) % count; // backwards too: to the last rows
            TkvDbReadPositionGuard read(dataSet, position);
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

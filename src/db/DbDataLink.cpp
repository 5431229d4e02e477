#include "db/DbDataLink.h"

#include "db/DbDataSource.h"
#include "db/DbQuery.h"

#include <algorithm>

namespace kestrum {

TDbDataLink::~TDbDataLink()
{
    if (FDataSource)
        FDataSource->RemoveDataLink(this);
}

TDbQuery *TDbDataLink::DataSet() const
{
    return FDataSource ? FDataSource->DataSet() : nullptr;
}

void TDbDataLink::SetDataSource(TDbDataSource *source)
{
    if (FDataSource == source)
        return;
    if (FDataSource)
        FDataSource->RemoveDataLink(this);
    FDataSource = source;
    if (FDataSource)
        FDataSource->AddDataLink(this);
    UpdateState();
}

void TDbDataLink::DataSourceDestroying()
{
    SetDataSource(nullptr);
}

void TDbDataLink::SetReadOnly(bool readOnly)
{
    if (FReadOnly == readOnly)
        return;
    FReadOnly = readOnly;
    UpdateState();
}

void TDbDataLink::SetBufferCount(int count)
{
    FBufferCount = std::max(count, 1);
    AdjustWindow();
}

int TDbDataLink::ActiveRecord() const
{
    const TDbQuery *dataSet = DataSet();
    if (!FActive || !dataSet || dataSet->CurrentPosition() < 0)
        return 0;
    return dataSet->CurrentPosition() - FFirstRecord;
}

int TDbDataLink::RecordCount() const
{
    const TDbQuery *dataSet = DataSet();
    if (!FActive || !dataSet)
        return 0;
    return std::clamp(dataSet->RecordCount() - FFirstRecord, 0, FBufferCount);
}

void TDbDataLink::AdjustWindow()
{
    const TDbQuery *dataSet = DataSet();
    const int position = FActive && dataSet ? dataSet->CurrentPosition() : -1;
    if (position < 0) {
        FFirstRecord = 0;
        return;
    }
    if (position < FFirstRecord)
        FFirstRecord = position;
    else if (position >= FFirstRecord + FBufferCount)
        FFirstRecord = position - FBufferCount + 1;
    // Keep the window full when the rows allow it.
    const int total = dataSet->RecordCount();
    if (FFirstRecord + FBufferCount > total)
        FFirstRecord = std::min(position, std::max(0, total - FBufferCount));
}

bool TDbDataLink::Edit()
{
    if (!FReadOnly && FDataSource)
        FDataSource->Edit();
    return FEditing;
}

void TDbDataLink::UpdateRecord()
{
    FUpdating = true;
    try {
        UpdateData();
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
}

void TDbDataLink::UpdateState()
{
    SetActive(FDataSource && FDataSource->State() != dsInactive);
    SetEditing(FDataSource && IsEditMode(FDataSource->State()) && !FReadOnly);
}

void TDbDataLink::SetActive(bool active)
{
    if (FActive == active)
        return;
    FActive = active;
    FFirstRecord = 0;
    AdjustWindow();
    ActiveChanged();
}

void TDbDataLink::SetEditing(bool editing)
{
    if (FEditing == editing)
        return;
    FEditing = editing;
    EditingChanged();
}

void TDbDataLink::DataEvent(TDataEvent event, std::intptr_t info)
{
    if (event == TDataEvent::UpdateState) {
        UpdateState();
        return;
    }
    if (!FActive)
        return;
    switch (event) {
    case TDataEvent::FieldChange:
    case TDataEvent::RecordChange:
        if (!FUpdating)
            RecordChanged(reinterpret_cast<TDbField *>(info));
        break;
    case TDataEvent::DataSetScroll:
        AdjustWindow();
        DataSetScrolled(int(info));
        break;
    case TDataEvent::DataSetChange: {
        AdjustWindow();
        const TDbRowChange *outer = FRowChange;
        FRowChange = reinterpret_cast<const TDbRowChange *>(info);
        try {
            DataSetChanged();
        } catch (...) {
            FRowChange = outer;
            throw;
        }
        FRowChange = outer;
        break;
    }
    case TDataEvent::LayoutChange:
        AdjustWindow();
        LayoutChanged();
        break;
    case TDataEvent::UpdateRecord:
        UpdateRecord();
        break;
    case TDataEvent::CheckBrowseMode:
        CheckBrowseMode();
        break;
    case TDataEvent::FocusControl: {
        auto *field = reinterpret_cast<TDbField **>(info);
        if (field && *field)
            FocusControl(*field);
        break;
    }
    case TDataEvent::UpdateState:
        break;
    }
}

void TDbDataLink::DataSetScrolled(int)
{
    DataSetChanged();
}

void TDbDataLink::FocusControl(TDbField *&)
{
}

void TDbDataLink::RecordChanged(TDbField *)
{
}

} // namespace kestrum

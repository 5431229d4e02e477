#include "db/DbDataSource.h"

#include "db/DbDataLink.h"
#include "db/DbQuery.h"

#include <algorithm>

namespace kestrum {

TDbDataSource::~TDbDataSource()
{
    for (TDbDataLink *link : std::vector<TDbDataLink *>(FDataLinks))
        link->DataSourceDestroying();
    if (FDataSet)
        FDataSet->DetachDataSource(this);
}

void TDbDataSource::SetDataSet(TDbQuery *dataSet)
{
    if (FDataSet == dataSet)
        return;
    if (FDataSet)
        FDataSet->DetachDataSource(this);
    FDataSet = dataSet;
    if (FDataSet)
        FDataSet->AttachDataSource(this);
    DataEvent(TDataEvent::UpdateState, 0);
    // Links that stayed active now see other fields.
    if (State() != dsInactive)
        NotifyLinks(TDataEvent::LayoutChange, 0);
}

void TDbDataSource::SetEnabled(bool enabled)
{
    if (FEnabled == enabled)
        return;
    FEnabled = enabled;
    DataEvent(TDataEvent::UpdateState, 0);
}

TDataSetState TDbDataSource::State() const
{
    return FEnabled && FDataSet ? FDataSet->State() : dsInactive;
}

void TDbDataSource::Edit()
{
    if (FAutoEdit && State() == dsBrowse)
        FDataSet->Edit();
}

void TDbDataSource::AddDataLink(TDbDataLink *link)
{
    if (std::find(FDataLinks.begin(), FDataLinks.end(), link) == FDataLinks.end())
        FDataLinks.push_back(link);
}

void TDbDataSource::RemoveDataLink(TDbDataLink *link)
{
    FDataLinks.erase(std::remove(FDataLinks.begin(), FDataLinks.end(), link), FDataLinks.end());
}

void TDbDataSource::DataSetDestroying()
{
    FDataSet = nullptr;
    DataEvent(TDataEvent::UpdateState, 0);
}

void TDbDataSource::NotifyLinks(TDataEvent event, std::intptr_t info)
{
    // A link may detach itself (or another) while it is told.
    for (TDbDataLink *link : std::vector<TDbDataLink *>(FDataLinks))
        if (std::find(FDataLinks.begin(), FDataLinks.end(), link) != FDataLinks.end())
            link->DataEvent(event, info);
}

void TDbDataSource::DataEvent(TDataEvent event, std::intptr_t info)
{
    if (event == TDataEvent::UpdateState) {
        const TDataSetState state = State();
        if (state == FLastState)
            return;
        FLastState = state;
        NotifyLinks(event, info);
        if (OnStateChange)
            OnStateChange(this);
        return;
    }
    if (FLastState == dsInactive)
        return;
    NotifyLinks(event, info);
    switch (event) {
    case TDataEvent::FieldChange:
        if (OnDataChange)
            OnDataChange(this, reinterpret_cast<TDbField *>(info));
        break;
    case TDataEvent::RecordChange:
    case TDataEvent::DataSetChange:
    case TDataEvent::DataSetScroll:
    case TDataEvent::LayoutChange:
        if (OnDataChange)
            OnDataChange(this, nullptr);
        break;
    case TDataEvent::UpdateRecord:
        if (OnUpdateData)
            OnUpdateData(this);
        break;
    default:
        break;
    }
}

} // namespace kestrum

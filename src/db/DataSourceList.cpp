#include "db/DataSourceList.h"

#include "db/DbDataSource.h"

#include <algorithm>

namespace kestrum {

void TDbDataSourceList::Attach(TDbDataSource *source)
{
    if (std::find(FSources.begin(), FSources.end(), source) == FSources.end())
        FSources.push_back(source);
}

void TDbDataSourceList::Detach(TDbDataSource *source)
{
    FSources.erase(std::remove(FSources.begin(), FSources.end(), source), FSources.end());
}

void TDbDataSourceList::DataSetDestroying()
{
    // A source may detach itself while it is told, so the loop runs over a copy.
    for (TDbDataSource *source : std::vector<TDbDataSource *>(FSources))
        source->DataSetDestroying();
}

void TDbDataSourceList::Send(TDataEvent event, std::intptr_t info, TDataSetState state)
{
    // Collecting pending editor values and the check before leaving edit
    // mode go through even while controls are disabled: skipping them
    // would post a record without what the user typed.
    const bool always =
        event == TDataEvent::UpdateRecord || (event == TDataEvent::CheckBrowseMode && IsEditMode(state));
    if (FDisableCount == 0 || always) {
        for (TDbDataSource *source : std::vector<TDbDataSource *>(FSources))
            source->DataEvent(event, info);
    } else if ((event == TDataEvent::UpdateState && state == dsInactive) ||
               event == TDataEvent::LayoutChange) {
        // The fields went away while disabled: re-enabling must rebuild layouts.
        FEnableEvent = TDataEvent::LayoutChange;
    }
}

void TDbDataSourceList::Disable(TDataSetState state)
{
    if (FDisableCount++ == 0) {
        FDisableState = state;
        FEnableEvent = TDataEvent::DataSetChange;
    }
}

void TDbDataSourceList::Enable(TDataSetState state)
{
    if (FDisableCount == 0)
        return;
    if (--FDisableCount == 0) {
        if (FDisableState != state)
            Send(TDataEvent::UpdateState, 0, state);
        if (FDisableState != dsInactive && state != dsInactive)
            Send(FEnableEvent, 0, state);
    }
}

} // namespace kestrum

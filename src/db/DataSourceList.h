#pragma once
// The data sources attached to a record set, and the notifications sent to
// them. While controls are disabled most notifications are held back and one
// catch-up notification goes out when they are enabled again.
#include "db/DbTypes.h"

#include <cstdint>
#include <vector>

namespace kestrum {

class TDbDataSource;

class TDbDataSourceList {
public:
    void Attach(TDbDataSource *source);
    void Detach(TDbDataSource *source);
    const std::vector<TDbDataSource *> &Sources() const { return FSources; }
    //! Tells every source that the record set goes away.
    void DataSetDestroying();

    //! Sends an event to every source unless controls are disabled. state is
    //! the record set's state now.
    void Send(TDataEvent event, std::intptr_t info, TDataSetState state);
    void Disable(TDataSetState state);
    //! Ends one Disable; the last one sends what the sources missed.
    void Enable(TDataSetState state);
    bool Disabled() const { return FDisableCount > 0; }

private:
    std::vector<TDbDataSource *> FSources;
    int FDisableCount = 0;
    TDataSetState FDisableState = dsInactive;            // the state when controls were disabled
    TDataEvent FEnableEvent = TDataEvent::DataSetChange; // what enabling sends
};

} // namespace kestrum

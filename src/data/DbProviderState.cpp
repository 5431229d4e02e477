#include "data/DbProviderState.h"

#include <stdexcept>

namespace kestrum {

TkvDbProviderState::State TkvDbProviderState::Entered(State from, State activity)
{
    if (activity != State::Loading && activity != State::Syncing)
        throw std::logic_error("A provider can only start loading or syncing");
    switch (from) {
    case State::Idle:
        return activity;
    case State::Syncing:
        // Leaving a pending entry during a move may reload the rows; the move
        // is still running when the load ends.
        return activity == State::Loading ? State::LoadingWhileSyncing : State::Syncing;
    case State::Loading:
        return activity == State::Syncing ? State::LoadingWhileSyncing : State::Loading;
    case State::LoadingWhileSyncing:
    case State::Detached:
        return from;
    }
    return from;
}

TkvDbProviderState::State TkvDbProviderState::Left(State current, State startedFrom)
{
    return current == State::Detached ? State::Detached : startedFrom;
}

void TkvDbProviderState::Defer(Deferred change)
{
    if (FDeferred != Deferred::LayoutChange)
        FDeferred = change;
}

void TkvDbProviderState::DropDataChange()
{
    if (FDeferred == Deferred::DataChange)
        FDeferred = Deferred::None;
}

} // namespace kestrum

#pragma once
// What a record-set provider is doing, as one state. The record set calls
// back into the provider while the provider moves or reads it, so each
// notification asks this state what it interrupts instead of a set of flags
// and lock counts that could disagree.
namespace kestrum {

class TkvDbProviderState {
public:
    enum class State {
        Idle,                //!< Waiting for the record set's notifications.
        Syncing,             //!< Moving the record set to the focus, or the focus to the record set.
        Loading,             //!< Reading the rows: all of them, or the grid-mode window.
        LoadingWhileSyncing, //!< A move made the record set reload (leaving a pending entry).
        Detached,            //!< Left the data source for good: nothing is passed on any more.
    };

    //! A change of the record set that arrived while this provider could not
    //! follow it; the later one covers the earlier.
    enum class Deferred {
        None,
        DataChange,   //!< Skipped while another provider moved the shared record set.
        LayoutChange, //!< The fields changed: bind anew and reload (covers a data change).
    };

    State Current() const { return FState; }
    bool IsLoading() const { return FState == State::Loading || FState == State::LoadingWhileSyncing; }
    bool IsSyncing() const { return FState == State::Syncing || FState == State::LoadingWhileSyncing; }
    bool IsDetached() const { return FState == State::Detached; }

    //! The state that starting `activity` (Loading or Syncing) leads to from `from`.
    static State Entered(State from, State activity);
    //! The state that ending an activity returns to: the one it was started
    //! from, unless the provider was detached meanwhile.
    static State Left(State current, State startedFrom);
    //! Final: a detached provider never becomes busy again.
    void Detach() { FState = State::Detached; }

    Deferred Pending() const { return FDeferred; }
    //! Remembers a change to follow later; a layout change is never downgraded.
    void Defer(Deferred change);
    //! Forgets a skipped data change (a layout change stays owed).
    void DropDataChange();
    void ClearDeferred() { FDeferred = Deferred::None; }

    //! Holds an activity for its lifetime, also when an exception leaves it.
    class TScope {
    public:
        TScope(TkvDbProviderState &owner, State activity) : FOwner(owner), FStartedFrom(owner.FState)
        {
            FOwner.FState = Entered(FStartedFrom, activity);
        }
        ~TScope() { FOwner.FState = Left(FOwner.FState, FStartedFrom); }
        TScope(const TScope &) = delete;
        TScope &operator=(const TScope &) = delete;

    private:
        TkvDbProviderState &FOwner;
        State FStartedFrom;
    };

private:
    State FState = State::Idle;
    Deferred FDeferred = Deferred::None;
};

} // namespace kestrum

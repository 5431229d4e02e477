#pragma once
// The controller's change notification: the change flags collected inside
// update brackets, the one data change they merge into, and their delivery to
// the owner, the events and the listeners in a fixed order.
#include "data/DataControllerTypes.h"
#include "data/UpdateControlInfo.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kestrum {

class TkvCustomDataController;

//! The owner's update handler: one call per notification object.
using TkvUpdateControlHandler = std::function<void(const TkvUpdateControlInfo &info)>;

class TkvDataControllerNotifier {
public:
    //! Where delivery stands. Handlers run while delivering; what they change
    //! goes out in a further round of the same delivery, never in a nested one.
    enum class State : std::uint8_t {
        Idle,             //!< nothing is being delivered
        Delivering,       //!< the owner, the events and the listeners are told
        NotifyingSorting, //!< OnSortingChanged runs (inside a delivery)
    };

    explicit TkvDataControllerNotifier(TkvCustomDataController &controller) : FController(controller) {}
    TkvDataControllerNotifier(const TkvDataControllerNotifier &) = delete;
    TkvDataControllerNotifier &operator=(const TkvDataControllerNotifier &) = delete;

    State CurrentState() const { return FState; }

    //! Adds change flags for the next delivery.
    void Add(TkvDataControllerChanges changes) { FChanges |= changes; }
    TkvDataControllerChanges PendingChanges() const { return FChanges; }
    //! Merges a data change into the pending one: the merged change never says
    //! less than either did (two records make a reload, two items of one
    //! record a record change).
    void NoteDataChange(TkvDataChangeKind kind, int itemIndex, int recordIndex);
    //! The data change not yet delivered (dckAll when none is).
    TkvDataChangeKind PendingDataChangeKind() const { return FPendingData ? FPendingData->Kind : dckAll; }
    //! The controller flags a row-builder update calls for.
    static TkvDataControllerChanges ChangesOfRowUpdate(TkvDataControllerInfoChanges changes);

    //! Tells everything pending; nothing while locked or already delivering.
    void Deliver();
    //! The owner finished loading: the events it missed fire now.
    void OwnerLoaded();

    void SetUpdateControlHandler(TkvUpdateControlHandler handler)
    {
        FUpdateControlHandler = std::move(handler);
    }
    int AddDataChangedListener(std::function<void()> listener);
    void RemoveDataChangedListener(int id);

private:
    struct TPendingDataChange {
        TkvDataChangeKind Kind = dckAll;
        int ItemIndex = -1;
        int RecordIndex = -1;
    };
    //! The one place the state changes: a scope enters a state and restores
    //! the previous one when it ends, also when a handler throws.
    class TStateScope {
    public:
        TStateScope(TkvDataControllerNotifier &notifier, State state)
            : FNotifier(notifier), FPrevious(std::exchange(notifier.FState, state))
        {
        }
        ~TStateScope() { FNotifier.FState = FPrevious; }
        TStateScope(const TStateScope &) = delete;
        TStateScope &operator=(const TStateScope &) = delete;

    private:
        TkvDataControllerNotifier &FNotifier;
        State FPrevious;
    };

    void Send(const TkvUpdateControlInfo &info) const;
    void DeliverDataChange();
    void DeliverFocusChange();
    void DeliverSelectionChange();
    void NotifyListeners() const;

    TkvCustomDataController &FController;
    State FState = State::Idle;
    TkvDataControllerChanges FChanges = 0;
    std::optional<TPendingDataChange> FPendingData;
    bool FOwnerEventsOwed = false;  //!< events skipped while the owner loaded
    int FDeliveredSelectedRow = -1; //!< the single selected row told last (-1 none or several)
    TkvUpdateControlHandler FUpdateControlHandler;
    std::vector<std::pair<int, std::function<void()>>> FListeners;
    int FNextListenerId = 1;
};

} // namespace kestrum

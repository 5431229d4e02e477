#pragma once
// Staying usable while the link to a server ledger is down. A write that
// fails because the link broke leaves the user's entry where it was; this
// object notices the broken link, tries to make it again every few seconds
// (and at once when the user tries again), and says in the status bar how
// things stand. It never blocks: a reconnect runs in small steps, each only
// when libpq's socket is ready, so a server that does not answer keeps no
// window waiting.
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace kestrum {

class TPgDriver;

enum class TServerLinkState {
    Connected, //!< the link works (as far as anyone knows)
    Lost,      //!< broken; the next try is due at NextTry()
    Retrying,  //!< a reconnect is under way
};

//! The link itself, as TServerLink drives it; the server's is
//! TPgLinkReconnect, tests give their own.
class TLinkReconnect {
public:
    enum class TStep { Pending, Done, Failed };
    virtual ~TLinkReconnect() = default;
    //! Whether the link is known to be broken (no network traffic).
    virtual bool Broken() const = 0;
    //! Starts making the link again; false when it cannot even start.
    virtual bool Start() = 0;
    //! One step of the reconnect, taken only when it can go on at once.
    virtual TStep Step() = 0;
    //! Gives up on a reconnect under way.
    virtual void Abandon() = 0;
    //! Why the last reconnect failed, in the user's words.
    virtual QString Failure() const = 0;
};

class TServerLink {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    explicit TServerLink(
        std::unique_ptr<TLinkReconnect> link, std::chrono::milliseconds retryEvery = std::chrono::seconds(5),
        std::chrono::milliseconds giveUpAfter = std::chrono::seconds(15),
        TClock clock = [] { return std::chrono::steady_clock::now(); });

    TServerLinkState State() const { return FState; }
    //! Call often (a timer); notices a broken link, starts a reconnect when
    //! one is due and moves one under way on. Returns the state after.
    TServerLinkState Tick();
    //! The user wants to go on (saves again): the next Tick tries at once.
    void TryNow();
    //! The failed tries since the link broke.
    int FailedTries() const { return FFailedTries; }
    //! What the status bar says; empty while connected.
    QString StatusText() const;
    //! How soon Tick wants to be called again.
    std::chrono::milliseconds TickInterval() const;

    //! Heard on every change of state.
    std::function<void(TServerLinkState)> OnChange;

private:
    void enter(TServerLinkState state);
    void failed();

    std::unique_ptr<TLinkReconnect> FLink;
    std::chrono::milliseconds FRetryEvery, FGiveUpAfter;
    TClock FClock;
    TServerLinkState FState = TServerLinkState::Connected;
    std::chrono::steady_clock::time_point FNextTry{}, FGiveUpAt{};
    int FFailedTries = 0;
    QString FLastFailure;
};

//! The reconnect of a server ledger's driver through libpq: the same
//! session again (its settings and its listening for changes included).
class TPgLinkReconnect : public TLinkReconnect {
public:
    explicit TPgLinkReconnect(TPgDriver &driver) : FDriver(driver) {}
    bool Broken() const override;
    bool Start() override;
    TStep Step() override;
    void Abandon() override;
    QString Failure() const override { return FFailure; }

private:
    TPgDriver &FDriver;
    bool FWantWrite = true; //!< what libpq waits for before the next step
    QString FFailure;
};

} // namespace kestrum

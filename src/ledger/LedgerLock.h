#pragma once
// The sign that a program has a ledger open: a lock held on a side file
// "<ledger>.lock". The running program holds it shared for its lifetime;
// replacing the ledger (restoring a backup) needs it exclusively, so a
// restore is refused while any program has the ledger open.
//
// The lock lives on its own file on purpose: SQLite's locks on the ledger
// are POSIX record locks, which a process loses on every descriptor of the
// file as soon as it closes any one of them, so nothing here may open and
// close the ledger file itself while SQLite holds it.
#include <QString>

namespace kestrum {

class TLedgerLock {
public:
    explicit TLedgerLock(const QString &ledgerPath);
    ~TLedgerLock(); // releases the lock; the side file stays (removing it would race)
    TLedgerLock(const TLedgerLock &) = delete;
    TLedgerLock &operator=(const TLedgerLock &) = delete;

    static QString LockPath(const QString &ledgerPath);

    //! Each returns whether the lock is now held that way; none waits. A
    //! shared lock held already is turned into an exclusive one and back.
    bool LockShared();
    bool LockExclusive();
    void Unlock();

    bool Held() const { return FHeld != THeld::None; }
    bool Exclusive() const { return FHeld == THeld::Exclusive; }
    //! Why the last attempt failed: the side file could not be made, or
    //! another program holds the lock.
    const QString &Error() const { return FError; }
    //! Whether the last attempt failed because another program holds the lock.
    bool Busy() const { return FBusy; }

private:
    enum class THeld { None, Shared, Exclusive };
    bool Lock(int operation, THeld held);

    QString FPath;
    int FFile = -1;
    THeld FHeld = THeld::None;
    QString FError;
    bool FBusy = false;
};

} // namespace kestrum

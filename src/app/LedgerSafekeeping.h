#pragma once
// Keeping the ledger file safe while the program runs. Made before the data
// components load, it announces that the ledger is open (a shared lock on
// "<ledger>.lock"), checks the file, and when it is damaged or gone offers
// to put the newest good backup in its place (the damaged file is kept
// aside). A file that another program keeps locked is in use, not damaged:
// the user is told so and nothing is offered. A healthy ledger gets its first backup of the day in the
// background; after the data components closed, the destructor makes one
// more backup when the ledger changed since the newest one.
#include "ledger/LedgerLock.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <thread>

namespace kestrum {

class TLedgerSafekeeping {
public:
    //! The ledger the program opens: its connection's file in the working folder.
    static QString DefaultLedgerPath();

    //! `busyWait` is how long the check waits for a connection that keeps
    //! the ledger locked before it calls the ledger in use.
    explicit TLedgerSafekeeping(const QString &ledgerPath = DefaultLedgerPath(),
                                const QDateTime &now = QDateTime::currentDateTime(),
                                std::chrono::milliseconds busyWait = std::chrono::milliseconds(5000));
    ~TLedgerSafekeeping();
    TLedgerSafekeeping(const TLedgerSafekeeping &) = delete;
    TLedgerSafekeeping &operator=(const TLedgerSafekeeping &) = delete;

    //! Whether the ledger passed the check at start (or was restored).
    bool Healthy() const { return FHealthy; }
    //! Waits for the backup made at start, if one runs.
    void WaitForStartBackup();

private:
    bool CheckAndOfferRestore(const QDateTime &now, std::chrono::milliseconds busyWait);
    void StartBackup(const QDateTime &now);

    QString FLedgerPath;
    TLedgerLock FLock;
    bool FHealthy = false;
    std::thread FStartBackup;
};

} // namespace kestrum

#pragma once
// Keeping the ledger file safe while the program runs. Made before the data
// components load, it announces that the ledger is open (a shared lock on
// "<ledger>.lock"), checks the file, and when it is damaged or gone offers
// to put the newest good backup in its place (the damaged file is kept
// aside). A file that another program keeps locked is in use, not damaged:
// the user is told so and nothing is offered. A healthy ledger gets its first backup of the day in the
// background; after the data components closed, the destructor makes one
// more backup when the ledger changed since the newest one. A backup that
// fails is told to the user once per kind of failure and run: the start's
// through the reporter (a line in the window's status bar), the close's in
// a box, since the window is gone by then.
#include "ledger/LedgerLock.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

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

    using TReporter = std::function<void(const QString &message)>;
    //! Where the start backup's failure goes; called at once with one that
    //! happened already, later from the backup's own thread.
    void SetFailureReporter(TReporter reporter);

    //! What went wrong, for the one message per kind.
    enum class TFailureKind { Copy, Check };

private:
    void ReportFailure(const std::exception &error, bool atClose);

    bool CheckAndOfferRestore(const QDateTime &now, std::chrono::milliseconds busyWait);
    void StartBackup(const QDateTime &now);

    QString FLedgerPath;
    TLedgerLock FLock;
    bool FHealthy = false;
    std::thread FStartBackup;
    std::atomic<bool> FStopStartBackup{false}; //!< the window closed: the start backup gives up
    std::mutex FReportMutex;                   //!< the start backup's thread reports too
    TReporter FReporter;
    std::vector<QString> FUnreported;
    std::set<TFailureKind> FToldKinds;
};

} // namespace kestrum

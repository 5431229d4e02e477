#pragma once
// Keeping the ledger file safe while the program runs. Made before the data
// components load, it announces that the ledger is open (a shared lock on
// "<ledger>.lock"), checks the file, and when it is damaged or gone offers
// to put the newest good backup in its place (the damaged file is kept
// aside). A file that another program keeps locked is in use, not damaged:
// the user is told so and nothing is offered. The program's start checks the
// pages beside the loading data components (the window is not held up by a
// large file) and settles the answer before the window shows; until the
// pages are known sound the write gate holds every write back, and a file
// found damaged and not restored gets none at all.
// A healthy ledger gets its first backup of the day in the
// background; after the data components closed, the destructor makes one
// more backup when the ledger changed since the newest one. A backup that
// fails is told to the user once per kind of failure and run: the start's
// through the reporter (a line in the window's status bar), the close's in
// a box, since the window is gone by then.
#include "db/DbConnection.h"
#include "ledger/LedgerFile.h"
#include "ledger/LedgerLock.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace kestrum {

class TLedgerSafekeeping {
public:
    //! The ledger the program opens: its connection's file in the working folder.
    static QString DefaultLedgerPath();

    //! When the pages of the file are checked.
    enum class TPageCheck {
        AtOnce, //!< in the constructor, before anything else opens the file
        Beside, //!< on a thread of its own; FinishPageCheck settles the answer
    };

    //! `busyWait` is how long the check waits for a connection that keeps
    //! the ledger locked before it calls the ledger in use.
    explicit TLedgerSafekeeping(const QString &ledgerPath = DefaultLedgerPath(),
                                const QDateTime &now = QDateTime::currentDateTime(),
                                std::chrono::milliseconds busyWait = std::chrono::milliseconds(5000),
                                TPageCheck pageCheck = TPageCheck::AtOnce);
    ~TLedgerSafekeeping();
    TLedgerSafekeeping(const TLedgerSafekeeping &) = delete;
    TLedgerSafekeeping &operator=(const TLedgerSafekeeping &) = delete;

    //! Whether the ledger passed the check at start (or was restored).
    bool Healthy() const { return FHealthy; }
    //! Waits for the backup made at start, if one runs.
    void WaitForStartBackup();

    //! With the pages checked beside: waits for the check and answers it as
    //! the constructor does at once (a damaged file is offered its newest
    //! good backup). `closeLedger` closes every connection to the file before
    //! a backup takes its place. True when it was called: the data
    //! components then load the file again (the backup, or the file as it
    //! was when the restore failed).
    bool FinishPageCheck(const std::function<void()> &closeLedger);

    //! For the connections that write the ledger: waits while the pages are
    //! being checked, then lets writes through unless the file was found
    //! damaged and not restored. It may outlive this object.
    TDbConnection::TCommitGate WriteGate() const;

    using TReporter = std::function<void(const QString &message)>;
    //! Where the start backup's failure goes; called at once with one that
    //! happened already, later from the backup's own thread.
    void SetFailureReporter(TReporter reporter);

    //! What went wrong, for the one message per kind.
    enum class TFailureKind { Copy, Check };

private:
    void ReportFailure(const std::exception &error, bool atClose);

    //! Answers what a look at the file found; true when it is sound or was restored.
    //! `beforeRestore` runs once the user agreed to a restore, before it.
    bool OfferRestore(const TLedgerExamination &examination, const QDateTime &now,
                      const std::function<void()> &beforeRestore = {});
    void StartBackup();
    void RunStartBackup();
    bool BackupDue(const QDateTime &now) const;
    //! Ends the wait of the write gate: writes pass unless `refuse`.
    void Settle(bool refuse);

    //! The check's answer to the write gate.
    struct TVerdict {
        std::mutex Mutex;
        std::condition_variable Settled;
        bool Pending = false;
        bool Refuse = false;
    };

    QString FLedgerPath;
    TLedgerLock FLock;
    bool FHealthy = false;
    QDateTime FStarted;
    std::shared_ptr<TVerdict> FVerdict = std::make_shared<TVerdict>();
    bool FPagesBeside = false;           //!< a page check runs or ran beside, not yet answered
    TLedgerExamination FPageExamination; //!< what it found (its thread writes it before settling)
    std::thread FStartBackup;
    std::atomic<bool> FStopStartBackup{false}; //!< the window closed: the start backup gives up
    std::mutex FReportMutex;                   //!< the start backup's thread reports too
    TReporter FReporter;
    std::vector<QString> FUnreported;
    std::set<TFailureKind> FToldKinds;
};

} // namespace kestrum

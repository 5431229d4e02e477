#pragma once
// Long work (an import, an export) on a worker thread while the window goes
// on painting: the worker reports how far it got and learns of a cancel
// through two atomics, the window only reads and writes those. The worker
// must not touch the window, its record sets or their connection; it opens
// its own connection to the ledger file.
#include <QString>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

class QProgressDialog;
class QWidget;

namespace kestrum {

//! What the worker sees: report progress, ask whether to go on.
class TJobProgress {
public:
    //! fraction in [0, 1]; answers false once the user has cancelled.
    bool Report(double fraction);
    bool CancelRequested() const { return FCancel.load(std::memory_order_relaxed); }

    //! Progress in thousandths, for the bar.
    int Permille() const { return FPermille.load(std::memory_order_relaxed); }
    void RequestCancel() { FCancel.store(true, std::memory_order_relaxed); }

private:
    std::atomic<int> FPermille{0};
    std::atomic<bool> FCancel{false};
};

class TBackgroundJob {
public:
    using TWork = std::function<void(TJobProgress &progress)>;

    //! Starts work on a new thread at once.
    explicit TBackgroundJob(TWork work);
    //! Waits for the worker: a job is never left running unseen.
    ~TBackgroundJob();
    TBackgroundJob(const TBackgroundJob &) = delete;
    TBackgroundJob &operator=(const TBackgroundJob &) = delete;

    TJobProgress &Progress() { return FProgress; }
    bool Finished() const { return FFinished.load(std::memory_order_acquire); }
    //! Waits for the worker and raises what it raised.
    void Wait();

private:
    TJobProgress FProgress;
    std::atomic<bool> FFinished{false};
    std::exception_ptr FError;
    std::thread FThread;
};

//! Runs work on a worker thread under a progress dialog with a cancel button
//! ("取消"); the dialog's own event loop keeps the window painting. Returns
//! when the worker is done, whether it finished or stopped for a cancel, and
//! raises what the worker raised. Answers whether the user cancelled.
bool RunWithProgress(QWidget *parent, const QString &label, const TBackgroundJob::TWork &work);

//! A busy notice without a cancel button, shown at once and painted before
//! work on the window's own thread that takes a while (reading the income
//! and expense lists again after a large import or undo); it goes when the
//! returned dialog is destroyed.
std::unique_ptr<QProgressDialog> ShowBusyNotice(QWidget *parent, const QString &label);

} // namespace kestrum

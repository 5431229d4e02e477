#include "app/BackgroundJob.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace kestrum {

bool TJobProgress::Report(double fraction)
{
    if (std::isfinite(fraction))
        FPermille.store(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000.0), std::memory_order_relaxed);
    return !CancelRequested();
}

TBackgroundJob::TBackgroundJob(TWork work)
{
    FThread = std::thread([this, work = std::move(work)] {
        try {
            work(FProgress);
        } catch (...) {
            FError = std::current_exception();
        }
        FFinished.store(true, std::memory_order_release);
    });
}

TBackgroundJob::~TBackgroundJob()
{
    if (FThread.joinable())
        FThread.join();
}

void TBackgroundJob::Wait()
{
    if (FThread.joinable())
        FThread.join();
    if (FError)
        std::rethrow_exception(std::exchange(FError, nullptr));
}

bool RunWithProgress(QWidget *parent, const QString &label, const TBackgroundJob::TWork &work)
{
    QProgressDialog dialog(label, QString::fromUtf8("取消"), 0, 1000, parent);
    dialog.setWindowTitle(QStringLiteral("Kestrum"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    // Short jobs finish before the dialog would flash up.
    dialog.setMinimumDuration(400);
    dialog.setValue(0);

    TBackgroundJob job(work);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(30);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (job.Finished()) {
            loop.quit();
            return;
        }
        if (!job.Progress().CancelRequested())
            dialog.setValue(job.Progress().Permille());
    });
    const auto cancel = [&] {
        if (job.Finished())
            return;
        job.Progress().RequestCancel();
        // The worker still has to roll back; the dialog stays until it has.
        dialog.setLabelText(QString::fromUtf8("正在取消..."));
        dialog.setCancelButton(nullptr);
        dialog.show();
    };
    // Escape rejects the dialog without its cancel signal; either way the
    // window stays blocked until the worker has stopped.
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, cancel);
    QObject::connect(&dialog, &QDialog::rejected, &loop, cancel);
    poll.start();
    if (!job.Finished())
        loop.exec();
    poll.stop();
    const bool cancelled = job.Progress().CancelRequested();
    dialog.hide();
    job.Wait();
    return cancelled;
}

std::unique_ptr<QProgressDialog> ShowBusyNotice(QWidget *parent, const QString &label)
{
    auto notice = std::make_unique<QProgressDialog>(label, QString(), 0, 0, parent);
    notice->setWindowTitle(QStringLiteral("Kestrum"));
    notice->setWindowModality(Qt::WindowModal);
    notice->setCancelButton(nullptr);
    notice->setMinimumDuration(0);
    notice->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return notice;
}

} // namespace kestrum

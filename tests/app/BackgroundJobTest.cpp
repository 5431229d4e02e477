#include "app/BackgroundJob.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace kestrum {
namespace {

using namespace std::chrono_literals;

TEST(BackgroundJob, ProgressIsClampedAndACancelReachesTheWorker)
{
    TJobProgress progress;
    EXPECT_TRUE(progress.Report(0.25));
    EXPECT_EQ(progress.Permille(), 250);
    progress.Report(7.0);
    EXPECT_EQ(progress.Permille(), 1000);
    progress.Report(-1.0);
    EXPECT_EQ(progress.Permille(), 0);
    progress.Report(std::numeric_limits<double>::quiet_NaN()); // keeps the last
    EXPECT_EQ(progress.Permille(), 0);
    progress.RequestCancel();
    EXPECT_FALSE(progress.Report(0.5));
}

TEST(BackgroundJob, WaitRaisesWhatTheWorkerRaised)
{
    TBackgroundJob job([](TJobProgress &) { throw std::runtime_error("第3行: 日期无效"); });
    try {
        job.Wait();
        FAIL() << "no error";
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), "第3行: 日期无效");
    }
    EXPECT_TRUE(job.Finished());
}

// The dialog that RunWithProgress shows, once it is up.
QProgressDialog *progressDialog(QWidget &parent)
{
    for (QProgressDialog *dialog : parent.findChildren<QProgressDialog *>())
        if (dialog->isVisible())
            return dialog;
    return nullptr;
}

TEST(BackgroundJob, TheBarMovesWhileTheWorkerRunsAndTheWindowKeepsItsEvents)
{
    QWidget window;
    int ticks = 0; // timers of the window still fire: the window is not frozen
    QTimer windowTimer;
    QObject::connect(&windowTimer, &QTimer::timeout, [&] { ++ticks; });
    windowTimer.start(10);
    QList<int> seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QProgressDialog *dialog = progressDialog(window))
            if (seen.isEmpty() || seen.back() != dialog->value())
                seen << dialog->value();
    });
    watch.start(5);

    std::atomic<bool> onWorkerThread{false};
    const auto mainThread = std::this_thread::get_id();
    const bool cancelled = RunWithProgress(&window, "Importing", [&](TJobProgress &progress) {
        onWorkerThread = std::this_thread::get_id() != mainThread;
        for (int step = 1; step <= 20; ++step) {
            std::this_thread::sleep_for(60ms);
            progress.Report(step / 20.0);
        }
    });
    EXPECT_FALSE(cancelled);
    EXPECT_TRUE(onWorkerThread);
    EXPECT_GT(ticks, 20);
    ASSERT_GE(seen.size(), 3) << "the bar did not move";
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(progressDialog(window), nullptr) << "the dialog stays up after the work";
}

TEST(BackgroundJob, CancelStopsTheWorkerAndWaitsForIt)
{
    QWidget window;
    std::atomic<bool> rolledBack{false};
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (QProgressDialog *dialog = progressDialog(window)) {
            if (auto *button = dialog->findChild<QPushButton *>())
                button->click();
            press.stop();
        }
    });
    press.start(20);
    const bool cancelled = RunWithProgress(&window, "Importing", [&](TJobProgress &progress) {
        for (int step = 0; progress.Report(step / 1000.0); ++step)
            std::this_thread::sleep_for(5ms);
        std::this_thread::sleep_for(100ms); // rolling back takes a while
        rolledBack = true;
    });
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(rolledBack) << "returned before the worker had stopped";
}

TEST(BackgroundJob, AWorkerErrorReachesTheCallerAfterTheDialogIsGone)
{
    QWidget window;
    EXPECT_THROW(RunWithProgress(&window, "Exporting",
                                 [](TJobProgress &) {
                                     std::this_thread::sleep_for(50ms);
                                     throw std::runtime_error("disk full");
                                 }),
                 std::runtime_error);
    EXPECT_EQ(progressDialog(window), nullptr);
}

} // namespace
} // namespace kestrum

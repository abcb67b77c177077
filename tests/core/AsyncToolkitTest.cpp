#include "core/Async.h"
#include "core/CancellationError.h"
#include "core/OneShot.h"
#include "core/TaskHandle.h"
#include "core/WorkerPool.h"
#include "support/HeldJob.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>
#include <thread>

using namespace vorlith;
using namespace vorlith::test;

namespace {

bool onMainThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

} // namespace

TEST(OneShot, ResumesItsWaiterOnceOnALaterTurnOfItsOwnThread)
{
    // Resolved from the main thread: the waiter does not run inside resume().
    OneShot<int> fromMain;
    std::optional<int> gotFromMain;
    auto a = TaskHandle::spawn([&, fromMain](std::stop_token) mutable -> QCoro::Task<> {
        const int value = co_await fromMain;
        gotFromMain = value;
    });
    EXPECT_TRUE(fromMain.resume(7));
    EXPECT_FALSE(gotFromMain.has_value());
    EXPECT_FALSE(fromMain.resume(8));
    EXPECT_FALSE(fromMain.fail(CancellationError()));
    ASSERT_TRUE(runUntil([&] { return gotFromMain.has_value(); }));
    EXPECT_EQ(*gotFromMain, 7);

    // Failed from another thread before anyone awaits it: the awaiting coroutine still
    // suspends, then continues on the main thread with the error.
    OneShot<> fromWorker;
    std::thread([fromWorker]() mutable { fromWorker.fail(std::runtime_error("boom")); }).join();
    QString outcome;
    bool continuedOnMain = false;
    auto b = TaskHandle::spawn([&, fromWorker](std::stop_token) mutable -> QCoro::Task<> {
        try {
            co_await fromWorker;
            outcome = "resumed";
        } catch (const std::runtime_error& error) {
            outcome = error.what();
        }
        continuedOnMain = onMainThread();
    });
    EXPECT_TRUE(outcome.isEmpty());
    ASSERT_TRUE(runUntil([&] { return !outcome.isEmpty(); }));
    EXPECT_EQ(outcome, "boom");
    EXPECT_TRUE(continuedOnMain);
}

TEST(TaskHandle, StartsAtOnceAndNextTurnDefersTheRest)
{
    QStringList steps;
    auto handle = TaskHandle::spawn([&](std::stop_token) -> QCoro::Task<> {
        steps << "before";
        auto turn = nextTurn();
        co_await turn;
        steps << "after";
    });
    steps << "spawned";
    EXPECT_TRUE(handle.isRunning());
    ASSERT_TRUE(runUntil([&] { return !handle.isRunning(); }));
    EXPECT_EQ(steps, QStringList({"before", "spawned", "after"}));
}

TEST(TaskHandle, DroppingTheHandleDoesNotCancelButCancelDoes)
{
    bool droppedFinished = false;
    {
        auto dropped = TaskHandle::spawn([&](std::stop_token stop) -> QCoro::Task<> {
            auto pause = sleepFor(10ms, stop);
            co_await pause;
            droppedFinished = true;
        });
    }
    ASSERT_TRUE(runUntil([&] { return droppedFinished; }));

    // A cancelled sleep ends at once with CancellationError, which ends the task quietly.
    bool reachedEnd = false;
    QElapsedTimer clock;
    clock.start();
    auto cancelled = TaskHandle::spawn([&](std::stop_token stop) -> QCoro::Task<> {
        auto pause = sleepFor(60s, stop);
        co_await pause;
        reachedEnd = true;
    });
    cancelled.cancel();
    EXPECT_TRUE(cancelled.isCancelled());
    ASSERT_TRUE(runUntil([&] { return !cancelled.isRunning(); }));
    EXPECT_FALSE(reachedEnd);
    EXPECT_LT(clock.elapsed(), 30'000);
}

TEST(TaskHandle, KeepsTheBodysCapturesAliveAndLogsErrorsNobodyAwaited)
{
    static QStringList warnings;
    warnings.clear();
    const auto previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtWarningMsg)
            warnings << text;
    });
    auto captured = std::make_shared<QString>("kept");
    QString seen;
    auto handle = TaskHandle::spawn([captured, &seen](std::stop_token) -> QCoro::Task<> {
        auto turn = nextTurn();
        co_await turn;
        seen = *captured; // the lambda object spawn was given is long gone here
        throw std::runtime_error("lost result");
    });
    captured.reset();
    ASSERT_TRUE(runUntil([&] { return !handle.isRunning(); }));
    qInstallMessageHandler(previous);
    EXPECT_EQ(seen, "kept");
    EXPECT_EQ(warnings.filter("lost result").size(), 1);
}

TEST(SleepFor, WaitsAtLeastTheDurationAndRefusesAnAlreadyCancelledToken)
{
    QElapsedTimer clock;
    clock.start();
    qint64 elapsed = -1;
    auto timed = TaskHandle::spawn([&](std::stop_token stop) -> QCoro::Task<> {
        auto pause = sleepFor(30ms, stop);
        co_await pause;
        elapsed = clock.elapsed();
    });
    ASSERT_TRUE(runUntil([&] { return elapsed >= 0; }));
    EXPECT_GE(elapsed, 30);

    std::stop_source stopped;
    stopped.request_stop();
    QString outcome;
    auto refused = TaskHandle::spawn([&](std::stop_token) -> QCoro::Task<> {
        try {
            auto pause = sleepFor(1ms, stopped.get_token());
            co_await pause;
            outcome = "slept";
        } catch (const CancellationError&) {
            outcome = "cancelled";
        }
    });
    ASSERT_TRUE(runUntil([&] { return !outcome.isEmpty(); }));
    EXPECT_EQ(outcome, "cancelled");
}

TEST(WorkerPool, RunsJobsOnItsOwnThreadsAndHandsResultsBackToTheCaller)
{
    WorkerPool pool(2);
    EXPECT_EQ(pool.threadCount(), 2);
    std::atomic<bool> jobOnMain = true;
    bool continuedOnMain = false;
    std::optional<int> value;
    auto handle = TaskHandle::spawn([&](std::stop_token stop) -> QCoro::Task<> {
        auto job = pool.run(stop, [&jobOnMain] {
            jobOnMain = onMainThread();
            return 42;
        });
        value = co_await job;
        auto sideEffect = pool.run(stop, [&jobOnMain](std::stop_token) { jobOnMain = onMainThread(); });
        co_await sideEffect; // a job without a value
        continuedOnMain = onMainThread();
    });
    ASSERT_TRUE(runUntil([&] { return !handle.isRunning(); }));
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, 42);
    EXPECT_FALSE(jobOnMain);
    EXPECT_TRUE(continuedOnMain);
    EXPECT_EQ(QThreadPool::globalInstance()->activeThreadCount(), 0);
}

TEST(WorkerPool, ACancelledCallerStopsTheJobWaitsForItsEndAndDropsItsValue)
{
    WorkerPool pool(1);
    HeldJob held;
    QString outcome;
    auto handle = TaskHandle::spawn([&](std::stop_token stop) -> QCoro::Task<> {
        try {
            auto job = pool.run(stop, held.operation(5));
            const int value = co_await job;
            outcome = QString::number(value);
        } catch (const CancellationError&) {
            outcome = "cancelled";
        }
    });
    ASSERT_TRUE(runUntil([&] { return held.started(); }));
    handle.cancel();
    ASSERT_TRUE(runUntil([&] { return held.sawStop(); }));
    EXPECT_TRUE(outcome.isEmpty()); // the job has not ended yet
    held.release();
    ASSERT_TRUE(runUntil([&] { return !outcome.isEmpty(); }));
    EXPECT_EQ(outcome, "cancelled");
    EXPECT_TRUE(held.ended());
}

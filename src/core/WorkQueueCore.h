#pragma once

#include "core/CancellationError.h"
#include "core/OneShot.h"
#include "core/ThreadInbox.h"
#include "core/WorkerPool.h"

#include <QCoro/QCoroTask>
#include <QUuid>

#include <functional>
#include <memory>
#include <stop_token>

class QThread;

namespace vorlith {

// One suspended caller of a job queue: the token made for this wait and the continuation
// that resumes it, normally (it now holds a slot) or with an error.
struct QueueWaiter {
    QUuid token;
    OneShot<> continuation;
};

// The run, wait and release steps that both job queues share; each queue adds its own
// admission, hand-over and cancellation rules.
//
// A queue's state belongs to the thread that made it (the main thread): every step that
// touches it runs there. Cancellation hooks may fire on any thread; they only post a
// token-matched cancellation back, so a late one finds its waiter gone or replaced and does
// nothing.
class WorkQueueCore {
public:
    // `release` hands the slot of an ended job on, or frees it.
    WorkQueueCore(int workers, std::function<void()> release);

    void assertOwnerThread() const;

    // Suspends the caller as a new waiter: makes its token, installs a cancellation hook
    // that posts `cancelWaiting(token)`, hands the waiter to `admit` and waits until the
    // queue resumes it. Throws what it was resumed with (nothing when granted a slot).
    QCoro::Task<> waitForSlot(std::stop_token stop, std::function<void(QueueWaiter)> admit,
                              std::function<void(const QUuid&)> cancelWaiting);

    // Once `admission` succeeds the caller holds a slot: runs the operation on the queue's
    // workers and releases the slot on every path after the job has ended. A caller whose
    // admission failed never held a slot and releases nothing.
    template <typename Operation>
    QCoro::Task<JobResult<Operation>> runAdmitted(QCoro::Task<> admission, std::stop_token stop,
                                                  Operation operation)
    {
        co_await admission;
        HeldSlot slot(m_release);
        if (stop.stop_requested())
            throw CancellationError();
        auto job = m_workers.run(stop, std::move(operation));
        co_return co_await job;
    }

private:
    class HeldSlot {
    public:
        explicit HeldSlot(const std::function<void()>& release) : m_release(release) {}
        ~HeldSlot() { m_release(); }
        HeldSlot(const HeldSlot&) = delete;
        HeldSlot& operator=(const HeldSlot&) = delete;

    private:
        const std::function<void()>& m_release;
    };

    WorkerPool m_workers;
    std::function<void()> m_release;
    QThread* m_owner;
    ThreadInbox* m_inbox;
    // Posted cancellations check that the queue still exists before they touch it.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace vorlith

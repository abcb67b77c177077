#pragma once

#include "core/WorkQueueCore.h"

#include <QCoro/QCoroTask>

#include <optional>
#include <stop_token>

namespace vorlith {

// Limits how many background jobs of one kind run at once, and lets at most one more caller
// wait for a slot. A newer caller takes the waiting place and the older one is cancelled, so
// bursts collapse to the newest request. A slot passes from an ending job straight to the
// waiting caller without becoming free in between.
//
// Jobs run on the queue's own worker threads; all queue state lives on the thread that made
// the queue (the main thread), and `run` is called there. Destroy a queue only when idle.
class BoundedWorkQueue {
public:
    explicit BoundedWorkQueue(int limit);
    ~BoundedWorkQueue();
    BoundedWorkQueue(const BoundedWorkQueue&) = delete;
    BoundedWorkQueue& operator=(const BoundedWorkQueue&) = delete;

    // Runs `operation` on a worker once a slot is held and returns its value or error.
    // The operation may take a std::stop_token, triggered when `stop` is. Throws
    // CancellationError when `stop` is triggered at any step (even if the job still
    // produced a value) or when a newer caller evicts this one from the waiting place.
    template <typename Operation>
    QCoro::Task<JobResult<Operation>> run(std::stop_token stop, Operation operation)
    {
        auto admission = acquire(stop);
        return m_core.runAdmitted(std::move(admission), std::move(stop), std::move(operation));
    }

    int limit() const { return m_limit; }
    int runningCount() const { return m_running; }
    int waitingCount() const { return m_waiting ? 1 : 0; }

private:
    QCoro::Task<> acquire(std::stop_token stop);
    void admit(QueueWaiter waiter);
    void release();
    void cancelWaiting(const QUuid& token);

    const int m_limit;
    int m_running = 0;
    std::optional<QueueWaiter> m_waiting;
    WorkQueueCore m_core;
};

} // namespace vorlith

#include "core/BoundedWorkQueue.h"

#include <QtGlobal>

#include <utility>

namespace vorlith {

BoundedWorkQueue::BoundedWorkQueue(int limit)
    : m_limit(limit), m_core(limit > 0 ? limit : 1, [this] { release(); })
{
    Q_ASSERT_X(limit > 0, "BoundedWorkQueue", "the limit must be greater than 0");
}

BoundedWorkQueue::~BoundedWorkQueue()
{
    Q_ASSERT_X(m_running == 0 && !m_waiting, "BoundedWorkQueue", "destroyed while busy");
}

QCoro::Task<> BoundedWorkQueue::acquire(std::stop_token stop)
{
    m_core.assertOwnerThread();
    if (stop.stop_requested())
        throw CancellationError();
    if (m_running < m_limit) {
        ++m_running;
        co_return;
    }
    auto wait = m_core.waitForSlot(
        stop, [this](QueueWaiter waiter) { admit(std::move(waiter)); },
        [this](const QUuid& token) { cancelWaiting(token); });
    co_await wait;
}

void BoundedWorkQueue::admit(QueueWaiter waiter)
{
    if (m_waiting)
        std::exchange(m_waiting, std::nullopt)->continuation.fail(CancellationError());
    m_waiting = std::move(waiter);
}

void BoundedWorkQueue::release()
{
    if (m_waiting) {
        // The slot passes straight on: `m_running` stays as it is.
        std::exchange(m_waiting, std::nullopt)->continuation.resume();
        return;
    }
    --m_running;
}

void BoundedWorkQueue::cancelWaiting(const QUuid& token)
{
    if (m_waiting && m_waiting->token == token)
        std::exchange(m_waiting, std::nullopt)->continuation.fail(CancellationError());
}

} // namespace vorlith

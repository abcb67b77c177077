#include "core/WorkQueueCore.h"

#include <QThread>

namespace vorlith {

WorkQueueCore::WorkQueueCore(int workers, std::function<void()> release)
    : m_workers(workers), m_release(std::move(release)), m_owner(QThread::currentThread()),
      m_inbox(ThreadInbox::current())
{
}

void WorkQueueCore::assertOwnerThread() const
{
    Q_ASSERT_X(QThread::currentThread() == m_owner, "job queue", "used off the thread that made it");
}

QCoro::Task<> WorkQueueCore::waitForSlot(std::stop_token stop, std::function<void(QueueWaiter)> admit,
                                         std::function<void(const QUuid&)> cancelWaiting)
{
    QueueWaiter waiter{QUuid::createUuid(), OneShot<>()};
    const QUuid token = waiter.token;
    std::stop_callback onStop(stop, [inbox = m_inbox, alive = std::weak_ptr<int>(m_alive), cancelWaiting, token] {
        inbox->post([alive, cancelWaiting, token] {
            if (alive.lock())
                cancelWaiting(token);
        });
    });
    OneShot<> resumed = waiter.continuation;
    admit(std::move(waiter));
    co_await resumed;
}

} // namespace vorlith

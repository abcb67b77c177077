#include "core/BoundedWorkQueue.h"

#include <QtGlobal>

#include <utility>

namespace vorlith {

BoundedWorkQueue::BoundedWorkQueue(int limit)
    : limit_(limit), core_(limit > 0 ? limit : 1, [this] { release(); })
{
    Q_ASSERT_X(limit > 0, "BoundedWorkQueue", "the limit must be greater than 0");
}

BoundedWorkQueue::~BoundedWorkQueue()
{
    Q_ASSERT_X(running_ == 0 && !waiting_, "BoundedWorkQueue", "destroyed while busy");
}

QCoro::Task<> BoundedWorkQueue::acquire(std::stop_token stop)
{
    core_.assertOwnerThread();
    if (stop.stop_requested())
        throw CancellationError();
    if (running_ < limit_) {
        ++running_;
        co_return;
    }
    auto wait = core_.waitForSlot(
        stop, [this](QueueWaiter waiter) { admit(std::move(waiter)); },
        [this](const QUuid& token) { cancelWaiting(token); });
    co_await wait;
}

void BoundedWorkQueue::admit(QueueWaiter waiter)
{
    if (waiting_)
        std::exchange(waiting_, std::nullopt)->continuation.fail(CancellationError());
    waiting_ = std::move(waiter);
}

void BoundedWorkQueue::release()
{
    if (waiting_) {
        // The slot passes straight on: `running_` stays as it is.
        std::exchange(waiting_, std::nullopt)->continuation.resume();
        return;
    }
    --running_;
}

void BoundedWorkQueue::cancelWaiting(const QUuid& token)
{
    if (waiting_ && waiting_->token == token)
        std::exchange(waiting_, std::nullopt)->continuation.fail(CancellationError());
}

} // namespace vorlith

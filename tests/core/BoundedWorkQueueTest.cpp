#include "core/BoundedWorkQueue.h"
#include "support/HeldJob.h"
#include "support/QueueCall.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vorlith;
using namespace vorlith::test;

namespace {

std::unique_ptr<QueueCall> call(BoundedWorkQueue& queue, HeldJob& job, int value)
{
    return std::make_unique<QueueCall>(
        [&queue, operation = job.operation(value)](std::stop_token stop) { return queue.run(stop, operation); });
}

} // namespace

TEST(BoundedWorkQueue, NewestWaiterEvictsTheOlderAndTakesTheSlotWithoutItBecomingFree)
{
    BoundedWorkQueue queue(1);
    HeldJob first, second, third, fourth;
    auto a = call(queue, first, 1);
    ASSERT_TRUE(runUntil([&] { return first.started(); }));
    EXPECT_EQ(queue.runningCount(), 1);

    auto b = call(queue, second, 2);
    EXPECT_EQ(queue.waitingCount(), 1);
    auto c = call(queue, third, 3);
    ASSERT_TRUE(runUntil([&] { return b->finished(); }));
    EXPECT_EQ(b->result(), "cancelled");
    EXPECT_FALSE(second.started());
    EXPECT_EQ(queue.waitingCount(), 1);

    // Right after the first job's result reaches its caller the slot already belongs to the
    // third caller: a newcomer has to wait instead of running.
    std::unique_ptr<QueueCall> d;
    int runningWhenFirstReturned = -1;
    a->then([&] {
        runningWhenFirstReturned = queue.runningCount();
        d = call(queue, fourth, 4);
    });
    first.release();
    ASSERT_TRUE(runUntil([&] { return a->finished(); }));
    EXPECT_EQ(a->result(), "=1");
    EXPECT_EQ(runningWhenFirstReturned, 1);
    ASSERT_TRUE(d);
    EXPECT_FALSE(fourth.started());
    EXPECT_EQ(queue.waitingCount(), 1);

    ASSERT_TRUE(runUntil([&] { return third.started(); }));
    third.release();
    ASSERT_TRUE(runUntil([&] { return fourth.started(); }));
    EXPECT_EQ(c->result(), "=3");
    fourth.release();
    ASSERT_TRUE(runUntil([&] { return d->finished(); }));
    EXPECT_EQ(d->result(), "=4");
    EXPECT_EQ(queue.runningCount(), 0);
    EXPECT_EQ(queue.waitingCount(), 0);
}

TEST(BoundedWorkQueue, LimitOfTwoRunsTwoJobsSideBySide)
{
    BoundedWorkQueue queue(2);
    HeldJob first, second, third;
    auto a = call(queue, first, 1);
    auto b = call(queue, second, 2);
    auto c = call(queue, third, 3);
    ASSERT_TRUE(runUntil([&] { return first.started() && second.started(); }));
    EXPECT_EQ(queue.runningCount(), 2);
    EXPECT_EQ(queue.waitingCount(), 1);
    EXPECT_FALSE(third.started());

    second.release();
    ASSERT_TRUE(runUntil([&] { return third.started(); }));
    EXPECT_EQ(b->result(), "=2");
    EXPECT_EQ(queue.runningCount(), 2);
    first.release();
    third.release();
    ASSERT_TRUE(runUntil([&] { return a->finished() && c->finished(); }));
    EXPECT_EQ(a->result(), "=1");
    EXPECT_EQ(c->result(), "=3");
    EXPECT_EQ(queue.runningCount(), 0);
}

TEST(BoundedWorkQueue, CancellingAWaiterFreesTheWaitingPlaceButALateCancellationSparesItsSuccessor)
{
    BoundedWorkQueue queue(1);
    HeldJob zeroth, first, second, third, fourth;

    // Cancelled while waiting: the place is freed, and the slot with it once the job ends.
    auto z = call(queue, zeroth, 0);
    ASSERT_TRUE(runUntil([&] { return zeroth.started(); }));
    auto b = call(queue, second, 2);
    b->cancel();
    ASSERT_TRUE(runUntil([&] { return b->finished(); }));
    EXPECT_EQ(b->result(), "cancelled");
    EXPECT_EQ(queue.waitingCount(), 0);
    zeroth.release();
    ASSERT_TRUE(runUntil([&] { return z->finished(); }));
    EXPECT_EQ(queue.runningCount(), 0);

    auto a = call(queue, first, 1);
    ASSERT_TRUE(runUntil([&] { return first.started(); }));

    // Cancelled, and evicted by a newcomer before the posted cancellation arrives: that
    // cancellation carries the old token and leaves the newcomer waiting.
    auto c = call(queue, third, 3);
    c->cancel();
    auto d = call(queue, fourth, 4);
    ASSERT_TRUE(runUntil([&] { return c->finished(); }));
    EXPECT_EQ(c->result(), "cancelled");
    ASSERT_TRUE(drainPosted());
    EXPECT_EQ(queue.waitingCount(), 1);
    EXPECT_FALSE(d->finished());

    first.release();
    ASSERT_TRUE(runUntil([&] { return fourth.started(); }));
    d->cancel(); // now it runs: the job sees its stop token
    ASSERT_TRUE(runUntil([&] { return fourth.sawStop(); }));
    fourth.release();
    ASSERT_TRUE(runUntil([&] { return d->finished(); }));
    EXPECT_EQ(d->result(), "cancelled");
    EXPECT_FALSE(second.started());
    EXPECT_FALSE(third.started());
    EXPECT_EQ(queue.runningCount(), 0);
    EXPECT_EQ(queue.waitingCount(), 0);
}

TEST(BoundedWorkQueue, CancellingARunningCallerCancelsItsJobAndHoldsTheSlotUntilTheJobEnds)
{
    BoundedWorkQueue queue(1);
    HeldJob first, second;
    auto a = call(queue, first, 1);
    ASSERT_TRUE(runUntil([&] { return first.started(); }));
    auto b = call(queue, second, 2);

    a->cancel();
    ASSERT_TRUE(runUntil([&] { return first.sawStop(); }));
    // The job has not ended yet: the slot stays with it and the waiter keeps waiting.
    ASSERT_TRUE(drainPosted());
    EXPECT_FALSE(a->finished());
    EXPECT_FALSE(second.started());
    EXPECT_EQ(queue.runningCount(), 1);
    EXPECT_EQ(queue.waitingCount(), 1);

    // The job still returns a value, which the cancelled caller never sees.
    first.release();
    ASSERT_TRUE(runUntil([&] { return a->finished(); }));
    EXPECT_EQ(a->result(), "cancelled");
    ASSERT_TRUE(runUntil([&] { return second.started(); }));
    second.release();
    ASSERT_TRUE(runUntil([&] { return b->finished(); }));
    EXPECT_EQ(b->result(), "=2");
    EXPECT_EQ(queue.runningCount(), 0);
}

TEST(BoundedWorkQueue, AFailingJobPassesItsErrorOnAfterTheSlotWasHandedOn)
{
    BoundedWorkQueue queue(1);
    HeldJob first, second;
    auto a = call(queue, first, 1);
    ASSERT_TRUE(runUntil([&] { return first.started(); }));
    auto b = call(queue, second, 2);

    int runningSeenByFailedCaller = -1, waitingSeenByFailedCaller = -1;
    a->then([&] {
        runningSeenByFailedCaller = queue.runningCount();
        waitingSeenByFailedCaller = queue.waitingCount();
    });
    first.failWith("disk full");
    ASSERT_TRUE(runUntil([&] { return a->finished(); }));
    EXPECT_EQ(a->result(), "error: disk full");
    EXPECT_EQ(runningSeenByFailedCaller, 1);
    EXPECT_EQ(waitingSeenByFailedCaller, 0);

    ASSERT_TRUE(runUntil([&] { return second.started(); }));
    second.release();
    ASSERT_TRUE(runUntil([&] { return b->finished(); }));
    EXPECT_EQ(b->result(), "=2");
    EXPECT_EQ(queue.runningCount(), 0);
    EXPECT_EQ(queue.waitingCount(), 0);
}

TEST(BoundedWorkQueue, CancelledCallersNeverRunTheirJob)
{
    BoundedWorkQueue queue(1);

    // Already cancelled when it calls: nothing is touched.
    HeldJob early;
    std::stop_source stopped;
    stopped.request_stop();
    auto e = std::make_unique<QueueCall>([&queue, operation = early.operation(0), token = stopped.get_token()](
                                             std::stop_token) { return queue.run(token, operation); });
    ASSERT_TRUE(runUntil([&] { return e->finished(); }));
    EXPECT_EQ(e->result(), "cancelled");
    EXPECT_EQ(queue.runningCount(), 0);

    // Granted the slot, but cancelled before it resumed: it hands the slot back unused.
    HeldJob first, second;
    auto a = call(queue, first, 1);
    ASSERT_TRUE(runUntil([&] { return first.started(); }));
    auto b = call(queue, second, 2);
    a->then([&] { b->cancel(); });
    first.release();
    ASSERT_TRUE(runUntil([&] { return b->finished(); }));
    EXPECT_EQ(b->result(), "cancelled");
    EXPECT_EQ(a->result(), "=1");
    EXPECT_FALSE(second.started());
    EXPECT_FALSE(early.started());
    EXPECT_EQ(queue.runningCount(), 0);
    EXPECT_EQ(queue.waitingCount(), 0);
}

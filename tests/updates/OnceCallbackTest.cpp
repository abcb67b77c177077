#include "app/updates/OnceCallback.h"

#include <gtest/gtest.h>

#include <optional>

using namespace vorlith;

TEST(OnceCallback, CopiesShareOneCallAndCountTheRest)
{
    int calls = 0;
    OnceCallback<int> reply([&](int value) { calls += value; });
    OnceCallback<int> copy = reply;
    copy(5);
    reply(7);
    copy(9);
    EXPECT_EQ(calls, 5);
    EXPECT_TRUE(reply.wasCalled());
    EXPECT_EQ(reply.ignoredCalls(), 2);

    OnceCallback<> empty;
    empty(); // absent: nothing, and no crash
    EXPECT_FALSE(empty.wasCalled());
}

TEST(OnceCallback, TheBodyMayDropTheLastCopy)
{
    std::optional<OnceCallback<>> holder;
    int calls = 0;
    holder.emplace([&] {
        holder.reset();
        ++calls;
    });
    OnceCallback<> local = *holder;
    holder->operator()();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(holder);
    local();
    EXPECT_EQ(calls, 1);
}

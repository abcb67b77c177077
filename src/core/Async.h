#pragma once

#include <QCoro/QCoroTask>

#include <chrono>
#include <coroutine>
#include <stop_token>

namespace vorlith {

// Awaitable: continues the coroutine on a later turn of the current thread's event loop.
struct NextTurn {
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> awaiting) const;
    void await_resume() const noexcept {}
};

// Usage: `auto turn = nextTurn(); co_await turn;`
inline NextTurn nextTurn() { return {}; }

// Waits for the duration on the current thread's event loop. Throws CancellationError as
// soon as `stop` is triggered (or at once if it already was); the timer dies with the wait.
QCoro::Task<> sleepFor(std::chrono::milliseconds duration, std::stop_token stop);

} // namespace vorlith

#pragma once

#include "core/ThreadInbox.h"

#include <coroutine>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace vorlith {

// A one-shot continuation: one coroutine awaits it, and whoever holds a copy resolves it,
// normally (`resume`) or with an error (`fail`), from any thread. Only the first resolution
// counts; later ones return false and change nothing, so a waiter is resumed exactly once.
//
// The awaiting coroutine always continues on the thread that made the OneShot, on a later
// turn of its event loop, never inside the resolver's call: a queue may resolve a waiter in
// the middle of changing its own state. Awaiting a OneShot that is already resolved still
// suspends until that later turn.
//
// Copies share one state; await it once only, from the thread that made it.
template <typename T = void>
class OneShot {
    using Stored = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

public:
    OneShot() : m_state(std::make_shared<State>()) { m_state->inbox = ThreadInbox::current(); }

    bool resume()
        requires std::is_void_v<T>
    {
        return resolve(Stored{}, nullptr);
    }
    template <typename U = T>
    bool resume(U value)
        requires(!std::is_void_v<T>)
    {
        return resolve(Stored(std::move(value)), nullptr);
    }
    bool fail(std::exception_ptr error) { return resolve(std::nullopt, std::move(error)); }
    template <typename E>
    bool fail(E error)
    {
        return fail(std::make_exception_ptr(std::move(error)));
    }

    bool isResolved() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->resolved;
    }

    // Awaitable (bind it to a named local, then co_await that).
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> awaiting)
    {
        bool resolved = false;
        {
            std::lock_guard lock(m_state->mutex);
            m_state->awaiting = awaiting;
            resolved = m_state->resolved;
        }
        if (resolved)
            schedule(awaiting);
    }
    // The error and the value are taken out of the shared state, not copied: a resolver on
    // another thread may still hold that state and drop it last, and what it drops must not
    // be an object this thread has just been reading.
    T await_resume()
    {
        std::exception_ptr error;
        std::optional<Stored> value;
        {
            std::lock_guard lock(m_state->mutex);
            error = std::exchange(m_state->error, nullptr);
            value = std::exchange(m_state->value, std::nullopt);
        }
        if (error)
            std::rethrow_exception(std::move(error));
        if constexpr (!std::is_void_v<T>)
            return std::move(*value);
    }

private:
    struct State {
        std::mutex mutex;
        bool resolved = false;
        std::optional<Stored> value;
        std::exception_ptr error;
        std::coroutine_handle<> awaiting;
        ThreadInbox* inbox = nullptr;
    };

    bool resolve(std::optional<Stored> value, std::exception_ptr error)
    {
        std::coroutine_handle<> awaiting;
        {
            std::lock_guard lock(m_state->mutex);
            if (m_state->resolved)
                return false;
            m_state->resolved = true;
            m_state->value = std::move(value);
            m_state->error = std::move(error);
            awaiting = m_state->awaiting;
        }
        // Exactly one side schedules: this one if the coroutine is already suspended,
        // await_suspend otherwise (it reads `resolved` under the same lock).
        if (awaiting)
            schedule(awaiting);
        return true;
    }

    void schedule(std::coroutine_handle<> awaiting)
    {
        m_state->inbox->post([awaiting] { awaiting.resume(); });
    }

    std::shared_ptr<State> m_state;
};

} // namespace vorlith

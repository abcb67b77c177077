#pragma once

#include <functional>
#include <memory>

namespace vorlith {

// A reply, acknowledgement, cancellation or retry handed across the update engine's seam: it
// runs at most once, however many copies of it are held (window actions, parked steps). A
// later call does nothing and is counted, so tests can see that nobody answered twice.
template<class... Args>
class OnceCallback {
public:
    OnceCallback() = default;
    explicit OnceCallback(std::function<void(Args...)> body) : m_state(std::make_shared<State>(std::move(body))) {}

    void operator()(Args... args) const
    {
        if (!m_state)
            return;
        if (m_state->called) {
            ++m_state->ignoredCalls;
            return;
        }
        m_state->called = true;
        // Moved out first: the body may drop the last copy of this callback.
        std::function<void(Args...)> body = std::move(m_state->body);
        m_state->body = nullptr;
        if (body)
            body(args...);
    }

    explicit operator bool() const { return m_state != nullptr; }
    bool wasCalled() const { return m_state && m_state->called; }
    // Calls after the first one, all of them ignored.
    int ignoredCalls() const { return m_state ? m_state->ignoredCalls : 0; }

private:
    struct State {
        explicit State(std::function<void(Args...)> b) : body(std::move(b)) {}
        std::function<void(Args...)> body;
        bool called = false;
        int ignoredCalls = 0;
    };
    std::shared_ptr<State> m_state;
};

} // namespace vorlith

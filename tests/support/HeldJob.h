#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <stdexcept>
#include <stop_token>
#include <string>

namespace vorlith::test {

// The order in which worker jobs started, shared by the jobs of one test.
class JobLog {
public:
    void add(const QString& name)
    {
        std::lock_guard lock(m_mutex);
        m_names << name;
    }
    QStringList names() const
    {
        std::lock_guard lock(m_mutex);
        return m_names;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_names;
};

// A worker job the test holds open: it starts, notes whether its stop token fired, and
// ends only when the test lets it go (with a value, or by throwing).
class HeldJob {
public:
    explicit HeldJob(QString name = {}, JobLog* log = nullptr)
        : m_state(std::make_shared<State>()), m_name(std::move(name)), m_log(log)
    {
    }
    ~HeldJob() { release(); }

    // The operation to hand to a queue: returns `value` once released.
    auto operation(int value)
    {
        return [state = m_state, name = m_name, log = m_log, value](std::stop_token stop) -> int {
            std::stop_callback noticed(stop, [&state] { state->sawStop = true; });
            if (log)
                log->add(name);
            state->started = true;
            state->gate.acquire();
            state->ended = true;
            if (state->failWith)
                throw std::runtime_error(*state->failWith);
            return value;
        };
    }

    void release()
    {
        if (!m_state->released.exchange(true))
            m_state->gate.release();
    }
    void failWith(const std::string& message)
    {
        m_state->failWith = message; // read by the job after the gate opens
        release();
    }

    bool started() const { return m_state->started; }
    bool sawStop() const { return m_state->sawStop; }
    bool ended() const { return m_state->ended; }

private:
    struct State {
        std::binary_semaphore gate{0};
        std::atomic<bool> released = false;
        std::atomic<bool> started = false;
        std::atomic<bool> sawStop = false;
        std::atomic<bool> ended = false;
        std::optional<std::string> failWith;
    };
    std::shared_ptr<State> m_state;
    QString m_name;
    JobLog* m_log;
};

} // namespace vorlith::test

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
        std::lock_guard lock(mutex_);
        names_ << name;
    }
    QStringList names() const
    {
        std::lock_guard lock(mutex_);
        return names_;
    }

private:
    mutable std::mutex mutex_;
    QStringList names_;
};

// A worker job the test holds open: it starts, notes whether its stop token fired, and
// ends only when the test lets it go (with a value, or by throwing).
class HeldJob {
public:
    explicit HeldJob(QString name = {}, JobLog* log = nullptr)
        : state_(std::make_shared<State>()), name_(std::move(name)), log_(log)
    {
    }
    ~HeldJob() { release(); }

    // The operation to hand to a queue: returns `value` once released.
    auto operation(int value)
    {
        return [state = state_, name = name_, log = log_, value](std::stop_token stop) -> int {
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
        if (!state_->released.exchange(true))
            state_->gate.release();
    }
    void failWith(const std::string& message)
    {
        state_->failWith = message; // read by the job after the gate opens
        release();
    }

    bool started() const { return state_->started; }
    bool sawStop() const { return state_->sawStop; }
    bool ended() const { return state_->ended; }

private:
    struct State {
        std::binary_semaphore gate{0};
        std::atomic<bool> released = false;
        std::atomic<bool> started = false;
        std::atomic<bool> sawStop = false;
        std::atomic<bool> ended = false;
        std::optional<std::string> failWith;
    };
    std::shared_ptr<State> state_;
    QString name_;
    JobLog* log_;
};

} // namespace vorlith::test

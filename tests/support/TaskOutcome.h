#pragma once

#include "support/TestSupport.h"

#include <QCoro/QCoroTask>

#include <exception>
#include <memory>
#include <optional>

namespace vorlith::test {

// What a finished task gave: its value or the exception it threw.
template<typename T>
struct TaskOutcome {
    std::optional<T> value;
    std::exception_ptr error;
    bool finished = false;

    // The thrown exception as E, or nothing when it threw something else or nothing.
    template<typename E>
    std::optional<E> errorAs() const
    {
        if (!error)
            return std::nullopt;
        try {
            std::rethrow_exception(error);
        } catch (const E& e) {
            return e;
        } catch (...) {
            return std::nullopt;
        }
    }
};

// Runs the event loop until the task is done (or the timeout passes) and reports its outcome.
// The observing task owns the awaited one, so a timeout leaves nothing dangling.
template<typename T>
TaskOutcome<T> finish(QCoro::Task<T> task, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    auto outcome = std::make_shared<TaskOutcome<T>>();
    auto observe = [](QCoro::Task<T> awaited, std::shared_ptr<TaskOutcome<T>> out) -> QCoro::Task<> {
        try {
            T value = co_await awaited;
            out->value = std::move(value);
        } catch (...) {
            out->error = std::current_exception();
        }
        out->finished = true;
    };
    QCoro::Task<> observer = observe(std::move(task), outcome);
    runUntil([&] { return outcome->finished; }, timeout);
    return *outcome;
}

} // namespace vorlith::test

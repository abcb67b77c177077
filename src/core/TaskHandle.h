#pragma once

#include "core/CancellationError.h"

#include <QCoro/QCoroTask>
#include <QtGlobal>

#include <exception>
#include <functional>
#include <stop_token>
#include <utility>

namespace vorlith {

// A running main-thread task held in an owner's field: the coroutine plus the stop source
// that cancels it. Dropping or replacing the handle does not stop the task (the coroutine
// runs on to its end); `cancel()` does, at the task's next check of its stop token.
//
// QCoro tasks start at once: `spawn` runs the body up to its first suspension before it
// returns. A body that must not run before its handle is stored begins with
// `co_await nextTurn()`.
//
// Errors nobody awaited are logged, never lost; a cancellation ends the task quietly.
class TaskHandle {
public:
    TaskHandle() = default;
    TaskHandle(TaskHandle&&) noexcept = default;
    TaskHandle& operator=(TaskHandle&&) noexcept = default;
    TaskHandle(const TaskHandle&) = delete;
    TaskHandle& operator=(const TaskHandle&) = delete;

    // Starts `body(std::stop_token)`, a callable returning a QCoro::Task. The callable is
    // kept alive until the task ends, so a capturing lambda is safe.
    template <typename Body>
    static TaskHandle spawn(Body body)
    {
        TaskHandle handle;
        handle.m_task = holding(std::move(body), handle.m_source.get_token());
        handle.m_spawned = true;
        return handle;
    }

    void cancel() { m_source.request_stop(); }
    bool isCancelled() const { return m_source.stop_requested(); }
    // True from spawn until the body has returned or thrown.
    bool isRunning() const { return m_spawned && !m_task.isReady(); }
    std::stop_token stopToken() const { return m_source.get_token(); }

    // The task itself, to await its end. It never throws.
    QCoro::Task<>& task() { return m_task; }

private:
    template <typename Body>
    static QCoro::Task<> holding(Body body, std::stop_token stop)
    {
        try {
            auto inner = std::invoke(body, stop);
            co_await inner;
        } catch (const CancellationError&) {
        } catch (const std::exception& error) {
            qWarning("vorlith: a task ended with an unhandled error: %s", error.what());
        } catch (...) {
            qWarning("vorlith: a task ended with an unhandled error");
        }
    }

    QCoro::Task<> m_task;
    std::stop_source m_source;
    bool m_spawned = false;
};

} // namespace vorlith

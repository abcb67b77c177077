#pragma once

#include "core/CancellationError.h"
#include "core/DocumentRenderQueue.h"
#include "core/TaskHandle.h"
#include "core/ThreadInbox.h"
#include "support/TestSupport.h"

#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>
#include <stop_token>

namespace vorlith::test {

// One caller of a job queue, running as its own main-thread task: what it got back
// ("pending", "=7", "cancelled", "previewCapacity", "outputAlreadyWaiting" or
// "error: <message>"), and a hook that runs in the caller's own continuation, right after
// the result arrived.
class QueueCall {
public:
    // `start(stop)` makes the queue's run task for this caller.
    template <typename Start>
    explicit QueueCall(Start start) : m_outcome(std::make_shared<Outcome>())
    {
        m_handle = TaskHandle::spawn([start, outcome = m_outcome](std::stop_token stop) -> QCoro::Task<> {
            try {
                auto run = start(stop);
                const int value = co_await run;
                outcome->text = QStringLiteral("=%1").arg(value);
            } catch (const CancellationError&) {
                outcome->text = QStringLiteral("cancelled");
            } catch (const DocumentRenderQueue::AdmissionError& error) {
                outcome->text = error.reason() == DocumentRenderQueue::AdmissionError::previewCapacity
                                    ? QStringLiteral("previewCapacity")
                                    : QStringLiteral("outputAlreadyWaiting");
            } catch (const std::exception& error) {
                outcome->text = QStringLiteral("error: ") + QString::fromUtf8(error.what());
            }
            if (outcome->then)
                outcome->then();
        });
    }

    bool finished() const { return m_outcome->text != QStringLiteral("pending"); }
    QString result() const { return m_outcome->text; }
    void cancel() { m_handle.cancel(); }
    void then(std::function<void()> hook) { m_outcome->then = std::move(hook); }

private:
    struct Outcome {
        QString text = QStringLiteral("pending");
        std::function<void()> then;
    };
    std::shared_ptr<Outcome> m_outcome;
    TaskHandle m_handle;
};

// Runs everything posted to this thread so far (posted cancellations, hand-overs), so a
// test can then check that something did NOT happen without waiting for a fixed time.
inline bool drainPosted()
{
    auto reached = std::make_shared<bool>(false);
    ThreadInbox::current()->post([reached] { *reached = true; });
    return runUntil([&] { return *reached; });
}

} // namespace vorlith::test

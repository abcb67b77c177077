#include "core/DocumentRenderQueue.h"

#include <QtGlobal>

#include <utility>

namespace vorlith {

const char* DocumentRenderQueue::AdmissionError::what() const noexcept
{
    return m_reason == previewCapacity ? "no waiting place for another document's preview"
                                      : "an output job is already waiting";
}

DocumentRenderQueue::DocumentRenderQueue(int maximumPreviewDocuments)
    : m_maximumPreviewDocuments(maximumPreviewDocuments), m_core(1, [this] { release(); })
{
    Q_ASSERT_X(maximumPreviewDocuments > 0, "DocumentRenderQueue", "the preview limit must be greater than 0");
}

DocumentRenderQueue::~DocumentRenderQueue()
{
    Q_ASSERT_X(!m_running && m_previews.isEmpty() && !m_output, "DocumentRenderQueue", "destroyed while busy");
}

QCoro::Task<> DocumentRenderQueue::acquire(QUuid documentID, Kind kind, std::stop_token stop)
{
    m_core.assertOwnerThread();
    if (stop.stop_requested())
        throw CancellationError();
    if (!m_running) {
        m_running = true;
        co_return;
    }
    auto wait = m_core.waitForSlot(
        stop, [this, documentID, kind](QueueWaiter waiter) { admit(documentID, kind, std::move(waiter)); },
        [this, documentID, kind](const QUuid& token) { cancelWaiting(documentID, kind, token); });
    co_await wait;
}

void DocumentRenderQueue::admit(const QUuid& documentID, Kind kind, QueueWaiter waiter)
{
    if (kind == Kind::output) {
        if (m_output)
            waiter.continuation.fail(AdmissionError(AdmissionError::outputAlreadyWaiting));
        else
            m_output = std::move(waiter);
        return;
    }
    if (auto older = m_previews.find(documentID); older != m_previews.end()) {
        // The newer preview takes the older one's place in line, even when every place is
        // taken.
        std::exchange(*older, std::move(waiter)).continuation.fail(CancellationError());
        return;
    }
    if (m_previews.size() < m_maximumPreviewDocuments) {
        m_previewOrder.append(documentID);
        m_previews.insert(documentID, std::move(waiter));
        return;
    }
    waiter.continuation.fail(AdmissionError(AdmissionError::previewCapacity));
}

void DocumentRenderQueue::release()
{
    // The slot passes straight on (`m_running` stays true): the output first, whenever it
    // arrived, then previews in line.
    if (m_output) {
        std::exchange(m_output, std::nullopt)->continuation.resume();
        return;
    }
    if (!m_previewOrder.isEmpty()) {
        const QUuid next = m_previewOrder.takeFirst();
        if (auto waiter = m_previews.find(next); waiter != m_previews.end()) {
            QueueWaiter granted = std::move(*waiter);
            m_previews.erase(waiter);
            granted.continuation.resume();
            return;
        }
    }
    m_running = false;
}

void DocumentRenderQueue::cancelWaiting(const QUuid& documentID, Kind kind, const QUuid& token)
{
    if (kind == Kind::output) {
        if (m_output && m_output->token == token)
            std::exchange(m_output, std::nullopt)->continuation.fail(CancellationError());
        return;
    }
    auto waiter = m_previews.find(documentID);
    if (waiter == m_previews.end() || waiter->token != token)
        return;
    QueueWaiter cancelled = std::move(*waiter);
    m_previews.erase(waiter);
    m_previewOrder.removeAll(documentID);
    cancelled.continuation.fail(CancellationError());
}

} // namespace vorlith

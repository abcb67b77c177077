#include "core/DocumentRenderQueue.h"

#include <QtGlobal>

#include <utility>

namespace vorlith {

const char* DocumentRenderQueue::AdmissionError::what() const noexcept
{
    return reason_ == previewCapacity ? "no waiting place for another document's preview"
                                      : "an output job is already waiting";
}

DocumentRenderQueue::DocumentRenderQueue(int maximumPreviewDocuments)
    : maximumPreviewDocuments_(maximumPreviewDocuments), core_(1, [this] { release(); })
{
    Q_ASSERT_X(maximumPreviewDocuments > 0, "DocumentRenderQueue", "the preview limit must be greater than 0");
}

DocumentRenderQueue::~DocumentRenderQueue()
{
    Q_ASSERT_X(!running_ && previews_.isEmpty() && !output_, "DocumentRenderQueue", "destroyed while busy");
}

QCoro::Task<> DocumentRenderQueue::acquire(QUuid documentID, Kind kind, std::stop_token stop)
{
    core_.assertOwnerThread();
    if (stop.stop_requested())
        throw CancellationError();
    if (!running_) {
        running_ = true;
        co_return;
    }
    auto wait = core_.waitForSlot(
        stop, [this, documentID, kind](QueueWaiter waiter) { admit(documentID, kind, std::move(waiter)); },
        [this, documentID, kind](const QUuid& token) { cancelWaiting(documentID, kind, token); });
    co_await wait;
}

void DocumentRenderQueue::admit(const QUuid& documentID, Kind kind, QueueWaiter waiter)
{
    if (kind == Kind::output) {
        if (output_)
            waiter.continuation.fail(AdmissionError(AdmissionError::outputAlreadyWaiting));
        else
            output_ = std::move(waiter);
        return;
    }
    if (auto older = previews_.find(documentID); older != previews_.end()) {
        // The newer preview takes the older one's place in line, even when every place is
        // taken.
        std::exchange(*older, std::move(waiter)).continuation.fail(CancellationError());
        return;
    }
    if (previews_.size() < maximumPreviewDocuments_) {
        previewOrder_.append(documentID);
        previews_.insert(documentID, std::move(waiter));
        return;
    }
    waiter.continuation.fail(AdmissionError(AdmissionError::previewCapacity));
}

void DocumentRenderQueue::release()
{
    // The slot passes straight on (`running_` stays true): the output first, whenever it
    // arrived, then previews in line.
    if (output_) {
        std::exchange(output_, std::nullopt)->continuation.resume();
        return;
    }
    if (!previewOrder_.isEmpty()) {
        const QUuid next = previewOrder_.takeFirst();
        if (auto waiter = previews_.find(next); waiter != previews_.end()) {
            QueueWaiter granted = std::move(*waiter);
            previews_.erase(waiter);
            granted.continuation.resume();
            return;
        }
    }
    running_ = false;
}

void DocumentRenderQueue::cancelWaiting(const QUuid& documentID, Kind kind, const QUuid& token)
{
    if (kind == Kind::output) {
        if (output_ && output_->token == token)
            std::exchange(output_, std::nullopt)->continuation.fail(CancellationError());
        return;
    }
    auto waiter = previews_.find(documentID);
    if (waiter == previews_.end() || waiter->token != token)
        return;
    QueueWaiter cancelled = std::move(*waiter);
    previews_.erase(waiter);
    previewOrder_.removeAll(documentID);
    cancelled.continuation.fail(CancellationError());
}

} // namespace vorlith

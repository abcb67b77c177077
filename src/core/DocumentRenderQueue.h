#pragma once

#include "core/WorkQueueCore.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QUuid>

#include <exception>
#include <optional>
#include <stop_token>

namespace vorlith {

// The gate every composite passes: one job runs at a time; at most one output job and, per
// document, one preview job wait, for at most `maximumPreviewDocuments` documents. A newer
// preview of a document replaces the one waiting for it and keeps its place in line. When a
// job ends the waiting output goes first, then previews in the order their documents began
// to wait; the slot passes on without becoming free in between.
//
// Jobs run on the queue's own worker thread; all queue state lives on the thread that made
// the queue (the main thread), and `run` is called there. Destroy a queue only when idle.
class DocumentRenderQueue {
public:
    enum class Kind { preview, output };

    class AdmissionError : public std::exception {
    public:
        enum Reason { previewCapacity, outputAlreadyWaiting };
        explicit AdmissionError(Reason reason) : m_reason(reason) {}
        Reason reason() const { return m_reason; }
        const char* what() const noexcept override;

    private:
        Reason m_reason;
    };

    explicit DocumentRenderQueue(int maximumPreviewDocuments);
    ~DocumentRenderQueue();
    DocumentRenderQueue(const DocumentRenderQueue&) = delete;
    DocumentRenderQueue& operator=(const DocumentRenderQueue&) = delete;

    // Runs `operation` on the worker once the slot is held and returns its value or error.
    // The operation may take a std::stop_token, triggered when `stop` is. Throws
    // CancellationError when `stop` is triggered at any step (even if the job still
    // produced a value) or when a newer preview of the document replaces this one;
    // AdmissionError when there is no waiting place for it.
    template <typename Operation>
    QCoro::Task<JobResult<Operation>> run(const QUuid& documentID, Kind kind, std::stop_token stop,
                                          Operation operation)
    {
        auto admission = acquire(documentID, kind, stop);
        return m_core.runAdmitted(std::move(admission), std::move(stop), std::move(operation));
    }

    int maximumPreviewDocuments() const { return m_maximumPreviewDocuments; }
    int runningCount() const { return m_running ? 1 : 0; }
    int waitingPreviewCount() const { return int(m_previews.size()); }
    int waitingOutputCount() const { return m_output ? 1 : 0; }

private:
    QCoro::Task<> acquire(QUuid documentID, Kind kind, std::stop_token stop);
    void admit(const QUuid& documentID, Kind kind, QueueWaiter waiter);
    void release();
    void cancelWaiting(const QUuid& documentID, Kind kind, const QUuid& token);

    const int m_maximumPreviewDocuments;
    bool m_running = false;
    QHash<QUuid, QueueWaiter> m_previews;
    // The keys of m_previews, in the order their documents first began to wait.
    QList<QUuid> m_previewOrder;
    std::optional<QueueWaiter> m_output;
    WorkQueueCore m_core;
};

} // namespace vorlith

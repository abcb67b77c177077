#pragma once

#include "app/base/ImageResourceStore.h"
#include "core/Annotation.h"
#include "core/DocumentRenderQueue.h"
#include "core/Geometry.h"
#include "core/TaskHandle.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QObject>
#include <QRegion>
#include <QUuid>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace vorlith {

// One document's compositor: turns its source image and marks into the flattened image, for
// the live preview while the user edits and for the final image of a copy or save. It runs
// on the main thread; the full-size compositing goes through the one process-wide render
// queue (`workers()`). It keeps the last result, charges its transient memory to the image
// budget and drops every result that a newer request has made stale (`revision`).
//
// Invariant: `cachedImage()` is the composite of `source()` with exactly `cachedMarks()`, and
// `cachedChanges()` covers every pixel where the two differ; after creation and after a
// discard it is the source itself (a composite of no marks asked for later is a bitmap of
// its own).
class CompositeRenderer : public QObject {
    Q_OBJECT

public:
    // What a preview's completion receives: the image, or the error that stopped it.
    struct PreviewResult {
        QImage image;
        std::exception_ptr error; // set on failure; the image is then null
        bool succeeded() const { return !error; }
    };
    using PreviewCompletion = std::function<void(const PreviewResult&)>;

    CompositeRenderer(QImage source, Size logicalSize, QObject* parent = nullptr);
    // Cancels the preview in flight.
    ~CompositeRenderer() override;

    // The one render queue of the process: one composite at a time, one waiting output and
    // waiting previews of at most 11 renderers. Made on first use, never destroyed.
    static DocumentRenderQueue& workers();

    // Answers at once, before returning, when the marks equal the cached marks. Otherwise
    // composes off the main thread and calls the completion on the main thread, at most once;
    // never for a request that a newer one, `cancelPreview()` or a queue eviction superseded.
    // Errors it reports: ImageResourceStore::Failure, AnnotationRenderError and
    // DocumentRenderQueue::AdmissionError (previewCapacity).
    void requestPreview(std::vector<Annotation> marks, PreviewCompletion completion);
    // Makes the pending preview stale (a new revision) and cancels its task.
    void cancelPreview();

    // The flattened image for a copy or save. Abandons the preview in flight. Throws
    // CancellationError (also when `stop` is triggered meanwhile), ImageResourceStore::Failure
    // (before anything is settled), AnnotationRenderError or AdmissionError
    // (outputAlreadyWaiting).
    QCoro::Task<QImage> output(std::vector<Annotation> marks, std::stop_token stop);

    // The bytes one composite of these marks needs at most: three source-sized bitmaps plus
    // the text and marker rasters, and never less than four source bitmaps and 64 KiB.
    // Saturates at the largest qint64, which is also the answer for anything that cannot be
    // drawn (a size that is not finite and positive, a text mark without points).
    static qint64 estimatedOutputWorkspaceBytes(const QImage& source, Size logicalSize,
                                                const std::vector<Annotation>& marks);

    const QUuid& renderDocumentID() const { return m_renderDocumentID; }
    const QImage& source() const { return m_source; }
    Size logicalSize() const { return m_logicalSize; }
    const QUuid& revision() const { return m_revision; }
    const QImage& cachedImage() const { return m_cachedImage; }
    const std::vector<Annotation>& cachedMarks() const { return m_cachedMarks; }
    // Where `cachedImage()` differs from the source, in pixels, by whole tiles (ChangedArea);
    // empty while it is the source itself.
    const QRegion& cachedChanges() const { return m_cachedChanges; }
    // 0 while the cached image is the source itself, else its bytes.
    qint64 cachedImageBytes() const;
    bool hasPreviewInFlight() const { return m_previewTask.isRunning(); }
    // Cancels the preview and returns the cache to the source; gives back the memory of a
    // document that is not on screen.
    void discardCache();

    // The budget to charge, set by the coordinator at registration. It is held weakly: a
    // render that outlives its budget reserves and gives back nothing. Without one nothing is
    // reserved.
    [[nodiscard]] std::shared_ptr<ImageResourceStore> resources() const { return m_resources.lock(); }
    void setResources(const std::shared_ptr<ImageResourceStore>& store) { m_resources = store; }
    // Called after each render's reservation is settled.
    std::function<void()> onResourcesChanged;

private:
    QCoro::Task<> runPreview(std::vector<Annotation> marks, PreviewCompletion completion, QUuid revision,
                             std::stop_token stop);
    // Validates and rasterises (main thread), then composites on the render queue.
    QCoro::Task<QImage> compose(const std::vector<Annotation>& marks, DocumentRenderQueue::Kind kind,
                                std::stop_token stop);
    void keep(std::vector<Annotation> marks, QImage image, QRegion changed);

    const QUuid m_renderDocumentID;
    const QImage m_source;
    const Size m_logicalSize;
    TaskHandle m_previewTask;
    QUuid m_revision;
    std::vector<Annotation> m_cachedMarks;
    QImage m_cachedImage;
    QRegion m_cachedChanges;
    std::weak_ptr<ImageResourceStore> m_resources;
};

} // namespace vorlith

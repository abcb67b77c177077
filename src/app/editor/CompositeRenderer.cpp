#include "app/editor/CompositeRenderer.h"

#include "core/Async.h"
#include "core/CancellationError.h"
#include "core/Saturating.h"
#include "rendering/AnnotationRenderer.h"
#include "rendering/ChangedArea.h"

#include <QPointer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vorlith {

namespace {

constexpr qint64 largest = std::numeric_limits<qint64>::max();

qint64 bitmapBytes(const QImage& image)
{
    return saturatingMultiply(image.bytesPerLine(), image.height());
}

// Gives back a render's reservation and tells the owner, once, on every way out of a render
// that got as far as reserving. The store is the one the renderer had when the render began.
class Settlement {
public:
    explicit Settlement(const QPointer<CompositeRenderer>& renderer)
        : m_renderer(renderer), m_store(renderer->resources())
    {
    }

    // Throws ImageResourceStore::Failure; nothing is reserved without a store.
    void reserve(qint64 bytes, ImageResourceStore::WorkKind kind)
    {
        if (const std::shared_ptr<ImageResourceStore> store = m_store.lock())
            m_reservation = store->reserveWork(bytes, kind, 0);
    }

    void settle()
    {
        if (m_settled)
            return;
        m_settled = true;
        if (const std::shared_ptr<ImageResourceStore> store = m_store.lock(); store && m_reservation)
            store->finishWork(*m_reservation);
        if (m_renderer && m_renderer->onResourcesChanged)
            m_renderer->onResourcesChanged();
    }

private:
    QPointer<CompositeRenderer> m_renderer;
    std::weak_ptr<ImageResourceStore> m_store; // a budget destroyed meanwhile is not touched
    std::optional<ImageResourceStore::WorkReservation> m_reservation;
    bool m_settled = false;
};

struct Composite {
    QImage image;
    QRegion changed; // where it differs from the source
};

// Validates and rasterises on the main thread (the text system lives there), then flattens on
// the render queue's worker, which also finds what the marks changed (the view paints the
// rest from the source). The worker gets only the immutable prepared render.
QCoro::Task<Composite> composeOnWorkers(QImage source, Size logicalSize, std::vector<Annotation> marks,
                                        QUuid renderDocumentID, DocumentRenderQueue::Kind kind, std::stop_token stop)
{
    AnnotationRenderer::PreparedRender prepared =
        AnnotationRenderer::prepare(source, logicalSize, std::move(marks));
    auto job = CompositeRenderer::workers().run(
        renderDocumentID, kind, stop, [prepared = std::move(prepared)](std::stop_token jobStop) {
            QImage image = AnnotationRenderer::composite(prepared, jobStop);
            QRegion changed = ChangedArea::between(prepared.source, image);
            return Composite{std::move(image), std::move(changed)};
        });
    Composite composite = co_await job;
    co_return composite;
}

} // namespace

CompositeRenderer::CompositeRenderer(QImage source, Size logicalSize, QObject* parent)
    : QObject(parent),
      m_renderDocumentID(QUuid::createUuid()),
      m_source(std::move(source)),
      m_logicalSize(logicalSize),
      m_revision(QUuid::createUuid()),
      m_cachedImage(m_source)
{
}

CompositeRenderer::~CompositeRenderer()
{
    m_previewTask.cancel();
}

DocumentRenderQueue& CompositeRenderer::workers()
{
    // Never destroyed: a composite still running at exit must not meet a dead queue.
    static auto* queue = new DocumentRenderQueue(11);
    return *queue;
}

void CompositeRenderer::cancelPreview()
{
    m_revision = QUuid::createUuid();
    m_previewTask.cancel();
    m_previewTask = TaskHandle();
}

void CompositeRenderer::requestPreview(std::vector<Annotation> marks, PreviewCompletion completion)
{
    cancelPreview();
    if (marks == m_cachedMarks) {
        if (completion)
            completion({m_cachedImage, nullptr});
        return;
    }
    const QUuid revision = m_revision;
    m_previewTask = TaskHandle::spawn([self = QPointer(this), marks = std::move(marks), completion = std::move(completion),
                                      revision](std::stop_token stop) mutable -> QCoro::Task<> {
        // Requests made in one pass of the event loop do the work of the last one only.
        auto turn = nextTurn();
        co_await turn;
        if (!self || stop.stop_requested() || self->m_revision != revision)
            co_return;
        auto preview = self->runPreview(std::move(marks), std::move(completion), revision, stop);
        co_await preview;
    });
}

QCoro::Task<> CompositeRenderer::runPreview(std::vector<Annotation> marks, PreviewCompletion completion,
                                            QUuid revision, std::stop_token stop)
{
    // `this` may be destroyed while the composite waits or runs: after each suspension only
    // `self` is used.
    const QPointer<CompositeRenderer> self(this);
    Settlement settlement(self);
    std::exception_ptr failure;
    try {
        // The preview's own bitmap replaces the cached one, so one source-sized bitmap less.
        const qint64 estimate = estimatedOutputWorkspaceBytes(m_source, m_logicalSize, marks);
        settlement.reserve(std::max<qint64>(0, estimate - bitmapBytes(m_source)), ImageResourceStore::WorkKind::preview);
        auto composing = composeOnWorkers(m_source, m_logicalSize, marks, m_renderDocumentID,
                                          DocumentRenderQueue::Kind::preview, stop);
        Composite composite = co_await composing;
        if (self && !stop.stop_requested() && self->m_revision == revision) {
            self->keep(std::move(marks), composite.image, std::move(composite.changed));
            self->m_previewTask = TaskHandle();
            if (completion)
                completion({composite.image, nullptr});
        }
    } catch (const CancellationError&) {
        // Superseded, evicted by a newer preview of this document, or cancelled: no answer.
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure && self && self->m_revision == revision) {
        self->m_previewTask = TaskHandle();
        if (completion)
            completion({QImage(), failure});
    }
    settlement.settle();
}

QCoro::Task<QImage> CompositeRenderer::output(std::vector<Annotation> marks, std::stop_token stop)
{
    cancelPreview();
    if (stop.stop_requested())
        throw CancellationError();
    // A copy, not the member: QCoro's co_return takes an lvalue through a forwarding
    // reference and moves from it, which would leave the cache empty.
    if (marks == m_cachedMarks)
        co_return QImage(m_cachedImage);

    const QPointer<CompositeRenderer> self(this);
    Settlement settlement(self);
    // A refusal goes to the caller before anything needs settling.
    settlement.reserve(estimatedOutputWorkspaceBytes(m_source, m_logicalSize, marks),
                       ImageResourceStore::WorkKind::output);
    Composite composite;
    try {
        auto composing = composeOnWorkers(m_source, m_logicalSize, marks, m_renderDocumentID,
                                          DocumentRenderQueue::Kind::output, stop);
        composite = co_await composing;
        if (stop.stop_requested() || !self)
            throw CancellationError();
    } catch (...) {
        settlement.settle();
        throw;
    }
    self->keep(std::move(marks), composite.image, std::move(composite.changed));
    settlement.settle();
    co_return composite.image;
}

void CompositeRenderer::keep(std::vector<Annotation> marks, QImage image, QRegion changed)
{
    m_cachedMarks = std::move(marks);
    m_cachedImage = std::move(image);
    m_cachedChanges = std::move(changed);
}

qint64 CompositeRenderer::cachedImageBytes() const
{
    if (m_cachedImage.cacheKey() == m_source.cacheKey())
        return 0;
    return bitmapBytes(m_cachedImage);
}

void CompositeRenderer::discardCache()
{
    cancelPreview();
    m_cachedMarks.clear();
    m_cachedImage = m_source;
    m_cachedChanges = QRegion();
}

qint64 CompositeRenderer::estimatedOutputWorkspaceBytes(const QImage& source, Size logicalSize,
                                                        const std::vector<Annotation>& marks)
{
    if (!std::isfinite(logicalSize.width) || !std::isfinite(logicalSize.height) || !(logicalSize.width > 0) ||
        !(logicalSize.height > 0))
        return largest;
    const double sx = source.width() / logicalSize.width;
    const double sy = source.height() / logicalSize.height;
    if (!std::isfinite(sx) || !std::isfinite(sy))
        return largest;

    const qint64 sourceBytes = bitmapBytes(source);
    qint64 total = saturatingMultiply(3, sourceBytes);
    for (const Annotation& mark : marks) {
        if (mark.kind != Annotation::Kind::text && mark.kind != Annotation::Kind::number)
            continue;
        if (mark.points.empty())
            return largest;
        const Rect box = *AnnotationRenderer::rasterBox(mark);
        if (!std::isfinite(box.minX()) || !std::isfinite(box.minY()) || !std::isfinite(box.maxX()) ||
            !std::isfinite(box.maxY()))
            return largest;
        const std::optional<QRect> pixels = AnnotationRenderer::pixelBox(box, sx, sy, source.size());
        if (!pixels)
            continue;
        const qint64 raster = saturatingMultiply(4, saturatingMultiply(pixels->width(), pixels->height()));
        total = saturatingAdd(total, saturatingAdd(raster, 128));
    }
    if (sourceBytes <= 0)
        return std::max<qint64>(total, 0);
    return std::max(total, ImageResourceStore::outputWorkspaceBytes(sourceBytes));
}

} // namespace vorlith

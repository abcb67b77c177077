// Documents and the memory budget: every live image, counted from the live objects.
#include "app/shell/AppCoordinator.h"

#include "app/base/ImageResourceStore.h"
#include "app/editor/CaptureOverlayWindow.h"
#include "app/editor/EditorHostView.h"
#include "app/shell/PinRequestRoad.h"
#include "core/Saturating.h"

#include <QSet>

namespace vorlith {

namespace {

qint64 imageBytes(const QImage& image)
{
    return image.isNull() ? 0 : qint64(image.bytesPerLine()) * image.height();
}

qint64 committedBytes(const EditorSession& session)
{
    return session.document() ? AppCoordinator::documentBytes(*session.document()) : 0;
}

} // namespace

qint64 AppCoordinator::documentBytes(const CaptureDocument& document)
{
    qint64 bytes = document.estimatedRetainedBytes();
    if (document.isPendingOutput())
        bytes = saturatingAdd(bytes, document.content().estimatedBytes());
    return std::max<qint64>(bytes, 0);
}

void AppCoordinator::registerDocument(std::shared_ptr<EditorDocument> document)
{
    m_documents.insert(document);
    CompositeRenderer& compositor = document->compositor();
    compositor.setResources(m_resources);
    QPointer<AppCoordinator> self(this);
    compositor.onResourcesChanged = [self] {
        if (self)
            self->refreshResources();
    };
    std::weak_ptr<EditorDocument> weak = document;
    document->canCommitSession = [self, weak](const EditorSession& session) {
        const std::shared_ptr<EditorDocument> held = weak.lock();
        if (!self || !held)
            return false;
        return self->canCommit(*held, session);
    };
}

bool AppCoordinator::canCommit(EditorDocument& document, const EditorSession& session)
{
    refreshResources();
    const qint64 old = committedBytes(document.session);
    const qint64 prospective = committedBytes(session);
    const CompositeRenderer& compositor = document.compositor();
    const qint64 workspace =
        CompositeRenderer::estimatedOutputWorkspaceBytes(compositor.source(), compositor.logicalSize(), session.annotations());
    const qint64 content = session.document() ? session.document()->content().estimatedBytes() : 0;
    const qint64 growth = saturatingAdd(std::max<qint64>(prospective - old, 0), content);
    const qint64 image = std::max<qint64>(imageBytes(compositor.source()) - compositor.cachedImageBytes(), 0);
    try {
        const ImageResourceStore::WorkReservation reservation =
            m_resources->reserveWork(saturatingAdd(image, growth), ImageResourceStore::WorkKind::editing, workspace);
        m_resources->finishWork(reservation);
        return true;
    } catch (const ImageResourceStore::Failure&) {
        postNotice(QStringLiteral("内存预算不足，请先关闭部分置顶图片。当前内容已保留。"));
        return false;
    }
}

void AppCoordinator::pruneDocuments()
{
    QSet<QUuid> keep;
    for (const CoordinatorPins::PinState& pin : pinStates())
        keep.insert(pin.documentID);
    for (CaptureOverlayWindow* window : overlays()) {
        if (auto* view = qobject_cast<EditorHostView*>(window->content()))
            keep.insert(view->record().id());
    }
    m_documents.removeWhere([&keep](const EditorDocument& document) { return !keep.contains(document.id()); });
    refreshResources();
}

void AppCoordinator::refreshResources()
{
    if (m_isRegisteringImportedImage || (m_pinRoad && m_pinRoad->isRegisteringImportedImage()))
        return;
    QHash<QUuid, qint64> sources;
    qint64 documents = 0;
    qint64 caches = 0;
    qint64 workspace = 0;
    for (const std::shared_ptr<EditorDocument>& document : m_documents.all()) {
        const CompositeRenderer& compositor = document->compositor();
        sources.insert(document->source().id, imageBytes(document->source().image));
        documents = saturatingAdd(documents, committedBytes(document->session));
        caches = saturatingAdd(caches, compositor.cachedImageBytes());
        workspace = std::max(workspace, CompositeRenderer::estimatedOutputWorkspaceBytes(
                                            compositor.source(), compositor.logicalSize(), document->session.annotations()));
    }
    for (const FrozenDisplay& frame : m_frames)
        sources.insert(frame.sourceID, frame.image.bitmapBytes());
    if (const std::optional<RecoveredCapture>& recovery = m_recoveryStore->current()) {
        for (const FrozenDisplay& frame : recovery->frames) {
            sources.insert(frame.sourceID, frame.image.bitmapBytes());
            if (frame.id == recovery->displayID) {
                const QImage pixels = frame.image.pixels();
                workspace = std::max(workspace, CompositeRenderer::estimatedOutputWorkspaceBytes(
                                                    pixels, frame.geometry.size, recovery->document.content().annotations));
            }
        }
        documents = saturatingAdd(documents, documentBytes(recovery->document));
    }
    for (auto it = sources.begin(); it != sources.end(); ++it)
        it.value() = std::max<qint64>(it.value(), 0);
    m_resources->setSources(std::move(sources));
    m_resources->setConfiguredOutputWorkspaceBytes(std::max<qint64>(workspace, 0));
    m_resources->setDocumentBytes(std::max<qint64>(documents, 0));
    m_resources->setCacheBytes(std::max<qint64>(caches, 0));
    m_resources->setPinCount(qint64(pinStates().size()));
}

void AppCoordinator::reclaimCaches()
{
    for (const CoordinatorPins::PinState& pin : pinStates()) {
        if (pin.visible || pin.restoringVisibility || pin.outputBusy || pin.outputLocked)
            continue;
        if (const std::shared_ptr<EditorDocument> document = m_documents.document(pin.documentID))
            document->compositor().discardCache();
    }
    refreshResources();
}

} // namespace vorlith

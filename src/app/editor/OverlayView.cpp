#include "app/editor/OverlayView.h"

#include "app/editor/EditorDocument.h"

#include <algorithm>

namespace vorlith {

OverlayView::OverlayView(FrozenDisplay capture, std::optional<qint32> frontPID, SaveDraft saveDraft,
                         std::shared_ptr<OutputService> output, std::shared_ptr<OutputCoordinator> outputs,
                         const std::optional<RecoveredCapture>& restoring, std::shared_ptr<FeedbackCoordinator> feedback,
                         Environment environment, QWidget* parent)
    : EditorHostView(makeRecord(capture, frontPID, std::move(saveDraft), restoring), false, std::move(output),
                     std::move(outputs), std::move(feedback), std::move(environment), parent),
      m_capture(std::move(capture))
{
    Q_ASSERT(!restoring || restoring->displayID == m_capture.id);
    candidates = m_capture.candidates;
    if (restoring)
        restore(*restoring);
}

Rect OverlayView::preselection(const FrozenDisplay& capture, std::optional<qint32> frontPID)
{
    if (frontPID) {
        const auto& windows = capture.candidates;
        const auto owned = std::find_if(windows.begin(), windows.end(),
                                        [&](const WindowCandidate& window) { return window.owner == *frontPID; });
        if (owned != windows.end())
            return owned->rect;
    }
    return Rect(0, 0, capture.geometry.size.width, capture.geometry.size.height);
}

std::shared_ptr<EditorDocument> OverlayView::makeRecord(const FrozenDisplay& capture, std::optional<qint32> frontPID,
                                                        SaveDraft saveDraft,
                                                        const std::optional<RecoveredCapture>& restoring)
{
    const QUuid documentID = restoring ? restoring->document.id() : QUuid::createUuid();
    // The grab's own pixels (shared, not copied); a compacted frame decodes here, once.
    EditorImageSource source{capture.sourceID, capture.image.pixels(), capture.geometry};
    return std::make_shared<EditorDocument>(
        std::move(source), std::move(saveDraft),
        EditorSession(documentID, preselection(capture, frontPID), DocumentOrigin::screenCapture));
}

std::optional<RecoveredCapture> OverlayView::recovery(std::vector<FrozenDisplay> frames, bool afterOutput) const
{
    const EditorDocument& editor = record();
    const std::optional<CaptureDocument>& document = editor.session.document();
    if (!document || document->origin() != DocumentOrigin::screenCapture)
        return std::nullopt;
    if (!afterOutput && !document->canRecover())
        return std::nullopt;
    return RecoveredCapture{
        .frames = std::move(frames),
        .displayID = m_capture.id,
        .document = *document,
        .saveDraft = editor.saveDraft,
        .tool = editor.tool,
        .styles = editor.styles,
        .shapeKind = editor.shapeKind,
        .selectedMarkID = editor.selectedMarkID,
    };
}

} // namespace vorlith

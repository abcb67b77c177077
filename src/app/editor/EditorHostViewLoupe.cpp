// EditorHostView: feeding the loupe. Before a selection is committed the magnifier follows
// the pointer over the frozen image and remembers the colour under it for the colour copy.
#include "app/editor/EditorHostView.h"

#include "app/editor/EditorDocument.h"
#include "app/editor/chrome/CaptureLoupeView.h"
#include "app/editor/chrome/LoupeSample.h"
#include "app/output/OutputService.h"

namespace vorlith {

void EditorHostView::updateLoupe(const Point& at, bool dragging)
{
    CaptureLoupeView* loupe = m_chrome.loupe;
    const Size size = m_record->source().geometry.size;
    const bool live = !m_isPinned && !hasDocument() && size.width > 0 && size.height > 0
        && Rect(0, 0, size.width, size.height).contains(at);
    if (!live) {
        loupe->hide();
        m_loupe.pointerPoint.reset();
        m_loupe.sampledHex.reset();
        return;
    }
    // A point that cannot be sampled leaves everything as it was: a later colour copy must
    // never take a colour that is not under the pointer.
    const std::optional<LoupeSample> sample = LoupeSample::take(m_record->source().image, at, size);
    if (!sample)
        return;
    m_loupe.pointerPoint = at;
    m_loupe.sampledHex = sample->hex;
    loupe->showSample(*sample, dragging);
    const Point origin = loupeOrigin(at, Size{double(loupe->width()), double(loupe->height())}, bounds());
    loupe->move(documentToView().map(toQPointF(origin)).toPoint());
    loupe->show();
    loupe->update();
}

void EditorHostView::copySampledColor()
{
    if (m_suspension.inputSuspended || !mayInteract() || hasDocument() || hasGesture() || !m_loupe.pointerPoint
        || !m_loupe.sampledHex)
        return;
    const std::optional<OutputCoordinator::Permit> permit = m_outputs->acquire(m_record->id());
    if (!permit)
        return;
    const QString hex = *m_loupe.sampledHex;
    // The gate is held until the clipboard has answered; an engine already busy gives it back.
    if (m_output->isBusy()) {
        m_outputs->release(*permit);
        return;
    }
    m_output->copy(hex, [self = QPointer<EditorHostView>(this), outputs = m_outputs, permit = *permit,
                         hex](const OutputResult& result) {
        outputs->release(permit);
        if (!self)
            return;
        switch (result.kind) {
        case OutputResult::Kind::success:
            self->m_chrome.loupe->hide();
            self->m_outputToast.showSuccess(QStringLiteral("已复制颜色 ") + hex,
                                            toPoint(self->m_environment.globalPointer()));
            self->notify(self->onExit);
            break;
        case OutputResult::Kind::failure:
            self->showFeedback(result.message);
            break;
        case OutputResult::Kind::cancelled:
            break;
        }
    });
}

} // namespace vorlith

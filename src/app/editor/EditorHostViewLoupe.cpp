// EditorHostView: feeding the loupe. Before a selection is committed the magnifier follows
// the pointer over the frozen image and remembers the colour under it for the colour copy.
#include "app/editor/EditorHostView.h"

#include "app/editor/EditorDocument.h"
#include "app/editor/chrome/CaptureLoupeView.h"
#include "app/editor/chrome/LoupeSample.h"

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

} // namespace vorlith

#include "app/editor/CaptureOverlaySet.h"

#include "app/capture/FrozenDisplay.h"
#include "platform/FloatingWindows.h"

#include <QCursor>

#include <algorithm>
#include <cmath>

namespace vorlith {

OverlayDisplay OverlayDisplay::of(const FrozenDisplay& display)
{
    const QRectF frame = toQRectF(display.screenFrame);
    const QPoint origin(int(std::lround(frame.x())), int(std::lround(frame.y())));
    return OverlayDisplay{display.id, frame.toAlignedRect(), QRect(origin, display.image.size()), display.backingScale};
}

CaptureOverlaySet::CaptureOverlaySet(std::shared_ptr<FloatingWindows> windows, QObject* parent)
    : QObject(parent), m_floating(std::move(windows))
{
    Q_ASSERT(m_floating);
}

CaptureOverlaySet::~CaptureOverlaySet()
{
    for (CaptureOverlayWindow* window : m_windows)
        delete window;
}

const std::vector<CaptureOverlayWindow*>& CaptureOverlaySet::prepare(const std::vector<OverlayDisplay>& displays)
{
    Q_ASSERT(!m_shown);
    std::vector<CaptureOverlayWindow*> kept;
    kept.reserve(displays.size());
    for (const OverlayDisplay& display : displays) {
        const auto same = std::find_if(m_windows.begin(), m_windows.end(), [&](CaptureOverlayWindow* window) {
            return window && window->displayID() == display.id && window->frame() == display.frame
                   && window->pixelFrame() == display.pixels && window->scale() == display.scale;
        });
        if (same != m_windows.end()) {
            kept.push_back(*same);
            *same = nullptr;
            continue;
        }
        kept.push_back(new CaptureOverlayWindow(m_floating, display.id, display.frame, display.pixels, display.scale));
        ++m_windowsMade;
    }
    // Displays that moved, changed scale or went away.
    for (CaptureOverlayWindow* stale : m_windows)
        delete stale;
    m_windows = std::move(kept);
    for (CaptureOverlayWindow* window : m_windows)
        window->setAcceptsCaptureInput(true);
    return m_windows;
}

void CaptureOverlaySet::present(std::optional<quint32> keyDisplay)
{
    m_shown = !m_windows.empty();
    for (CaptureOverlayWindow* window : m_windows)
        window->orderFront();
    CaptureOverlayWindow* key = nullptr;
    if (keyDisplay) {
        const auto match = std::find_if(m_windows.begin(), m_windows.end(),
                                        [&](CaptureOverlayWindow* window) { return window->displayID() == *keyDisplay; });
        if (match != m_windows.end())
            key = *match;
    }
    if (!key) {
        const QPoint pointer = QCursor::pos();
        const auto under = std::find_if(m_windows.begin(), m_windows.end(),
                                        [&](CaptureOverlayWindow* window) { return window->frame().contains(pointer); });
        if (under != m_windows.end())
            key = *under;
    }
    if (!key && !m_windows.empty())
        key = m_windows.front();
    if (key)
        key->makeKey();
}

std::vector<QWidget*> CaptureOverlaySet::finish()
{
    std::vector<QWidget*> contents;
    for (CaptureOverlayWindow* window : m_windows) {
        // Closed for the user, not destroyed: QWidget::close() would destroy the native
        // window that the next capture shows again.
        // Ordered out, closed, then the content removed: each step ends what is tied to it in
        // the editor (held keys, pending toasts, timers).
        window->orderOut();
        window->announceClose();
        if (QWidget* content = window->takeContent())
            contents.push_back(content);
    }
    m_shown = false;
    return contents;
}

} // namespace vorlith

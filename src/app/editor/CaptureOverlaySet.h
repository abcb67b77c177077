#pragma once

#include "app/editor/CaptureOverlayWindow.h"

#include <QObject>
#include <QRect>

#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

class FloatingWindows;
struct FrozenDisplay;

// Where one display's overlay stands.
struct OverlayDisplay {
    quint32 id = 0;
    QRect frame;  // logical, global
    QRect pixels; // global window-system pixels
    double scale = 1;

    // From a frozen display: its frame, and its pixels from the image's own size. Qt keeps each
    // screen's native top-left corner as its logical one, so the pixel origin is the frame's.
    static OverlayDisplay of(const FrozenDisplay& display);
    friend bool operator==(const OverlayDisplay&, const OverlayDisplay&) = default;
};

// The capture overlays, one per display, made once and shown again for every capture: the
// native windows and their backing stores are kept between captures, so a capture only maps
// windows that are ready and paints. A window is made anew when its display is new, moved,
// resized or rescaled; windows of displays that went away are dropped.
class CaptureOverlaySet final : public QObject {
    Q_OBJECT
public:
    explicit CaptureOverlaySet(std::shared_ptr<FloatingWindows> windows, QObject* parent = nullptr);
    ~CaptureOverlaySet() override;

    // The windows for these displays, in their order, each without content and not shown.
    // Only while no capture is shown.
    const std::vector<CaptureOverlayWindow*>& prepare(const std::vector<OverlayDisplay>& displays);
    // Every window ordered front in order; then one becomes key: the one of `keyDisplay`, else
    // the first that contains the pointer, else the first (unless it refuses the keyboard).
    void present(std::optional<quint32> keyDisplay);
    // Ends the capture for every window: ordered out (off the screen, the keyboard given up),
    // closed for its content (CaptureOverlayWindow::announceClose) and its content taken; what the user sees as closed, while the native window stays for
    // the next capture. The contents are returned for their owner to release with
    // deleteLater().
    [[nodiscard]] std::vector<QWidget*> finish();

    const std::vector<CaptureOverlayWindow*>& windows() const { return m_windows; }
    bool isShown() const { return m_shown; }
    // How many windows were made in all (tests and the benchmark watch reuse through it).
    int windowsMade() const { return m_windowsMade; }

private:
    std::shared_ptr<FloatingWindows> m_floating;
    std::vector<CaptureOverlayWindow*> m_windows; // owned
    bool m_shown = false;
    int m_windowsMade = 0;
};

} // namespace vorlith

#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

namespace vorlith {

class FloatingWindows;
class PinWindowController;
class PinWorkspace;

// Keeps the pins on screen but inert while a capture is prepared and edited: each pin is
// suspended, its editor stops editing, its image lets clicks through to the overlays, and its
// ring, strip, badge, toolbar and resize panels go (flushed at once, so the screenshot shows
// the images alone). `restore()` puts back input, panels, the key window and the stacking
// order, once; pins added meanwhile end in front, pins closed meanwhile are skipped.
class CapturePreparationLease {
public:
    explicit CapturePreparationLease(PinWorkspace& workspace);
    CapturePreparationLease(const CapturePreparationLease&) = delete;
    CapturePreparationLease& operator=(const CapturePreparationLease&) = delete;

    void restore();
    bool restored() const { return m_restored; }
    // Whether taking the lease hid a window that was on screen: the capture must then give the
    // screen time to redraw (a compositor keeps unmapped windows until it repaints).
    bool hidVisibleWindow() const { return m_hidVisibleWindow; }

private:
    QPointer<PinWorkspace> m_workspace;
    std::shared_ptr<FloatingWindows> m_kit;
    std::vector<QPointer<PinWindowController>> m_controllers;
    std::vector<QPointer<PinWindowController>> m_visibleFrontToBack;
    const QPointer<QWidget> m_previousKeyWindow;
    bool m_restored = false;
    bool m_hidVisibleWindow = false;
};

} // namespace vorlith

#pragma once

#include "platform/WindowLevel.h"

#include <QObject>

#include <vector>

class QRect;
class QString;
class QWidget;

namespace vorlith {

// How our floating top-level windows (capture overlays, hint panels, toasts, the save panel,
// alerts, pins) are layered, shown and made to let clicks through, and whether translucent
// windows can be composited at all.
//
// Every window that floats is given its level here before it is first shown; after every
// `show` and `raise` our own top-levels are restacked in level order, so a toast shown under
// an overlay, or a pin raised over a toast, never stays where it landed. Windows that bypass
// the window manager stay above every other program's window, also one mapped or raised
// after them.
class FloatingWindows : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Sets the window's flags for its level: override-redirect at and above the capture
    // overlays, stay-on-top for pins. A window that does not take focus is shown and raised
    // without taking the keyboard from whatever has it. Call before the first show.
    virtual void place(QWidget* window, WindowLevel level, bool takesFocus) = 0;
    // A dialog of `parent` (the save panel of a pin, say): it stands directly above its
    // parent whatever the parent's level, and at least at `level`.
    virtual void placeDialog(QWidget* dialog, QWidget* parent, WindowLevel level) = 0;
    // Shows a placed window (without activating it unless it takes focus) and restacks.
    virtual void show(QWidget* window) = 0;
    // Brings a placed window to the front of its level and restacks.
    virtual void raise(QWidget* window) = 0;
    // Lets clicks pass through the window to whatever is below, or stops that. Takes effect
    // at once on a shown window and does not hide it.
    virtual void setClickThrough(QWidget* window, bool clickThrough) = 0;
    // Gives the keyboard to a shown window that takes focus and brings it to the front of its
    // level. No window manager does this for an override-redirect window, and a click on one
    // does not move the focus: its owner asks here, after deciding that it may take input.
    virtual void activate(QWidget* window) = 0;
    // Puts the window on exactly these pixels of the window system's global space (as the
    // capture platform's display bounds). Logical geometry rounds at fractional scales (1366
    // pixels at 1.5 are 910.67 points), which would leave a seam or an overlap between two
    // monitors. For windows that bypass the window manager; call after the window is shown.
    virtual void setPixelGeometry(QWidget* window, const QRect& pixels) = 0;
    // While windows hold it, the keyboard is grabbed for the latest holder that is visible:
    // a window manager's shortcut (Alt+Tab) or a focus moved to another program's window then
    // cannot take Esc and typed text away. A grab that another client still holds (the hot
    // key that started a capture, until its key is up) is retried until it succeeds. A holder
    // that is hidden or destroyed passes the keyboard back to the one before it; with no
    // holder left the grab ends.
    virtual void holdKeyboard(QWidget* window) = 0;
    virtual void releaseKeyboard(QWidget* window) = 0;
    // The window the keyboard is grabbed for now; none while no grab is held (or retried).
    virtual QWidget* keyboardGrabWindow() const = 0;
    // Makes `window` a satellite of `owner` (a pin's ring, strip or resize panel beside its
    // image): it bypasses the window manager, is never focused, and stands directly above the
    // owner's window-manager frame, below the owner's dialogs. Satellites of one owner stand in
    // the order they were attached, bottom first. Showing or raising the owner or one of its
    // satellites restacks only that group; when the window manager restacks the owner (a click
    // raises it), the group follows on the next turn of the event loop. Call before the first
    // show; `show` and `raise` work on satellites as on any window.
    virtual void attachSatellite(QWidget* window, QWidget* owner) = 0;
    // Puts the owner's visible satellites back directly above it, in their order.
    virtual void restackSatellites(QWidget* owner) = 0;
    // Our visible top-levels as they stand on the screen, front first (satellites included).
    [[nodiscard]] virtual std::vector<QWidget*> frontToBack() const = 0;
    // Sends what was asked of the window system and waits until it has been done.
    virtual void flush() = 0;
    // On every desktop, out of the task bar and the pager: a pinned image. Call before the
    // first show.
    virtual void keepOnAllDesktops(QWidget* window) = 0;
    // The role the window manager and tests know the window by (WM_WINDOW_ROLE on X11); the
    // title stays the user's. Call before the first show.
    virtual void setRole(QWidget* window, const QString& role) = 0;
    // True while a compositing manager runs, so that translucent pixels blend with what is
    // below. Without one, translucent margins would show black: mask the window to its body.
    virtual bool hasCompositor() const = 0;
    // The accessibility wish that windows appear and vanish without animation. X11 has no
    // such setting: the X11 service always answers false.
    virtual bool reducesMotion() const = 0;

signals:
    // A compositing manager started or stopped.
    void compositorChanged(bool running);
};

} // namespace vorlith

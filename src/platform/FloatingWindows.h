#pragma once

#include "platform/WindowLevel.h"

#include <QObject>

class QWidget;

namespace vorlith {

// How our floating top-level windows (capture overlays, hint panels, toasts, the save panel,
// alerts, pins) are layered, shown and made to let clicks through, and whether translucent
// windows can be composited at all.
//
// Every window that floats is given its level here before it is first shown; after every
// `show` and `raise` our own top-levels are restacked in level order, so a toast shown under
// an overlay, or a pin raised over a toast, never stays where it landed.
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

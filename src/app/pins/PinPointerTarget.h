#pragma once

#include <QCursor>
#include <QPointF>

namespace vorlith {

// One pointer event as the resize panels hand it to the pin's content view: the position in
// global coordinates (the panels are other windows), the buttons held and the click count.
struct PinPointer {
    QPointF global;
    Qt::MouseButtons buttons;
    int clickCount = 0;
};

// The handlers of a pin's content view that its resize panels forward to. The panel shows the
// cursor the target picks: an X cursor belongs to a window, so the content view cannot set it
// over a panel itself.
class PinPointerTarget {
public:
    virtual ~PinPointerTarget() = default;
    virtual void pinMouseMoved(const PinPointer& pointer) = 0;
    virtual void pinMouseDown(const PinPointer& pointer) = 0;
    virtual void pinMouseDragged(const PinPointer& pointer) = 0;
    virtual void pinMouseUp(const PinPointer& pointer) = 0;
    virtual QCursor pinCursor() const = 0;
};

} // namespace vorlith

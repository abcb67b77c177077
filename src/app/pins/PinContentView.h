#pragma once

#include "app/pins/PinPointerTarget.h"
#include "core/CaptureGeometry.h"
#include "core/DocumentViewport.h"
#include "core/Geometry.h"

#include <QPointer>
#include <QWidget>

#include <optional>

namespace vorlith {

class PinWindowController;

// The content of a pin's image window: the parent of the pin's editor view, with rounded
// corners, and outside edit mode the pin's pointer and keyboard handling as one object. A
// press activates the pin; a drag on the image moves it, on a corner or edge scales it about
// the opposite handle; the wheel zooms about the pointer; Esc puts a drag back; a double click
// asks for edit mode; a right press opens the menu.
//
// Pointer events that reach the resize panels around the image come here through
// `PinPointerTarget`, with global positions; the handle always comes from where the pointer is
// relative to this view. In edit mode the editor view inside takes the events itself (it is
// transparent for the mouse otherwise). A blocked pin (disposed, restoring, suspended) ignores
// everything but stays opaque: clicks never fall through to windows hidden beneath it.
class PinContentView : public QWidget, public PinPointerTarget {
    Q_OBJECT
public:
    static constexpr double cornerRadius = 8;

    explicit PinContentView(QWidget* parent = nullptr);
    ~PinContentView() override;

    QPointer<PinWindowController> controller;

    // The armed gesture: the press in global coordinates, the viewport then, the handle (none:
    // a move).
    const std::optional<Point>& dragStart() const { return m_dragStart; }
    const std::optional<DocumentViewport>& originalViewport() const { return m_originalViewport; }
    const std::optional<SelectionHandle>& resizeHandle() const { return m_resizeHandle; }
    bool hasGesture() const { return m_dragStart.has_value(); }
    // Puts an armed drag back where it started and disarms it.
    void cancelGesture();

    void pinMouseMoved(const PinPointer& pointer) override;
    void pinMouseDown(const PinPointer& pointer) override;
    void pinMouseDragged(const PinPointer& pointer) override;
    void pinMouseUp(const PinPointer& pointer) override;
    QCursor pinCursor() const override { return cursor(); }

    // The handle under a global point; none over the inside of the image or away from it.
    [[nodiscard]] std::optional<SelectionHandle> handleAt(const QPointF& global) const;
    [[nodiscard]] static QCursor cursorFor(const std::optional<SelectionHandle>& handle);

    // The rounded body of a window of this size.
    [[nodiscard]] static QRegion roundedRegion(const QSize& size);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The pin exists and takes input.
    bool live() const;
    void disarm();
    void setGestureCursor(const std::optional<SelectionHandle>& handle);
    void popOverrideCursor();

    std::optional<Point> m_dragStart;
    std::optional<DocumentViewport> m_originalViewport;
    std::optional<SelectionHandle> m_resizeHandle;
    bool m_overrideCursor = false;
};

} // namespace vorlith

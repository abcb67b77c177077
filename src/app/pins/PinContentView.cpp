#include "app/pins/PinContentView.h"

#include "app/editor/EditorCursors.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/WheelZoom.h"
#include "app/pins/PinGesture.h"
#include "app/pins/PinResizeRegion.h"
#include "app/pins/PinWindowController.h"
#include "platform/x11/X11KeyCodes.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QWheelEvent>

namespace vorlith {

namespace {

PinPointer pointerOf(const QSinglePointEvent& event, int clickCount)
{
    return {event.globalPosition(), event.buttons(), clickCount};
}

} // namespace

PinContentView::PinContentView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
}

PinContentView::~PinContentView()
{
    popOverrideCursor();
}

bool PinContentView::live() const
{
    return controller && !controller->isBlocked();
}

std::optional<SelectionHandle> PinContentView::handleAt(const QPointF& global) const
{
    const QPointF local = mapFromGlobal(global);
    return PinResizeRegion::handle(Point{local.x(), local.y()}, Rect(0, 0, width(), height()));
}

QCursor PinContentView::cursorFor(const std::optional<SelectionHandle>& handle)
{
    if (!handle)
        return QCursor(Qt::ArrowCursor);
    switch (*handle) {
    case SelectionHandle::topLeft:
    case SelectionHandle::bottomRight:
        return editorCursors::diagonalDown();
    case SelectionHandle::topRight:
    case SelectionHandle::bottomLeft:
        return editorCursors::diagonalUp();
    case SelectionHandle::top:
    case SelectionHandle::bottom:
        return QCursor(Qt::SizeVerCursor);
    case SelectionHandle::left:
    case SelectionHandle::right:
        return QCursor(Qt::SizeHorCursor);
    }
    return QCursor(Qt::ArrowCursor);
}

void PinContentView::setGestureCursor(const std::optional<SelectionHandle>& handle)
{
    const QCursor shape = cursorFor(handle);
    setCursor(shape);
    // The pointer may leave the image during a drag (a fast move, a shrinking pin): the cursor
    // of the gesture stays with it until the release.
    if (m_dragStart) {
        if (m_overrideCursor)
            QGuiApplication::changeOverrideCursor(shape);
        else
            QGuiApplication::setOverrideCursor(shape);
        m_overrideCursor = true;
    }
}

void PinContentView::popOverrideCursor()
{
    if (std::exchange(m_overrideCursor, false))
        QGuiApplication::restoreOverrideCursor();
}

void PinContentView::disarm()
{
    m_dragStart.reset();
    m_originalViewport.reset();
    m_resizeHandle.reset();
    popOverrideCursor();
}

// --- The pointer ---

void PinContentView::pinMouseDown(const PinPointer& pointer)
{
    if (!live() || controller->isEditing)
        return;
    const QPointer<PinContentView> self(this);
    const bool front = controller->bringToFront();
    if (!self || !front || !live())
        return;
    controller->activateControls();
    controller->makeKey();
    if (pointer.clickCount == 2) {
        if (controller->onRequestEdit)
            controller->onRequestEdit(controller->document().id());
        return;
    }
    m_dragStart = Point{pointer.global.x(), pointer.global.y()};
    m_originalViewport = controller->viewport();
    m_resizeHandle = handleAt(pointer.global);
    setGestureCursor(m_resizeHandle);
}

void PinContentView::pinMouseDragged(const PinPointer& pointer)
{
    if (!live() || !m_dragStart || !m_originalViewport)
        return;
    const double dx = pointer.global.x() - m_dragStart->x;
    const double dy = pointer.global.y() - m_dragStart->y;
    if (const std::optional<DocumentViewport> next = pinGesture::dragged(
            *m_originalViewport, m_resizeHandle, dx, dy, controller->viewport().documentRect()))
        controller->apply(*next);
}

void PinContentView::pinMouseUp(const PinPointer& pointer)
{
    disarm();
    setCursor(cursorFor(handleAt(pointer.global)));
}

void PinContentView::pinMouseMoved(const PinPointer& pointer)
{
    if (!live() || controller->isEditing)
        return;
    controller->setHovered(true);
    if (controller)
        setCursor(cursorFor(handleAt(pointer.global)));
}

void PinContentView::cancelGesture()
{
    if (!m_dragStart)
        return;
    const std::optional<DocumentViewport> original = m_originalViewport;
    disarm();
    if (original && controller)
        controller->apply(*original);
    setCursor(Qt::ArrowCursor);
}

void PinContentView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::RightButton) {
        if (controller)
            controller->showContextMenu(event->globalPosition().toPoint());
        return;
    }
    if (event->button() == Qt::LeftButton)
        pinMouseDown(pointerOf(*event, 1));
}

void PinContentView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        pinMouseDown(pointerOf(*event, 2));
}

void PinContentView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (event->buttons() & Qt::LeftButton)
        pinMouseDragged(pointerOf(*event, 0));
    else
        pinMouseMoved(pointerOf(*event, 0));
}

void PinContentView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        pinMouseUp(pointerOf(*event, 1));
}

void PinContentView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    pinMouseMoved({event->globalPosition(), event->buttons(), 0});
}

void PinContentView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (controller)
        controller->updateHover();
}

void PinContentView::wheelEvent(QWheelEvent* event)
{
    if (!live() || controller->isEditing) {
        QWidget::wheelEvent(event);
        return;
    }
    event->accept();
    if (!controller->requestActivation())
        return;
    if (const std::optional<double> factor = wheelZoom::factor(event->pixelDelta(), event->angleDelta()))
        controller->scale(*factor, Point{event->globalPosition().x(), event->globalPosition().y()});
}

void PinContentView::keyPressEvent(QKeyEvent* event)
{
    if (!live()) {
        event->accept(); // dropped
        return;
    }
    if (event->nativeScanCode() == X11KeyCodes::escape) {
        event->accept();
        cancelGesture();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PinContentView::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu opens on the right press itself.
    event->accept();
}

QRegion PinContentView::roundedRegion(const QSize& size)
{
    QPainterPath body;
    body.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), cornerRadius, cornerRadius);
    return QRegion(body.toFillPolygon().toPolygon());
}

} // namespace vorlith

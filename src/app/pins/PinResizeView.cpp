#include "app/pins/PinResizeView.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vorlith {

PinResizeView::PinResizeView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
}

void PinResizeView::setTarget(QObject* object, PinPointerTarget* target)
{
    m_object = object;
    m_target = target;
}

void PinResizeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), QColor(255, 255, 255, 3)); // 0.01 of white: drawn, so it takes clicks
}

void PinResizeView::forward(void (PinPointerTarget::*handler)(const PinPointer&), const PinPointer& pointer)
{
    PinPointerTarget* to = target();
    if (!to || !window()->isVisible())
        return;
    (to->*handler)(pointer);
    if ((to = target()))
        setCursor(to->pinCursor());
}

void PinResizeView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    forward(&PinPointerTarget::pinMouseMoved, {event->globalPosition(), event->buttons(), 0});
}

void PinResizeView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (onPointerExit)
        onPointerExit();
}

void PinResizeView::mouseMoveEvent(QMouseEvent* event)
{
    const PinPointer pointer{event->globalPosition(), event->buttons(), 0};
    if (event->buttons() & Qt::LeftButton)
        forward(&PinPointerTarget::pinMouseDragged, pointer);
    else
        forward(&PinPointerTarget::pinMouseMoved, pointer);
}

void PinResizeView::mousePressEvent(QMouseEvent* event)
{
    forward(&PinPointerTarget::pinMouseDown, {event->globalPosition(), event->buttons(), 1});
}

void PinResizeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    forward(&PinPointerTarget::pinMouseDown, {event->globalPosition(), event->buttons(), 2});
}

void PinResizeView::mouseReleaseEvent(QMouseEvent* event)
{
    forward(&PinPointerTarget::pinMouseUp, {event->globalPosition(), event->buttons(), 1});
}

} // namespace vorlith

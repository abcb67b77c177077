#include "app/pins/PinContentView.h"

#include <QPainterPath>
#include <QRegion>

namespace vorlith {

PinContentView::PinContentView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void PinContentView::pinMouseMoved(const PinPointer& pointer)
{
    if (onMouseMoved)
        onMouseMoved(pointer);
}

void PinContentView::pinMouseDown(const PinPointer& pointer)
{
    if (onMouseDown)
        onMouseDown(pointer);
}

void PinContentView::pinMouseDragged(const PinPointer& pointer)
{
    if (onMouseDragged)
        onMouseDragged(pointer);
}

void PinContentView::pinMouseUp(const PinPointer& pointer)
{
    if (onMouseUp)
        onMouseUp(pointer);
}

QRegion PinContentView::roundedRegion(const QSize& size)
{
    QPainterPath body;
    body.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), cornerRadius, cornerRadius);
    return QRegion(body.toFillPolygon().toPolygon());
}

} // namespace vorlith

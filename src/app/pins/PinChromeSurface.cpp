#include "app/pins/PinChromeSurface.h"

#include "app/base/InterfaceColors.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>

namespace vorlith {

PinChromeSurface::PinChromeSurface(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);
}

void PinChromeSurface::paintEvent(QPaintEvent*)
{
    // The window is translucent: its backing store starts every paint cleared.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    body.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.fillPath(body, InterfaceColors::floatingBody());
    painter.setPen(QPen(InterfaceColors::pinControlsBorder(), 1));
    painter.drawPath(body);
}

void PinChromeSurface::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (onPointerExit)
        onPointerExit();
}

QRegion PinChromeSurface::bodyRegion() const
{
    QPainterPath body;
    body.addRoundedRect(QRectF(rect()), radius, radius);
    return QRegion(body.toFillPolygon().toPolygon());
}

} // namespace vorlith

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
    if (!translucent) {
        // The outline is the body's outermost pixels, the rest is filled opaque.
        const QRegion body = bodyRegion();
        const QRegion inside = body.intersected(body.translated(1, 0))
                                   .intersected(body.translated(-1, 0))
                                   .intersected(body.translated(0, 1))
                                   .intersected(body.translated(0, -1));
        QColor border = InterfaceColors::pinControlsBorder();
        border.setAlpha(255);
        QColor fill = InterfaceColors::floatingBody();
        fill.setAlpha(255);
        painter.setClipRegion(body);
        painter.fillRect(rect(), border);
        painter.setClipRegion(inside);
        painter.fillRect(rect(), fill);
        return;
    }
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

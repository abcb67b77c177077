#include "app/base/panel/PanelSymbols.h"

#include "app/base/InterfaceColors.h"

#include <QPainter>

namespace vorlith::panelSymbols {

QPainterPath chevronUpDown(const QRectF& box)
{
    const double s = box.width() / 14.0;
    const auto at = [&](double x, double y) { return box.topLeft() + QPointF(x * s, y * s); };
    QPainterPath path;
    path.moveTo(at(3.5, 5.5));
    path.lineTo(at(7, 2.25));
    path.lineTo(at(10.5, 5.5));
    path.moveTo(at(3.5, 8.5));
    path.lineTo(at(7, 11.75));
    path.lineTo(at(10.5, 8.5));
    return path;
}

QImage folder()
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(2);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    // The tab on the upper left, then the body below it.
    body.moveTo(1.5, 4.5);
    body.quadTo(1.5, 3, 3, 3);
    body.lineTo(6.2, 3);
    body.lineTo(7.8, 4.8);
    body.lineTo(13, 4.8);
    body.quadTo(14.5, 4.8, 14.5, 6.3);
    body.lineTo(14.5, 12);
    body.quadTo(14.5, 13.5, 13, 13.5);
    body.lineTo(3, 13.5);
    body.quadTo(1.5, 13.5, 1.5, 12);
    body.closeSubpath();
    painter.setPen(QPen(InterfaceColors::ink(), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(body);
    painter.drawLine(QPointF(1.5, 7), QPointF(14.5, 7));
    return image;
}

} // namespace vorlith::panelSymbols

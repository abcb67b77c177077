#include "app/base/panel/PanelControlDrawing.h"

#include "app/base/InterfaceColors.h"

#include <QPainter>
#include <QPainterPath>

namespace vorlith::panelControlDrawing {

void background(QPainter& painter, const QRectF& rect, bool highlighted)
{
    QPainterPath path;
    path.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, highlighted ? InterfaceColors::hover() : InterfaceColors::panelBody());
    painter.setPen(QPen(InterfaceColors::groupBorder(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

void focusRing(QPainter& painter, const QRectF& bounds, double radius)
{
    QColor ring = InterfaceColors::focus();
    ring.setAlphaF(0.5f);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ring, 2));
    painter.setBrush(Qt::NoBrush);
    // The stroke's centre line 1 inside the bounds keeps the whole ring on the widget.
    const double inner = std::max(0.0, radius - 1);
    painter.drawRoundedRect(bounds.adjusted(1, 1, -1, -1), inner, inner);
    painter.restore();
}

QColor titleColor(bool enabled)
{
    QColor color = InterfaceColors::ink();
    color.setAlphaF(enabled ? 1.0f : float(disabledOpacity));
    return color;
}

} // namespace vorlith::panelControlDrawing

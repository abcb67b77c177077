#include "app/editor/chrome/BrandCapsuleThumb.h"

#include "app/base/InterfaceColors.h"
#include "app/base/ShadowPainter.h"

#include <QPainter>
#include <QPainterPath>

namespace vorlith {

void BrandCapsuleThumb::draw(QPainter& painter, const QRectF& r, bool enabled, ShadowPainter& shadows)
{
    const QRectF capsule = r.adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = r.height() / 2 - 0.5;
    shadows.paint(painter, capsule, radius, {QPointF(0, 1), 3, InterfaceColors::sliderShadow()});
    QPainterPath path;
    path.addRoundedRect(capsule, radius, radius);
    painter.fillPath(path, InterfaceColors::sliderThumb());
    QColor edge = InterfaceColors::sliderEdge();
    edge.setAlphaF(enabled ? 1.0f : 0.4f);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

} // namespace vorlith

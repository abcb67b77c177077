#include "app/base/RoundedWindowMask.h"

#include <QPainterPath>

namespace vorlith {

QRegion roundedWindowMask(const QRectF& body, double radius)
{
    QPainterPath path;
    path.addRoundedRect(body, radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

} // namespace vorlith

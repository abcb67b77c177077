#include "app/editor/PaintedArea.h"

#include <QPaintEngine>
#include <QPainter>

namespace vorlith {

std::optional<QRectF> paintedArea(const QPainter& painter)
{
    const QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->systemClip().isEmpty())
        return std::nullopt;
    bool invertible = false;
    const QTransform toPainter = painter.deviceTransform().inverted(&invertible);
    if (!invertible)
        return std::nullopt;
    return toPainter.mapRect(QRectF(engine->systemClip().boundingRect()));
}

} // namespace vorlith

#pragma once

#include <QPainter>
#include <QTransform>

#include <cmath>

namespace vorlith {

// Device pixels per logical pixel of what a painter draws on. The paint device's own ratio is
// not enough: a widget rendered into a 2× image (QWidget::render) reports its screen's ratio.
inline double deviceScale(const QPainter& painter)
{
    const QTransform t = painter.deviceTransform();
    const double scale = std::hypot(t.m11(), t.m12());
    return scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

} // namespace vorlith

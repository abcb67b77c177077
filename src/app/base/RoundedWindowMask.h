#pragma once

#include <QRectF>
#include <QRegion>

namespace vorlith {

// The shape a rounded panel's window is cut to where no compositor runs: without one the
// transparent corners of a translucent window show black, so the window keeps only its body.
[[nodiscard]] QRegion roundedWindowMask(const QRectF& body, double radius);

} // namespace vorlith

#pragma once

#include <QRectF>

#include <optional>

class QPainter;

namespace vorlith {

// What the current paint reaches, in the painter's own coordinates (a view's document
// points): the bounds of the engine's system clip (the widget's dirty region, in device
// pixels) mapped back through the painter's transform. Nothing when the paint covers the whole
// device or the transform cannot be inverted. A small repaint (one segment of a stroke) can
// leave out what lies elsewhere.
std::optional<QRectF> paintedArea(const QPainter& painter);

} // namespace vorlith

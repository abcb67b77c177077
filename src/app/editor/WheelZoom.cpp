#include "app/editor/WheelZoom.h"

#include <cmath>

namespace vorlith::wheelZoom {

std::optional<double> factor(const QPoint& pixelDelta, const QPoint& angleDelta)
{
    const bool precise = !pixelDelta.isNull();
    const double delta = precise ? pixelDelta.y() : angleDelta.y() / 120.0;
    if (delta == 0)
        return std::nullopt;
    return std::exp(delta / (precise ? 150.0 : 20.0));
}

} // namespace vorlith::wheelZoom

#include "core/CaptureGeometry.h"

namespace vorlith {

std::optional<Rect> CaptureGeometry::localRect(const Rect& globalTopLeft, const Point& displayOrigin) const
{
    const std::optional<Rect> local =
        globalTopLeft.standardized().offsetBy(-displayOrigin.x, -displayOrigin.y).intersected(bounds());
    if (!local || !(local->size.width > 0) || !(local->size.height > 0))
        return std::nullopt;
    return local;
}

} // namespace vorlith

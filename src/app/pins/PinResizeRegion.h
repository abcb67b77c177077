#pragma once

#include "core/CaptureGeometry.h"
#include "core/Geometry.h"

#include <optional>

namespace vorlith {

// Which resize handle of a pin lies under a point of its content view (y down). Corners reach
// 12 points from the image's corners on both axes and win over edges, whose bands reach 6
// points either side; absent means the press moves the pin.
class PinResizeRegion {
public:
    static constexpr double cornerReach = 12;
    static constexpr double edgeReach = 6;

    [[nodiscard]] static std::optional<SelectionHandle> handle(const Point& p, const Rect& bounds);
};

} // namespace vorlith

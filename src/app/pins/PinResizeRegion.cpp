#include "app/pins/PinResizeRegion.h"

#include <array>
#include <cmath>

namespace vorlith {

std::optional<SelectionHandle> PinResizeRegion::handle(const Point& p, const Rect& r)
{
    const Rect reach = r.insetBy(-cornerReach, -cornerReach);
    // Closed on every side: a point exactly 12 outside still resizes.
    if (!(p.x >= reach.minX() && p.x <= reach.maxX() && p.y >= reach.minY() && p.y <= reach.maxY()))
        return std::nullopt;
    static constexpr std::array corners{SelectionHandle::topLeft, SelectionHandle::topRight,
                                        SelectionHandle::bottomLeft, SelectionHandle::bottomRight};
    for (SelectionHandle corner : corners) {
        const Point c = handlePoint(corner, r);
        if (std::abs(p.x - c.x) <= cornerReach && std::abs(p.y - c.y) <= cornerReach)
            return corner;
    }
    if (std::abs(p.x - r.minX()) <= edgeReach)
        return SelectionHandle::left;
    if (std::abs(p.x - r.maxX()) <= edgeReach)
        return SelectionHandle::right;
    if (std::abs(p.y - r.minY()) <= edgeReach)
        return SelectionHandle::top;
    if (std::abs(p.y - r.maxY()) <= edgeReach)
        return SelectionHandle::bottom;
    return std::nullopt;
}

} // namespace vorlith

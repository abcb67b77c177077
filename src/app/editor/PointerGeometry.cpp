#include "app/editor/PointerGeometry.h"

#include <algorithm>
#include <cmath>

namespace vorlith::pointerGeometry {

std::optional<SelectionHandle> selectionHandleAt(const Rect& selection, const Point& p)
{
    const Rect sel = selection.standardized();
    for (SelectionHandle handle : allSelectionHandles) {
        const Point h = handlePoint(handle, sel);
        if (std::abs(h.x - p.x) <= handleReach && std::abs(h.y - p.y) <= handleReach)
            return handle;
    }
    if (p.x < sel.minX() - edgeBand || p.x > sel.maxX() + edgeBand || p.y < sel.minY() - edgeBand
        || p.y > sel.maxY() + edgeBand)
        return std::nullopt;
    if (std::abs(p.x - sel.minX()) <= edgeBand)
        return SelectionHandle::left;
    if (std::abs(p.x - sel.maxX()) <= edgeBand)
        return SelectionHandle::right;
    if (std::abs(p.y - sel.minY()) <= edgeBand)
        return SelectionHandle::top;
    if (std::abs(p.y - sel.maxY()) <= edgeBand)
        return SelectionHandle::bottom;
    return std::nullopt;
}

Point clampedInto(const Rect& rect, const Point& p)
{
    const Rect r = rect.standardized();
    return {std::clamp(p.x, r.minX(), r.maxX()), std::clamp(p.y, r.minY(), r.maxY())};
}

Annotation extended(const Annotation& mark, const Point& p)
{
    Annotation next = mark;
    if (mark.kind == Annotation::Kind::pen) {
        if (next.points.empty() || next.points.back() != p)
            next.points.push_back(p);
        return next;
    }
    if (next.points.size() < 2)
        next.points.resize(2, next.points.empty() ? p : next.points.front());
    next.points[1] = p;
    return next;
}

Annotation withEndpoint(const Annotation& mark, int index, const Point& p)
{
    Annotation next = mark;
    if (next.points.empty())
        return next;
    (index == 0 ? next.points.front() : next.points.back()) = p;
    return next;
}

bool isPenCheckpoint(const Annotation& mark)
{
    return mark.kind == Annotation::Kind::pen && !mark.points.empty() && mark.points.size() % penCheckInterval == 0;
}

Rect markDamage(const Annotation& mark, double unit)
{
    // The stroke's half width, the arrow head's overhang (at most about two stroke widths
    // past the tip) and antialiasing; then the dashed frame (3 units out) and the handles'
    // hot halo (8.5 units around a handle point).
    const double width = std::isfinite(mark.style.width) ? std::clamp(mark.style.width, 0.5, 100.0) : 0.5;
    const double grow = 3 * width + 6 + 12 * unit;
    return mark.bounds().standardized().insetBy(-grow, -grow);
}

} // namespace vorlith::pointerGeometry

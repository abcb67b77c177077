#include "core/CaptureGeometry.h"

#include <algorithm>
#include <cmath>

namespace vorlith {

namespace {

// min(hi, max(v, 0)): the order matters for an image of negative size, where it yields hi.
double clampInto(double value, double hi)
{
    return std::min(hi, std::max(value, 0.0));
}

bool movesLeft(SelectionHandle h)
{
    return h == SelectionHandle::topLeft || h == SelectionHandle::left || h == SelectionHandle::bottomLeft;
}
bool movesRight(SelectionHandle h)
{
    return h == SelectionHandle::topRight || h == SelectionHandle::right || h == SelectionHandle::bottomRight;
}
bool movesTop(SelectionHandle h)
{
    return h == SelectionHandle::topLeft || h == SelectionHandle::top || h == SelectionHandle::topRight;
}
bool movesBottom(SelectionHandle h)
{
    return h == SelectionHandle::bottomLeft || h == SelectionHandle::bottom || h == SelectionHandle::bottomRight;
}

bool isPositive(double value)
{
    return std::isfinite(value) && value > 0;
}

} // namespace

Point CaptureGeometry::clamped(const Point& p) const
{
    return {clampInto(p.x, size.width), clampInto(p.y, size.height)};
}

Rect CaptureGeometry::selection(const Point& from, const Point& to) const
{
    const Point a = clamped(from);
    const Point b = clamped(to);
    return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(a.x - b.x), std::abs(a.y - b.y));
}

Rect CaptureGeometry::moving(const Rect& rect, const Size& delta) const
{
    const double w = std::min(rect.width(), size.width);
    const double h = std::min(rect.height(), size.height);
    const double x = std::min(size.width - w, std::max(rect.minX() + delta.width, 0.0));
    const double y = std::min(size.height - h, std::max(rect.minY() + delta.height, 0.0));
    return Rect(x, y, w, h);
}

std::optional<Rect> CaptureGeometry::pixels(const Rect& rect) const
{
    // A non-finite size would turn the crop into infinities; it covers nothing usable.
    if (!isPositive(size.width) || !isPositive(size.height) || !isPositive(pixelSize.width)
        || !isPositive(pixelSize.height))
        return std::nullopt;
    const std::optional<Rect> m = rect.standardized().intersected(bounds());
    if (!m || !(m->width() > 0) || !(m->height() > 0))
        return std::nullopt;
    const double sx = pixelSize.width / size.width;
    const double sy = pixelSize.height / size.height;
    // A rectangle made from whole pixels (a window's frame divided by 1.5) comes back a hair
    // off its pixel edges; those edges are its own, not one more pixel on either side.
    const auto edge = [](double scaled, bool up) {
        const double nearest = std::round(scaled);
        if (std::abs(scaled - nearest) <= pixelEdgeTolerance * std::max(1.0, std::abs(nearest)))
            return nearest;
        return up ? std::ceil(scaled) : std::floor(scaled);
    };
    const double x0 = edge(sx * m->minX(), false);
    const double x1 = std::min(edge(sx * m->maxX(), true), pixelSize.width);
    const double y0 = edge(sy * m->minY(), false);
    const double y1 = std::min(edge(sy * m->maxY(), true), pixelSize.height);
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

std::optional<Rect> CaptureGeometry::localRect(const Rect& globalTopLeft, const Point& displayOrigin) const
{
    const std::optional<Rect> local =
        globalTopLeft.offsetBy(-displayOrigin.x, -displayOrigin.y).intersected(bounds());
    if (!local || !(local->width() > 0) || !(local->height() > 0))
        return std::nullopt;
    return local;
}

Point handlePoint(SelectionHandle handle, const Rect& rect)
{
    const double x = movesLeft(handle) ? rect.minX() : movesRight(handle) ? rect.maxX() : rect.midX();
    const double y = movesTop(handle) ? rect.minY() : movesBottom(handle) ? rect.maxY() : rect.midY();
    return {x, y};
}

Rect resizing(SelectionHandle handle, const Rect& rect, const Point& point, const CaptureGeometry& geometry)
{
    const Point q = geometry.clamped(point);
    double left = rect.minX();
    double right = rect.maxX();
    double top = rect.minY();
    double bottom = rect.maxY();
    if (movesLeft(handle))
        left = q.x;
    if (movesRight(handle))
        right = q.x;
    if (movesTop(handle))
        top = q.y;
    if (movesBottom(handle))
        bottom = q.y;
    // The untouched edges may lie outside the image when the box did.
    left = clampInto(left, geometry.size.width);
    right = clampInto(right, geometry.size.width);
    top = clampInto(top, geometry.size.height);
    bottom = clampInto(bottom, geometry.size.height);
    return Rect(std::min(left, right), std::min(top, bottom), std::abs(left - right), std::abs(top - bottom));
}

} // namespace vorlith

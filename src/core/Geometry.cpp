#include "core/Geometry.h"

#include <limits>

namespace vorlith {

double distance(const Point& a, const Point& b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

Rect Rect::standardized() const
{
    return Rect(minX(), minY(), width(), height());
}

bool Rect::containsRect(const Rect& r) const
{
    return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
}

std::optional<Rect> Rect::intersected(const Rect& other) const
{
    const double x0 = std::max(minX(), other.minX());
    const double y0 = std::max(minY(), other.minY());
    const double x1 = std::min(maxX(), other.maxX());
    const double y1 = std::min(maxY(), other.maxY());
    if (!(x1 > x0) || !(y1 > y0))
        return std::nullopt;
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::united(const Rect& other) const
{
    const double x0 = std::min(minX(), other.minX());
    const double y0 = std::min(minY(), other.minY());
    const double x1 = std::max(maxX(), other.maxX());
    const double y1 = std::max(maxY(), other.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::insetBy(double dx, double dy) const
{
    const Rect s = standardized();
    return Rect(s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy);
}

Rect Rect::offsetBy(double dx, double dy) const
{
    return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
}

int clampToInt(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(value, lo, hi));
}

} // namespace vorlith

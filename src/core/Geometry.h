#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <algorithm>
#include <cmath>
#include <optional>

namespace vorlith {

// Model geometry with exact semantics: equality compares the stored doubles, containment is
// half-open and extents are standardized. QRectF differs on all three, so views convert at
// their boundary with the helpers at the end of this file.

struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
    Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
    Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
    Point operator*(double s) const { return {x * s, y * s}; }
    bool isFinite() const { return std::isfinite(x) && std::isfinite(y); }
};

struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
    bool isFinite() const { return std::isfinite(width) && std::isfinite(height); }
};

double distance(const Point& a, const Point& b);

struct Rect {
    // Stored as given: width and height may be negative until standardized.
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}

    friend bool operator==(const Rect&, const Rect&) = default;

    [[nodiscard]] Rect standardized() const;
    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }
    double width() const { return std::abs(size.width); }
    double height() const { return std::abs(size.height); }
    Point center() const { return {midX(), midY()}; }

    bool isFinite() const { return origin.isFinite() && size.isFinite(); }
    // A rectangle with no area (zero or NaN extent).
    bool isEmpty() const { return !(width() > 0) || !(height() > 0); }
    // Half-open: the minimum edges belong to the rectangle, the maximum edges do not.
    bool contains(const Point& p) const
    {
        return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
    bool containsRect(const Rect& r) const;
    // The overlap of two standardized rectangles; absent when they do not overlap in area.
    std::optional<Rect> intersected(const Rect& other) const;
    bool intersects(const Rect& other) const { return intersected(other).has_value(); }
    [[nodiscard]] Rect united(const Rect& other) const;
    [[nodiscard]] Rect insetBy(double dx, double dy) const;
    [[nodiscard]] Rect offsetBy(double dx, double dy) const;
};

inline QPointF toQPointF(const Point& p) { return {p.x, p.y}; }
inline Point toPoint(const QPointF& p) { return {p.x(), p.y()}; }
inline QSizeF toQSizeF(const Size& s) { return {s.width, s.height}; }
inline Size toSize(const QSizeF& s) { return {s.width(), s.height()}; }
inline QRectF toQRectF(const Rect& r)
{
    const Rect s = r.standardized();
    return {s.origin.x, s.origin.y, s.size.width, s.size.height};
}
inline Rect toRect(const QRectF& r) { return Rect(r.x(), r.y(), r.width(), r.height()).standardized(); }

// Clamps in double, then converts: an out-of-range double converted straight to int is
// undefined behaviour.
int clampToInt(double value);

} // namespace vorlith

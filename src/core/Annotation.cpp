#include "core/Annotation.h"

#include "core/JsonValues.h"
#include "core/Utf8.h"
#include "core/Uuid.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace vorlith {

namespace {

constexpr std::array<std::string_view, 9> kindNames{
    "roundedRectangle", "ellipse", "line", "arrow", "highlight", "pen", "text", "mosaic", "number",
};
static_assert(kindNames.size() == Annotation::allKinds.size());

// Markers stay between these diameters, text between these font sizes.
constexpr double minMarkerDiameter = 16;
constexpr double maxMarkerDiameter = 96;
constexpr double minFontSize = 12;
constexpr double maxFontSize = 72;

// Marker diameters and font sizes are whole numbers, halves rounded away from zero.
double roundedClamp(double value, double lo, double hi)
{
    return std::clamp(std::round(value), lo, hi);
}

bool isPolyline(Annotation::Kind kind)
{
    return kind == Annotation::Kind::line || kind == Annotation::Kind::arrow || kind == Annotation::Kind::pen;
}

double distanceToSegment(const Point& p, const Point& a, const Point& b)
{
    const Point d = b - a;
    const double lengthSquared = d.x * d.x + d.y * d.y;
    double u = 0;
    if (lengthSquared != 0)
        u = std::clamp(((p.x - a.x) * d.x + (p.y - a.y) * d.y) / lengthSquared, 0.0, 1.0);
    return distance(p, a + d * u);
}

// Direction of a handle away from the box centre: -1, 0 or +1 on each axis.
Point handleDirection(SelectionHandle handle)
{
    switch (handle) {
    case SelectionHandle::topLeft: return {-1, -1};
    case SelectionHandle::top: return {0, -1};
    case SelectionHandle::topRight: return {1, -1};
    case SelectionHandle::right: return {1, 0};
    case SelectionHandle::bottomRight: return {1, 1};
    case SelectionHandle::bottom: return {0, 1};
    case SelectionHandle::bottomLeft: return {-1, 1};
    case SelectionHandle::left: return {-1, 0};
    }
    return {};
}

bool isSquareMarker(const Annotation& mark)
{
    if (!isMarkerNumber(mark.number) || mark.points.size() != 2)
        return false;
    const Rect box = mark.bounds();
    const double w = box.width();
    const double h = box.height();
    return w > 0 && std::abs(w - h) <= std::max(w, h) * 1e-9;
}

} // namespace

// RGBA ---------------------------------------------------------------------------------------

bool RGBA::isFinite() const
{
    return std::isfinite(red) && std::isfinite(green) && std::isfinite(blue) && std::isfinite(alpha);
}

Json RGBA::toJson() const
{
    Json out = Json::object();
    out["red"] = json::number(red, "red");
    out["green"] = json::number(green, "green");
    out["blue"] = json::number(blue, "blue");
    out["alpha"] = json::number(alpha, "alpha");
    return out;
}

RGBA RGBA::fromJson(const Json& value)
{
    json::requireObject(value, "colour");
    return {json::requireDouble(value, "red"), json::requireDouble(value, "green"),
            json::requireDouble(value, "blue"), json::requireDouble(value, "alpha")};
}

// AnnotationStyle ----------------------------------------------------------------------------

Json AnnotationStyle::toJson() const
{
    Json out = Json::object();
    out["color"] = color.toJson();
    out["width"] = json::number(width, "width");
    out["opacity"] = json::number(opacity, "opacity");
    out["fontSize"] = json::number(fontSize, "fontSize");
    if (background)
        out["background"] = background->toJson();
    out["mosaicSize"] = json::number(mosaicSize, "mosaicSize");
    return out;
}

AnnotationStyle AnnotationStyle::fromJson(const Json& value)
{
    json::requireObject(value, "style");
    AnnotationStyle style;
    style.color = RGBA::fromJson(json::requireKey(value, "color"));
    style.width = json::requireDouble(value, "width");
    style.opacity = json::requireDouble(value, "opacity");
    style.fontSize = json::requireDouble(value, "fontSize");
    if (!json::isAbsent(value, "background"))
        style.background = RGBA::fromJson(json::requireKey(value, "background"));
    style.mosaicSize = json::requireDouble(value, "mosaicSize");
    return style;
}

// Annotation ---------------------------------------------------------------------------------

std::string_view Annotation::kindName(Kind kind)
{
    return kindNames[size_t(kind)];
}

std::optional<Annotation::Kind> Annotation::kindFromName(std::string_view name)
{
    for (const Kind kind : allKinds)
        if (kindName(kind) == name)
            return kind;
    return std::nullopt;
}

Annotation Annotation::numbered(int number, Point center, double diameter, const AnnotationStyle& style)
{
    const double r = diameter / 2;
    return {QUuid::createUuid(), Kind::number, {{center.x - r, center.y - r}, {center.x + r, center.y + r}},
            style, QString(), number};
}

Rect Annotation::bounds() const
{
    if (points.empty())
        return Rect(0, 0, 0, 0);
    double x0 = points.front().x, x1 = x0;
    double y0 = points.front().y, y1 = y0;
    for (const Point& p : points) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

Annotation Annotation::moved(Size delta) const
{
    Annotation copy = *this;
    for (Point& p : copy.points)
        p = {p.x + delta.width, p.y + delta.height};
    return copy;
}

Annotation Annotation::resized(const Rect& rect, const TextMeasure& measureText) const
{
    // A box given with negative extents means its standardized area; otherwise a marker would
    // take the box's origin and its minimum corner apart and collapse.
    const Rect r = rect.standardized();
    const Rect b = bounds();
    const double sx = b.width() > 0 ? r.width() / b.width() : 1;
    const double sy = b.height() > 0 ? r.height() / b.height() : 1;

    Annotation copy = *this;
    for (Point& p : copy.points)
        p = {r.minX() + sx * (p.x - b.minX()), r.minY() + sy * (p.y - b.minY())};

    if (kind == Kind::text) {
        const double f = std::clamp(style.fontSize * std::max(std::min(sx, sy), 0.01), minFontSize, maxFontSize);
        copy.style.fontSize = f;
        const Rect box = measureText(text, r.origin, f);
        copy.points = {box.origin, {box.maxX(), box.maxY()}};
    } else if (kind == Kind::number) {
        const double d = roundedClamp(std::min(r.width(), r.height()), minMarkerDiameter, maxMarkerDiameter);
        copy.points = {r.origin, {r.minX() + d, r.minY() + d}};
    }
    return copy;
}

Annotation Annotation::resized(SelectionHandle handle, Point point, const CaptureGeometry& geometry,
                               const TextMeasure& measureText) const
{
    const Rect b = bounds();
    if (kind != Kind::text && kind != Kind::number)
        return resized(resizing(handle, b, point, geometry), measureText);
    if (!(b.width() > 0) || !(b.height() > 0))
        return *this;

    // Scale uniformly about the anchor opposite the handle, by the projection of the drag onto
    // the handle's direction.
    const Point dir = handleDirection(handle);
    const double a = (1 - dir.x) / 2;
    const double bw = (1 - dir.y) / 2;
    const Point anchor{b.minX() + a * b.width(), b.minY() + bw * b.height()};
    const Point q = geometry.clamped(point);
    const Point v{dir.x * b.width(), dir.y * b.height()};
    const double s = (v.x * (q.x - anchor.x) + v.y * (q.y - anchor.y)) / (v.x * v.x + v.y * v.y);

    Annotation copy = *this;
    if (kind == Kind::number) {
        const double d = roundedClamp(std::max(s, 0.0) * std::min(b.width(), b.height()), minMarkerDiameter,
                                      maxMarkerDiameter);
        const Point o{anchor.x - a * d, anchor.y - bw * d};
        copy.points = {o, {o.x + d, o.y + d}};
    } else {
        const double f = roundedClamp(s * style.fontSize, minFontSize, maxFontSize);
        copy.style.fontSize = f;
        const Rect box = measureText(text, Point{0, 0}, f);
        const Point o{anchor.x - a * box.width(), anchor.y - bw * box.height()};
        copy.points = {o, {o.x + box.width(), o.y + box.height()}};
    }
    return copy;
}

bool Annotation::hitTest(Point p, double tolerance) const
{
    if (points.empty())
        return false;
    const Rect b = bounds();
    const double e = std::max(tolerance, style.width / 2);
    // The inflated box, half-open: its maximum edges are outside.
    if (!(p.x >= b.minX() - e && p.x < b.maxX() + e && p.y >= b.minY() - e && p.y < b.maxY() + e))
        return false;

    if (isPolyline(kind)) {
        if (points.size() == 1)
            return distance(p, points.front()) <= e;
        for (size_t i = 1; i < points.size(); ++i)
            if (distanceToSegment(p, points[i - 1], points[i]) <= e)
                return true;
        return false;
    }
    if (kind == Kind::number)
        return distance(p, b.center()) <= tolerance + std::min(b.width(), b.height()) / 2;
    return true;
}

bool Annotation::isValid() const
{
    const bool finitePoints = std::all_of(points.begin(), points.end(), [](const Point& p) { return p.isFinite(); });
    const bool finiteStyle = std::isfinite(style.width) && std::isfinite(style.opacity)
        && std::isfinite(style.fontSize) && std::isfinite(style.mosaicSize) && style.color.isFinite()
        && (!style.background || style.background->isFinite());
    return finitePoints && finiteStyle && (kind != Kind::number || isSquareMarker(*this));
}

std::int64_t Annotation::estimatedBytes() const
{
    return 192 + 16 * std::int64_t(points.size()) + utf8Length(text);
}

Json Annotation::toJson() const
{
    Json pointArray = Json::array();
    for (const Point& p : points)
        pointArray.push_back(json::pair(p.x, p.y, "points"));

    Json out = Json::object();
    out["id"] = uuidStdString(id);
    out["kind"] = std::string(kindName(kind));
    out["points"] = std::move(pointArray);
    out["style"] = style.toJson();
    out["text"] = text.toStdString();
    out["number"] = number;
    return out;
}

Annotation Annotation::fromJson(const Json& value)
{
    json::requireObject(value, "annotation");
    Annotation mark;

    const std::optional<QUuid> id = parseUuid(std::string_view(json::requireString(value, "id")));
    if (!id)
        throw JsonDecodeError("id: not a UUID");
    mark.id = *id;

    const std::optional<Kind> kind = kindFromName(json::requireString(value, "kind"));
    if (!kind)
        throw JsonDecodeError("kind: unknown mark kind");
    mark.kind = *kind;

    for (const Json& p : json::requireArray(json::requireKey(value, "points"), "points")) {
        const auto [x, y] = json::toPair(p, "points");
        mark.points.push_back({x, y});
    }
    mark.style = AnnotationStyle::fromJson(json::requireKey(value, "style"));
    mark.text = QString::fromStdString(json::requireString(value, "text"));
    mark.number = json::isAbsent(value, "number") ? 1 : json::toInt(json::requireKey(value, "number"), "number");
    return mark;
}

} // namespace vorlith

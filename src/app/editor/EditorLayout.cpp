#include "app/editor/EditorLayout.h"

#include "core/CaptureGeometry.h"

#include <algorithm>
#include <cmath>

namespace vorlith::editorLayout {

double viewScale(double frameWidth, double boundsWidth)
{
    const double bounds = std::max(boundsWidth, 0.001);
    const double scale = frameWidth / bounds;
    return std::isfinite(scale) ? std::max(scale, 0.001) : 1.0;
}

QString sizeLabelText(const Rect& pixels)
{
    const auto whole = [](double v) { return QString::number(static_cast<qint64>(std::trunc(v))); };
    return whole(pixels.width()) + QStringLiteral(" × ") + whole(pixels.height());
}

std::vector<Rect> sizeLabelCandidates(const Rect& s, double w, const Rect& bounds)
{
    const double h = sizeLabelHeight;
    const double x0 = std::min(std::max(s.minX(), 8.0), std::max(bounds.width() - w - 8, 8.0));
    const double y1 = std::min(bounds.height() - 25, std::max(s.midY() - 10.5, 4.0));
    return {
        Rect(x0, s.minY() - 29, w, h),
        Rect(x0, s.maxY() + 10, w, h),
        Rect(x0, s.minY() + 12, w, h),
        Rect(s.minX() - w - 12, y1, w, h),
        Rect(s.maxX() + 12, y1, w, h),
        Rect(std::max(bounds.midX() - w / 2, 8.0), 8, w, h),
    };
}

Rect sizeLabelFrame(const Rect& selection, double width, const Rect& bounds, const std::optional<Rect>& pill,
                    const std::optional<Rect>& toolbar)
{
    const std::vector<Rect> candidates = sizeLabelCandidates(selection, width, bounds);
    const Rect inside = bounds.insetBy(4, 4);
    const std::vector<Rect> handles = handleSquares(selection, 10);
    for (const Rect& c : candidates) {
        if (!inside.containsRect(c))
            continue;
        if ((pill && c.intersects(*pill)) || (toolbar && c.intersects(*toolbar)))
            continue;
        if (std::any_of(handles.begin(), handles.end(), [&](const Rect& h) { return c.intersects(h); }))
            continue;
        return c;
    }
    return candidates.back();
}

std::vector<Rect> handleSquares(const Rect& rect, double side)
{
    std::vector<Rect> squares;
    squares.reserve(allSelectionHandles.size());
    for (SelectionHandle handle : allSelectionHandles) {
        const Point p = handlePoint(handle, rect);
        squares.emplace_back(p.x - side / 2, p.y - side / 2, side, side);
    }
    return squares;
}

Rect markFrame(const Annotation& mark, double unit)
{
    return mark.bounds().insetBy(-3 * unit, -3 * unit);
}

std::vector<Point> markHandles(const Annotation& mark, double unit)
{
    if (mark.kind == Annotation::Kind::line || mark.kind == Annotation::Kind::arrow) {
        if (mark.points.empty())
            return {Point{}, Point{}};
        return {mark.points.front(), mark.points.back()};
    }
    const Rect frame = markFrame(mark, unit);
    std::vector<Point> points;
    points.reserve(allSelectionHandles.size());
    for (SelectionHandle handle : allSelectionHandles)
        points.push_back(handlePoint(handle, frame));
    return points;
}

double markHandleRadius(Annotation::Kind kind)
{
    return kind == Annotation::Kind::line || kind == Annotation::Kind::arrow ? 3.5 : 4;
}

std::optional<Rect> hintFrame(const Size& pill, const Rect& bounds, const std::vector<Rect>& obstacles)
{
    const double w = pill.width;
    const double h = pill.height;
    const Rect area = bounds.insetBy(8, 8);
    const double xs[] = {bounds.midX() - w / 2, area.minX(), area.maxX() - w};
    std::vector<double> ys{48, bounds.height() - h - 18};
    for (const Rect& o : obstacles) {
        ys.push_back(o.minY() - h - 8);
        ys.push_back(o.maxY() + 8);
    }
    for (double y : ys) {
        for (double x : xs) {
            const Rect candidate(x, y, w, h);
            if (!area.containsRect(candidate))
                continue;
            if (std::none_of(obstacles.begin(), obstacles.end(), [&](const Rect& o) { return candidate.intersects(o); }))
                return candidate;
        }
    }
    return std::nullopt;
}

std::vector<Rect> hintObstacles(const std::optional<Rect>& selection, const std::optional<Rect>& toolbar,
                                const std::optional<Rect>& textBox)
{
    std::vector<Rect> obstacles;
    if (selection)
        obstacles = handleSquares(*selection, 16);
    if (toolbar)
        obstacles.push_back(toolbar->insetBy(-6, -6));
    if (textBox)
        obstacles.push_back(textBox->insetBy(-6, -6));
    return obstacles;
}

Point nearestPoint(const Rect& rect, const Point& p)
{
    return {std::clamp(p.x, rect.minX(), rect.maxX()), std::clamp(p.y, rect.minY(), rect.maxY())};
}

bool nearTemporaryToolbar(const Point& p, const Rect& toolbar, const Point& origin)
{
    if (distance(p, nearestPoint(toolbar, p)) <= 80 || distance(p, origin) <= 80)
        return true;
    const Point q = nearestPoint(toolbar, origin);
    const Point v = q - origin;
    const Point d = p - origin;
    const double length2 = v.x * v.x + v.y * v.y;
    const double dot = d.x * v.x + d.y * v.y;
    const double t = std::clamp(length2 < 1 ? dot : dot / length2, 0.0, 1.0);
    return distance(p, origin + v * t) <= 24;
}

Rect feedbackFrame(const Rect& bounds, const Rect& toolbar)
{
    const double x = std::min(bounds.width() - 380, toolbar.minX());
    const double y = std::min(bounds.height() - 60, std::max(toolbar.minY() - 62, 8.0));
    return Rect(x, y, 300, 48);
}

Rect outputButtonFrame(const Rect& bounds, const Rect& toolbar, const Rect& feedback)
{
    return Rect(std::min(bounds.width() - 82, toolbar.minX() + 304), feedback.minY() + 8, 80, 30);
}

Rect discoveryPanelFrame(const Rect& toolbar, const Rect& visible, double width)
{
    const double h = discoveryPanelHeight;
    const double below = toolbar.maxY() + 8;
    const double y = below + h <= visible.maxY() - 8 ? below : toolbar.minY() - 8 - h;
    const double x = std::max(visible.minX() + 8, std::min(visible.maxX() - width - 8, toolbar.minX()));
    return Rect(x, y, width, h);
}

} // namespace vorlith::editorLayout

#include "app/pins/PinGeometry.h"

#include <algorithm>
#include <cmath>

namespace vorlith::pinGeometry {

namespace {
constexpr double fitMargin = 8;
constexpr double stripInset = 7;
constexpr double stripScreenMargin = 6;
constexpr double badgeInset = 8;
constexpr double keptInside = 32;
} // namespace

Fit fit(const Size& selection, const Rect& V, const std::optional<Point>& near)
{
    const double s = std::min({(V.width() - 2 * fitMargin) / selection.width,
                               (V.height() - 2 * fitMargin) / selection.height, 1.0});
    const double w = selection.width * s;
    const double h = selection.height * s;
    const Point c = near.value_or(Point{V.midX(), V.midY()});
    const double x = std::max(V.minX() + fitMargin, std::min(V.maxX() - w - fitMargin, c.x - w / 2));
    const double top = std::max(V.minY() + fitMargin, std::min(c.y - h / 2, V.maxY() - h - fitMargin));
    return {s, Rect(x, top, w, h)};
}

std::optional<DocumentViewport> fittedViewport(const Rect& selection, const Rect& visibleFrame,
                                               const std::optional<Point>& near)
{
    const Rect s = selection.standardized();
    if (!s.isFinite() || s.isEmpty() || !visibleFrame.isFinite())
        return std::nullopt;
    const Fit placed = fit(s.size, visibleFrame, near);
    return DocumentViewport::make(s, placed.screenRect.origin, placed.scale);
}

Rect stripFrame(const Rect& F, const Rect& V, const Size& strip)
{
    const double x = std::max(V.minX() + stripScreenMargin,
                              std::min(V.maxX() - strip.width - stripScreenMargin, F.maxX() - strip.width - stripInset));
    const double top = std::min(F.minY() + stripInset, V.maxY() - stripScreenMargin - strip.height);
    return Rect(x, top, strip.width, strip.height);
}

Rect badgeFrame(const Rect& F, const Size& badge)
{
    return Rect(F.minX() + badgeInset, F.minY() + badgeInset, badge.width, badge.height);
}

Rect ringFrame(const Rect& F)
{
    return F.insetBy(-ringMargin, -ringMargin);
}

std::array<Rect, 8> resizePanelFrames(const Rect& F)
{
    const double c = cornerReach;
    const double e = edgeReach;
    const double across = std::max(F.width() - 2 * c, 0.0);
    const double down = std::max(F.height() - 2 * c, 0.0);
    return {
        Rect(F.minX() - c, F.minY() - c, 2 * c, 2 * c),
        Rect(F.maxX() - c, F.minY() - c, 2 * c, 2 * c),
        Rect(F.minX() - c, F.maxY() - c, 2 * c, 2 * c),
        Rect(F.maxX() - c, F.maxY() - c, 2 * c, 2 * c),
        Rect(F.minX() + c, F.minY() - e, across, 2 * e),
        Rect(F.minX() + c, F.maxY() - e, across, 2 * e),
        Rect(F.minX() - e, F.minY() + c, 2 * e, down),
        Rect(F.maxX() - e, F.minY() + c, 2 * e, down),
    };
}

int percentage(double scale)
{
    return clampToInt(std::round(scale * 100));
}

Rect toolbarSelection(const Rect& C, const Rect& T)
{
    return Rect(C.minX() - T.minX(), C.minY() - T.minY(), C.width(), C.height());
}

Rect chromeFrame(const Rect& T, const Point& p, const Size& toolbar)
{
    return Rect(T.minX() + p.x, T.minY() + p.y, toolbar.width, toolbar.height);
}

std::optional<DisplayScreen> mostOverlapping(const Rect& F, const std::vector<DisplayScreen>& screens)
{
    if (screens.empty())
        return std::nullopt;
    std::optional<DisplayScreen> best = screens.front();
    double bestArea = 0;
    for (const DisplayScreen& screen : screens) {
        const std::optional<Rect> common = screen.visibleFrame.intersected(F);
        const double area = common ? common->width() * common->height() : 0;
        if (area > bestArea) { // strictly larger: a tie keeps the earlier screen
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

Point constrainedOrigin(const Rect& F, const Rect& V)
{
    const double top = std::min(V.maxY() - keptInside, std::max(V.minY(), F.minY()));
    const double x = std::max(V.minX() + keptInside - F.width(), std::min(V.maxX() - keptInside, F.minX()));
    return {x, top};
}

QRect windowRect(const Rect& frame)
{
    const int x = clampToInt(std::round(frame.minX()));
    const int y = clampToInt(std::round(frame.minY()));
    const int right = clampToInt(std::round(frame.maxX()));
    const int bottom = clampToInt(std::round(frame.maxY()));
    return QRect(x, y, right - x, bottom - y);
}

} // namespace vorlith::pinGeometry

#include "app/pins/PinGesture.h"

#include <algorithm>
#include <cmath>

namespace vorlith::pinGesture {

double minimumScale(const Rect& documentRect)
{
    return std::min(std::max(48 / documentRect.width(), 32 / documentRect.height()), 1.0);
}

double clampedScale(double wanted, const Rect& documentRect, double from)
{
    const double lower = std::min(minimumScale(documentRect), from);
    return std::min(std::max(wanted, lower), maximumScale);
}

SelectionHandle opposite(SelectionHandle handle)
{
    switch (handle) {
    case SelectionHandle::topLeft:
        return SelectionHandle::bottomRight;
    case SelectionHandle::top:
        return SelectionHandle::bottom;
    case SelectionHandle::topRight:
        return SelectionHandle::bottomLeft;
    case SelectionHandle::right:
        return SelectionHandle::left;
    case SelectionHandle::bottomRight:
        return SelectionHandle::topLeft;
    case SelectionHandle::bottom:
        return SelectionHandle::top;
    case SelectionHandle::bottomLeft:
        return SelectionHandle::topRight;
    case SelectionHandle::left:
        return SelectionHandle::right;
    }
    return handle;
}

std::optional<DocumentViewport> dragged(const DocumentViewport& atPress, const std::optional<SelectionHandle>& handle,
                                        double dx, double dy, const Rect& currentDocumentRect)
{
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return std::nullopt;
    if (!handle)
        return DocumentViewport::make(atPress.documentRect(), atPress.screenOrigin() + Point{dx, dy},
                                      atPress.scale());
    const Rect R = atPress.screenRect();
    const Point A = handlePoint(*handle, R);
    const Point B = handlePoint(opposite(*handle), R);
    const Point u{A.x + dx - B.x, A.y + dy - B.y};
    double k = 0;
    switch (*handle) {
    case SelectionHandle::top:
    case SelectionHandle::bottom:
        k = std::abs(u.y) / R.height();
        break;
    case SelectionHandle::left:
    case SelectionHandle::right:
        k = std::abs(u.x) / R.width();
        break;
    default:
        k = std::hypot(u.x, u.y) / std::hypot(R.width(), R.height());
        break;
    }
    const double scale = clampedScale(atPress.scale() * k, currentDocumentRect, atPress.scale());
    return atPress.scaled(scale, B);
}

std::optional<DocumentViewport> zoomed(const DocumentViewport& viewport, double factor, const Point& anchor)
{
    if (!std::isfinite(factor) || factor <= 0 || !std::isfinite(anchor.x) || !std::isfinite(anchor.y))
        return std::nullopt;
    const double scale = clampedScale(factor * viewport.scale(), viewport.documentRect(), viewport.scale());
    return viewport.scaled(scale, anchor);
}

} // namespace vorlith::pinGesture

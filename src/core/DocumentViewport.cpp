#include "core/DocumentViewport.h"

#include <cmath>

namespace vorlith {

std::optional<DocumentViewport> DocumentViewport::make(const Rect& documentRect, const Point& screenOrigin,
                                                       double scale)
{
    const double w = documentRect.size.width;
    const double h = documentRect.size.height;
    // The stored extents must be positive: a negative width is refused, not standardized.
    if (!documentRect.isFinite() || !std::isfinite(documentRect.origin.x + w)
        || !std::isfinite(documentRect.origin.y + h) || !(w > 0) || !(h > 0))
        return std::nullopt;
    if (!screenOrigin.isFinite() || !std::isfinite(scale) || !(scale > 0))
        return std::nullopt;
    if (!std::isfinite(scale * w) || !std::isfinite(scale * h) || !std::isfinite(screenOrigin.x + scale * w)
        || !std::isfinite(screenOrigin.y + scale * h))
        return std::nullopt;
    return DocumentViewport(documentRect, screenOrigin, scale);
}

Rect DocumentViewport::screenRect() const
{
    return Rect(m_screenOrigin.x, m_screenOrigin.y, m_documentRect.width() * m_scale,
                m_documentRect.height() * m_scale);
}

Point DocumentViewport::screenPoint(const Point& p) const
{
    return {m_screenOrigin.x + (p.x - m_documentRect.minX()) * m_scale,
            m_screenOrigin.y + (p.y - m_documentRect.minY()) * m_scale};
}

Point DocumentViewport::documentPoint(const Point& p) const
{
    return {m_documentRect.minX() + (p.x - m_screenOrigin.x) / m_scale,
            m_documentRect.minY() + (p.y - m_screenOrigin.y) / m_scale};
}

// Both rectangle conversions standardize first, so a rectangle given with negative extents maps
// to the same area as its standardized form.
Rect DocumentViewport::screenRect(const Rect& r) const
{
    const Rect s = r.standardized();
    return Rect(screenPoint(s.origin), Size{s.size.width * m_scale, s.size.height * m_scale});
}

Rect DocumentViewport::documentRect(const Rect& r) const
{
    const Rect s = r.standardized();
    return Rect(documentPoint(s.origin), Size{s.size.width / m_scale, s.size.height / m_scale});
}

std::optional<DocumentViewport> DocumentViewport::scaled(double scale, const Point& aroundScreen) const
{
    const Point d = documentPoint(aroundScreen);
    const Point origin{aroundScreen.x - scale * (d.x - m_documentRect.minX()),
                       aroundScreen.y - scale * (d.y - m_documentRect.minY())};
    return make(m_documentRect, origin, scale);
}

std::optional<DocumentViewport> DocumentViewport::replacingDocumentRect(const Rect& documentRect) const
{
    return make(documentRect, m_screenOrigin, m_scale);
}

} // namespace vorlith

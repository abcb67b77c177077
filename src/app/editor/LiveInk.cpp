#include "app/editor/LiveInk.h"

#include "app/editor/PaintedArea.h"
#include "rendering/AnnotationRenderer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace vorlith {

namespace {

using Kind = Annotation::Kind;

// A pen stroke this long is cut to the part the paint reaches; shorter ones cost less to draw
// whole than to look through.
constexpr size_t cutFromPoints = 64;

const Annotation* findMark(const std::vector<Annotation>& marks, const Annotation& mark)
{
    const auto found = std::find_if(marks.begin(), marks.end(), [&](const Annotation& m) { return m.id == mark.id; });
    return found == marks.end() ? nullptr : &*found;
}

// Whether `marks` hold the mark exactly as given.
bool holds(const std::vector<Annotation>& marks, const Annotation& mark)
{
    const Annotation* found = findMark(marks, mark);
    return found && *found == mark;
}

} // namespace

bool LiveInk::draws(Annotation::Kind kind)
{
    switch (kind) {
    case Kind::roundedRectangle:
    case Kind::ellipse:
    case Kind::line:
    case Kind::arrow:
    case Kind::highlight:
    case Kind::pen: return true;
    case Kind::text:
    case Kind::number:
    case Kind::mosaic: return false;
    }
    return false;
}

void LiveInk::track(const Annotation& mark, const std::vector<Annotation>& shown, const std::vector<Annotation>& composited)
{
    std::erase_if(m_marks, [&](const Annotation& m) {
        return m.id == mark.id || !holds(shown, m) || holds(composited, m);
    });
    m_marks.push_back(mark);
}

std::vector<const Annotation*> LiveInk::pending(const std::vector<Annotation>& shown,
                                                const std::vector<Annotation>& composited) const
{
    std::vector<const Annotation*> marks;
    if (m_marks.empty())
        return marks;
    for (const Annotation& mark : shown) {
        const Annotation* tracked = findMark(m_marks, mark);
        if (tracked && *tracked == mark && !holds(composited, mark))
            marks.push_back(&mark);
    }
    return marks;
}

std::optional<std::pair<size_t, size_t>> LiveInk::pointsReaching(const std::vector<Point>& points, const QRectF& area,
                                                                 double reach)
{
    const QRectF grown = area.adjusted(-reach, -reach, reach, reach);
    std::optional<std::pair<size_t, size_t>> run;
    const auto touches = [&](const Point& a, const Point& b) {
        return grown.intersects(QRectF(toQPointF(a), toQPointF(b)).normalized().adjusted(-0.5, -0.5, 0.5, 0.5));
    };
    for (size_t i = 0; i < points.size(); ++i) {
        const bool reaches = i + 1 < points.size() ? touches(points[i], points[i + 1])
                                                   : points.size() == 1 && touches(points[i], points[i]);
        if (!reaches)
            continue;
        const size_t last = std::min(i + 1, points.size() - 1);
        run = run ? std::pair(run->first, last) : std::pair(i, last);
    }
    return run;
}

void LiveInk::paint(QPainter& painter, const Annotation& mark, const Rect& clip)
{
    painter.save();
    painter.setClipRect(toQRectF(clip), Qt::IntersectClip);
    const std::optional<QRectF> area = paintedArea(painter);
    if (mark.kind == Kind::pen && mark.points.size() >= cutFromPoints && area) {
        // Round joins and round caps are the same disc at a point, so the run of segments that
        // crosses the region draws there exactly what the whole stroke draws.
        const double width = std::isfinite(mark.style.width) ? std::clamp(mark.style.width, 0.5, 100.0) : 100.0;
        const double reach = width / 2 + 1;
        if (const auto run = pointsReaching(mark.points, *area, reach)) {
            Annotation part = mark;
            const auto from = mark.points.begin() + std::ptrdiff_t(run->first);
            part.points.assign(from, from + std::ptrdiff_t(run->second - run->first + 1));
            AnnotationRenderer::drawGeometry(part, painter);
        }
    } else {
        AnnotationRenderer::drawGeometry(mark, painter);
    }
    painter.restore();
}

} // namespace vorlith

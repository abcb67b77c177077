#pragma once

#include "core/Annotation.h"
#include "core/Geometry.h"

#include <QRectF>

#include <optional>
#include <vector>

class QPainter;

namespace vorlith {

// The mark being drawn, painted straight into the view while the gesture lasts, so that the
// ink follows the pointer instead of waiting for the compositor's next preview. It is drawn by
// the renderer's own geometry code over the composite of the marks beneath it; a new mark
// lies on top of every other, so that is exactly what the composite with it will show. No
// preview is asked for while it is drawn: a preview holding an earlier state of the mark
// would show it twice. After the release the mark stays live until the composite holds it as
// the draft does. All of it is cheap: a handful of marks compared by id on each paint.
class LiveInk {
public:
    // The kinds drawn live: shapes, arrows, lines, highlights and pens. A mosaic pixelates
    // what lies beneath it and is shown by the composite.
    static bool draws(Annotation::Kind kind);

    // The mark as the gesture has just put it into the draft (`shown`). Marks of earlier
    // gestures stay tracked while the composite does not hold them yet: a quick next stroke
    // must not make the last one vanish until its composite arrives.
    void track(const Annotation& mark, const std::vector<Annotation>& shown, const std::vector<Annotation>& composited);
    void clear() { m_marks.clear(); }
    const std::vector<Annotation>& tracked() const { return m_marks; }

    // The marks to paint, in drawing order: the tracked ones that the draft shows as tracked
    // and the composite does not hold so yet.
    std::vector<const Annotation*> pending(const std::vector<Annotation>& shown,
                                           const std::vector<Annotation>& composited) const;

    // Paints the mark in document points through the painter's transform, clipped to `clip`
    // (the selection, where marks show). Only what reaches the paint's own region is drawn:
    // of a long pen stroke, the run of segments that crosses it.
    static void paint(QPainter& painter, const Annotation& mark, const Rect& clip);

    // Of a pen's points, the run [first, last] whose segments come within `reach` of `area`
    // (document points); nothing when none does.
    static std::optional<std::pair<size_t, size_t>> pointsReaching(const std::vector<Point>& points, const QRectF& area,
                                                                   double reach);

private:
    std::vector<Annotation> m_marks;
};

} // namespace vorlith

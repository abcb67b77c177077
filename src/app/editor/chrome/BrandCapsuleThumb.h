#pragma once

#include <QRectF>

class QPainter;

namespace vorlith {

class ShadowPainter;

// The painter of the slider's capsule-shaped knob: a white capsule with a soft shadow one
// point below it (down on screen) and a brand-tinted edge.
class BrandCapsuleThumb {
public:
    BrandCapsuleThumb() = delete;

    static void draw(QPainter& painter, const QRectF& rect, bool enabled, ShadowPainter& shadows);
};

} // namespace vorlith

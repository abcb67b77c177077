#pragma once

#include <QRectF>

class QPainter;

namespace vorlith {

class ShadowPainter;

// How the completion slider looks: a thin rounded track, filled in the brand colour up to the
// knob's centre, and the capsule knob.
class BrandSliderCell {
public:
    BrandSliderCell() = delete;

    static constexpr double knobWidth = 20;
    static constexpr double knobHeight = 16;
    static constexpr double trackHeight = 6;

    // `bar` spans the slider; `knobMidX` is the knob's centre; `midY` the control's centre.
    static void drawBar(QPainter& painter, const QRectF& bar, double knobMidX, double midY, bool enabled);
    static void drawKnob(QPainter& painter, double knobMidX, double midY, bool enabled, ShadowPainter& shadows);
    [[nodiscard]] static QRectF trackRect(const QRectF& bar, double midY);
    [[nodiscard]] static QRectF fillRect(const QRectF& bar, double knobMidX, double midY);
};

} // namespace vorlith

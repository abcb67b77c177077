#include "app/editor/chrome/BrandSliderCell.h"

#include "app/base/InterfaceColors.h"
#include "app/editor/chrome/BrandCapsuleThumb.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace vorlith {

QRectF BrandSliderCell::trackRect(const QRectF& bar, double midY)
{
    return QRectF(bar.left(), midY - trackHeight / 2, bar.width(), trackHeight);
}

QRectF BrandSliderCell::fillRect(const QRectF& bar, double knobMidX, double midY)
{
    const QRectF track = trackRect(bar, midY);
    return QRectF(track.left(), track.top(), std::max(knobMidX - track.left(), 0.0), trackHeight);
}

void BrandSliderCell::drawBar(QPainter& painter, const QRectF& bar, double knobMidX, double midY, bool enabled)
{
    QPainterPath track;
    track.addRoundedRect(trackRect(bar, midY), 3, 3);
    painter.fillPath(track, InterfaceColors::sliderTrack());
    painter.save();
    painter.setClipPath(track, Qt::IntersectClip);
    QColor fill = InterfaceColors::sliderFill();
    fill.setAlphaF(enabled ? 1.0f : 0.4f);
    painter.fillRect(fillRect(bar, knobMidX, midY), fill);
    painter.restore();
}

void BrandSliderCell::drawKnob(QPainter& painter, double knobMidX, double midY, bool enabled, ShadowPainter& shadows)
{
    BrandCapsuleThumb::draw(painter, QRectF(knobMidX - knobWidth / 2, midY - knobHeight / 2, knobWidth, knobHeight),
                            enabled, shadows);
}

} // namespace vorlith

#include "rendering/FontFactory.h"

#include "rendering/Bitmap.h"

#include <QImage>

#include <algorithm>
#include <cmath>

namespace vorlith {

const char* const FontFactory::textFamily = "WenQuanYi Micro Hei";
// Inter has a real SemiBold face; a family without one would be drawn Bold.
const char* const FontFactory::markerFamily = "Inter";

namespace {

QFont sizedFont(const char* family, double pixelSize, int dpi)
{
    QFont font(QString::fromLatin1(family));
    font.setFamilies({QString::fromLatin1(family)});
    // Unhinted outlines keep advances proportional to the size and equal on every device.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    const double size = std::isfinite(pixelSize) && pixelSize > 0 ? pixelSize : 1;
    font.setPointSizeF(size * 72.0 / (dpi > 0 ? dpi : Bitmap::designDpi));
    return font;
}

} // namespace

double FontFactory::textSize(double fontSize)
{
    if (std::isnan(fontSize))
        return 12;
    return std::clamp(fontSize, 12.0, 72.0);
}

QFont FontFactory::textFont(double pixelSize, int dpi)
{
    return sizedFont(textFamily, pixelSize, dpi);
}

QFont FontFactory::markerFont(double pixelSize, int dpi)
{
    QFont font = sizedFont(markerFamily, pixelSize, dpi);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFontMetricsF FontFactory::designMetrics(const QFont& font)
{
    // A font resolves its pixel size against a paint device; a tiny bitmap tagged 72 dpi is
    // the device every mark is measured on.
    QImage device(1, 1, Bitmap::format);
    Bitmap::tag(device);
    return QFontMetricsF(font, &device);
}

} // namespace vorlith

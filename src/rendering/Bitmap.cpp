#include "rendering/Bitmap.h"

#include <QColorSpace>

#include <cmath>

namespace vorlith {

namespace {

// QImage stores resolution in dots per metre.
const int designDotsPerMeter = int(std::lround(Bitmap::designDpi / 0.0254));

} // namespace

void Bitmap::tag(QImage& image)
{
    image.setColorSpace(QColorSpace::SRgb);
    image.setDotsPerMeterX(designDotsPerMeter);
    image.setDotsPerMeterY(designDotsPerMeter);
    image.setDevicePixelRatio(1);
}

QImage Bitmap::create(int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    QImage image(width, height, format);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    tag(image);
    return image;
}

QImage Bitmap::copyOf(const QImage& image)
{
    QImage copy = image;
    conform(copy);
    // A conversion gives the copy pixels of its own; an image that needed none still shares
    // the caller's, and the result must never alias them.
    if (!copy.isNull() && copy.constBits() == image.constBits())
        copy = copy.copy();
    return copy;
}

void Bitmap::conform(QImage& image)
{
    if (image.isNull())
        return;
    const QColorSpace sRgb(QColorSpace::SRgb);
    const QColorSpace space = image.colorSpace();
    const bool foreignSpace = space.isValid() && space != sRgb;
    const bool deep = image.depth() == 64;
    if (foreignSpace && deep)
        image.convertToColorSpace(sRgb);
    if (image.format() != format)
        image.convertTo(format);
    if (foreignSpace && !deep && !image.isNull()) {
        // As drawing them into an sRGB context would.
        image.convertToColorSpace(sRgb);
        if (image.format() != format)
            image.convertTo(format);
    }
    if (!image.isNull())
        tag(image);
}

} // namespace vorlith

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
    if (image.isNull())
        return {};
    // convertToFormat shares the data when the format already matches, so detach with
    // copy() in that case: the result must never alias the caller's pixels.
    QImage copy = image.format() == format ? image.copy() : image.convertToFormat(format);
    if (copy.isNull())
        return {};
    // Pixels of another colour space are matched into sRGB, as drawing them into an sRGB
    // context would; untagged pixels are taken as sRGB already.
    const QColorSpace space = copy.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
        copy.convertToColorSpace(QColorSpace::SRgb);
        if (copy.format() != format)
            copy = copy.convertToFormat(format);
        if (copy.isNull())
            return {};
    }
    tag(copy);
    return copy;
}

} // namespace vorlith

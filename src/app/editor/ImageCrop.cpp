#include "app/editor/ImageCrop.h"

#include <QColorSpace>

namespace vorlith {

QImage ImageCrop::shared(const QImage& image, const QRect& pixels)
{
    if (image.isNull() || pixels.isEmpty() || !image.rect().contains(pixels))
        return {};
    const int depth = image.depth();
    if (depth < 8 || depth % 8 != 0)
        return image.copy(pixels);
    // The owner of the pixels travels with the crop and is released with it.
    auto* owner = new QImage(image);
    const uchar* first = owner->constBits() + qsizetype(pixels.y()) * owner->bytesPerLine()
        + qsizetype(pixels.x()) * (depth / 8);
    QImage crop(first, pixels.width(), pixels.height(), owner->bytesPerLine(), owner->format(),
                [](void* info) { delete static_cast<QImage*>(info); }, owner);
    crop.setColorSpace(image.colorSpace());
    crop.setDotsPerMeterX(image.dotsPerMeterX());
    crop.setDotsPerMeterY(image.dotsPerMeterY());
    return crop;
}

} // namespace vorlith

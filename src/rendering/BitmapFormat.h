#pragma once

#include <QColorSpace>
#include <QImage>

namespace vorlith {

// The one pixel format of every bitmap the application keeps: premultiplied ARGB, sRGB.
inline constexpr QImage::Format bitmapFormat = QImage::Format_ARGB32_Premultiplied;

// The image in the bitmap format, tagged sRGB. Tagging never touches the pixels; converting
// happens only when the format differs.
inline QImage asBitmap(QImage image)
{
    if (image.isNull())
        return image;
    if (image.format() != bitmapFormat)
        image = std::move(image).convertToFormat(bitmapFormat);
    if (image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    return image;
}

} // namespace vorlith

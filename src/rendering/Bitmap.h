#pragma once

#include <QImage>

namespace vorlith {

// The one pixel format of every bitmap the application makes: 8 bits per component,
// premultiplied alpha, sRGB, top row first, one logical pixel per design point (72 dpi, so
// point-sized fonts drawn on it come out at their size in pixels).
struct Bitmap {
    static constexpr QImage::Format format = QImage::Format_ARGB32_Premultiplied;
    // The resolution at which a point is a pixel.
    static constexpr int designDpi = 72;

    // A new, fully transparent bitmap; a null image when the size is not positive or the
    // memory cannot be had.
    static QImage create(int width, int height);
    // A copy of the image in the bitmap format and sRGB, sharing nothing with it; null on
    // failure.
    static QImage copyOf(const QImage& image);
    // Turns the image itself into the bitmap format and sRGB (a null image on failure).
    // Pixels of another colour space are matched into sRGB, deep (16-bit) ones before they
    // lose depth; untagged pixels are taken as sRGB already.
    static void conform(QImage& image);
    // Marks an image as ours: sRGB, 72 dpi, device pixel ratio 1.
    static void tag(QImage& image);
};

} // namespace vorlith

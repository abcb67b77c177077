#pragma once

#include <QImage>
#include <QRect>

class QPainter;

namespace vorlith {

// Paints a frozen screen image into an overlay as a plain copy of its pixels.
//
// The frozen image is in the bitmap format (premultiplied ARGB), and Qt's raster engine blends
// any image with an alpha channel pixel by pixel. A screen holds no transparency: every pixel
// of a frozen image is opaque, so the same memory read as RGB32 is the same picture, and an
// RGB32 image drawn with the Source mode onto the backing store of an opaque window (RGB32 on
// X11) is copied line by line. The view shares the frozen image's memory: nothing is
// allocated or converted on the way from the grab to the first paint.
class FrozenImagePainter {
public:
    // `image`: opaque pixels (a screen grab); `scale`: pixels per point of its display.
    FrozenImagePainter(QImage image, double scale);

    const QImage& image() const { return m_image; }
    // Paints the part of the image under `exposed` (logical points of the overlay).
    void paint(QPainter& painter, const QRect& exposed) const;

private:
    QImage m_image; // holds the memory the view reads
    QImage m_view;
    double m_scale;
};

} // namespace vorlith

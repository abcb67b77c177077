#pragma once

#include <QImage>
#include <QRegion>

namespace vorlith {

// Where `after` differs from `before`, in pixels, as whole tiles of `tileWidth` × `tileHeight`
// (clipped to the image): what a painter must take from `after` when it shows `before`
// everywhere else. Images of different sizes, or of pixel formats not compared byte for byte
// (anything but the 32-bit RGB32 and premultiplied ARGB32), differ everywhere.
struct ChangedArea {
    static constexpr int tileWidth = 64;
    static constexpr int tileHeight = 16;

    static QRegion between(const QImage& before, const QImage& after);
};

} // namespace vorlith

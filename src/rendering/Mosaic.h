#pragma once

#include <QRect>
#include <QSize>
#include <QtGlobal>

#include <functional>

namespace vorlith {

// Pixelates a box of a 32-bit bitmap in place: blocks laid from the box's own top-left pixel,
// the last row and column of blocks cut at the box's edge, each block's four bytes averaged
// as stored (premultiplied) with truncating integer division and written back to every pixel.
struct Mosaic {
    // `box` must lie inside the bitmap; `block` is at least 1 × 1. `beforeRow` runs before
    // each block row; it may throw to stop, leaving the rows done so far pixelated.
    static void pixelate(uchar* bits, qsizetype bytesPerLine, const QRect& box, QSize block,
                         const std::function<void()>& beforeRow);
};

} // namespace vorlith

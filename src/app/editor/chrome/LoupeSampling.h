#pragma once

#include "core/Geometry.h"

namespace vorlith {

// Which source pixels the loupe shows and where: the sampled pixel sits in the centre cell of
// the 180 × 120 image area, each source pixel 4 device pixels wide when the screen's scale is
// the image's density. Near the image's edges the crop is cut and the patch stays aligned, so
// the sampled pixel remains in the centre cell.
struct LoupeSampling {
    static constexpr double areaWidth = 180;
    static constexpr double areaHeight = 120;

    Point sample;      // the sampled pixel (column, row)
    Rect crop;         // the source pixels to show
    Rect destination;  // where the crop is drawn, in image-area coordinates
    Size cellSize;     // the on-screen size of one source pixel
    Rect targetCell;   // the sampled pixel's cell, in image-area coordinates

    // `point` in logical image coordinates; both sizes must be positive.
    LoupeSampling(Point point, Size logicalSize, Size pixelSize);
};

} // namespace vorlith

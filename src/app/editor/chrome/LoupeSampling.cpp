#include "app/editor/chrome/LoupeSampling.h"

#include <algorithm>
#include <cmath>

namespace vorlith {

LoupeSampling::LoupeSampling(Point p, Size logical, Size pixels)
{
    Q_ASSERT(logical.width > 0 && logical.height > 0 && pixels.width > 0 && pixels.height > 0);
    const double sx = pixels.width / logical.width;
    const double sy = pixels.height / logical.height;
    const double column = std::clamp(std::floor(p.x * sx), 0.0, pixels.width - 1);
    const double row = std::clamp(std::floor(p.y * sy), 0.0, pixels.height - 1);
    sample = {column, row};
    cellSize = {4 / sx, 4 / sy};
    const double hx = std::ceil(areaWidth / cellSize.width / 2);
    const double hy = std::ceil(areaHeight / cellSize.height / 2);
    const Rect wanted(column - hx, row - hy, 2 * hx + 1, 2 * hy + 1);
    // The sampled pixel lies in both, so the intersection is never empty.
    crop = wanted.intersected(Rect(0, 0, pixels.width, pixels.height)).value_or(Rect(column, row, 1, 1));
    targetCell = Rect((areaWidth - cellSize.width) / 2, (areaHeight - cellSize.height) / 2, cellSize.width,
                      cellSize.height);
    destination = Rect(targetCell.origin.x + cellSize.width * (crop.minX() - column),
                       targetCell.origin.y + cellSize.height * (crop.minY() - row), cellSize.width * crop.width(),
                       cellSize.height * crop.height());
}

} // namespace vorlith

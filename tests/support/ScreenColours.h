#pragma once

// Comparing colours read back from the screen or the clipboard, where strokes are
// anti-aliased and the pixel under a computed point may be a blend.

#include <QColor>
#include <QImage>
#include <QPoint>

#include <algorithm>
#include <cstdlib>

namespace vorlith::test {

// The largest difference of one channel.
inline int colourDistance(const QColor& a, const QColor& b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

// The colour nearest to `wanted` within `radius` pixels of `at`.
inline QColor nearestTo(const QImage& image, QPoint at, const QColor& wanted, int radius = 2)
{
    QColor best = Qt::transparent;
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p = at + QPoint(dx, dy);
            if (!image.rect().contains(p))
                continue;
            const QColor colour = image.pixelColor(p);
            if (best.alpha() == 0 || colourDistance(colour, wanted) < colourDistance(best, wanted))
                best = colour;
        }
    }
    return best;
}

} // namespace vorlith::test

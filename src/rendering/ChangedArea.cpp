#include "rendering/ChangedArea.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vorlith {

namespace {

bool comparable(QImage::Format format)
{
    return format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB32;
}

// The tiles of one row of tiles that differ, one flag per tile.
std::vector<bool> changedTiles(const QImage& before, const QImage& after, int top, int bottom)
{
    const int width = before.width();
    std::vector<bool> changed(size_t((width + ChangedArea::tileWidth - 1) / ChangedArea::tileWidth), false);
    for (int y = top; y < bottom; ++y) {
        const auto* a = reinterpret_cast<const quint32*>(before.constScanLine(y));
        const auto* b = reinterpret_cast<const quint32*>(after.constScanLine(y));
        for (size_t tile = 0; tile < changed.size(); ++tile) {
            if (changed[tile])
                continue;
            const int left = int(tile) * ChangedArea::tileWidth;
            const int count = std::min(ChangedArea::tileWidth, width - left);
            changed[tile] = std::memcmp(a + left, b + left, size_t(count) * sizeof(quint32)) != 0;
        }
    }
    return changed;
}

} // namespace

QRegion ChangedArea::between(const QImage& before, const QImage& after)
{
    if (before.size() != after.size() || !comparable(before.format()) || !comparable(after.format()))
        return QRegion(after.rect());
    // Runs of changed tiles, row of tiles by row of tiles: already the y-x banded form a
    // region is made of, so it is built in one go.
    std::vector<QRect> runs;
    for (int top = 0; top < before.height(); top += tileHeight) {
        const int bottom = std::min(top + tileHeight, before.height());
        const std::vector<bool> changed = changedTiles(before, after, top, bottom);
        for (size_t tile = 0; tile < changed.size();) {
            if (!changed[tile]) {
                ++tile;
                continue;
            }
            const size_t first = tile;
            while (tile < changed.size() && changed[tile])
                ++tile;
            const int left = int(first) * tileWidth;
            const int right = std::min(int(tile) * tileWidth, before.width());
            runs.emplace_back(QPoint(left, top), QPoint(right - 1, bottom - 1));
        }
    }
    QRegion region;
    region.setRects(runs.data(), int(runs.size()));
    return region;
}

} // namespace vorlith

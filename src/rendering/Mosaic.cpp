#include "rendering/Mosaic.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vorlith {

namespace {

// The sums of one row of blocks, four byte lanes per block.
void accumulateRow(const uchar* row, std::int64_t left, std::int64_t right, std::int64_t blockWidth,
                   std::vector<std::uint64_t>& sums)
{
    std::uint64_t* sum = sums.data();
    for (std::int64_t x = left; x < right; x += blockWidth, sum += 4) {
        const std::int64_t end = std::min(right, x + blockWidth);
        std::uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (const uchar* p = row + 4 * x; p < row + 4 * end; p += 4) {
            s0 += p[0];
            s1 += p[1];
            s2 += p[2];
            s3 += p[3];
        }
        sum[0] += s0;
        sum[1] += s1;
        sum[2] += s2;
        sum[3] += s3;
    }
}

} // namespace

void Mosaic::pixelate(uchar* bits, qsizetype bytesPerLine, const QRect& box, QSize block,
                      const std::function<void()>& beforeRow)
{
    if (!bits || box.isEmpty() || block.width() < 1 || block.height() < 1)
        return;
    // 64-bit coordinates: a block may be as large as the image, and x + block must not wrap.
    const std::int64_t left = box.left(), right = std::int64_t(box.left()) + box.width();
    const std::int64_t top = box.top(), bottom = std::int64_t(box.top()) + box.height();
    const std::int64_t blockWidth = block.width(), blockHeight = block.height();
    const std::int64_t columns = (right - left + blockWidth - 1) / blockWidth;

    std::vector<std::uint64_t> sums(static_cast<size_t>(columns) * 4);
    std::vector<std::uint32_t> averages(static_cast<size_t>(columns));
    for (std::int64_t rowTop = top; rowTop < bottom; rowTop += blockHeight) {
        if (beforeRow)
            beforeRow();
        const std::int64_t rowBottom = std::min(bottom, rowTop + blockHeight);
        std::fill(sums.begin(), sums.end(), 0);
        for (std::int64_t y = rowTop; y < rowBottom; ++y)
            accumulateRow(bits + y * bytesPerLine, left, right, blockWidth, sums);

        const std::uint64_t rows = std::uint64_t(rowBottom - rowTop);
        for (std::int64_t c = 0; c < columns; ++c) {
            const std::int64_t x = left + c * blockWidth;
            const std::uint64_t count = std::uint64_t(std::min(right - x, blockWidth)) * rows;
            uchar pixel[4];
            for (int lane = 0; lane < 4; ++lane)
                pixel[lane] = uchar(sums[size_t(c * 4 + lane)] / count);
            std::memcpy(&averages[size_t(c)], pixel, 4);
        }
        for (std::int64_t y = rowTop; y < rowBottom; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(bits + y * bytesPerLine);
            for (std::int64_t c = 0; c < columns; ++c) {
                const std::int64_t x = left + c * blockWidth;
                const std::int64_t end = std::min(right, x + blockWidth);
                std::fill(row + x, row + end, averages[size_t(c)]);
            }
        }
    }
}

} // namespace vorlith

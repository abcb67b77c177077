#include "app/output/PngRowFilter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vorlith {

namespace {

using Byte = std::uint8_t;

// Each filter is one loop of independent bytes, which the compiler turns into vector code; the
// first pixel of a row, which has no left neighbour, is done apart so that the loops have no
// branch.
#define VORLITH_VECTORIZE __attribute__((optimize("tree-vectorize")))

// A difference taken as a signed byte, as the choice of filter weighs it.
inline unsigned magnitude(Byte difference)
{
    const int value = std::int8_t(difference);
    return unsigned(value < 0 ? -value : value);
}

inline Byte paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return Byte(pa <= pb && pa <= pc ? a : bc);
}

VORLITH_VECTORIZE void filterSub(const Byte* row, qsizetype count, int bpp, Byte* out)
{
    std::memcpy(out, row, size_t(bpp));
    for (qsizetype i = bpp; i < count; ++i)
        out[i] = Byte(row[i] - row[i - bpp]);
}

VORLITH_VECTORIZE void filterUp(const Byte* row, const Byte* above, qsizetype count, Byte* out)
{
    for (qsizetype i = 0; i < count; ++i)
        out[i] = Byte(row[i] - above[i]);
}

VORLITH_VECTORIZE void filterAverage(const Byte* row, const Byte* above, qsizetype count, int bpp, Byte* out)
{
    for (qsizetype i = 0; i < bpp; ++i)
        out[i] = Byte(row[i] - (above[i] >> 1));
    for (qsizetype i = bpp; i < count; ++i)
        out[i] = Byte(row[i] - Byte((unsigned(row[i - bpp]) + above[i]) >> 1));
}

VORLITH_VECTORIZE void filterPaeth(const Byte* row, const Byte* above, qsizetype count, int bpp, Byte* out)
{
    for (qsizetype i = 0; i < bpp; ++i)
        out[i] = Byte(row[i] - above[i]); // no left neighbour: Paeth predicts the byte above
    for (qsizetype i = bpp; i < count; ++i)
        out[i] = Byte(row[i] - paethPredictor(row[i - bpp], above[i], above[i - bpp]));
}

struct Sums {
    unsigned sub = 0, up = 0, average = 0, paeth = 0;
};

// The four filters' sums of differences over the samples [from, to), from ≥ bpp, in one pass
// that writes nothing: only the winner is written afterwards.
VORLITH_VECTORIZE Sums filterSums(const Byte* row, const Byte* above, qsizetype from, qsizetype to, int bpp)
{
    Sums sums;
    unsigned sub = 0, up = 0, average = 0, paeth = 0;
    for (qsizetype i = from; i < to; ++i) {
        const Byte a = row[i - bpp], b = above[i], c = above[i - bpp];
        sub += magnitude(Byte(row[i] - a));
        up += magnitude(Byte(row[i] - b));
        average += magnitude(Byte(row[i] - Byte((unsigned(a) + b) >> 1)));
        paeth += magnitude(Byte(row[i] - paethPredictor(a, b, c)));
    }
    sums.sub += sub;
    sums.up += up;
    sums.average += average;
    sums.paeth += paeth;
    return sums;
}

#undef VORLITH_VECTORIZE

const QRgb* pixels(const QImage& image, int y)
{
    return reinterpret_cast<const QRgb*>(image.constScanLine(y));
}

} // namespace

PngRowFilter::PngRowFilter(const QImage& image, bool rgba)
    : m_image(image), m_rgba(rgba), m_rows(size_t(rowBytes() - 1) * 2, 0)
{
}

void PngRowFilter::filterRow(const Byte* row, const Byte* above, qsizetype count, int bpp, Byte* out)
{
    // Weighed on a quarter of the row, in runs spread across it: a row's content changes
    // over far longer stretches, and weighing it whole cost more than filtering it.
    constexpr qsizetype run = 192;
    Sums sums;
    for (qsizetype from = bpp; from < count; from += 4 * run) {
        const Sums part = filterSums(row, above, from, std::min(count, from + run), bpp);
        sums.sub += part.sub;
        sums.up += part.up;
        sums.average += part.average;
        sums.paeth += part.paeth;
    }
    // Ties go to the simpler filter: Up, then Sub, Average, Paeth.
    Type type = up;
    unsigned best = sums.up;
    for (const auto& [candidate, sum] : {std::pair(sub, sums.sub), std::pair(average, sums.average),
                                         std::pair(paeth, sums.paeth)}) {
        if (sum < best) {
            best = sum;
            type = candidate;
        }
    }
    out[0] = type;
    switch (type) {
    case sub: filterSub(row, count, bpp, out + 1); break;
    case average: filterAverage(row, above, count, bpp, out + 1); break;
    case paeth: filterPaeth(row, above, count, bpp, out + 1); break;
    default: filterUp(row, above, count, out + 1); break;
    }
}

void PngRowFilter::samples(int y, Byte* out) const
{
    const QRgb* row = pixels(m_image, y);
    const int width = m_image.width();
    if (!m_rgba) {
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = Byte(qRed(row[x]));
            out[1] = Byte(qGreen(row[x]));
            out[2] = Byte(qBlue(row[x]));
        }
        return;
    }
    const bool premultiplied = m_image.format() == QImage::Format_ARGB32_Premultiplied;
    for (int x = 0; x < width; ++x, out += 4) {
        const QRgb p = premultiplied ? qUnpremultiply(row[x]) : row[x];
        out[0] = Byte(qRed(p));
        out[1] = Byte(qGreen(p));
        out[2] = Byte(qBlue(p));
        out[3] = Byte(qAlpha(p));
    }
}

void PngRowFilter::filter(int top, int rows, Byte* out)
{
    const qsizetype count = rowBytes() - 1;
    const int bpp = m_rgba ? 4 : 3;
    Byte* previous = m_rows.data();
    Byte* current = m_rows.data() + count;
    if (top == 0)
        std::fill_n(previous, count, Byte(0));
    else if (m_lastRow != top - 1)
        samples(top - 1, previous);
    for (int y = top; y < top + rows; ++y, out += count + 1) {
        samples(y, current);
        filterRow(current, previous, count, bpp, out);
        std::swap(previous, current);
    }
    // The last row converted must stay first in the buffer for the next run.
    if (previous != m_rows.data())
        std::copy_n(previous, count, m_rows.data());
    if (rows > 0)
        m_lastRow = top + rows - 1;
}

} // namespace vorlith

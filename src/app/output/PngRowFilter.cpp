#include "app/output/PngRowFilter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vorlith {

namespace {

using Byte = std::uint8_t;

// Each filter is one loop of independent bytes with a running sum of the differences taken as
// signed bytes, which the compiler turns into vector code; the first pixel of a row, which has
// no left neighbour, is done apart so that the loops have no branch.
#define VORLITH_VECTORIZE __attribute__((optimize("tree-vectorize")))

inline unsigned magnitude(Byte difference)
{
    const int value = std::int8_t(difference);
    return unsigned(value < 0 ? -value : value);
}

VORLITH_VECTORIZE unsigned filterSub(const Byte* row, qsizetype count, int bpp, Byte* out)
{
    unsigned sum = 0;
    for (qsizetype i = 0; i < bpp; ++i) {
        out[i] = row[i];
        sum += magnitude(out[i]);
    }
    for (qsizetype i = bpp; i < count; ++i) {
        out[i] = Byte(row[i] - row[i - bpp]);
        sum += magnitude(out[i]);
    }
    return sum;
}

VORLITH_VECTORIZE unsigned filterUp(const Byte* row, const Byte* above, qsizetype count, Byte* out)
{
    unsigned sum = 0;
    for (qsizetype i = 0; i < count; ++i) {
        out[i] = Byte(row[i] - above[i]);
        sum += magnitude(out[i]);
    }
    return sum;
}

VORLITH_VECTORIZE unsigned filterAverage(const Byte* row, const Byte* above, qsizetype count, int bpp, Byte* out)
{
    unsigned sum = 0;
    for (qsizetype i = 0; i < bpp; ++i) {
        out[i] = Byte(row[i] - (above[i] >> 1));
        sum += magnitude(out[i]);
    }
    for (qsizetype i = bpp; i < count; ++i) {
        out[i] = Byte(row[i] - Byte((unsigned(row[i - bpp]) + above[i]) >> 1));
        sum += magnitude(out[i]);
    }
    return sum;
}

inline Byte paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return Byte(pa <= pb && pa <= pc ? a : bc);
}

VORLITH_VECTORIZE unsigned filterPaeth(const Byte* row, const Byte* above, qsizetype count, int bpp, Byte* out)
{
    unsigned sum = 0;
    for (qsizetype i = 0; i < bpp; ++i) {
        out[i] = Byte(row[i] - above[i]); // no left neighbour: Paeth predicts the byte above
        sum += magnitude(out[i]);
    }
    for (qsizetype i = bpp; i < count; ++i) {
        out[i] = Byte(row[i] - paethPredictor(row[i - bpp], above[i], above[i - bpp]));
        sum += magnitude(out[i]);
    }
    return sum;
}

#undef VORLITH_VECTORIZE

const QRgb* pixels(const QImage& image, int y)
{
    return reinterpret_cast<const QRgb*>(image.constScanLine(y));
}

} // namespace

PngRowFilter::PngRowFilter(const QImage& image, bool rgba)
    : m_image(image), m_rgba(rgba), m_rows(size_t(rowBytes() - 1) * 5, 0)
{
}

void PngRowFilter::filterRow(const Byte* row, const Byte* above, qsizetype count, int bpp, Byte* scratch, Byte* out)
{
    // The winner so far stays in `out`, each challenger is written into a free scratch row and
    // swapped in when it is smaller.
    Byte* best = out + 1;
    Type bestType = up;
    unsigned bestSum = filterUp(row, above, count, best);
    Byte* free[3] = {scratch, scratch + count, scratch + 2 * count};
    const auto challenge = [&](Type type, unsigned sum, Byte* candidate, int slot) {
        if (sum < bestSum) {
            bestSum = sum;
            bestType = type;
            free[slot] = std::exchange(best, candidate);
        }
    };
    if (bestSum == 0) {
        out[0] = up;
        return;
    }
    challenge(sub, filterSub(row, count, bpp, free[0]), free[0], 0);
    challenge(average, filterAverage(row, above, count, bpp, free[1]), free[1], 1);
    challenge(paeth, filterPaeth(row, above, count, bpp, free[2]), free[2], 2);
    out[0] = bestType;
    if (best != out + 1)
        std::memcpy(out + 1, best, size_t(count));
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
    Byte* scratch = m_rows.data() + 2 * count;
    if (top == 0)
        std::fill_n(previous, count, Byte(0));
    else if (m_lastRow != top - 1)
        samples(top - 1, previous);
    for (int y = top; y < top + rows; ++y, out += count + 1) {
        samples(y, current);
        filterRow(current, previous, count, bpp, scratch, out);
        std::swap(previous, current);
    }
    // The last row converted must stay first in the buffer for the next run.
    if (previous != m_rows.data())
        std::copy_n(previous, count, m_rows.data());
    if (rows > 0)
        m_lastRow = top + rows - 1;
}

} // namespace vorlith

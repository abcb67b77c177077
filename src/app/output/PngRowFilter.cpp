#include "app/output/PngRowFilter.h"

#include <utility>

namespace vorlith {

namespace {

using Byte = std::uint8_t;

constexpr Byte filterUp = 2;

// Opaque rows need no conversion buffer: the Up difference is taken straight from the pixels.
// `above` is null for the first row, whose predecessor counts as zero.
void filterOpaqueRow(const QRgb* row, const QRgb* above, int width, Byte* out)
{
    if (!above) {
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = Byte(qRed(row[x]));
            out[1] = Byte(qGreen(row[x]));
            out[2] = Byte(qBlue(row[x]));
        }
        return;
    }
    for (int x = 0; x < width; ++x, out += 3) {
        const QRgb p = row[x];
        const QRgb q = above[x];
        out[0] = Byte(qRed(p) - qRed(q));
        out[1] = Byte(qGreen(p) - qGreen(q));
        out[2] = Byte(qBlue(p) - qBlue(q));
    }
}

// One row as straight RGBA bytes.
void straightRow(const QRgb* row, int width, bool premultiplied, Byte* out)
{
    for (int x = 0; x < width; ++x, out += 4) {
        const QRgb p = premultiplied ? qUnpremultiply(row[x]) : row[x];
        out[0] = Byte(qRed(p));
        out[1] = Byte(qGreen(p));
        out[2] = Byte(qBlue(p));
        out[3] = Byte(qAlpha(p));
    }
}

const QRgb* pixels(const QImage& image, int y)
{
    return reinterpret_cast<const QRgb*>(image.constScanLine(y));
}

} // namespace

PngRowFilter::PngRowFilter(const QImage& image, bool rgba)
    : m_image(image), m_rgba(rgba), m_straight(rgba ? size_t(image.width()) * 8 : 0, 0)
{
}

void PngRowFilter::filter(int top, int rows, Byte* out)
{
    if (m_rgba)
        filterTranslucent(top, rows, out);
    else
        filterOpaque(top, rows, out);
}

void PngRowFilter::filterOpaque(int top, int rows, Byte* out) const
{
    const qsizetype stride = rowBytes();
    for (int y = top; y < top + rows; ++y, out += stride) {
        out[0] = filterUp;
        filterOpaqueRow(pixels(m_image, y), y > 0 ? pixels(m_image, y - 1) : nullptr, m_image.width(), out + 1);
    }
}

void PngRowFilter::filterTranslucent(int top, int rows, Byte* out)
{
    const int width = m_image.width();
    const qsizetype samples = qsizetype(width) * 4;
    const bool premultiplied = m_image.format() == QImage::Format_ARGB32_Premultiplied;
    Byte* previous = m_straight.data();
    Byte* current = m_straight.data() + samples;
    if (top == 0)
        std::fill_n(previous, samples, Byte(0));
    else if (m_lastStraightRow != top - 1)
        straightRow(pixels(m_image, top - 1), width, premultiplied, previous);
    for (int y = top; y < top + rows; ++y, out += samples + 1) {
        out[0] = filterUp;
        straightRow(pixels(m_image, y), width, premultiplied, current);
        for (qsizetype i = 0; i < samples; ++i)
            out[1 + i] = Byte(current[i] - previous[i]);
        std::swap(previous, current);
    }
    // The last row converted must stay first in the buffer for the next run.
    if (previous != m_straight.data())
        std::copy_n(previous, samples, m_straight.data());
    m_lastStraightRow = top + rows - 1;
}

} // namespace vorlith

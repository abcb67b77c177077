#include "app/output/PngRowFilter.h"

#include <utility>
#include <vector>

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

void PngRowFilter::filter(const QImage& image, bool rgba, int top, int rows, Byte* out)
{
    const int width = image.width();
    const qsizetype stride = rowBytes(width, rgba);
    if (!rgba) {
        for (int y = top; y < top + rows; ++y, out += stride) {
            out[0] = filterUp;
            filterOpaqueRow(pixels(image, y), y > 0 ? pixels(image, y - 1) : nullptr, width, out + 1);
        }
        return;
    }

    // Straight alpha is converted once a row; the row above the first comes from the image.
    const qsizetype samples = stride - 1;
    const bool premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
    std::vector<Byte> straight(size_t(samples) * 2, 0);
    Byte* previous = straight.data();
    Byte* current = straight.data() + samples;
    if (top > 0)
        straightRow(pixels(image, top - 1), width, premultiplied, previous);
    for (int y = top; y < top + rows; ++y, out += stride) {
        out[0] = filterUp;
        straightRow(pixels(image, y), width, premultiplied, current);
        for (qsizetype i = 0; i < samples; ++i)
            out[1 + i] = Byte(current[i] - previous[i]);
        std::swap(previous, current);
    }
}

} // namespace vorlith

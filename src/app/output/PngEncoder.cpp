#include "app/output/PngEncoder.h"

#include "app/base/PngFormat.h"

#include <libdeflate.h>

#include <QtEndian>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace vorlith {

namespace {

using Byte = std::uint8_t;

using png::colorTypeRgb;
using png::colorTypeRgba;
constexpr Byte filterUp = 2;
// The largest chunk PNG allows. The image data goes into one IDAT chunk; an image too large
// for that (far beyond the application's pixel limit) is refused.
constexpr qsizetype maximumChunk = 0x7FFFFFFF;

bool isOpaque(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return true;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QRgb all = 0xFF000000u;
        for (int x = 0; x < width; ++x)
            all &= row[x];
        if (qAlpha(all) != 255)
            return false;
    }
    return true;
}

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

// Writes the image's rows, each a filter byte and the Up-filtered samples, into `out`.
void filterImage(const QImage& image, bool rgba, Byte* out)
{
    const int width = image.width();
    const qsizetype rowBytes = qsizetype(width) * (rgba ? 4 : 3);
    const bool premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
    std::vector<Byte> rows(rgba ? size_t(rowBytes) * 2 : 0, 0);
    Byte* previous = rows.data();
    Byte* current = rows.data() + (rgba ? rowBytes : 0);
    for (int y = 0; y < image.height(); ++y, out += rowBytes + 1) {
        out[0] = filterUp;
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (!rgba) {
            const auto* above = y > 0 ? reinterpret_cast<const QRgb*>(image.constScanLine(y - 1)) : nullptr;
            filterOpaqueRow(row, above, width, out + 1);
            continue;
        }
        straightRow(row, width, premultiplied, current);
        for (qsizetype i = 0; i < rowBytes; ++i)
            out[1 + i] = Byte(current[i] - previous[i]);
        std::swap(previous, current);
    }
}

void putBigEndian(Byte* out, quint32 value)
{
    qToBigEndian(value, out);
}

// Writes a chunk whose data already stands at `chunk + 8`: length, type and CRC around it.
// Returns the chunk's whole size.
qsizetype finishChunk(Byte* chunk, const char type[4], qsizetype size)
{
    putBigEndian(chunk, quint32(size));
    std::memcpy(chunk + 4, type, 4);
    putBigEndian(chunk + 8 + size, libdeflate_crc32(0, chunk + 4, size_t(size) + 4));
    return size + 12;
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

} // namespace

std::optional<QByteArray> PngEncoder::encode(const QImage& image)
{
    const QImage::Format format = image.format();
    if (image.isNull() || (format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_ARGB32 &&
                           format != QImage::Format_RGB32))
        return std::nullopt;

    const bool rgba = !isOpaque(image);
    const qsizetype rowBytes = qsizetype(image.width()) * (rgba ? 4 : 3);
    const size_t filteredBytes = size_t(rowBytes + 1) * size_t(image.height());
    // Both buffers are overwritten whole, so they are left uninitialised.
    const auto filtered = std::make_unique_for_overwrite<Byte[]>(filteredBytes);
    filterImage(image, rgba, filtered.get());

    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(libdeflate_alloc_compressor(compressionLevel));
    if (!compressor)
        return std::nullopt;

    // The compressed stream goes straight into its place inside the file: signature, IHDR and
    // sRGB chunks before it, IDAT's CRC and the IEND chunk after it.
    constexpr qsizetype headerChunk = 12 + 13;
    constexpr qsizetype srgbChunk = 12 + 1;
    constexpr qsizetype dataOffset = qsizetype(png::signature.size()) + headerChunk + srgbChunk;
    constexpr qsizetype trailer = 4 + 12;
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredBytes);
    if (bound > size_t(maximumChunk))
        return std::nullopt;
    QByteArray png(dataOffset + 8 + qsizetype(bound) + trailer, Qt::Uninitialized);
    auto* bytes = reinterpret_cast<Byte*>(png.data());

    const size_t compressedSize = libdeflate_zlib_compress(compressor.get(), filtered.get(), filteredBytes,
                                                           bytes + dataOffset + 8, bound);
    if (compressedSize == 0)
        return std::nullopt;

    std::memcpy(bytes, png::signature.data(), png::signature.size());
    Byte* chunk = bytes + png::signature.size();
    Byte* header = chunk + 8;
    putBigEndian(header, quint32(image.width()));
    putBigEndian(header + 4, quint32(image.height()));
    header[8] = 8; // bits per sample
    header[9] = rgba ? colorTypeRgba : colorTypeRgb;
    header[10] = 0; // deflate
    header[11] = 0; // adaptive filtering, one filter type per row
    header[12] = 0; // not interlaced
    chunk += finishChunk(chunk, "IHDR", 13);

    chunk[8] = 0; // perceptual rendering intent
    chunk += finishChunk(chunk, "sRGB", 1);

    chunk += finishChunk(chunk, "IDAT", qsizetype(compressedSize));
    chunk += finishChunk(chunk, "IEND", 0);

    png.truncate(qsizetype(chunk - bytes));
    png.squeeze();
    return png;
}

} // namespace vorlith

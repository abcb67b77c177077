#include "app/output/PngEncoder.h"

#include "app/base/PngFormat.h"
#include "app/output/PngBandCompressor.h"
#include "app/output/PngBandPool.h"
#include "app/output/PngRowFilter.h"

#include <libdeflate.h>

#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

namespace vorlith {

namespace {

using Byte = std::uint8_t;

using png::colorTypeRgb;
using png::colorTypeRgba;
// The largest chunk PNG allows. The image data goes into one IDAT chunk; an image too large
// for that (far beyond the application's pixel limit) is refused.
constexpr qsizetype maximumChunk = 0x7FFFFFFF;

// A band below this much filtered data costs more to start than it saves; a few bands a thread
// even out those that compress faster than others.
constexpr qsizetype minimumBandBytes = 512 * 1024;
constexpr int bandsPerThread = 4;

// The compressed stream goes straight into its place inside the file: signature, IHDR and
// sRGB chunks and IDAT's length and type before it, IDAT's CRC and the IEND chunk after it.
constexpr qsizetype headerChunk = 12 + 13;
constexpr qsizetype srgbChunk = 12 + 1;
constexpr qsizetype streamOffset = qsizetype(png::signature.size()) + headerChunk + srgbChunk + 8;
constexpr qsizetype trailer = 4 + 12;

bool rowsAreOpaque(const QImage& image, int top, int bottom, const std::atomic<bool>& translucentElsewhere)
{
    const int width = image.width();
    for (int y = top; y < bottom && !translucentElsewhere.load(std::memory_order_relaxed); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QRgb all = 0xFF000000u;
        for (int x = 0; x < width; ++x)
            all &= row[x];
        if (qAlpha(all) != 255)
            return false;
    }
    return true;
}

// Looked at in parts side by side like the bands; a part stops once another found a
// translucent row. Should a part not run, the image counts as translucent: RGBA loses nothing.
bool isOpaque(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return true;
    const int parts = std::min(PngEncoder::bandsFor(image.sizeInBytes(), PngBandPool::threads()), image.height());
    std::atomic<bool> translucent = false;
    const bool looked = PngBandPool::forEach(parts, [&image, &translucent, parts] {
        return [&image, &translucent, parts](int part) {
            const PngBandPool::Rows rows = PngBandPool::part(image.height(), part, parts);
            if (!rowsAreOpaque(image, rows.top, rows.top + rows.count, translucent))
                translucent = true;
        };
    });
    return looked && !translucent;
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

// The whole image filtered at once and compressed as one stream, placed like the bands' one.
std::optional<QByteArray> compressAtOnce(const QImage& image, bool rgba)
{
    const size_t filteredBytes = size_t(PngRowFilter::rowBytes(image.width(), rgba)) * size_t(image.height());
    // Both buffers are overwritten whole, so they are left uninitialised.
    const auto filtered = std::make_unique_for_overwrite<Byte[]>(filteredBytes);
    PngRowFilter(image, rgba).filter(0, image.height(), filtered.get());

    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(PngEncoder::compressionLevel));
    if (!compressor)
        return std::nullopt;
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredBytes);
    if (bound > size_t(maximumChunk))
        return std::nullopt;
    QByteArray file(streamOffset + qsizetype(bound) + trailer, Qt::Uninitialized);
    const size_t compressedSize = libdeflate_zlib_compress(
        compressor.get(), filtered.get(), filteredBytes, reinterpret_cast<Byte*>(file.data()) + streamOffset, bound);
    if (compressedSize == 0)
        return std::nullopt;
    file.truncate(streamOffset + qsizetype(compressedSize) + trailer);
    file.squeeze(); // the bound is about the size of the raw rows
    return file;
}

// Writes the chunks around the compressed stream that stands at streamOffset in `file`.
void writeChunks(QByteArray& file, const QImage& image, bool rgba)
{
    auto* bytes = reinterpret_cast<Byte*>(file.data());
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

    chunk += finishChunk(chunk, "IDAT", file.size() - streamOffset - trailer);
    finishChunk(chunk, "IEND", 0);
}

} // namespace

int PngEncoder::bandsFor(qsizetype filteredBytes, int threads)
{
    if (threads < 2)
        return 1;
    return int(std::clamp<qsizetype>(filteredBytes / minimumBandBytes, 1, qsizetype(bandsPerThread) * threads));
}

std::optional<QByteArray> PngEncoder::encode(const QImage& image, int bands)
{
    const QImage::Format format = image.format();
    if (image.isNull() || (format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_ARGB32 &&
                           format != QImage::Format_RGB32))
        return std::nullopt;

    const bool rgba = !isOpaque(image);
    if (bands == automaticBands)
        bands = bandsFor(PngRowFilter::rowBytes(image.width(), rgba) * image.height(),
                         PngBandPool::threads());
    bands = std::min(bands, image.height());
    std::optional<QByteArray> file = bands > 1
                                         ? PngBandCompressor::compress(image, rgba, bands, streamOffset, trailer)
                                         : compressAtOnce(image, rgba);
    if (!file || file->size() - streamOffset - trailer > maximumChunk)
        return std::nullopt;
    writeChunks(*file, image, rgba);
    return file;
}

} // namespace vorlith

#include "app/base/PngDecoder.h"
#include "app/base/PngChunks.h"
#include "app/base/PngFormat.h"

#include <libdeflate.h>

#include <QtEndian>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace vorlith {

namespace {

using Byte = std::uint8_t;

using png::colorTypeRgb;
using png::colorTypeRgba;
// Beyond what QImage can hold anyway; keeps every size below in range.
constexpr qint64 maximumSide = 1 << 20;

struct Header {
    int width = 0;
    int height = 0;
    int channels = 0; // 3 or 4
};

// The header and the image data of a PNG whose chunks are whole and intact.
struct Chunks {
    Header header;
    QByteArray data; // the IDAT chunks joined; may point into the file's bytes
};

// Only what our writer makes: 8-bit RGB or RGBA, not interlaced.
std::optional<Header> supportedHeader(const png::Header& header)
{
    if (header.width > maximumSide || header.height > maximumSide || header.bitDepth != 8 || header.interlace != 0 ||
        (header.colorType != colorTypeRgb && header.colorType != colorTypeRgba))
        return std::nullopt;
    return Header{int(header.width), int(header.height), header.colorType == colorTypeRgb ? 3 : 4};
}

std::optional<Chunks> readChunks(const QByteArray& png)
{
    QByteArray data;
    bool joined = false;
    const std::optional<png::Layout> layout = png::walkChunks(png, [&](const png::Chunk& chunk) {
        const auto* type = reinterpret_cast<const Byte*>(chunk.type.data());
        if (libdeflate_crc32(0, type, 4 + size_t(chunk.data.size())) != chunk.crc)
            return false;
        if (chunk.is("IDAT")) {
            // One chunk (what our writer makes) is read where it lies; more are joined.
            if (!joined) {
                data = QByteArray::fromRawData(chunk.data.data(), chunk.data.size());
                joined = true;
            } else {
                data.append(chunk.data);
            }
            return true;
        }
        // A critical chunk we do not know (a palette among them) is refused.
        return chunk.ancillary() || chunk.is("IHDR") || chunk.is("IEND");
    });
    if (!layout)
        return std::nullopt;
    const std::optional<Header> header = supportedHeader(layout->header);
    if (!header)
        return std::nullopt;
    return Chunks{*header, std::move(data)};
}

Byte paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return Byte(a);
    return Byte(pb <= pc ? b : c);
}

// Undoes one row's filter: `in` is the filtered row, `above` the previous unfiltered row
// (zeros for the first), `out` receives this row.
bool unfilter(Byte filter, const Byte* in, const Byte* above, Byte* out, qsizetype rowBytes, int bpp)
{
    switch (filter) {
    case 0:
        std::memcpy(out, in, size_t(rowBytes));
        return true;
    case 1:
        for (qsizetype i = 0; i < rowBytes; ++i)
            out[i] = Byte(in[i] + (i >= bpp ? out[i - bpp] : 0));
        return true;
    case 2:
        for (qsizetype i = 0; i < rowBytes; ++i)
            out[i] = Byte(in[i] + above[i]);
        return true;
    case 3:
        for (qsizetype i = 0; i < rowBytes; ++i)
            out[i] = Byte(in[i] + ((i >= bpp ? out[i - bpp] : 0) + above[i]) / 2);
        return true;
    case 4:
        for (qsizetype i = 0; i < rowBytes; ++i)
            out[i] = Byte(in[i] + (i >= bpp ? paeth(out[i - bpp], above[i], above[i - bpp]) : paeth(0, above[i], 0)));
        return true;
    default:
        return false;
    }
}

void expandRow(const Byte* row, int width, int channels, QRgb* out)
{
    if (channels == 3) {
        for (int x = 0; x < width; ++x, row += 3)
            out[x] = 0xFF000000u | (QRgb(row[0]) << 16) | (QRgb(row[1]) << 8) | QRgb(row[2]);
        return;
    }
    for (int x = 0; x < width; ++x, row += 4)
        out[x] = qPremultiply(qRgba(row[0], row[1], row[2], row[3]));
}

} // namespace

std::optional<QImage> PngDecoder::decode(const QByteArray& png)
{
    const std::optional<Chunks> chunks = readChunks(png);
    if (!chunks)
        return std::nullopt;
    const Header& h = chunks->header;
    const qsizetype rowBytes = qsizetype(h.width) * h.channels;
    const qsizetype rawBytes = qsizetype(h.height) * (rowBytes + 1);

    QImage image(h.width, h.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() || image.bytesPerLine() != qsizetype(h.width) * 4)
        return std::nullopt;
    const qsizetype imageBytes = image.sizeInBytes();

    // RGB rows (1 + 3w bytes) are shorter than bitmap rows (4w): inflated into the end of the
    // bitmap, row y's pixels never reach the start of raw row y + 1, so each row can be
    // expanded in place. RGBA rows are longer and need a buffer of their own.
    std::unique_ptr<Byte[]> ownBuffer;
    Byte* raw = nullptr;
    if (rawBytes <= imageBytes) {
        raw = image.bits() + (imageBytes - rawBytes);
    } else {
        ownBuffer.reset(new (std::nothrow) Byte[size_t(rawBytes)]);
        if (!ownBuffer)
            return std::nullopt;
        raw = ownBuffer.get();
    }

    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    if (!inflater)
        return std::nullopt;
    const libdeflate_result inflated = libdeflate_zlib_decompress(inflater, chunks->data.constData(),
                                                                 size_t(chunks->data.size()), raw, size_t(rawBytes), nullptr);
    libdeflate_free_decompressor(inflater);
    if (inflated != LIBDEFLATE_SUCCESS) // also when the data does not fill the image exactly
        return std::nullopt;

    std::vector<Byte> above(static_cast<size_t>(rowBytes), 0);
    std::vector<Byte> current(static_cast<size_t>(rowBytes));
    for (int y = 0; y < h.height; ++y) {
        const Byte* in = raw + qsizetype(y) * (rowBytes + 1);
        if (!unfilter(in[0], in + 1, above.data(), current.data(), rowBytes, h.channels))
            return std::nullopt;
        expandRow(current.data(), h.width, h.channels, reinterpret_cast<QRgb*>(image.scanLine(y)));
        std::swap(above, current);
    }
    return image;
}

} // namespace vorlith

#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace vorlith {

// A fast PNG writer for 8-bit sRGB bitmaps. Each row takes the filter that predicts it best
// (PngRowFilter): opaque images are written as RGB, others as RGBA with straight alpha. A large image is compressed
// in bands of rows side by side (PngBandCompressor); a small one, or any on a single core, as
// one stream with libdeflate. The file carries an sRGB chunk and nothing beyond what PNG
// requires.
//
// Thread-safe: every call uses its own compressors.
class PngEncoder {
public:
    // libdeflate level of the one-stream way: on screen content, level 2 is nearly as small as
    // zlib's level 6 at a fraction of its time; higher levels cost more than they save.
    static constexpr int compressionLevel = 2;
    // Let the encoder choose the bands from the image's size and the machine's cores.
    static constexpr int automaticBands = 0;

    // Encodes an image of format ARGB32_Premultiplied, ARGB32 or RGB32, taken to be sRGB, in
    // `bands` bands of rows (at most one a row; one band is the one-stream way).
    // Gives nothing for another format, an empty image or when the compressor fails.
    static std::optional<QByteArray> encode(const QImage& image, int bands = automaticBands);

    // The bands an image whose filtered rows take `filteredBytes` is compressed in when
    // `threads` threads can work on it.
    static int bandsFor(qsizetype filteredBytes, int threads);
};

} // namespace vorlith

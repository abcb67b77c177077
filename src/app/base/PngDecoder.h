#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace vorlith {

// A fast reader for the PNG files our own writer makes: 8-bit RGB or RGBA, not interlaced,
// any of the five row filters, the image data inflated at once with libdeflate. It decodes
// straight into a premultiplied bitmap; an RGB file is even inflated into the bitmap's own
// memory, so the decode needs nothing beyond the bitmap. It is several times faster than a
// general decoder on screen-sized images.
//
// Anything else (other colour types or depths, interlacing, a bad checksum, data that does
// not fill the image exactly) gives nothing: the caller falls back to a general decoder or
// refuses the data. Re-entrant; runs on any thread.
class PngDecoder {
public:
    // Format_ARGB32_Premultiplied, without colour space or resolution: the caller tags it.
    // Nothing when the data is not such a PNG, or the bitmap cannot be had.
    static std::optional<QImage> decode(const QByteArray& png);
};

} // namespace vorlith

#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace vorlith {

// A fast PNG writer for 8-bit sRGB bitmaps. Every row is written with the Up filter (the
// difference to the row above), which suits both the flat areas of screenshots and the smooth
// ones of photographs, and the whole stream is compressed at once with libdeflate. Opaque
// images are written as RGB, others as RGBA with straight (un-premultiplied) alpha, rounded so
// that premultiplying the decoded pixels gives back the input exactly. The file carries an
// sRGB chunk and nothing beyond what PNG requires.
//
// Thread-safe: every call uses its own compressor.
class PngEncoder {
public:
    // libdeflate level: on screen content, level 2 is nearly as small as zlib's level 6 at a
    // fraction of its time; higher levels cost more than they save.
    static constexpr int compressionLevel = 2;

    // Encodes an image of format ARGB32_Premultiplied, ARGB32 or RGB32, taken to be sRGB.
    // Gives nothing for another format, an empty image or when the compressor fails.
    static std::optional<QByteArray> encode(const QImage& image);
};

} // namespace vorlith

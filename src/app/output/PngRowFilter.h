#pragma once

#include <QImage>

#include <cstdint>

namespace vorlith {

// The rows of a PNG's image data before compression: each a filter byte and the samples of
// the row as differences to the row above (the Up filter), which suits both the flat areas of
// screenshots and the smooth ones of photographs. Opaque images are written as RGB, others as
// RGBA with straight (un-premultiplied) alpha, rounded so that premultiplying the decoded
// pixels gives back the input exactly.
class PngRowFilter {
public:
    // The bytes one filtered row takes: the filter byte and 3 or 4 samples a pixel.
    static qsizetype rowBytes(int width, bool rgba) { return 1 + qsizetype(width) * (rgba ? 4 : 3); }

    // Writes rows [top, top + rows) of an image of format ARGB32_Premultiplied, ARGB32 or
    // RGB32 into `out`, rowBytes() each. Any run of rows comes out exactly as it does within
    // the whole image: the row above `top` is read from the image (the first row's
    // predecessor counts as zero).
    static void filter(const QImage& image, bool rgba, int top, int rows, std::uint8_t* out);
};

} // namespace vorlith

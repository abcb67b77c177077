#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

namespace vorlith {

// The rows of a PNG's image data before compression: each a filter byte and the samples of
// the row as differences to what the filter predicts. Each row takes the filter whose
// differences are smallest in sum (Sub, Up, Average or Paeth), as libpng chooses: flat screen
// content comes out as runs of zeros whichever wins, while the grain of a photographic
// wallpaper, soft and spread over neighbouring pixels, is predicted far better by Average
// and Paeth than by the row above alone. Opaque images are written as RGB, others as RGBA
// with straight (un-premultiplied) alpha, rounded so that premultiplying the decoded pixels
// gives back the input exactly.
//
// Filters an image of format ARGB32_Premultiplied, ARGB32 or RGB32 a run of rows at a time;
// the image must outlive the filter. One filter is used by one thread.
class PngRowFilter {
public:
    enum Type : std::uint8_t { none = 0, sub = 1, up = 2, average = 3, paeth = 4 };

    PngRowFilter(const QImage& image, bool rgba);

    // The bytes one filtered row takes: the filter byte and 3 or 4 samples a pixel.
    static qsizetype rowBytes(int width, bool rgba) { return 1 + qsizetype(width) * (rgba ? 4 : 3); }
    qsizetype rowBytes() const { return rowBytes(m_image.width(), m_rgba); }

    // Writes rows [top, top + rows) into `out`, rowBytes() each. Any run comes out exactly as
    // within the whole image: the row above `top` is read from the image (the first row's
    // predecessor counts as zero).
    void filter(int top, int rows, std::uint8_t* out);

    // One row of `count` samples with `bpp` samples a pixel, its predecessor `above`, filtered
    // by the type that gives the smallest sum of differences into out[1...], out[0] the type.
    static void filterRow(const std::uint8_t* row, const std::uint8_t* above, qsizetype count, int bpp,
                          std::uint8_t* out);

private:
    // Row `y` as PNG samples: RGB, or straight RGBA.
    void samples(int y, std::uint8_t* out) const;

    const QImage& m_image;
    const bool m_rgba;
    // The samples of two rows: the last one converted and the one being converted. A run that
    // continues the previous one converts no row twice.
    std::vector<std::uint8_t> m_rows;
    int m_lastRow = -1;
};

} // namespace vorlith

#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

namespace vorlith {

// The rows of a PNG's image data before compression: each a filter byte and the samples of
// the row as differences to the row above (the Up filter), which suits both the flat areas of
// screenshots and the smooth ones of photographs. Opaque images are written as RGB, others as
// RGBA with straight (un-premultiplied) alpha, rounded so that premultiplying the decoded
// pixels gives back the input exactly.
//
// Filters an image of format ARGB32_Premultiplied, ARGB32 or RGB32 a run of rows at a time;
// the image must outlive the filter. One filter is used by one thread.
class PngRowFilter {
public:
    PngRowFilter(const QImage& image, bool rgba);

    // The bytes one filtered row takes: the filter byte and 3 or 4 samples a pixel.
    static qsizetype rowBytes(int width, bool rgba) { return 1 + qsizetype(width) * (rgba ? 4 : 3); }
    qsizetype rowBytes() const { return rowBytes(m_image.width(), m_rgba); }

    // Writes rows [top, top + rows) into `out`, rowBytes() each. Any run comes out exactly as
    // within the whole image: the row above `top` is read from the image (the first row's
    // predecessor counts as zero).
    void filter(int top, int rows, std::uint8_t* out);

private:
    void filterOpaque(int top, int rows, std::uint8_t* out) const;
    void filterTranslucent(int top, int rows, std::uint8_t* out);

    const QImage& m_image;
    const bool m_rgba;
    // Straight RGBA of two rows: the last one converted and the one being converted. A run
    // that continues the previous one converts no row twice.
    std::vector<std::uint8_t> m_straight;
    int m_lastStraightRow = -1;
};

} // namespace vorlith

#pragma once

#include <QFont>
#include <QFontMetricsF>

namespace vorlith {

// Makes the fonts of marks: the text of text marks and the digits of numbered markers. Sizes
// are logical pixels (the design's points), fractional sizes included. A QFont only knows
// point sizes, which each paint device turns into pixels at its own dpi, so every font is
// made for the dpi of the device it will measure or draw on. The renderer measures and draws
// on 72-dpi bitmaps; an editor widget passes its own logicalDpiY(). The same size then gives
// the same glyphs and advances on both, so text measured while typing equals the text drawn.
struct FontFactory {
    // The family of mark text; it holds Han and Latin glyphs.
    static const char* const textFamily;
    // The family of marker digits; its digits have equal widths.
    static const char* const markerFamily;

    // The size text marks use: clamp(fontSize, 12, 72); a size that is not a number is 12.
    static double textSize(double fontSize);

    // Text of a text mark at a size in logical pixels, for a device of the given dpi.
    static QFont textFont(double pixelSize, int dpi);
    // Semibold marker digits at a size in logical pixels, for a device of the given dpi.
    static QFont markerFont(double pixelSize, int dpi);

    // Metrics of a font made for the 72-dpi bitmaps, measured at that dpi.
    static QFontMetricsF designMetrics(const QFont& font);
};

} // namespace vorlith

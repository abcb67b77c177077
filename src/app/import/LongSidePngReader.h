#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace vorlith {

// Reads the PNGs the general image reader refuses for their shape alone: a side above
// libpng's default limit of 1,000,000 pixels (a 2 × 1,200,000 strip is well inside the
// pixel budget). libpng is asked directly with that limit lifted; every colour type, depth
// and interlacing is taken, and the file's colour space (sRGB, ICC profile, gamma and
// chromaticities) is kept on the image for the caller to convert. Any error of the file
// gives nothing. Re-entrant; any thread.
class LongSidePngReader {
public:
    // Whether the general reader would refuse this size.
    static bool needed(quint32 width, quint32 height);
    // 8-bit files as Format_RGBA8888, 16-bit ones as Format_RGBA64.
    static std::optional<QImage> read(const QByteArray& png);
};

} // namespace vorlith

#pragma once

#include "app/output/ImageFormat.h"

#include <QByteArray>
#include <QImage>

#include <stdexcept>

namespace vorlith {

// Encoding an image into file bytes failed. One error for every cause, whose description is
// shown inside the save failure message.
struct ImageEncodingError : std::runtime_error {
    ImageEncodingError();
};

// Turns a bitmap into the bytes of a complete single-image PNG or JPEG file, always 8 bits per
// channel in sRGB whatever the input's depth or colour space. PNG keeps alpha; JPEG is drawn
// over opaque white and written at quality 0.92. Re-entrant; runs on any thread.
class ImageEncoder {
public:
    static constexpr int jpegQuality = 92;

    // Throws ImageEncodingError.
    [[nodiscard]] static QByteArray encode(const QImage& image, ImageFormat format);

    // The 8-bit sRGB bitmap that is encoded: premultiplied ARGB (or an equivalent 32-bit
    // format the PNG writer reads as is) for PNG, opaque RGB over white for JPEG.
    [[nodiscard]] static QImage flattened(const QImage& image, ImageFormat format);
};

} // namespace vorlith

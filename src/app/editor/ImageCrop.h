#pragma once

#include <QImage>
#include <QRect>

namespace vorlith {

// Cropping a composed image to the selection's pixels for an output.
struct ImageCrop {
    ImageCrop() = delete;

    // The part of `image` inside `pixels`, sharing the image's memory (rows keep the full
    // image's stride) and keeping it alive; read-only, so a write detaches. Null when the
    // rectangle is empty or not wholly inside the image. Colour space and density are kept.
    [[nodiscard]] static QImage shared(const QImage& image, const QRect& pixels);
};

} // namespace vorlith

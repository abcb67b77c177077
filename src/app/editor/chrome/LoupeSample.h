#pragma once

#include "app/editor/chrome/LoupeSampling.h"
#include "core/Geometry.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

namespace vorlith {

// The colour under the pointer and the patch around it, read from the frozen image.
//
// take() answers nothing when it cannot sample (no image, a point outside the image, sizes
// that are not positive and finite). Its caller then leaves everything as it was, the pointer
// point included, so a later colour copy never takes a colour that is not under the pointer.
struct LoupeSample {
    QString hex;       // "#RRGGBB", upper case, un-premultiplied
    QColor color;      // the same colour, opaque
    QImage patch;      // the source pixels of sampling.crop
    LoupeSampling sampling;

    [[nodiscard]] static std::optional<LoupeSample> take(const QImage& image, Point point, Size logicalSize);
    // One premultiplied pixel back to straight colour: round(byte / a), at most 255; 0 when a is 0.
    [[nodiscard]] static QRgb unpremultiplied(QRgb premultiplied);
};

// Where the loupe goes beside the pointer, in the editor's y-down coordinates: 20 right of and
// below the pointer, flipped to the other side near the right or bottom edge, and never closer
// than 8 to the view's edges (the lower bound wins when the view is too small).
[[nodiscard]] Point loupeOrigin(Point pointer, Size loupeSize, const Rect& bounds);

} // namespace vorlith

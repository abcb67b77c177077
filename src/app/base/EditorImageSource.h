#pragma once

#include "core/CaptureGeometry.h"

#include <QImage>
#include <QUuid>

namespace vorlith {

// An image that can be edited: one frozen display of a capture, or one imported image.
struct EditorImageSource {
    // A capture's frozen display source id, or a fresh id for an import; the memory budget
    // counts the committed source under it.
    QUuid id;
    QImage image; // unedited
    CaptureGeometry geometry; // logical size in points and pixel size
};

} // namespace vorlith

#pragma once

#include "app/capture/FrozenImage.h"
#include "app/capture/WindowCandidate.h"
#include "core/CaptureGeometry.h"
#include "core/Geometry.h"

#include <QUuid>

#include <vector>

namespace vorlith {

// One screen frozen by a capture.
struct FrozenDisplay {
    QUuid sourceID; // fresh per frame; becomes the document's source image id
    quint32 id = 0; // the display id
    // The bitmap format, native pixels. A kept capture's displays other than the one with the
    // document may hold it compacted: ask `image.pixels()` for the bitmap.
    FrozenImage image;
    CaptureGeometry geometry; // size: the screen frame's size in points; pixelSize: the image's
    std::vector<WindowCandidate> candidates; // front to back
    Rect screenFrame;                        // global logical coordinates at capture time
    double backingScale = 1;
};

} // namespace vorlith

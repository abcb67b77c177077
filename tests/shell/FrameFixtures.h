#pragma once

#include "app/capture/FrozenDisplay.h"
#include "rendering/Bitmap.h"

#include <QImage>
#include <QUuid>

namespace vorlith::test {

// A frozen display of a whole-pixel image at scale 1, standing at x = 100 × id.
inline FrozenDisplay frozenFrame(quint32 id, QImage image)
{
    Bitmap::tag(image);
    FrozenDisplay frame;
    frame.sourceID = QUuid::createUuid();
    frame.id = id;
    frame.geometry.size = Size{double(image.width()), double(image.height())};
    frame.geometry.pixelSize = frame.geometry.size;
    frame.screenFrame = Rect{double(id) * 100, 0, frame.geometry.size.width, frame.geometry.size.height};
    frame.image = std::move(image);
    return frame;
}

} // namespace vorlith::test

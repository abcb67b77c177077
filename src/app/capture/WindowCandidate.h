#pragma once

#include "core/Geometry.h"

#include <QtGlobal>

namespace vorlith {

// A window the user may pick on one frozen display.
struct WindowCandidate {
    qint32 owner = 0; // the owning process id
    Rect rect;        // display-local points, clipped to the display

    friend bool operator==(const WindowCandidate&, const WindowCandidate&) = default;
};

} // namespace vorlith

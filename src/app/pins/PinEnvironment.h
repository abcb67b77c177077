#pragma once

#include "app/base/ScreenLookup.h"
#include "core/Geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

class FloatingWindows;

// What a pin asks of the desktop: the window service, the screens (Qt's global coordinates,
// the primary first), the main screen (that of our focused window, else the primary) and the
// pointer. Tests script the screens and the pointer.
struct PinEnvironment {
    std::shared_ptr<FloatingWindows> windows;
    std::function<std::vector<DisplayScreen>()> screens;
    std::function<std::optional<DisplayScreen>()> mainScreen;
    std::function<Point()> pointer;

    // Qt's screens and pointer.
    [[nodiscard]] static PinEnvironment system(std::shared_ptr<FloatingWindows> windows);
};

} // namespace vorlith

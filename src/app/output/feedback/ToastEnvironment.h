#pragma once

#include "app/base/ScreenLookup.h"
#include "app/base/ShadowPainter.h"

#include <chrono>
#include <memory>

namespace vorlith {

class FloatingWindows;

// What the toasts need of the world: the floating-window service that stacks their panels
// (and says whether a compositor runs and whether motion is reduced), the screens, and their
// clock. Tests pass a fake service, scripted screens and shorter times.
struct ToastEnvironment {
    struct Timing {
        std::chrono::milliseconds progressDelay{200};
        std::chrono::milliseconds successLifetime{1500};
        std::chrono::milliseconds noticeLifetime{2500};
        std::chrono::milliseconds fade{120};
    };

    std::shared_ptr<FloatingWindows> windows;
    ScreenLookup screens;
    Timing timing;
    // Shared by every toast panel, so a body of the same size is blurred once.
    std::shared_ptr<ShadowPainter> shadows = std::make_shared<ShadowPainter>();

    // The session's own: the floating-window service of the session and Qt's screens
    // numbered as the capture platform numbers its displays.
    [[nodiscard]] static ToastEnvironment standard();
};

} // namespace vorlith

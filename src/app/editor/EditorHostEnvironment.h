#pragma once

#include <QPointF>

#include <chrono>
#include <functional>
#include <memory>

namespace vorlith {

class FloatingWindows;

// What an editor view asks of its surroundings: the clock and the pointer its timers read, and
// the window service that places its discovery panel. Tests drive the clock and the pointer.
struct EditorHostEnvironment {
    using Clock = std::chrono::steady_clock;

    std::function<Clock::time_point()> now;
    // The pointer in global (y-down) coordinates.
    std::function<QPointF()> globalPointer;
    // A modal window is up (a save panel, an alert).
    std::function<bool()> modalWindowShown;
    // Places the discovery panel at its level; without it the panel shows by itself.
    std::shared_ptr<FloatingWindows> windows;
    // The summoned toolbar's return monitor looks every `returnTick` and sends the toolbar
    // back once the pointer has been away for `returnAway`; the discovery hint waits
    // `hoverHintDelay` of hover over the toolbar.
    std::chrono::milliseconds returnTick{80};
    std::chrono::milliseconds returnAway{300};
    std::chrono::milliseconds hoverHintDelay{600};

    // Every absent function filled with the real one.
    [[nodiscard]] static EditorHostEnvironment standard();
    void fillDefaults();
};

} // namespace vorlith

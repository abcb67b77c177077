#pragma once

#include <string_view>

namespace vorlith {

// Where our floating top-level windows stand, lowest first. One registry, so that every
// window that floats asks here instead of choosing flags of its own.
//
// Windows of a level at or above `captureOverlay` are override-redirect: the capture
// overlays cover every screen and no window manager stacks a managed window above them.
// Below that, a level only asks the window manager to keep the window on top.
enum class WindowLevel {
    normal,         // an ordinary managed window (settings, About)
    pin,            // pinned images: stay on top of other applications
    captureOverlay, // the frozen screens during a capture
    hintPanel,      // guidance shown above the overlays
    toast,          // feedback toasts
    savePanel,      // the save panel while a capture is open
    reviewAlert,    // the quit review and other alerts shown above everything
};

namespace windowLevel {

// The rank our restacking sorts by; equal ranks keep the order in which they were raised.
// The numbers follow the classic window-level scale (3 floating, 1000 screen saver).
[[nodiscard]] int rank(WindowLevel level);
[[nodiscard]] std::string_view name(WindowLevel level);
// True when the window must bypass the window manager to stand where its level says.
[[nodiscard]] bool bypassesWindowManager(WindowLevel level);
// True when the window manager is asked to keep it above ordinary windows.
[[nodiscard]] bool staysOnTop(WindowLevel level);

} // namespace windowLevel

} // namespace vorlith

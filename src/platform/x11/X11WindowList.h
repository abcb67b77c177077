#pragma once

#include "platform/CapturePlatform.h"

#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

namespace vorlith {

class XcbConnection;

// The viewable top-level windows of the X screen, front to back, as capture window entries:
// frame bounds, the client window's id as the number, the owner from XRes or _NET_WM_PID,
// alpha from _NET_WM_WINDOW_OPACITY and a layer above 0 for windows that float over normal
// ones. Desktop windows are left out.
class X11WindowList {
public:
    // Layers of windows that float over normal windows, lowest first.
    enum Layer : int { normalLayer = 0, aboveLayer = 3, dockLayer = 20, notificationLayer = 23, overrideRedirectLayer = 101 };

    static std::vector<WindowListEntry> query(XcbConnection& connection);
    // The process that owns a client window, by the same rule as the list's owners: the
    // server's own record through XRes (which a property cannot fake), else _NET_WM_PID.
    static std::optional<qint32> ownerOf(XcbConnection& connection, uint32_t window);
    // The window the window manager calls active (_NET_ACTIVE_WINDOW); without a window
    // manager, the top-level window that holds the input focus.
    static std::optional<uint32_t> activeWindow(XcbConnection& connection);
    // The owner of the window the window manager calls active (_NET_ACTIVE_WINDOW); without a
    // window manager, of the top-level window that holds the input focus.
    static std::optional<qint32> activeOwner(XcbConnection& connection);
};

} // namespace vorlith

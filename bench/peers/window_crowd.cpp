// A crowd of client windows of another process, as a desktop full of applications looks to a
// capture: COUNT top-level windows spread over the screen, each of its own colour, each
// carrying WM_STATE (as a window manager leaves on its clients) and _NET_WM_PID.
// Usage: window_crowd COUNT
// Prints "ready" once every window is mapped and exposed, then stays until its standard input
// closes or it is killed.
#include "support/XcbPeer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::atoi(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: window_crowd COUNT\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const vorlith::peer::Connection peer = vorlith::peer::connect();
    if (!peer.connection)
        return 1;
    xcb_connection_t* c = peer.connection;
    xcb_screen_t* screen = peer.screen;
    const xcb_atom_t wmState = intern(c, "WM_STATE");
    const xcb_atom_t netWmPid = intern(c, "_NET_WM_PID");

    // A grid over the whole root, windows overlapping their neighbours a little.
    int columns = 1;
    while (columns * columns < count * 2)
        ++columns;
    const int rows = (count + columns - 1) / columns;
    const int cellWidth = screen->width_in_pixels / columns;
    const int cellHeight = screen->height_in_pixels / rows;
    const uint32_t pid = uint32_t(getpid());
    for (int i = 0; i < count; ++i) {
        const int16_t x = int16_t((i % columns) * cellWidth + 8);
        const int16_t y = int16_t((i / columns) * cellHeight + 8);
        const uint16_t width = uint16_t(cellWidth + cellWidth / 4);
        const uint16_t height = uint16_t(cellHeight + cellHeight / 4);
        const uint32_t colour = (uint32_t(i * 53 % 256) << 16) | (uint32_t(i * 97 % 256) << 8) | uint32_t(i * 31 % 256);
        const xcb_window_t window = xcb_generate_id(c);
        const uint32_t values[] = {colour, XCB_EVENT_MASK_EXPOSURE};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, x, y, width, height, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                          values);
        uint32_t hints[18] = {};
        hints[0] = 1 | 2; // USPosition | USSize: a window manager keeps the grid
        hints[1] = uint32_t(x);
        hints[2] = uint32_t(y);
        hints[3] = width;
        hints[4] = height;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                            18, hints);
        const uint32_t state[] = {1, XCB_WINDOW_NONE}; // NormalState, no icon window
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, wmState, wmState, 32, 2, state);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, netWmPid, XCB_ATOM_CARDINAL, 32, 1, &pid);
        const char title[] = "vorlith-window-crowd";
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof title - 1,
                            title);
        xcb_map_window(c, window);
    }
    xcb_flush(c);

    std::vector<xcb_window_t> exposed;
    return vorlith::peer::serve(c, [&](xcb_generic_event_t* event) {
        if ((event->response_type & 0x7f) != XCB_EXPOSE)
            return;
        const xcb_window_t window = reinterpret_cast<xcb_expose_event_t*>(event)->window;
        if (std::find(exposed.begin(), exposed.end(), window) != exposed.end())
            return;
        exposed.push_back(window);
        if (int(exposed.size()) == count) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
}

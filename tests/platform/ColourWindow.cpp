// A window of another process for the capture tests: one flat colour at a given place.
// Usage: colour_window X Y WIDTH HEIGHT RRGGBB
// Prints "<window id> <x> <y>" (root coordinates of its top-left corner) once it is mapped
// and exposed, then stays until its standard input closes or it is killed.
#include "support/XcbPeer.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: colour_window X Y WIDTH HEIGHT RRGGBB\n");
        return 2;
    }
    const vorlith::peer::Connection peer = vorlith::peer::connect();
    if (!peer.connection)
        return 1;
    xcb_connection_t* c = peer.connection;
    xcb_screen_t* screen = peer.screen;

    const int16_t x = int16_t(std::atoi(argv[1]));
    const int16_t y = int16_t(std::atoi(argv[2]));
    const uint16_t width = uint16_t(std::atoi(argv[3]));
    const uint16_t height = uint16_t(std::atoi(argv[4]));
    const uint32_t colour = uint32_t(std::strtoul(argv[5], nullptr, 16));

    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {colour, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, x, y, width, height, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    // Ask a window manager to keep the requested position (USPosition | USSize).
    uint32_t hints[18] = {};
    hints[0] = 1 | 2;
    hints[1] = uint32_t(x);
    hints[2] = uint32_t(y);
    hints[3] = width;
    hints[4] = height;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18,
                        hints);
    const char title[] = "vorlith-colour-window";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof title - 1, title);
    xcb_map_window(c, window);
    xcb_flush(c);

    bool reported = false;
    return vorlith::peer::serve(c, [&](xcb_generic_event_t* event) {
        if ((event->response_type & 0x7f) != XCB_EXPOSE || reported)
            return;
        xcb_translate_coordinates_reply_t* at =
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, screen->root, 0, 0), nullptr);
        std::printf("%u %d %d\n", window, at ? at->dst_x : x, at ? at->dst_y : y);
        std::fflush(stdout);
        std::free(at);
        reported = true;
    });
}

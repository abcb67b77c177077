// A window of another process for the capture tests: one flat colour at a given place.
// Usage: colour_window X Y WIDTH HEIGHT RRGGBB
// Prints "<window id> <x> <y>" (root coordinates of its top-left corner) once it is mapped
// and exposed, then stays until its standard input closes or it is killed.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: colour_window X Y WIDTH HEIGHT RRGGBB\n");
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&it);
    xcb_screen_t* screen = it.data;

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
    pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == XCB_EXPOSE && !reported) {
                xcb_translate_coordinates_reply_t* at = xcb_translate_coordinates_reply(
                    c, xcb_translate_coordinates(c, window, screen->root, 0, 0), nullptr);
                std::printf("%u %d %d\n", window, at ? at->dst_x : x, at ? at->dst_y : y);
                std::fflush(stdout);
                std::free(at);
                reported = true;
            }
            std::free(event);
        }
        if (xcb_connection_has_error(c))
            return 1;
        if (poll(fds, 2, -1) < 0)
            return 1;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[64];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                break;
        }
    }
    xcb_disconnect(c);
    return 0;
}

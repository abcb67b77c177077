#pragma once

// What the peer programs share: small X clients of another process that tests and benchmarks
// start (tests/platform/ColourWindow.cpp, bench/peers/window_crowd.cpp). Plain xcb, no Qt.

#include <xcb/xcb.h>

#include <cstdlib>
#include <poll.h>
#include <unistd.h>

namespace vorlith::peer {

struct Connection {
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
};

// The default screen of $DISPLAY; a null connection when no server answers.
inline Connection connect()
{
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return {};
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&it);
    return {c, it.data};
}

// Hands every event to onEvent until standard input closes (the starter let go) or the
// connection fails; then disconnects. Returns the program's exit status.
template<typename OnEvent>
int serve(xcb_connection_t* c, OnEvent onEvent)
{
    pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            onEvent(event);
            std::free(event);
        }
        if (xcb_connection_has_error(c) || poll(fds, 2, -1) < 0) {
            xcb_disconnect(c);
            return 1;
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[64];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                break;
        }
    }
    xcb_disconnect(c);
    return 0;
}

} // namespace vorlith::peer

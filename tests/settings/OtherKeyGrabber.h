#pragma once

#include "platform/x11/XcbConnection.h"

#include <memory>

namespace vorlith::test {

// Another X client, as a second program on the desktop that grabs keys of its own.
class OtherKeyGrabber {
public:
    OtherKeyGrabber() : m_connection(XcbConnection::open()) {}
    // The X error code of the grab, 0 when it was granted.
    int grab(xcb_keycode_t key, uint16_t modifiers)
    {
        xcb_connection_t* c = m_connection->get();
        XcbReply<xcb_generic_error_t> error(xcb_request_check(
            c, xcb_grab_key_checked(c, 1, m_connection->root(), modifiers, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
        return error ? error->error_code : 0;
    }
    void ungrab(xcb_keycode_t key, uint16_t modifiers)
    {
        xcb_ungrab_key(m_connection->get(), key, m_connection->root(), modifiers);
        XcbConnection::sync(m_connection->get());
    }

private:
    std::unique_ptr<XcbConnection> m_connection;
};

} // namespace vorlith::test

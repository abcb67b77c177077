#pragma once

#include "support/XvfbServer.h"

namespace vorlith::test {

// The private X server of an x11 test program, for tests that drive it with xdotool, xclip,
// xprop or xwininfo.
class X11Environment {
public:
    static XvfbServer* server() { return s_server; }
    static void setServer(XvfbServer* server) { s_server = server; }

private:
    static inline XvfbServer* s_server = nullptr;
};

} // namespace vorlith::test

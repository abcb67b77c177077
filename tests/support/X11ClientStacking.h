#pragma once

#include <QtGlobal>

#include <vector>

namespace vorlith::test {

// The window manager's _NET_CLIENT_LIST_STACKING on the test's X server, bottom first; empty
// without a window manager.
std::vector<quint64> clientStacking();

} // namespace vorlith::test

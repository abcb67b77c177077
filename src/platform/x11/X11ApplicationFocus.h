#pragma once

#include "platform/ApplicationFocus.h"

#include <memory>

namespace vorlith {

class XcbConnection;

// The front application on X11: the window _NET_ACTIVE_WINDOW names (the top-level holding
// the input focus when no window manager runs), its owner by the capture platform's rule
// (XRes, else _NET_WM_PID) and the class part of its WM_CLASS. Its own connection, opened on
// first use; main thread only.
class X11ApplicationFocus final : public ApplicationFocus {
public:
    X11ApplicationFocus();
    ~X11ApplicationFocus() override;

    std::optional<FrontApplication> frontApplication() override;

    // The class part of a WM_CLASS value ("instance\0class\0"); absent when there is none.
    [[nodiscard]] static std::optional<QString> classOf(const QByteArray& wmClass);

private:
    std::unique_ptr<XcbConnection> m_connection;
    bool m_opened = false;
};

} // namespace vorlith

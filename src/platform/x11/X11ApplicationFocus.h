#pragma once

#include "platform/ApplicationFocus.h"

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace vorlith {

class XcbConnection;

// The front application on X11: the window _NET_ACTIVE_WINDOW names (the top-level holding
// the input focus when no window manager runs), its owner by the capture platform's rule
// (XRes, else _NET_WM_PID) and the class part of its WM_CLASS. Restoring asks the window
// manager to activate the window (a _NET_ACTIVE_WINDOW message from a pager, source 2);
// changes come from PropertyNotify of _NET_ACTIVE_WINDOW on the root. Its own connection,
// opened on first use; main thread only.
class X11ApplicationFocus final : public QObject, public ApplicationFocus {
    Q_OBJECT
public:
    X11ApplicationFocus();
    ~X11ApplicationFocus() override;

    std::optional<FrontApplication> frontApplication() override;
    void restore(const FrontApplication& application) override;
    void watchChanges() override;

    // The class part of a WM_CLASS value ("instance\0class\0"); absent when there is none.
    [[nodiscard]] static std::optional<QString> classOf(const QByteArray& wmClass);

private:
    XcbConnection* connection();
    void readEvents();

    std::unique_ptr<XcbConnection> m_connection;
    bool m_opened = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace vorlith

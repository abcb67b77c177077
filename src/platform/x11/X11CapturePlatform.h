#pragma once

#include "platform/CapturePlatform.h"
#include "platform/x11/X11Monitors.h"

#include "core/WorkerPool.h"

#include <QProcessEnvironment>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class QScreen;

namespace vorlith {

class XcbConnection;
class X11ScreenGrabber;

// Screen capture on an X11 session. Displays are RandR monitors (the whole root without
// RandR), joined to QScreens by name; images come from the root window through MIT-SHM on a
// worker thread, or from QScreen::grabWindow where shared memory is not available. X11 has no
// capture permission and no per-window protection: the preflight succeeds and every window is
// readable. Under Wayland it fails as unavailable instead of delivering black frames.
class X11CapturePlatform final : public CapturePlatform {
public:
    X11CapturePlatform();
    ~X11CapturePlatform() override;

    bool preflightScreenCaptureAccess() override { return true; }
    QCoro::Task<ShareableContent> shareableContent() override;
    std::vector<WindowListEntry> windowList() override;
    Rect displayBounds(quint32 displayID) override;
    std::vector<ScreenInfo> screens() override;
    qint32 processID() override;
    QCoro::Task<QImage> screenshot(ScreenshotRequest request) override;

    // Whether the session is not one this platform can read the screen of.
    static bool isWaylandSession(const QProcessEnvironment& environment, const QString& platformName);

    // How long the screen is left to redraw after our windows were hidden: a compositor
    // repaints on its own schedule, other clients repaint what our windows uncovered.
    static constexpr std::chrono::milliseconds compositorSettle{100};
    static constexpr std::chrono::milliseconds exposeSettle{30};

private:
    XcbConnection* connection();
    std::vector<X11Monitor> monitors();
    bool hasCompositor();
    static QScreen* screenOf(const X11Monitor& monitor, const std::vector<X11Monitor>& all);
    static void requireX11Session();

    std::unique_ptr<XcbConnection> m_connection;
    bool m_connectionTried = false;
    std::shared_ptr<X11ScreenGrabber> m_grabber;
    WorkerPool m_grabPool{1}; // grabs one display at a time, off the main thread
};

} // namespace vorlith

#pragma once

#include "platform/CapturePlatform.h"
#include "platform/x11/X11Monitors.h"

#include "core/WorkerPool.h"

#include <chrono>
#include <functional>
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
// readable. CapturePlatformFactory chooses it only in an X11 session.
class X11CapturePlatform final : public CapturePlatform {
public:
    // Waits on the main thread without blocking it (the default is a timer); tests count.
    using Sleeper = std::function<QCoro::Task<>(std::chrono::milliseconds)>;

    explicit X11CapturePlatform(Sleeper sleeper = {});
    ~X11CapturePlatform() override;

    bool preflightScreenCaptureAccess() override { return true; }
    // Reads the window list for the shareable windows and keeps it: the next windowList() hands
    // out that same list, so a capture asks the server once and its shareable ids and window
    // entries agree. The monitors read here serve the capture it starts (its display bounds,
    // screens and screenshots) until the next one: a capture asks for them once.
    QCoro::Task<ShareableContent> shareableContent() override;
    std::vector<WindowListEntry> windowList() override;
    Rect displayBounds(quint32 displayID) override;
    std::vector<ScreenInfo> screens() override;
    qint32 processID() override;
    std::optional<qint32> frontPID() override;
    QCoro::Task<QImage> screenshot(ScreenshotRequest request) override;

    // How long the screen is left to redraw after our windows were hidden: a compositor
    // repaints on its own schedule, other clients repaint what our windows uncovered.
    static constexpr std::chrono::milliseconds compositorSettle{100};
    static constexpr std::chrono::milliseconds exposeSettle{30};

    // How often the server was asked for the window list, and for the monitors.
    int windowListReads() const { return m_windowListReads; }
    int monitorReads() const { return m_monitorReads; }

private:
    XcbConnection* connection();
    std::vector<X11Monitor> monitors();
    std::vector<X11Monitor> readMonitors();
    bool hasCompositor();
    std::vector<WindowListEntry> readWindowList();
    static QScreen* screenOf(const X11Monitor& monitor, const std::vector<X11Monitor>& all);

    // What a screenshot still uses after it has suspended. The task holds its own reference,
    // so the platform may be destroyed while a grab is under way.
    struct Grabbing {
        std::shared_ptr<X11ScreenGrabber> grabber;
        WorkerPool pool{1}; // grabs one display at a time, off the main thread
    };

    std::unique_ptr<XcbConnection> m_connection;
    bool m_connectionTried = false;
    std::shared_ptr<Grabbing> m_grabbing;
    Sleeper m_sleeper;
    // The list the last shareable content was read from, until windowList() takes it.
    std::optional<std::vector<WindowListEntry>> m_contentWindows;
    int m_windowListReads = 0;
    // The monitors the last shareable content was read with.
    std::optional<std::vector<X11Monitor>> m_captureMonitors;
    int m_monitorReads = 0;
};

} // namespace vorlith

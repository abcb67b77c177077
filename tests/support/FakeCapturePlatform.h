#pragma once

#include "core/OneShot.h"
#include "platform/CapturePlatform.h"

#include <QColor>
#include <QHash>
#include <QStringList>

#include <exception>
#include <functional>
#include <optional>
#include <vector>

namespace vorlith::test {

// A scripted capture platform: displays, windows and screens as the test sets them. Records
// the calls in order (calls) and every screenshot request. Screenshots are images of the
// display's bounds in pixels (the request's size is ignored, as on X11) filled with the
// display's colour unless a display has an image of its own.
class FakeCapturePlatform final : public CapturePlatform {
public:
    bool preflight = true;
    ShareableContent content;
    std::exception_ptr contentError;
    // While set, the next capture waits in its first step until the test resumes or fails it
    // (taken by that capture: each gate holds one).
    std::optional<OneShot<>> hold;
    std::vector<WindowListEntry> windows;
    QHash<quint32, Rect> bounds;
    std::vector<ScreenInfo> screenList;
    qint32 pid = 4242;
    std::optional<qint32> front; // the owner of the active window
    QHash<quint32, QImage> images;           // per display; otherwise a filled image
    QHash<quint32, std::exception_ptr> shotErrors; // per display
    QColor fill = QColor(40, 90, 160);

    std::vector<ScreenshotRequest> requests;
    QStringList calls;

    // One display of width x height points at scale, at global pixel origin (x, y): it is
    // shareable, has bounds in pixels and a screen frame in points.
    void addDisplay(quint32 id, double x, double y, double width, double height, double scale = 1);

    bool preflightScreenCaptureAccess() override;
    QCoro::Task<ShareableContent> shareableContent() override;
    std::vector<WindowListEntry> windowList() override;
    Rect displayBounds(quint32 displayID) override;
    std::vector<ScreenInfo> screens() override;
    qint32 processID() override;
    std::optional<qint32> frontPID() override;
    QCoro::Task<QImage> screenshot(ScreenshotRequest request) override;
};

// A window list entry with every field set: a readable, opaque, normal-layer window.
WindowListEntry fakeWindow(quint32 number, qint32 owner, const Rect& bounds);

} // namespace vorlith::test

#pragma once

#include "core/Geometry.h"

#include <QImage>
#include <QString>

#include <QCoro/QCoroTask>

#include <optional>
#include <stdexcept>
#include <vector>

namespace vorlith {

// An error of the capture platform: a domain and a numeric code, like the errors the capture
// service logs and maps to user-facing reasons.
class CapturePlatformError : public std::runtime_error {
public:
    CapturePlatformError(QString domain, int code);
    const QString& domain() const { return m_domain; }
    int code() const { return m_code; }

private:
    QString m_domain;
    int m_code;
};

// The capture stream's own failures. The service maps this domain's codes to its fixed
// reasons; every other domain passes through unchanged.
namespace CaptureStreamError {
inline constexpr const char* domain = "CaptureStreamErrorDomain";
enum Code : int {
    userDeclined = -3801,        // the user refused screen recording
    failedToStart = -3802,       // the capture could not run (e.g. no X11 session)
    missingEntitlements = -3803, // the application is not allowed to capture at all
    noDisplayList = -3814,       // the display list could not be read
    noCaptureSource = -3815,     // the display asked for does not exist
};
} // namespace CaptureStreamError

// What may be captured right now.
struct ShareableContent {
    std::vector<quint32> displayIDs;
    std::vector<quint32> windowIDs;
    std::vector<qint32> applicationProcessIDs;
};

// One on-screen window, front to back in the window list. Every field may be missing, as in
// any list a window system hands out; readers skip what they cannot use.
struct WindowListEntry {
    std::optional<quint32> number;
    std::optional<qint32> ownerPID;
    std::optional<int> layer; // 0 is the normal layer; above 0 floats over it
    std::optional<double> alpha;
    std::optional<Rect> bounds; // global window-system pixels, top-left origin
    std::optional<bool> isOnscreen;
    std::optional<int> sharingState; // WindowSharing
};

enum WindowSharing : int { sharingNone = 0, sharingReadOnly = 1, sharingReadWrite = 2 };

// One screen as the interface sees it.
struct ScreenInfo {
    std::optional<quint32> displayID; // absent when the screen matches no display
    Rect frame;                       // logical points, global
    double scale = 1;                 // pixels per point
};

// One still image of one display.
struct ScreenshotRequest {
    quint32 displayID = 0;
    std::vector<qint32> excludedProcessIDs; // their windows stay out of the image...
    std::vector<quint32> exceptedWindowIDs; // ...except these
    // The size the caller expects. X11 grabs at the display's native resolution and ignores
    // it; the image's own size is always the one to use.
    int width = 0;
    int height = 0;
    bool showsCursor = false;
    // The caller has just hidden windows of ours (a pin's panels): the screen is given time to
    // redraw before the grab, as for windows the platform hides itself.
    bool ownWindowsJustHidden = false;
};

// What the capture service needs of the window system. Display bounds and window bounds share
// one global space in pixels with a top-left origin; screen frames are in logical points.
class CapturePlatform {
public:
    virtual ~CapturePlatform() = default;

    // Whether screen capture is already allowed. Only logged.
    virtual bool preflightScreenCaptureAccess() = 0;
    // The displays, windows and applications that may be captured. Throws CapturePlatformError.
    virtual QCoro::Task<ShareableContent> shareableContent() = 0;
    // The on-screen windows without desktop elements, front to back.
    virtual std::vector<WindowListEntry> windowList() = 0;
    // The display's rectangle in the global pixel space; empty for an unknown display.
    virtual Rect displayBounds(quint32 displayID) = 0;
    // The screens in the interface's order.
    virtual std::vector<ScreenInfo> screens() = 0;
    virtual qint32 processID() = 0;
    // The process of the application in front: the owner of the active window, found by the
    // same rule as the window list's owners. None when no window is active or its owner is
    // unknown.
    virtual std::optional<qint32> frontPID() = 0;
    // One image of the display, without the cursor, in the bitmap format. Throws
    // CapturePlatformError.
    virtual QCoro::Task<QImage> screenshot(ScreenshotRequest request) = 0;
};

} // namespace vorlith

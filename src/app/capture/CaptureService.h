#pragma once

#include "app/capture/FrozenDisplay.h"
#include "app/capture/ScreenCapturing.h"
#include "app/capture/WindowCandidate.h"
#include "core/CaptureGeometry.h"
#include "platform/CapturePlatform.h"

#include <QSet>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vorlith {

// Freezes every screen at once: one still image per display at native pixels without the
// cursor, with the windows the user may pick on it. Refuses the whole capture when a display
// shows a protected window, and turns the platform's capture failures into CaptureFailure.
//
// capture() runs on the main thread. The service must outlive a running capture (the
// coordinator owns it for the life of the process).
class CaptureService final : public ScreenCapturing {
public:
    using CaptureOperation = std::function<QCoro::Task<std::vector<FrozenDisplay>>()>;

    // captureOperation, when given, replaces the real capture (tests, demos).
    explicit CaptureService(std::shared_ptr<CapturePlatform> platform, CaptureOperation captureOperation = {});

    // Our own windows that stay in the images and may be picked (the visible pins).
    const QSet<quint32>& includedOwnWindowIDs() const { return m_includedOwnWindowIDs; }
    void setIncludedOwnWindowIDs(QSet<quint32> ids) { m_includedOwnWindowIDs = std::move(ids); }
    // Windows of ours were hidden just before this capture (the pins' panels, by the capture
    // lease): the next capture lets the screen redraw before its first grab.
    void setOwnWindowsJustHidden(bool hidden) { m_ownWindowsJustHidden = hidden; }
    bool ownWindowsJustHidden() const { return m_ownWindowsJustHidden; }

    // The process of the application in front (the owner of the active window), asked when a
    // capture begins; the editors preselect its first window.
    std::optional<qint32> frontPID() { return m_platform->frontPID(); }

    // The frozen displays in screen order; throws CaptureFailure, or any other error unchanged.
    QCoro::Task<std::vector<FrozenDisplay>> capture() override;

    // The pickable windows of one display, front to back (exposed for tests).
    struct CandidateContext {
        QSet<quint32> shareableWindowIDs;
        qint32 ownPID = 0;
        QSet<quint32> includedOwnWindowIDs;
        Rect displayBounds; // global pixels
        double scale = 1;   // pixels per point of this display
        CaptureGeometry geometry;
    };
    static std::vector<WindowCandidate> windowCandidates(const std::vector<WindowListEntry>& windows,
                                                         const CandidateContext& context);

    // The domain and code an error is logged with.
    static std::pair<QString, int> errorIdentity(const std::exception_ptr& error);
    // The error the caller receives for one that reached capture(): the stream domain's codes
    // become CaptureFailure, anything else stays as it is.
    static std::exception_ptr mappedError(const std::exception_ptr& error);

private:
    QCoro::Task<std::vector<FrozenDisplay>> captureAuthorized();

    std::shared_ptr<CapturePlatform> m_platform;
    QSet<quint32> m_includedOwnWindowIDs;
    bool m_ownWindowsJustHidden = false;
    CaptureOperation m_captureOperation;
};

} // namespace vorlith

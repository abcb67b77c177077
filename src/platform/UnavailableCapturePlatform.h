#pragma once

#include "platform/CapturePlatform.h"

namespace vorlith {

// The capture platform of a session whose screen this program cannot read (Wayland): every
// capture fails as "could not start", so the user is told instead of being handed black frames.
class UnavailableCapturePlatform final : public CapturePlatform {
public:
    bool preflightScreenCaptureAccess() override { return false; }
    QCoro::Task<ShareableContent> shareableContent() override;
    std::vector<WindowListEntry> windowList() override { return {}; }
    Rect displayBounds(quint32) override { return {}; }
    std::vector<ScreenInfo> screens() override { return {}; }
    qint32 processID() override;
    std::optional<qint32> frontPID() override { return std::nullopt; }
    QCoro::Task<QImage> screenshot(ScreenshotRequest request) override;
};

} // namespace vorlith

#include "support/FakeCapturePlatform.h"

#include "rendering/Bitmap.h"

namespace vorlith::test {

void FakeCapturePlatform::addDisplay(quint32 id, double x, double y, double width, double height, double scale)
{
    content.displayIDs.push_back(id);
    bounds.insert(id, Rect(x, y, width * scale, height * scale));
    screenList.push_back(ScreenInfo{id, Rect(x, y, width, height), scale});
}

bool FakeCapturePlatform::preflightScreenCaptureAccess()
{
    calls << QStringLiteral("preflight");
    return preflight;
}

QCoro::Task<ShareableContent> FakeCapturePlatform::shareableContent()
{
    calls << QStringLiteral("shareableContent");
    if (hold) {
        OneShot<> gate = *hold;
        hold.reset();
        co_await gate;
    }
    if (contentError)
        std::rethrow_exception(contentError);
    co_return ShareableContent(content); // a copy: co_return would move the member out
}

std::vector<WindowListEntry> FakeCapturePlatform::windowList()
{
    calls << QStringLiteral("windowList");
    return windows;
}

Rect FakeCapturePlatform::displayBounds(quint32 displayID)
{
    calls << QStringLiteral("displayBounds %1").arg(displayID);
    return bounds.value(displayID);
}

std::vector<ScreenInfo> FakeCapturePlatform::screens()
{
    calls << QStringLiteral("screens");
    return screenList;
}

qint32 FakeCapturePlatform::processID()
{
    return pid;
}

std::optional<qint32> FakeCapturePlatform::frontPID()
{
    calls << QStringLiteral("frontPID");
    return front;
}

QCoro::Task<QImage> FakeCapturePlatform::screenshot(ScreenshotRequest request)
{
    calls << QStringLiteral("screenshot %1").arg(request.displayID);
    requests.push_back(request);
    if (const auto error = shotErrors.value(request.displayID))
        std::rethrow_exception(error);
    if (images.contains(request.displayID))
        co_return images.value(request.displayID);
    // Like X11: the display's native size, whatever size the request expected.
    const Rect native = bounds.value(request.displayID);
    QImage image = Bitmap::create(clampToInt(native.size.width), clampToInt(native.size.height));
    image.fill(fill);
    co_return image;
}

WindowListEntry fakeWindow(quint32 number, qint32 owner, const Rect& bounds)
{
    WindowListEntry entry;
    entry.number = number;
    entry.ownerPID = owner;
    entry.layer = 0;
    entry.alpha = 1.0;
    entry.bounds = bounds;
    entry.isOnscreen = true;
    entry.sharingState = sharingReadOnly;
    return entry;
}

} // namespace vorlith::test

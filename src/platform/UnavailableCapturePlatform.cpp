#include "platform/UnavailableCapturePlatform.h"

#include <unistd.h>

namespace vorlith {

namespace {

CapturePlatformError notStarted()
{
    return CapturePlatformError(QString::fromLatin1(CaptureStreamError::domain), CaptureStreamError::failedToStart);
}

} // namespace

QCoro::Task<ShareableContent> UnavailableCapturePlatform::shareableContent()
{
    throw notStarted();
    co_return ShareableContent{};
}

qint32 UnavailableCapturePlatform::processID()
{
    return qint32(::getpid());
}

QCoro::Task<QImage> UnavailableCapturePlatform::screenshot(ScreenshotRequest)
{
    throw notStarted();
    co_return QImage();
}

} // namespace vorlith

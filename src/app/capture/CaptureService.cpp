#include "app/capture/CaptureService.h"

#include "app/capture/CaptureFailure.h"
#include "app/capture/ProtectedWindowCheck.h"
#include "app/base/Diagnostics.h"

#include <QUuid>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

namespace vorlith {

namespace {

QString typeName(const std::type_info& type)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    const QString name = QString::fromLatin1(status == 0 && demangled ? demangled : type.name());
    std::free(demangled);
    return name;
}

CaptureFailure failureForStreamCode(int code)
{
    switch (code) {
    case CaptureStreamError::userDeclined:
        return CaptureFailure::permission;
    case CaptureStreamError::missingEntitlements:
        return CaptureFailure::configuration;
    case CaptureStreamError::noDisplayList:
    case CaptureStreamError::noCaptureSource:
        return CaptureFailure::noDisplay;
    default:
        return CaptureFailure::unavailable;
    }
}

// A window's bounds in the global pixel space as points relative to the display's top-left
// corner. Subtracting in pixels first keeps the result exact: adding the origin back and
// taking it off again would not.
Rect relativePoints(const Rect& bounds, const Point& origin, double scale)
{
    return Rect((bounds.origin.x - origin.x) / scale, (bounds.origin.y - origin.y) / scale, bounds.size.width / scale,
                bounds.size.height / scale);
}

bool isUsableScreen(const ScreenInfo& screen)
{
    return ProtectedWindowCheck::isUsable(screen.frame) && std::isfinite(screen.scale) && screen.scale > 0;
}

} // namespace

CaptureService::CaptureService(std::shared_ptr<CapturePlatform> platform, CaptureOperation captureOperation)
    : m_platform(std::move(platform)), m_captureOperation(std::move(captureOperation))
{
}

QCoro::Task<std::vector<FrozenDisplay>> CaptureService::capture()
{
    std::exception_ptr error;
    try {
        if (m_captureOperation) {
            QCoro::Task<std::vector<FrozenDisplay>> operation = m_captureOperation();
            std::vector<FrozenDisplay> frames = co_await operation;
            co_return frames;
        }
        QCoro::Task<std::vector<FrozenDisplay>> authorized = captureAuthorized();
        std::vector<FrozenDisplay> frames = co_await authorized;
        co_return frames;
    } catch (...) {
        error = std::current_exception();
    }
    const auto [domain, code] = errorIdentity(error);
    Diagnostics::event(QStringLiteral("capture.error.domain=%1.code=%2").arg(domain).arg(code));
    std::rethrow_exception(mappedError(error));
}

QCoro::Task<std::vector<FrozenDisplay>> CaptureService::captureAuthorized()
{
    // Nothing below touches the service after the first suspension: the platform and the
    // included windows are held by the task itself.
    const std::shared_ptr<CapturePlatform> platform = m_platform;
    const QSet<quint32> included = m_includedOwnWindowIDs;
    bool settleFirst = std::exchange(m_ownWindowsJustHidden, false);

    Diagnostics::event(QStringLiteral("permission.preflight=") +
                       (platform->preflightScreenCaptureAccess() ? QStringLiteral("true") : QStringLiteral("false")));
    QCoro::Task<ShareableContent> contentTask = platform->shareableContent();
    const ShareableContent content = co_await contentTask;
    Diagnostics::event(QStringLiteral("capture.enumerated.displays=%1").arg(content.displayIDs.size()));

    const std::vector<WindowListEntry> windows = platform->windowList();
    const QSet<quint32> shareableWindowIDs(content.windowIDs.begin(), content.windowIDs.end());
    const qint32 ownPID = platform->processID();
    std::vector<qint32> ownApplications;
    std::copy_if(content.applicationProcessIDs.begin(), content.applicationProcessIDs.end(),
                 std::back_inserter(ownApplications), [&](qint32 pid) { return pid == ownPID; });

    for (quint32 display : content.displayIDs) {
        if (ProtectedWindowCheck::hasVisibleProtectedWindow(windows, platform->displayBounds(display), ownPID,
                                                            shareableWindowIDs))
            throw CaptureFailure(CaptureFailure::restrictedContent);
    }

    std::vector<quint32> exceptedWindows;
    std::copy_if(content.windowIDs.begin(), content.windowIDs.end(), std::back_inserter(exceptedWindows),
                 [&](quint32 id) { return included.contains(id); });

    std::vector<FrozenDisplay> frames;
    for (const ScreenInfo& screen : platform->screens()) {
        if (!screen.displayID || !isUsableScreen(screen))
            continue;
        const quint32 displayID = *screen.displayID;
        if (std::find(content.displayIDs.begin(), content.displayIDs.end(), displayID) == content.displayIDs.end())
            continue;

        ScreenshotRequest request;
        request.displayID = displayID;
        request.excludedProcessIDs = ownApplications;
        request.exceptedWindowIDs = exceptedWindows;
        // Dropping the fraction, as the platform is asked; the frame keeps the image's own size.
        request.width = clampToInt(screen.frame.size.width * screen.scale);
        request.height = clampToInt(screen.frame.size.height * screen.scale);
        request.showsCursor = false;
        // Once: the time the first grab waits serves every display.
        request.ownWindowsJustHidden = std::exchange(settleFirst, false);
        QCoro::Task<QImage> shot = platform->screenshot(std::move(request));
        QImage image = co_await shot;
        if (image.isNull())
            throw CapturePlatformError(QString::fromLatin1(CaptureStreamError::domain),
                                       CaptureStreamError::failedToStart);
        Diagnostics::event(QStringLiteral("capture.frame.ready"));

        const Rect displayBounds = platform->displayBounds(displayID);
        FrozenDisplay frame;
        frame.sourceID = QUuid::createUuid();
        frame.id = displayID;
        frame.geometry.size = screen.frame.size;
        frame.geometry.pixelSize = Size{double(image.width()), double(image.height())};
        frame.image = std::move(image);
        frame.candidates = windowCandidates(
            windows, CandidateContext{shareableWindowIDs, ownPID, included, displayBounds, screen.scale, frame.geometry});
        frame.screenFrame = screen.frame;
        frame.backingScale = screen.scale;
        frames.push_back(std::move(frame));
    }
    if (frames.empty())
        throw CaptureFailure(CaptureFailure::noDisplay);
    co_return frames;
}

std::vector<WindowCandidate> CaptureService::windowCandidates(const std::vector<WindowListEntry>& windows,
                                                              const CandidateContext& context)
{
    std::vector<WindowCandidate> candidates;
    for (const WindowListEntry& window : windows) {
        if (!window.number || !context.shareableWindowIDs.contains(*window.number))
            continue;
        const bool included = context.includedOwnWindowIDs.contains(*window.number);
        if (!window.ownerPID)
            continue;
        if (*window.ownerPID == context.ownPID && !included)
            continue;
        // Other applications' windows above the normal layer (panels, menus) are never picked.
        if (!window.layer || (*window.layer != 0 && !included))
            continue;
        if (!window.alpha || !(*window.alpha > 0))
            continue;
        if (!window.bounds)
            continue;
        const Rect points = relativePoints(*window.bounds, context.displayBounds.origin, context.scale);
        if (!points.isFinite() || !(points.size.width > 1) || !(points.size.height > 1))
            continue;
        const std::optional<Rect> local = context.geometry.localRect(points, Point{0, 0});
        if (!local)
            continue;
        candidates.push_back(WindowCandidate{*window.ownerPID, *local});
    }
    return candidates;
}

std::pair<QString, int> CaptureService::errorIdentity(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CaptureFailure& failure) {
        return {QString::fromLatin1(CaptureFailure::domain), failure.code()};
    } catch (const CapturePlatformError& platformError) {
        return {platformError.domain(), platformError.code()};
    } catch (const std::exception& other) {
        return {typeName(typeid(other)), 0};
    } catch (...) {
        return {QStringLiteral("unknown"), 0};
    }
}

std::exception_ptr CaptureService::mappedError(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CapturePlatformError& platformError) {
        if (platformError.domain() == QLatin1String(CaptureStreamError::domain))
            return std::make_exception_ptr(failureForStreamCode(platformError.code()));
        return error;
    } catch (...) {
        return error;
    }
}

} // namespace vorlith

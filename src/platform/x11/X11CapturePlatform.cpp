#include "platform/x11/X11CapturePlatform.h"

#include "core/Async.h"
#include "platform/x11/OwnWindowConcealment.h"
#include "platform/x11/X11ScreenGrabber.h"
#include "platform/x11/X11WindowList.h"
#include "platform/x11/XcbConnection.h"
#include "rendering/Bitmap.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <set>
#include <unistd.h>

namespace vorlith {

namespace {

[[noreturn]] void fail(int code)
{
    throw CapturePlatformError(QString::fromLatin1(CaptureStreamError::domain), code);
}

// Every request Qt sent before (our windows being unmapped) has been handled by the server.
void syncQtConnection()
{
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        XcbConnection::sync(x11->connection());
}

} // namespace

X11CapturePlatform::X11CapturePlatform(Sleeper sleeper)
    : m_grabbing(std::make_shared<Grabbing>()), m_sleeper(std::move(sleeper))
{
    m_grabbing->grabber = std::make_shared<X11ScreenGrabber>();
    if (!m_sleeper)
        m_sleeper = [](std::chrono::milliseconds duration) { return sleepFor(duration, {}); };
}

X11CapturePlatform::~X11CapturePlatform() = default;

XcbConnection* X11CapturePlatform::connection()
{
    if (!m_connectionTried) {
        m_connectionTried = true;
        m_connection = XcbConnection::open();
    }
    return m_connection.get();
}

std::vector<X11Monitor> X11CapturePlatform::monitors()
{
    return m_captureMonitors ? *m_captureMonitors : readMonitors();
}

std::vector<X11Monitor> X11CapturePlatform::readMonitors()
{
    XcbConnection* c = connection();
    if (!c)
        return {};
    ++m_monitorReads;
    return X11Monitors::query(*c);
}

bool X11CapturePlatform::hasCompositor()
{
    XcbConnection* c = connection();
    return c && c->hasCompositingManager();
}

QScreen* X11CapturePlatform::screenOf(const X11Monitor& monitor, const std::vector<X11Monitor>& all)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens)
        if (!monitor.name.isEmpty() && screen->name() == monitor.name)
            return screen;
    // Without RandR there is one display and Qt has one screen: they are the same.
    if (all.size() == 1 && screens.size() == 1 && monitor.name.isEmpty())
        return screens.front();
    return nullptr;
}

QCoro::Task<ShareableContent> X11CapturePlatform::shareableContent()
{
    XcbConnection* c = connection();
    if (!c)
        fail(CaptureStreamError::failedToStart);
    ShareableContent content;
    m_captureMonitors = readMonitors();
    for (const X11Monitor& monitor : *m_captureMonitors)
        content.displayIDs.push_back(monitor.id);
    if (content.displayIDs.empty())
        fail(CaptureStreamError::noDisplayList);
    std::vector<WindowListEntry> windows = readWindowList();
    std::set<qint32> owners{processID()};
    for (const WindowListEntry& window : windows) {
        if (window.number)
            content.windowIDs.push_back(*window.number);
        if (window.ownerPID)
            owners.insert(*window.ownerPID);
    }
    content.applicationProcessIDs.assign(owners.begin(), owners.end());
    m_contentWindows = std::move(windows);
    co_return content;
}

std::vector<WindowListEntry> X11CapturePlatform::windowList()
{
    if (m_contentWindows) {
        std::vector<WindowListEntry> windows = std::move(*m_contentWindows);
        m_contentWindows.reset();
        return windows;
    }
    return readWindowList();
}

std::vector<WindowListEntry> X11CapturePlatform::readWindowList()
{
    XcbConnection* c = connection();
    if (!c)
        return {};
    ++m_windowListReads;
    return X11WindowList::query(*c);
}

Rect X11CapturePlatform::displayBounds(quint32 displayID)
{
    for (const X11Monitor& monitor : monitors())
        if (monitor.id == displayID)
            return toRect(QRectF(monitor.bounds));
    return {};
}

std::vector<ScreenInfo> X11CapturePlatform::screens()
{
    const std::vector<X11Monitor> all = monitors();
    std::vector<ScreenInfo> out;
    for (QScreen* screen : QGuiApplication::screens()) {
        ScreenInfo info;
        info.frame = toRect(QRectF(screen->geometry()));
        info.scale = screen->devicePixelRatio();
        for (const X11Monitor& monitor : all)
            if (screenOf(monitor, all) == screen)
                info.displayID = monitor.id;
        out.push_back(info);
    }
    return out;
}

qint32 X11CapturePlatform::processID()
{
    return qint32(::getpid());
}

std::optional<qint32> X11CapturePlatform::frontPID()
{
    XcbConnection* c = connection();
    if (!c)
        return std::nullopt;
    return X11WindowList::activeOwner(*c);
}

QCoro::Task<QImage> X11CapturePlatform::screenshot(ScreenshotRequest request)
{
    const std::vector<X11Monitor> all = monitors();
    const auto monitor = std::find_if(all.begin(), all.end(), [&](const X11Monitor& m) { return m.id == request.displayID; });
    if (monitor == all.end())
        fail(CaptureStreamError::noCaptureSource);
    const QRect nativeBounds = monitor->bounds;
    QPointer<QScreen> screen = screenOf(*monitor, all);
    // Nothing of the platform is read after the first suspension but through this reference.
    const std::shared_ptr<Grabbing> grabbing = m_grabbing;

    QImage image;
    {
        // Our windows other than the kept ones stay out of the image. The root grab sees
        // every mapped window, so they are taken off the screen until the grab is done.
        const std::optional<QRect> area = screen ? std::optional<QRect>(screen->geometry()) : std::nullopt;
        OwnWindowConcealment concealment(area, request.exceptedWindowIDs);
        if (!concealment.isEmpty() || request.ownWindowsJustHidden) {
            syncQtConnection();
            QCoro::Task<> settle = m_sleeper(hasCompositor() ? compositorSettle : exposeSettle);
            co_await settle;
        }
        const std::shared_ptr<X11ScreenGrabber> grabber = grabbing->grabber;
        QCoro::Task<QImage> grab = grabbing->pool.run({}, [grabber, nativeBounds] { return grabber->grab(nativeBounds); });
        image = co_await grab;
        if (image.isNull() && screen)
            image = Bitmap::copyOf(screen->grabWindow(0).toImage());
    }
    if (image.isNull())
        fail(CaptureStreamError::failedToStart);
    co_return image;
}

} // namespace vorlith

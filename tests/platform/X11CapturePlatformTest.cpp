#include "app/capture/CaptureFailure.h"
#include "app/capture/CaptureService.h"
#include "core/Async.h"
#include "platform/CapturePlatformFactory.h"
#include "platform/UnavailableCapturePlatform.h"
#include "platform/x11/X11CapturePlatform.h"
#include "platform/x11/X11ScreenGrabber.h"
#include "platform/x11/X11WindowList.h"
#include "platform/x11/XcbConnection.h"
#include "rendering/Bitmap.h"
#include "support/MemoryLogSink.h"
#include "support/TaskOutcome.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"
#include "X11CaptureHelpers.h"

#include <QColorSpace>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include <unistd.h>

using namespace vorlith;
using namespace vorlith::test;


TEST(X11CapturePlatform, FreezesEachMonitorAtItsNativeSize)
{
    ScopedLogCapture log;
    auto platform = std::make_shared<X11CapturePlatform>();
    CaptureService service(platform);
    const std::vector<FrozenDisplay> frames = captureAll(service);
    ASSERT_EQ(int(frames.size()), options().monitors);

    const double scale = options().scale;
    for (int i = 0; i < options().monitors; ++i) {
        SCOPED_TRACE(i);
        QScreen* screen = screenAt(i);
        const FrozenDisplay* frame = frameOf(frames, screen);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->image.size(), QSize(options().width, options().height));
        EXPECT_EQ(frame->geometry.pixelSize, (Size{double(options().width), double(options().height)}));
        EXPECT_EQ(frame->geometry.size, toSize(QSizeF(screen->geometry().size())));
        EXPECT_DOUBLE_EQ(frame->backingScale, scale);
        EXPECT_EQ(frame->image.pixels().format(), Bitmap::format);
        EXPECT_EQ(frame->image.pixels().colorSpace(), QColorSpace(QColorSpace::SRgb));
        EXPECT_EQ(qAlpha(frame->image.pixels().pixel(5, 5)), 255);
        EXPECT_EQ(platform->displayBounds(frame->id), toRect(QRectF(nativeMonitor(i))));
        saveTestImage(frame->image.pixels(), QStringLiteral("x11-capture-%1-monitor%2").arg(configName()).arg(i + 1));
    }
    EXPECT_NE(frames[0].id, frames[1].id);
    EXPECT_EQ(log.events().filter("capture.frame.ready").size(), options().monitors);
    EXPECT_EQ(log.events().first(), "permission.preflight=true");
}

TEST(X11CapturePlatform, ForeignWindowIsACandidateAndIsInThePixels)
{
    const QRect monitor = nativeMonitor(1);
    ForeignWindow foreign(QRect(monitor.x() + 200, 150, 300, 200), orange);
    ASSERT_TRUE(foreign.ready());
    const QRect client = foreign.nativeRect();
    // The pointer rests on the window: it must not show in the frozen image.
    ASSERT_EQ(X11Environment::server()->run(QStringLiteral("xdotool"),
                                            {QStringLiteral("mousemove"), QString::number(client.center().x()),
                                             QString::number(client.center().y())}),
              0);
    ASSERT_TRUE(runUntil([&] { return rootPixel(client.center() + QPoint(20, 20)) == orange; }, 10s));

    CaptureService service(std::make_shared<X11CapturePlatform>());
    const std::vector<FrozenDisplay> frames = captureAll(service);
    const FrozenDisplay* frame = frameOf(frames, screenAt(1));
    ASSERT_NE(frame, nullptr);
    saveTestImage(frame->image.pixels(), QStringLiteral("x11-capture-%1-foreign-window").arg(configName()));

    const double scale = options().scale;
    const Rect expected = localPoints(client, monitor, scale);
    std::vector<Rect> found;
    for (const WindowCandidate& candidate : frame->candidates)
        if (candidate.owner == foreign.pid())
            found.push_back(candidate.rect);
    ASSERT_EQ(found.size(), 1u);
    if (options().windowManager) {
        EXPECT_TRUE(containsRect(found[0], expected)) << "the frame holds the client";
    } else {
        EXPECT_DOUBLE_EQ(found[0].origin.x, expected.origin.x);
        EXPECT_DOUBLE_EQ(found[0].origin.y, expected.origin.y);
        EXPECT_DOUBLE_EQ(found[0].size.width, expected.size.width);
        EXPECT_DOUBLE_EQ(found[0].size.height, expected.size.height);
    }
    const QPoint centre = client.center() - monitor.topLeft();
    for (int dy = -8; dy <= 8; dy += 2)
        for (int dx = -8; dx <= 8; dx += 2)
            ASSERT_EQ(frame->image.pixels().pixel(centre + QPoint(dx, dy)), orange) << "no cursor at " << dx << "," << dy;
    EXPECT_NE(frame->image.pixels().pixel(client.topLeft() - monitor.topLeft() - QPoint(3, 3)), orange);

    const FrozenDisplay* first = frameOf(frames, screenAt(0));
    ASSERT_NE(first, nullptr);
    for (const WindowCandidate& candidate : first->candidates)
        EXPECT_NE(candidate.owner, foreign.pid()) << "the window lies wholly on the second monitor";
}

TEST(X11CapturePlatform, OwnWindowsStayOutOfTheImageUnlessIncluded)
{
    QScreen* screen = screenAt(0);
    OwnWindowPair windows;
    ASSERT_TRUE(windows.show(screen));
    ColourWindow& hidden = windows.hidden;
    ColourWindow& kept = windows.kept;
    const QRect hiddenNative = nativeGeometry(hidden);
    const QRect keptNative = nativeGeometry(kept);

    CaptureService service(std::make_shared<X11CapturePlatform>());
    service.setIncludedOwnWindowIDs({quint32(kept.winId())});
    const std::vector<FrozenDisplay> frames = captureAll(service);
    const FrozenDisplay* frame = frameOf(frames, screen);
    ASSERT_NE(frame, nullptr);
    saveTestImage(frame->image.pixels(), QStringLiteral("x11-capture-%1-own-windows").arg(configName()));

    const QRect monitor = nativeMonitor(0);
    EXPECT_NE(frame->image.pixels().pixel(hiddenNative.center() - monitor.topLeft()), magenta);
    EXPECT_EQ(frame->image.pixels().pixel(keptNative.center() - monitor.topLeft()), cyan);

    const Rect keptPoints = localPoints(keptNative, monitor, options().scale);
    std::vector<Rect> own;
    for (const WindowCandidate& candidate : frame->candidates)
        if (candidate.owner == qint32(::getpid()))
            own.push_back(candidate.rect);
    ASSERT_EQ(own.size(), 1u) << "only the included window of ours can be picked";
    EXPECT_TRUE(containsRect(own[0], keptPoints));
    if (!options().windowManager) {
        EXPECT_EQ(own[0], toRect(QRectF(kept.geometry().translated(-screen->geometry().topLeft()))));
    }

    // The hidden window comes back where it was.
    EXPECT_TRUE(shownAndDrawn(hidden, magenta));
    EXPECT_EQ(nativeGeometry(hidden), hiddenNative);
}

// A window of ours that the application hides or closes while the capture has it off the
// screen stays hidden: the capture brings back only what it took away.
TEST(X11CapturePlatform, WindowHiddenByItsOwnerDuringTheCaptureStaysHidden)
{
    QScreen* screen = screenAt(0);
    const QPoint origin = screen->geometry().topLeft();
    ColourWindow hiddenMeanwhile(magenta);
    ColourWindow closedMeanwhile(orange);
    ColourWindow untouched(cyan);
    hiddenMeanwhile.setGeometry(QRect(origin + QPoint(100, 120), QSize(200, 140)));
    closedMeanwhile.setGeometry(QRect(origin + QPoint(340, 120), QSize(200, 140)));
    untouched.setGeometry(QRect(origin + QPoint(580, 120), QSize(200, 140)));
    for (ColourWindow* window : {&hiddenMeanwhile, &closedMeanwhile, &untouched})
        window->show();
    ASSERT_TRUE(shownAndDrawn(hiddenMeanwhile, magenta));
    ASSERT_TRUE(shownAndDrawn(closedMeanwhile, orange));
    ASSERT_TRUE(shownAndDrawn(untouched, cyan));

    // The owner acts on the first turn of the event loop, while the capture waits for the
    // screen to redraw without our windows.
    std::optional<bool> concealedWhenHidden;
    QTimer::singleShot(0, [&] {
        concealedWhenHidden = !hiddenMeanwhile.isVisible();
        hiddenMeanwhile.hide();
        closedMeanwhile.close();
    });
    CaptureService service(std::make_shared<X11CapturePlatform>());
    const std::vector<FrozenDisplay> frames = captureAll(service);
    ASSERT_FALSE(frames.empty());
    ASSERT_EQ(concealedWhenHidden, std::optional<bool>(true));

    EXPECT_TRUE(shownAndDrawn(untouched, cyan));
    spin(100ms);
    EXPECT_FALSE(hiddenMeanwhile.isVisible());
    EXPECT_FALSE(closedMeanwhile.isVisible());
    EXPECT_NE(rootPixel(nativeGeometry(hiddenMeanwhile).center()), magenta);
    EXPECT_NE(rootPixel(nativeGeometry(closedMeanwhile).center()), orange);
}

TEST(X11CapturePlatform, WindowListReadsOwnerLayerAlphaAndOrder)
{
    const QPoint origin = screenAt(0)->geometry().topLeft();
    ColourWindow normal(Qt::darkGreen);
    ColourWindow onTop(Qt::darkBlue, Qt::WindowStaysOnTopHint);
    ColourWindow popup(Qt::darkRed, Qt::BypassWindowManagerHint | Qt::FramelessWindowHint);
    ColourWindow faded(Qt::darkYellow);
    ColourWindow unmapped(Qt::gray);
    // Draws its own decorations, so it asks the window manager for none (as GTK does): an
    // invisible shadow of 10 left and right, 5 above, 15 below.
    ColourWindow decorated(Qt::darkCyan, Qt::FramelessWindowHint);
    faded.setWindowOpacity(0.5);
    int i = 0;
    for (ColourWindow* w : {&normal, &onTop, &popup, &faded, &unmapped, &decorated})
        w->setGeometry(QRect(origin + QPoint(60 + 90 * i++, 500), QSize(80, 60)));
    const QString decoratedID = QString::number(decorated.winId());
    ASSERT_EQ(X11Environment::server()->run(QStringLiteral("xprop"),
                                            {QStringLiteral("-id"), decoratedID, QStringLiteral("-f"),
                                             QStringLiteral("_GTK_FRAME_EXTENTS"), QStringLiteral("32c"),
                                             QStringLiteral("-set"), QStringLiteral("_GTK_FRAME_EXTENTS"),
                                             QStringLiteral("10,10,5,15")}),
              0);
    for (ColourWindow* w : {&normal, &onTop, &popup, &faded, &decorated})
        w->show();
    unmapped.winId(); // a native window that is never mapped
    for (ColourWindow* w : {&normal, &onTop, &popup, &faded, &decorated})
        ASSERT_TRUE(runUntil([&] { return w->windowHandle()->isExposed(); }, 10s));
    ForeignWindow foreign(QRect(nativeMonitor(1).x() + 50, 50, 60, 60), orange);
    ASSERT_TRUE(foreign.ready());

    X11CapturePlatform platform;
    std::vector<WindowListEntry> entries;
    const auto find = [&](quint32 number) -> const WindowListEntry* {
        for (const WindowListEntry& e : entries)
            if (e.number == number)
                return &e;
        return nullptr;
    };
    const auto indexOf = [&](quint32 number) {
        for (std::size_t k = 0; k < entries.size(); ++k)
            if (entries[k].number == number)
                return int(k);
        return -1;
    };
    entries = platform.windowList();
    // Front to back: each window mapped later lies above the ones before it.
    const int foreignIndex = indexOf(foreign.id());
    const int fadedIndex = indexOf(quint32(faded.winId()));
    const int normalIndex = indexOf(quint32(normal.winId()));
    ASSERT_GE(foreignIndex, 0);
    EXPECT_LT(foreignIndex, fadedIndex);
    EXPECT_LT(fadedIndex, normalIndex);

    const struct {
        ColourWindow* window;
        int layer;
        double alpha;
    } expected[] = {
        {&normal, X11WindowList::normalLayer, 1.0},
        {&onTop, X11WindowList::aboveLayer, 1.0},
        {&popup, X11WindowList::overrideRedirectLayer, 1.0},
        // Without a compositing manager the window is drawn opaque whatever it asks for.
        {&faded, X11WindowList::normalLayer, options().compositor ? 0.5 : 1.0},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.window->winId());
        const WindowListEntry* entry = find(quint32(e.window->winId()));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->ownerPID, qint32(::getpid()));
        EXPECT_EQ(entry->layer, e.layer);
        ASSERT_TRUE(entry->alpha);
        EXPECT_NEAR(*entry->alpha, e.alpha, 0.01);
        EXPECT_EQ(entry->isOnscreen, true);
        EXPECT_EQ(entry->sharingState, int(sharingReadOnly));
        ASSERT_TRUE(entry->bounds);
        EXPECT_TRUE(entry->bounds->containsRect(toRect(QRectF(nativeGeometry(*e.window)))));
        if (!options().windowManager) {
            EXPECT_EQ(*entry->bounds, toRect(QRectF(nativeGeometry(*e.window))));
        }
    }
    EXPECT_EQ(find(quint32(unmapped.winId())), nullptr);

    const WindowListEntry* csd = find(quint32(decorated.winId()));
    ASSERT_NE(csd, nullptr);
    ASSERT_TRUE(csd->bounds);
    const QRect drawn = nativeGeometry(decorated);
    EXPECT_EQ(*csd->bounds, toRect(QRectF(drawn.adjusted(10, 5, -10, -15))));

    const WindowListEntry* other = find(foreign.id());
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->ownerPID, foreign.pid());
    EXPECT_EQ(other->layer, X11WindowList::normalLayer);
}

// Both ways of reading the root must give the same pixels and lend their segments alike.
const char* methodName(X11ScreenGrabber::Method method)
{
    return method == X11ScreenGrabber::Method::Composite ? "Composite" : "GetImage";
}

class X11ScreenGrabberTest : public ::testing::TestWithParam<X11ScreenGrabber::Method> {};

INSTANTIATE_TEST_SUITE_P(Methods, X11ScreenGrabberTest,
                         ::testing::Values(X11ScreenGrabber::Method::Composite, X11ScreenGrabber::Method::GetImage),
                         [](const ::testing::TestParamInfo<X11ScreenGrabber::Method>& info) {
                             return std::string(methodName(info.param));
                         });

TEST_P(X11ScreenGrabberTest, ReadsTheSamePixelsAsQtAtAnyRectangle)
{
    // A gradient window of ours and a flat one of another process give every band something
    // different to copy.
    GradientWindow gradient(QColor(10, 200, 30), QColor(250, 20, 140));
    gradient.setGeometry(QRect(screenAt(0)->geometry().topLeft() + QPoint(30, 40), QSize(500, 700)));
    gradient.show();
    ForeignWindow foreign(QRect(700, 300, 200, 900), orange);
    ASSERT_TRUE(foreign.ready());
    ASSERT_TRUE(runUntil([&] { return gradient.windowHandle()->isExposed(); }));
    ASSERT_TRUE(runUntil([&] { return rootPixel(nativeGeometry(gradient).center()) != 0xff000000u; }, 10s));

    X11ScreenGrabber grabber(GetParam());
    ASSERT_TRUE(grabber.isAvailable()) << "Xvfb shares memory with local clients";
    EXPECT_EQ(grabber.method(), GetParam()) << "Xvfb has shared pixmaps and RENDER";
    for (const QRect& rect : {nativeMonitor(0), QRect(17, 33, 1001, 1031), QRect(5, 7, 3, 2), QRect(9, 11, 37, 1)}) {
        SCOPED_TRACE(rect.width());
        // A window manager may still be redrawing its decorations: compare once the screen
        // holds still between Qt's grab and ours.
        QPoint difference;
        runUntil([&] {
            const QImage reference = screenAt(0)->grabWindow(0).toImage();
            const QImage image = grabber.grab(rect);
            EXPECT_EQ(image.size(), rect.size());
            EXPECT_EQ(image.format(), Bitmap::format);
            difference = firstDifference(image, reference.copy(rect));
            return difference == QPoint(-1, -1);
        }, 5s);
        EXPECT_EQ(difference, QPoint(-1, -1));
        // The comparison reads colours only: every pixel must also be opaque, on every row of
        // every band, odd heights included.
        const QImage image = grabber.grab(rect);
        QPoint translucent(-1, -1);
        for (int y = 0; y < image.height() && translucent.y() < 0; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(row[x]) != 255) {
                    translucent = QPoint(x, y);
                    break;
                }
            }
        }
        EXPECT_EQ(translucent, QPoint(-1, -1));
    }
    EXPECT_TRUE(grabber.grab(QRect(100000, 0, 10, 10)).isNull()) << "outside the root";
}

TEST_P(X11ScreenGrabberTest, AHeldImageKeepsItsPixelsThroughLaterGrabs)
{
    const QRect area(300, 300, 200, 200);
    QImage before;
    QImage after;
    {
        X11ScreenGrabber grabber(GetParam());
        ASSERT_TRUE(grabber.isAvailable());
        before = grabber.grab(nativeMonitor(0));
        ASSERT_FALSE(before.isNull());
        const QRgb old = before.pixel(area.center());

        ForeignWindow foreign(area, orange);
        ASSERT_TRUE(foreign.ready());
        ASSERT_TRUE(runUntil([&] { return rootPixel(area.center()) == orange; }, 10s));
        after = grabber.grab(nativeMonitor(0));
        ASSERT_FALSE(after.isNull());
        EXPECT_NE(after.constBits(), before.constBits()) << "a segment still in use is not written again";
        EXPECT_EQ(after.pixel(area.center()), orange);
        EXPECT_EQ(before.pixel(area.center()), old);

        // Released, its memory serves the next grab.
        const uchar* released = before.constBits();
        before = QImage();
        const QImage again = grabber.grab(nativeMonitor(0));
        EXPECT_EQ(again.constBits(), released);
    }
    // The images outlive the grabber and its connection.
    EXPECT_EQ(after.pixel(area.center()), orange);
    EXPECT_EQ(after.copy(QRect(area.center(), QSize(4, 4))).pixel(1, 1), orange);
}

TEST(X11CapturePlatform, ScreensJoinTheirMonitors)
{
    X11CapturePlatform platform;
    const std::vector<ScreenInfo> screens = platform.screens();
    ASSERT_EQ(int(screens.size()), options().monitors);
    for (int i = 0; i < options().monitors; ++i) {
        ASSERT_TRUE(screens[i].displayID);
        EXPECT_EQ(platform.displayBounds(*screens[i].displayID), toRect(QRectF(nativeMonitor(i))));
        EXPECT_EQ(screens[i].frame, toRect(QRectF(screenAt(i)->geometry())));
        EXPECT_DOUBLE_EQ(screens[i].scale, options().scale);
    }
    EXPECT_EQ(platform.displayBounds(0xdeadbeef), Rect());
}

TEST(X11CapturePlatform, RefusesWaylandSessions)
{
    const auto env = [](std::initializer_list<std::pair<const char*, const char*>> values) {
        QProcessEnvironment e;
        for (const auto& [key, value] : values)
            e.insert(QString::fromLatin1(key), QString::fromLatin1(value));
        return e;
    };
    const struct {
        QProcessEnvironment environment;
        const char* platform;
        bool wayland;
    } cases[] = {
        {env({}), "xcb", false},
        {env({{"XDG_SESSION_TYPE", "x11"}}), "xcb", false},
        {env({{"WAYLAND_DISPLAY", "wayland-0"}}), "xcb", true},
        {env({{"XDG_SESSION_TYPE", "wayland"}}), "xcb", true},
        {env({}), "wayland", true},
        {env({}), "offscreen", true},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(CapturePlatformFactory::isWaylandSession(c.environment, QString::fromLatin1(c.platform)), c.wayland);
        const auto platform = CapturePlatformFactory::make(c.environment, QString::fromLatin1(c.platform));
        EXPECT_EQ(dynamic_cast<UnavailableCapturePlatform*>(platform.get()) != nullptr, c.wayland);
    }

    ScopedLogCapture log;
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    CaptureService service(CapturePlatformFactory::make());
    qunsetenv("WAYLAND_DISPLAY");
    const auto outcome = finish(service.capture());
    EXPECT_EQ(outcome.errorAs<CaptureFailure>(), CaptureFailure(CaptureFailure::unavailable));
    EXPECT_EQ(log.events().last(), "capture.error.domain=CaptureStreamErrorDomain.code=-3802");
}

TEST(X11CapturePlatform, AGrabOutlivesThePlatformThatStartedIt)
{
    auto platform = std::make_shared<X11CapturePlatform>();
    ScreenshotRequest request;
    request.displayID = *platform->screens().front().displayID;
    QCoro::Task<QImage> shot = platform->screenshot(request);
    platform.reset(); // the grab is under way on the worker pool
    const auto outcome = finish(std::move(shot));
    ASSERT_TRUE(outcome.value.has_value());
    EXPECT_EQ(outcome.value->size(), QSize(options().width, options().height));
}

namespace {

// Sets a property on a window with xprop, as another client would.
void setProperty(const QWidget& window, const char* name, const char* format, const QString& value)
{
    ASSERT_EQ(X11Environment::server()->run(QStringLiteral("xprop"),
                                            {QStringLiteral("-id"), QString::number(window.winId()),
                                             QStringLiteral("-f"), QString::fromLatin1(name),
                                             QString::fromLatin1(format), QStringLiteral("-set"),
                                             QString::fromLatin1(name), value}),
              0);
}

} // namespace

TEST(X11CapturePlatform, WindowListReadsTypesBordersAndTheServersOwner)
{
    const QPoint origin = screenAt(0)->geometry().topLeft();
    ColourWindow desktop(Qt::darkGray), dock(Qt::darkGreen), notification(Qt::darkBlue), lying(Qt::darkRed),
        bordered(Qt::darkYellow);
    int i = 0;
    for (ColourWindow* w : {&desktop, &dock, &notification, &lying, &bordered})
        w->setGeometry(QRect(origin + QPoint(60 + 90 * i++, 300), QSize(80, 60)));
    setProperty(desktop, "_NET_WM_WINDOW_TYPE", "32a", QStringLiteral("_NET_WM_WINDOW_TYPE_DESKTOP"));
    setProperty(dock, "_NET_WM_WINDOW_TYPE", "32a", QStringLiteral("_NET_WM_WINDOW_TYPE_DOCK"));
    setProperty(notification, "_NET_WM_WINDOW_TYPE", "32a", QStringLiteral("_NET_WM_WINDOW_TYPE_NOTIFICATION"));
    for (ColourWindow* w : {&desktop, &dock, &notification, &lying, &bordered})
        w->show();
    for (ColourWindow* w : {&desktop, &dock, &notification, &lying, &bordered})
        ASSERT_TRUE(runUntil([&] { return w->windowHandle()->isExposed(); }, 10s));
    // A window whose _NET_WM_PID names another process: the server knows better.
    setProperty(lying, "_NET_WM_PID", "32c", QStringLiteral("1"));
    // An X border widens the window by its width on every side.
    auto connection = XcbConnection::open();
    ASSERT_TRUE(connection);
    const uint32_t border = 3;
    xcb_configure_window(connection->get(), xcb_window_t(bordered.winId()), XCB_CONFIG_WINDOW_BORDER_WIDTH, &border);
    XcbConnection::sync(connection->get());

    X11CapturePlatform platform;
    const std::vector<WindowListEntry> entries = platform.windowList();
    const auto find = [&](const QWidget& w) -> const WindowListEntry* {
        for (const WindowListEntry& e : entries)
            if (e.number == quint32(w.winId()))
                return &e;
        return nullptr;
    };
    EXPECT_EQ(find(desktop), nullptr) << "desktop windows are left out";
    ASSERT_NE(find(dock), nullptr);
    EXPECT_EQ(find(dock)->layer, X11WindowList::dockLayer);
    ASSERT_NE(find(notification), nullptr);
    EXPECT_EQ(find(notification)->layer, X11WindowList::notificationLayer);
    ASSERT_NE(find(lying), nullptr);
    EXPECT_EQ(find(lying)->ownerPID, qint32(::getpid()));
    if (!options().windowManager) { // a window manager resets its clients' borders
        ASSERT_NE(find(bordered), nullptr);
        const QRect inner = nativeGeometry(bordered);
        EXPECT_EQ(*find(bordered)->bounds, toRect(QRectF(inner.x(), inner.y(), inner.width() + 6, inner.height() + 6)));
    }
}

// The server is asked for the window list and for the monitors once per capture: the shareable
// windows and the candidates come from the same reading, and so do the displays, their bounds
// and the screenshots' rectangles.
TEST(X11CapturePlatform, ACaptureReadsTheWindowListAndTheMonitorsOnce)
{
    ForeignWindow foreign(QRect(nativeMonitor(0).x() + 80, 90, 120, 100), orange);
    ASSERT_TRUE(foreign.ready());
    auto platform = std::make_shared<X11CapturePlatform>();
    CaptureService service(platform);
    for (int capture = 1; capture <= 2; ++capture) {
        SCOPED_TRACE(capture);
        const std::vector<FrozenDisplay> frames = captureAll(service);
        ASSERT_EQ(int(frames.size()), options().monitors);
        EXPECT_EQ(platform->windowListReads(), capture);
        EXPECT_EQ(platform->monitorReads(), capture);
        const FrozenDisplay* frame = frameOf(frames, screenAt(0));
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(std::any_of(frame->candidates.begin(), frame->candidates.end(),
                                [&](const WindowCandidate& c) { return c.owner == foreign.pid(); }));
    }
    // Outside a capture the list is read afresh.
    const std::vector<WindowListEntry> entries = platform->windowList();
    EXPECT_EQ(platform->windowListReads(), 3);
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                            [&](const WindowListEntry& e) { return e.number == foreign.id(); }));
}

// The screen is left to redraw only after a window of ours was taken off it, and only on the
// display that window was on.
TEST(X11CapturePlatform, WaitsForTheRedrawOnlyWhenAWindowWasHidden)
{
    std::vector<std::chrono::milliseconds> waits;
    auto platform = std::make_shared<X11CapturePlatform>([&waits](std::chrono::milliseconds duration) {
        waits.push_back(duration);
        return sleepFor(duration, {});
    });
    CaptureService service(platform);
    ASSERT_EQ(int(captureAll(service).size()), options().monitors);
    EXPECT_TRUE(waits.empty()) << "nothing of ours was on the screen";

    ColourWindow ours(magenta);
    ours.setGeometry(QRect(screenAt(0)->geometry().topLeft() + QPoint(100, 120), QSize(200, 140)));
    ours.show();
    ASSERT_TRUE(shownAndDrawn(ours, magenta));
    const std::vector<FrozenDisplay> frames = captureAll(service);
    const FrozenDisplay* frame = frameOf(frames, screenAt(0));
    ASSERT_NE(frame, nullptr);
    EXPECT_NE(frame->image.pixels().pixel(nativeGeometry(ours).center() - nativeMonitor(0).topLeft()), magenta);
    const auto settle = options().compositor ? X11CapturePlatform::compositorSettle : X11CapturePlatform::exposeSettle;
    EXPECT_EQ(waits, std::vector<std::chrono::milliseconds>{settle}) << "one wait, for the first display only";
    EXPECT_TRUE(shownAndDrawn(ours, magenta));
}

// A frame that no window manager lists among its clients: the client carrying WM_STATE is
// searched for below it, here two levels down, and the frame's bounds are the window's.
TEST(X11CapturePlatform, WindowListFindsTheClientDeepInsideAnUnlistedFrame)
{
    auto connection = XcbConnection::open();
    ASSERT_TRUE(connection);
    xcb_connection_t* c = connection->get();
    const QRect frameRect(nativeMonitor(0).x() + 400, 300, 300, 200);
    const auto create = [&](xcb_window_t parent, const QRect& rect, bool overrideRedirect) {
        const xcb_window_t window = xcb_generate_id(c);
        const uint32_t values[] = {0x336699u, overrideRedirect ? 1u : 0u};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, parent, int16_t(rect.x()), int16_t(rect.y()),
                          uint16_t(rect.width()), uint16_t(rect.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        return window;
    };
    // Override-redirect, so that a window manager leaves the frame as it is.
    const xcb_window_t frame = create(connection->root(), frameRect, true);
    const xcb_window_t decoration = create(frame, QRect(0, 0, 300, 20), false);
    const xcb_window_t inner = create(frame, QRect(0, 20, 300, 180), false);
    const xcb_window_t client = create(inner, QRect(0, 0, 300, 180), false);
    const xcb_atom_t wmState = connection->atom("WM_STATE");
    const uint32_t state[] = {1, XCB_WINDOW_NONE};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, client, wmState, wmState, 32, 2, state);
    for (xcb_window_t window : {client, inner, decoration, frame})
        xcb_map_window(c, window);
    XcbConnection::sync(c);

    X11CapturePlatform platform;
    const std::vector<WindowListEntry> entries = platform.windowList();
    const auto entry = std::find_if(entries.begin(), entries.end(),
                                    [&](const WindowListEntry& e) { return e.number == quint32(client); });
    ASSERT_NE(entry, entries.end());
    EXPECT_EQ(entry->bounds, std::optional<Rect>(toRect(QRectF(frameRect))));
    EXPECT_EQ(entry->ownerPID, qint32(::getpid())) << "the server knows the creator";
    EXPECT_TRUE(std::none_of(entries.begin(), entries.end(),
                             [&](const WindowListEntry& e) { return e.number == quint32(frame); }));
    xcb_destroy_window(c, frame);
    XcbConnection::sync(c);
}

// The application in front is the owner of the active window (the window manager's word), or
// of the focused top-level when no window manager runs; another process's window counts as
// that process, ours as ours.
TEST(X11CapturePlatform, FrontProcessOwnsTheActiveWindow)
{
    const QRect monitor = nativeMonitor(0);
    ForeignWindow foreign(QRect(monitor.topLeft() + QPoint(40, 40), QSize(200, 120)), orange);
    ASSERT_TRUE(foreign.ready());
    ColourWindow own(Qt::darkCyan);
    own.setGeometry(QRect(screenAt(0)->geometry().topLeft() + QPoint(300, 40), QSize(120, 80)));
    own.show();
    ASSERT_TRUE(runUntil([&] { return own.windowHandle()->isExposed(); }, 10s));

    X11CapturePlatform platform;
    const QString verb = options().windowManager ? QStringLiteral("windowactivate") : QStringLiteral("windowfocus");
    X11Environment::server()->run(QStringLiteral("xdotool"), {verb, QString::number(foreign.id())});
    EXPECT_TRUE(runUntil([&] { return platform.frontPID() == foreign.pid(); }, 5s))
        << "front " << platform.frontPID().value_or(-1) << ", foreign " << foreign.pid();

    X11Environment::server()->run(QStringLiteral("xdotool"), {verb, QString::number(own.winId())});
    EXPECT_TRUE(runUntil([&] { return platform.frontPID() == qint32(::getpid()); }, 5s))
        << "front " << platform.frontPID().value_or(-1);
}

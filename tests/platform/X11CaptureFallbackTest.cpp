// Capture on servers without MIT-SHM, and without RandR: every monitor still arrives at its
// native size, now through Qt's own grab, and our windows still stay out of it.
#include "X11CaptureHelpers.h"
#include "app/capture/CaptureService.h"
#include "platform/x11/X11CapturePlatform.h"
#include "platform/x11/X11ScreenGrabber.h"
#include "rendering/Bitmap.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using namespace vorlith;
using namespace vorlith::test;

TEST(X11CaptureFallback, GrabberStandsAsideWithoutSharedMemory)
{
    ASSERT_TRUE(options().lacks("MIT-SHM"));
    X11ScreenGrabber grabber;
    EXPECT_FALSE(grabber.isAvailable());
    EXPECT_TRUE(grabber.grab(nativeMonitor(0)).isNull());
}

TEST(X11CaptureFallback, FramesKeepTheirNativeSizeAndLeaveOurWindowsOut)
{
    QScreen* screen = screenAt(0);
    OwnWindowPair windows;
    ASSERT_TRUE(windows.show(screen));
    ColourWindow& hidden = windows.hidden;
    ColourWindow& kept = windows.kept;
    const int last = options().monitors - 1;
    ForeignWindow foreign(QRect(nativeMonitor(last).x() + 200, 300, 300, 200), orange);
    ASSERT_TRUE(foreign.ready());
    ASSERT_TRUE(runUntil([&] { return rootPixel(foreign.nativeRect().center()) == orange; }, 10s));

    auto platform = std::make_shared<X11CapturePlatform>();
    CaptureService service(platform);
    service.setIncludedOwnWindowIDs({quint32(kept.winId())});
    const std::vector<FrozenDisplay> frames = captureAll(service);
    ASSERT_EQ(int(frames.size()), options().monitors);
    for (int i = 0; i < options().monitors; ++i) {
        SCOPED_TRACE(i);
        const FrozenDisplay* frame = frameOf(frames, screenAt(i));
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->image.size(), nativeMonitor(i).size());
        EXPECT_EQ(frame->image.pixels().format(), Bitmap::format);
        EXPECT_EQ(qAlpha(frame->image.pixels().pixel(5, 5)), 255);
        EXPECT_EQ(platform->displayBounds(frame->id), toRect(QRectF(nativeMonitor(i))));
        saveTestImage(frame->image.pixels(), QStringLiteral("x11-fallback-%1-monitor%2").arg(configName()).arg(i + 1));
    }

    const FrozenDisplay* first = frameOf(frames, screen);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first->image.pixels().pixel(nativeGeometry(hidden).center()), magenta);
    EXPECT_EQ(first->image.pixels().pixel(nativeGeometry(kept).center()), cyan);
    const FrozenDisplay* lastFrame = frameOf(frames, screenAt(last));
    ASSERT_NE(lastFrame, nullptr);
    EXPECT_EQ(lastFrame->image.pixels().pixel(foreign.nativeRect().center() - nativeMonitor(last).topLeft()), orange);
    const bool candidate = std::any_of(lastFrame->candidates.begin(), lastFrame->candidates.end(),
                                       [&](const WindowCandidate& c) { return c.owner == foreign.pid(); });
    EXPECT_TRUE(candidate);
}

TEST(X11CaptureFallback, WithoutRandROneDisplayCoversTheRoot)
{
    if (!options().lacks("RANDR"))
        GTEST_SKIP() << "this server has RandR";
    X11CapturePlatform platform;
    const std::vector<ScreenInfo> screens = platform.screens();
    ASSERT_EQ(screens.size(), 1u);
    ASSERT_TRUE(screens[0].displayID);
    EXPECT_EQ(platform.displayBounds(*screens[0].displayID),
              Rect(0, 0, options().width * options().monitors, options().height));
}

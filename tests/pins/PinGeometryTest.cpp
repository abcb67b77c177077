#include "app/pins/PinGeometry.h"
#include "app/pins/PinResizeRegion.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorlith {
namespace {

using namespace pinGeometry;

const Rect visible(0, 25, 1440, 875); // a menu bar's worth taken from the top

TEST(PinGeometry, FitsANewPin)
{
    struct Case {
        const char* name;
        Size selection;
        std::optional<Point> near;
        double scale;
        Rect frame; // expected, to 0.01
    };
    const double big = 859.0 / 3000;
    const Case cases[] = {
        // Shrunk to the visible height less 16, centred in V.
        {"large", {4000, 3000}, std::nullopt, big,
         Rect((1440 - 4000 * big) / 2, 25 + 8, 4000 * big, 859)},
        // Never enlarged; centred.
        {"small", {100, 50}, std::nullopt, 1, Rect(670, 25 + 437.5 - 25, 100, 50)},
        // Near the right edge: its right edge stays 8 inside.
        {"near right edge", {100, 50}, Point{1430, 400}, 1, Rect(1440 - 8 - 100, 375, 100, 50)},
        // Near a point on another screen: still inside this V.
        {"near elsewhere", {100, 50}, Point{2500, -300}, 1, Rect(1440 - 108, 33, 100, 50)},
        {"near bottom", {100, 50}, Point{20, 2000}, 1, Rect(8, 900 - 58, 100, 50)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Fit placed = fit(c.selection, visible, c.near);
        EXPECT_NEAR(placed.scale, c.scale, 1e-9);
        EXPECT_NEAR(placed.screenRect.minX(), c.frame.minX(), 0.01);
        EXPECT_NEAR(placed.screenRect.minY(), c.frame.minY(), 0.01);
        EXPECT_NEAR(placed.screenRect.width(), c.frame.width(), 0.01);
        EXPECT_NEAR(placed.screenRect.height(), c.frame.height(), 0.01);
    }
    const Fit large = fit({4000, 3000}, visible, std::nullopt);
    EXPECT_NEAR(large.scale, 0.2863, 1e-4);
    EXPECT_NEAR(large.screenRect.width(), 1145, 1);
    EXPECT_EQ(percentage(large.scale), 29);
}

TEST(PinGeometry, FittedViewportRefusesSelectionsThatCannotBeShown)
{
    EXPECT_FALSE(fittedViewport(Rect(0, 0, 0, 10), visible, std::nullopt));
    EXPECT_FALSE(fittedViewport(Rect(0, 0, NAN, 10), visible, std::nullopt));
    EXPECT_FALSE(fittedViewport(Rect(0, 0, 10, INFINITY), visible, std::nullopt));
    const auto viewport = fittedViewport(Rect(200, 100, 100, 50), visible, std::nullopt);
    ASSERT_TRUE(viewport);
    EXPECT_EQ(viewport->documentRect(), Rect(200, 100, 100, 50));
    EXPECT_EQ(viewport->screenRect(), Rect(670, 437.5, 100, 50));
}

TEST(PinGeometry, StripAndBadgeSitInsideTheImageAndTheScreen)
{
    const Size strip = stripSize;
    // Inside the top-right corner, 7 in.
    EXPECT_EQ(stripFrame(Rect(100, 200, 400, 300), visible, strip), Rect(500 - 135 - 7, 207, 135, 39));
    // Image running off the right: 6 inside V.
    EXPECT_EQ(stripFrame(Rect(1300, 200, 400, 300), visible, strip), Rect(1440 - 6 - 135, 207, 135, 39));
    // Image running off the left: never left of V.
    EXPECT_EQ(stripFrame(Rect(-500, 200, 100, 300), visible, strip).minX(), 6);
    // Image low on the screen: the strip stays 6 above V's bottom.
    EXPECT_EQ(stripFrame(Rect(100, 880, 400, 300), visible, strip).minY(), 900 - 6 - 39);
    EXPECT_EQ(badgeFrame(Rect(100, 200, 400, 300), {40, 18}), Rect(108, 208, 40, 18));
    EXPECT_EQ(ringFrame(Rect(100, 200, 400, 300)), Rect(56, 156, 488, 388));
}

TEST(PinGeometry, ResizePanelsFrameTheImage)
{
    const auto panels = resizePanelFrames(Rect(100, 200, 400, 300));
    const Rect expected[] = {
        Rect(88, 188, 24, 24),  Rect(488, 188, 24, 24), Rect(88, 488, 24, 24), Rect(488, 488, 24, 24),
        Rect(112, 194, 376, 12), Rect(112, 494, 376, 12), Rect(94, 212, 12, 276), Rect(494, 212, 12, 276),
    };
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(panels[size_t(i)], expected[i]) << i;
    // A 20 × 20 pin: the edge panels have no length, only the corners remain.
    const auto tiny = resizePanelFrames(Rect(0, 0, 20, 20));
    for (int i = 4; i < 8; ++i)
        EXPECT_TRUE(tiny[size_t(i)].isEmpty()) << i;
    EXPECT_EQ(tiny[4].width(), 0);
    EXPECT_EQ(tiny[6].height(), 0);
}

TEST(PinGeometry, ToolbarSpaceIsTheScreensTopLeft)
{
    const Rect screen(1440, 0, 1920, 1080);
    EXPECT_EQ(toolbarSelection(Rect(1500, 100, 300, 200), screen), Rect(60, 100, 300, 200));
    EXPECT_EQ(chromeFrame(screen, {60, 310}, {400, 44}), Rect(1500, 310, 400, 44));
}

TEST(PinGeometry, ConstrainKeepsThePinOnAScreen)
{
    const DisplayScreen first{1, Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 875)};
    const DisplayScreen second{2, Rect(1440, 0, 1920, 1080), Rect(1440, 0, 1920, 1080)};
    // Off every screen (its display was removed): the first screen, 32 points of it inside.
    const Rect gone(4000, 300, 400, 300);
    const auto chosen = mostOverlapping(gone, {first, second});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->displayNumber, 1u);
    EXPECT_EQ(constrainedOrigin(gone, chosen->visibleFrame), Point(1440 - 32, 300));
    // Equal overlap on two screens: the earlier one.
    const Rect straddling(1340, 100, 200, 100);
    EXPECT_EQ(mostOverlapping(straddling, {first, second})->displayNumber, 1u);
    // The larger overlap wins.
    EXPECT_EQ(mostOverlapping(Rect(1400, 100, 200, 100), {first, second})->displayNumber, 2u);
    EXPECT_FALSE(mostOverlapping(gone, {}));
    // Far left, far above, far below.
    EXPECT_EQ(constrainedOrigin(Rect(-1000, 100, 400, 300), first.visibleFrame), Point(32 - 400, 100));
    EXPECT_EQ(constrainedOrigin(Rect(100, -500, 400, 300), first.visibleFrame), Point(100, 25));
    EXPECT_EQ(constrainedOrigin(Rect(100, 2000, 400, 300), first.visibleFrame), Point(100, 900 - 32));
}

TEST(PinGeometry, WindowPixelsMeetAtEveryScale)
{
    // At scale 1.5 an image at 100.4 points is 150.6 pixels: the ring and the image are both
    // placed from the same rounded edges, so a border drawn at the ring's inset meets the image.
    const Rect image(100.4, 50.2, 300.5, 200.3);
    const QRect content = windowRect(image);
    const QRect ring = windowRect(ringFrame(image));
    EXPECT_EQ(content, QRect(100, 50, 301, 201)); // 400.9 and 250.5 round up
    EXPECT_EQ(content.left() - ring.left(), 44);
    EXPECT_EQ(ring.right() - content.right(), 44);
    EXPECT_EQ(windowRect(Rect(0.5, 0, 0.4, 1)).width(), 0);
}

TEST(PinResizeRegion, FindsTheHandleUnderAPoint)
{
    struct Case {
        Rect bounds;
        Point p;
        std::optional<SelectionHandle> handle;
    };
    const Rect image(0, 0, 400, 300);
    const Case cases[] = {
        {image, {-10, -10}, SelectionHandle::topLeft},
        {image, {-13, -13}, std::nullopt},
        {image, {-12, 150}, std::nullopt}, // inside the reach but beyond an edge band
        {image, {412, 312}, SelectionHandle::bottomRight},
        {image, {395, -5}, SelectionHandle::topRight},
        {image, {5, 290}, SelectionHandle::bottomLeft},
        {image, {-4, 150}, SelectionHandle::left},
        {image, {404, 150}, SelectionHandle::right},
        {image, {200, 306}, SelectionHandle::bottom},
        {image, {200, 150}, std::nullopt},
        {Rect(0, 0, 40, 30), {20, 2}, SelectionHandle::top},
        {Rect(0, 0, 40, 30), {20, 15}, std::nullopt},
        {Rect(0, 0, 40, 30), {2, 2}, SelectionHandle::topLeft},
        // The corner zones overlap on a small image: the first corner wins.
        {Rect(0, 0, 20, 20), {10, 10}, SelectionHandle::topLeft},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PinResizeRegion::handle(c.p, c.bounds), c.handle) << c.p.x << "," << c.p.y;
}

} // namespace
} // namespace vorlith

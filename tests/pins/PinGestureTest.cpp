#include "app/editor/WheelZoom.h"
#include "app/pins/PinGeometry.h"
#include "app/pins/PinGesture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vorlith;

namespace {

DocumentViewport viewport(Rect document, Point origin, double scale)
{
    return *DocumentViewport::make(document, origin, scale);
}

} // namespace

TEST(PinGesture, MoveFollowsThePointerOnBothAxes)
{
    const DocumentViewport O = viewport(Rect(0, 0, 400, 300), Point{100, 200}, 0.5);
    // 30 right and 20 up on screen (y down: −20).
    const auto moved = pinGesture::dragged(O, std::nullopt, 30, -20, O.documentRect());
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->screenOrigin(), Point(130, 180));
    EXPECT_EQ(moved->scale(), 0.5);
    EXPECT_EQ(moved->documentRect(), O.documentRect());
    EXPECT_FALSE(pinGesture::dragged(O, std::nullopt, NAN, 0, O.documentRect()));
}

TEST(PinGesture, ResizeScalesAboutTheOppositeHandle)
{
    // 400 × 200 at 0.5: 200 × 100 on screen, left edge at x = 100.
    const DocumentViewport O = viewport(Rect(0, 0, 400, 200), Point{100, 100}, 0.5);
    struct Case {
        const char* name;
        SelectionHandle handle;
        double dx, dy;
        double scale;
        Point fixed; // the opposite handle's point, which must not move
    };
    const Case cases[] = {
        {"right edge 100 right", SelectionHandle::right, 100, 0, 0.75, Point{100, 150}},
        {"right edge 500 left: grows past the left edge", SelectionHandle::right, -500, 0, 0.75, Point{100, 150}},
        {"bottom edge 50 down", SelectionHandle::bottom, 0, 50, 0.75, Point{200, 100}},
        {"corner onto the opposite corner: the minimum", SelectionHandle::topLeft, 200, 100, 0.16, Point{300, 200}},
        {"corner far out: capped at 4", SelectionHandle::bottomRight, 5000, 2500, 4, Point{100, 100}},
        {"corner along the diagonal", SelectionHandle::bottomRight, 200, 100, 1, Point{100, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto next = pinGesture::dragged(O, c.handle, c.dx, c.dy, O.documentRect());
        ASSERT_TRUE(next);
        EXPECT_NEAR(next->scale(), c.scale, 1e-12);
        const Rect after = next->screenRect();
        const Point fixed = handlePoint(pinGesture::opposite(c.handle), after);
        EXPECT_NEAR(fixed.x, c.fixed.x, 1e-9);
        EXPECT_NEAR(fixed.y, c.fixed.y, 1e-9);
        EXPECT_NEAR(after.width() / after.height(), 2, 1e-9); // the aspect ratio stays
    }
}

TEST(PinGesture, MinimumScales)
{
    const std::pair<Size, double> cases[] = {
        {{4000, 3000}, 0.012}, {{96, 64}, 0.5}, {{40, 30}, 1}, {{20, 10}, 1}, {{200, 20}, 1},
    };
    for (const auto& [size, m] : cases)
        EXPECT_NEAR(pinGesture::minimumScale(Rect(Point{}, size)), m, 1e-12) << size.width << "x" << size.height;
}

TEST(PinGesture, WheelFactors)
{
    EXPECT_NEAR(*wheelZoom::factor(QPoint(0, 15), QPoint(0, 0)), std::exp(0.1), 1e-12); // ≈ 1.1052
    EXPECT_NEAR(*wheelZoom::factor(QPoint(0, 0), QPoint(0, 120)), 1.0513, 1e-4);
    EXPECT_NEAR(*wheelZoom::factor(QPoint(0, 0), QPoint(0, -120)), 0.9512, 1e-4);
    // A precise delta wins over the notch count Qt also reports.
    EXPECT_NEAR(*wheelZoom::factor(QPoint(0, -15), QPoint(0, -120)), std::exp(-0.1), 1e-12);
    // Horizontal scrolling zooms nothing.
    EXPECT_FALSE(wheelZoom::factor(QPoint(0, 0), QPoint(120, 0)));
    EXPECT_FALSE(wheelZoom::factor(QPoint(15, 0), QPoint(0, 0)));
}

TEST(PinGesture, ZoomKeepsTheAnchorAndRefusesBadFactors)
{
    const DocumentViewport v = viewport(Rect(0, 0, 400, 300), Point{100, 100}, 1);
    const Point anchor{180, 160};
    const Point under = v.documentPoint(anchor);
    const auto in = pinGesture::zoomed(v, 1.5, anchor);
    ASSERT_TRUE(in);
    EXPECT_NEAR(in->scale(), 1.5, 1e-12);
    EXPECT_NEAR(in->documentPoint(anchor).x, under.x, 1e-9);
    EXPECT_NEAR(in->documentPoint(anchor).y, under.y, 1e-9);
    EXPECT_EQ(pinGesture::zoomed(v, 100, anchor)->scale(), 4);
    EXPECT_NEAR(pinGesture::zoomed(v, 0.0001, anchor)->scale(), pinGesture::minimumScale(v.documentRect()), 1e-12);
    for (double bad : {0.0, -1.0, double(INFINITY), -double(INFINITY), double(NAN)})
        EXPECT_FALSE(pinGesture::zoomed(v, bad, anchor)) << bad;
}

TEST(PinGesture, ALongThinPinFittedBelowTheMinimumNeverGrowsWhenShrunk)
{
    // 6000 × 40 fits 1440 × 875 at 0.2373, below its minimum 0.8.
    const auto fitted = pinGeometry::fittedViewport(Rect(0, 0, 6000, 40), Rect(0, 25, 1440, 875), std::nullopt);
    ASSERT_TRUE(fitted);
    EXPECT_NEAR(fitted->scale(), 1424.0 / 6000, 1e-12);
    EXPECT_NEAR(pinGesture::minimumScale(fitted->documentRect()), 0.8, 1e-12);
    const auto out = pinGesture::zoomed(*fitted, std::exp(-0.05), fitted->screenRect().center());
    ASSERT_TRUE(out);
    EXPECT_LE(out->scale(), fitted->scale());
    EXPECT_LE(out->screenRect().width(), 1440);
    // An inward drag of the right edge does not widen it either.
    const auto resized = pinGesture::dragged(*fitted, SelectionHandle::right, -100, 0, fitted->documentRect());
    ASSERT_TRUE(resized);
    EXPECT_LE(resized->screenRect().width(), fitted->screenRect().width());
    // Growing still works.
    EXPECT_GT(pinGesture::zoomed(*fitted, 1.1, fitted->screenRect().center())->scale(), fitted->scale());
}

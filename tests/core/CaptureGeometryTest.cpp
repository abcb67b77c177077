#include "core/CaptureGeometry.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vorlith;

namespace {
const CaptureGeometry retina{{1440, 900}, {2880, 1800}};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(CaptureGeometry, PixelsCoverEveryTouchedPixelInsideTheBitmap)
{
    struct Case {
        const char* name;
        CaptureGeometry geometry;
        Rect rect;
        std::optional<Rect> expected;
    };
    const Case cases[] = {
        {"fractional", retina, Rect(10.25, 10.25, 100.5, 50), Rect(20, 20, 202, 101)},
        {"negative extents", retina, Rect(110.75, 60.25, -100.5, -50), Rect(20, 20, 202, 101)},
        {"cut at the image", retina, Rect(1400, 880, 100, 100), Rect(2800, 1760, 80, 40)},
        {"fractional scale", {{1000, 500}, {1501, 751}}, Rect(999.9, 0, 10, 1), Rect(1500, 0, 1, 2)},
        {"outside", retina, Rect(2000, 10, 50, 50), std::nullopt},
        {"zero width", retina, Rect(10, 10, 0, 50), std::nullopt},
        {"no pixels", {{1440, 900}, {0, 0}}, Rect(10, 10, 50, 50), std::nullopt},
        {"no points", {{0, 900}, {2880, 1800}}, Rect(10, 10, 50, 50), std::nullopt},
        {"infinite pixels", {{1440, 900}, {kInf, 1800}}, Rect(10, 10, 50, 50), std::nullopt},
        {"NaN rect", retina, Rect(kNaN, 10, 50, 50), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.geometry.pixels(c.rect), c.expected) << c.name;
}

TEST(CaptureGeometry, ClampsSelectionsAndMovesInsideTheImage)
{
    EXPECT_EQ(retina.clamped({-5, 1000}), (Point{0, 900}));
    EXPECT_EQ(retina.selection({-20, 50}, {100, -5}), Rect(0, 0, 100, 50));
    EXPECT_EQ(retina.selection({300, 200}, {100, 150}), Rect(100, 150, 200, 50));

    EXPECT_EQ(retina.moving(Rect(1400, 10, 100, 50), {100, 0}), Rect(1340, 10, 100, 50));
    EXPECT_EQ(retina.moving(Rect(10, 10, 100, 50), {-30, -20}), Rect(0, 0, 100, 50));
    EXPECT_EQ(retina.moving(Rect(100, 10, 2000, 50), {5, 5}), Rect(0, 15, 1440, 50));
    EXPECT_EQ(retina.bounds(), Rect(0, 0, 1440, 900));
}

TEST(CaptureGeometry, LocalRectIsTheVisiblePartOnOneDisplay)
{
    const CaptureGeometry second{{1440, 900}, {1440, 900}};
    EXPECT_EQ(second.localRect(Rect(1500, 10, 200, 100), {1440, 0}), Rect(60, 10, 200, 100));
    EXPECT_EQ(second.localRect(Rect(1400, -50, 100, 100), {1440, 0}), Rect(0, 0, 60, 50));
    EXPECT_FALSE(second.localRect(Rect(3000, 10, 200, 100), {1440, 0}).has_value());
    EXPECT_FALSE(second.localRect(Rect(1500, 10, 0, 100), {1440, 0}).has_value());
}

TEST(SelectionHandle, PointsFollowTheTableOrder)
{
    const Rect r(10, 20, 100, 50);
    const Point expected[] = {{10, 20}, {60, 20}, {110, 20}, {110, 45}, {110, 70}, {60, 70}, {10, 70}, {10, 45}};
    for (size_t i = 0; i < allSelectionHandles.size(); ++i)
        EXPECT_EQ(handlePoint(allSelectionHandles[i], r), expected[i]) << i;
    EXPECT_EQ(handlePoint(SelectionHandle::topLeft, Rect(110, 70, -100, -50)), (Point{10, 20}));
}

TEST(SelectionHandle, ResizingMovesItsEdgesFlipsAndClamps)
{
    struct Case {
        SelectionHandle handle;
        Rect rect;
        Point to;
        Rect expected;
    };
    using H = SelectionHandle;
    const Case cases[] = {
        {H::bottomRight, Rect(100, 100, 50, 50), {80, 80}, Rect(80, 80, 20, 20)},  // flips
        {H::right, Rect(100, 100, 50, 50), {-30, 500}, Rect(0, 100, 100, 50)},     // clamped, y ignored
        {H::topLeft, Rect(100, 100, 50, 50), {90, 95}, Rect(90, 95, 60, 55)},
        {H::top, Rect(100, 100, 50, 50), {0, 120}, Rect(100, 120, 50, 30)},
        {H::bottom, Rect(100, 100, 50, 50), {0, 2000}, Rect(100, 100, 50, 800)},
        {H::left, Rect(100, 100, 50, 50), {200, 0}, Rect(150, 100, 50, 50)},       // past the right edge
        {H::bottomLeft, Rect(100, 100, 50, 50), {120, 130}, Rect(120, 100, 30, 30)},
        {H::topRight, Rect(100, 100, 50, 50), {1500, -1}, Rect(100, 0, 1340, 150)},
        {H::right, Rect(-40, -40, 100, 100), {50, 0}, Rect(0, 0, 50, 60)},         // old edges re-clamped
    };
    for (const Case& c : cases)
        EXPECT_EQ(resizing(c.handle, c.rect, c.to, retina), c.expected) << int(c.handle);
}

// A window's frame arrives in pixels and becomes points by dividing by the screen's scale; its
// pixel rectangle (the size label, the crop) must be those very pixels, at every position.
TEST(CaptureGeometry, AWindowsSnappedRectangleGivesExactlyItsPixels)
{
    for (const double scale : {1.25, 1.5, 1.75, 2.0}) {
        const CaptureGeometry display{{1366 / scale, 768 / scale}, {1366, 768}};
        int wrong = 0;
        for (int x = 0; x + 160 <= 1366; ++x) {
            for (const auto& [w, h] : {std::pair{160, 100}, std::pair{159, 99}, std::pair{1, 1}}) {
                const int y = (x * 7) % (768 - h);
                const Rect window(x / scale, y / scale, w / scale, h / scale);
                if (display.pixels(window) != Rect(x, y, w, h) && ++wrong <= 3)
                    ADD_FAILURE() << "scale " << scale << ": " << w << " pixels at " << x << "," << y << " gave "
                                  << display.pixels(window)->width() << " × " << display.pixels(window)->height();
            }
        }
        EXPECT_EQ(wrong, 0) << "scale " << scale;
        EXPECT_EQ(display.pixels(Rect(0, 0, 1366 / scale, 768 / scale)), Rect(0, 0, 1366, 768));
    }
    // A real fraction of a pixel still covers the pixel it touches.
    const CaptureGeometry display{{1366 / 1.5, 768 / 1.5}, {1366, 768}};
    EXPECT_EQ(display.pixels(Rect(100.01 / 1.5, 0, 160 / 1.5, 10)), Rect(100, 0, 161, 15));
}

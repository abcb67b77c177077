#include "core/DocumentViewport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vorlith;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kBig = std::numeric_limits<double>::max();
} // namespace

TEST(DocumentViewport, RefusesWhatCannotBeShown)
{
    struct Case {
        const char* name;
        Rect rect;
        Point origin;
        double scale;
    };
    const Case refused[] = {
        {"scale 0", Rect(0, 0, 100, 50), {0, 0}, 0},
        {"negative scale", Rect(0, 0, 100, 50), {0, 0}, -1},
        {"NaN scale", Rect(0, 0, 100, 50), {0, 0}, kNaN},
        {"infinite scale", Rect(0, 0, 100, 50), {0, 0}, kInf},
        {"NaN origin", Rect(0, 0, 100, 50), {kNaN, 0}, 1},
        {"width 0", Rect(0, 0, 0, 50), {0, 0}, 1},
        {"width -10", Rect(10, 0, -10, 50), {0, 0}, 1},
        {"height 0", Rect(0, 0, 100, 0), {0, 0}, 1},
        {"NaN rect", Rect(kNaN, 0, 100, 50), {0, 0}, 1},
        {"maxX overflows", Rect(kBig, 0, kBig, 50), {0, 0}, 1},
        {"scaled width overflows", Rect(0, 0, kBig, 50), {0, 0}, 2},
        {"screen extent overflows", Rect(0, 0, kBig / 2, 50), {kBig, 0}, 1.5},
        {"screen height overflows", Rect(0, 0, 50, kBig / 2), {0, kBig}, 1.5},
    };
    for (const Case& c : refused)
        EXPECT_FALSE(DocumentViewport::make(c.rect, c.origin, c.scale).has_value()) << c.name;
    EXPECT_TRUE(DocumentViewport::make(Rect(-5, -5, 0.001, 1e6), {-3000, 20}, 1e-3).has_value());
}

TEST(DocumentViewport, MapsPointsAndRectanglesBothWays)
{
    const auto v = DocumentViewport::make(Rect(100, 50, 400, 300), {1000, 200}, 2);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->screenRect(), Rect(1000, 200, 800, 600));
    EXPECT_EQ(v->screenPoint({110, 60}), (Point{1020, 220}));
    EXPECT_EQ(v->documentPoint({1020, 220}), (Point{110, 60}));
    EXPECT_EQ(v->screenRect(Rect(110, 60, 10, 5)), Rect(1020, 220, 20, 10));
    EXPECT_EQ(v->screenRect(Rect(120, 65, -10, -5)), Rect(1020, 220, 20, 10));
    EXPECT_EQ(v->documentRect(Rect(1020, 220, 20, 10)), Rect(110, 60, 10, 5));
    EXPECT_EQ(v->documentRect(), Rect(100, 50, 400, 300));
}

TEST(DocumentViewport, ZoomKeepsTheDocumentPointUnderTheAnchor)
{
    const auto v = DocumentViewport::make(Rect(100, 50, 400, 300), {1000, 200}, 1.25);
    ASSERT_TRUE(v);
    const Point anchor{1137, 333};
    const Point before = v->documentPoint(anchor);

    const auto zoomed = v->scaled(2, anchor);
    ASSERT_TRUE(zoomed);
    EXPECT_EQ(zoomed->scale(), 2);
    EXPECT_EQ(zoomed->documentRect(), v->documentRect());
    EXPECT_DOUBLE_EQ(zoomed->documentPoint(anchor).x, before.x);
    EXPECT_DOUBLE_EQ(zoomed->documentPoint(anchor).y, before.y);

    EXPECT_FALSE(v->scaled(0, anchor).has_value());
    EXPECT_FALSE(v->scaled(kNaN, anchor).has_value());
}

TEST(DocumentViewport, ReplacingTheRectangleKeepsOriginAndScale)
{
    const auto v = DocumentViewport::make(Rect(0, 0, 400, 300), {10, 20}, 1.5);
    ASSERT_TRUE(v);
    const auto cropped = v->replacingDocumentRect(Rect(50, 50, 100, 100));
    ASSERT_TRUE(cropped);
    EXPECT_EQ(cropped->screenOrigin(), (Point{10, 20}));
    EXPECT_EQ(cropped->scale(), 1.5);
    EXPECT_EQ(cropped->screenRect(), Rect(10, 20, 150, 150));
    EXPECT_NE(cropped, v);
    EXPECT_FALSE(v->replacingDocumentRect(Rect(0, 0, -1, 10)).has_value());
}

#include "app/editor/chrome/CaptureLoupeView.h"
#include "app/editor/chrome/LoupeSample.h"
#include "app/editor/chrome/LoupeSampling.h"
#include "support/TestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace vorlith;

TEST(LoupeSampling, SamplingTable)
{
    struct Case {
        const char* name;
        Point point;
        Size logical, pixels;
        Point sample;
        Rect crop, destination, targetCell;
        Size cell;
    };
    const Case cases[] = {
        // Two pixels per point: 45 and 30 pixels either side, the patch overhanging by one point.
        {"density 2, middle", {50, 50}, {100, 100}, {200, 200}, {100, 100}, Rect(55, 70, 91, 61),
         Rect(-1, -1, 182, 122), Rect(89, 59, 2, 2), {2, 2}},
        // At the top-left pixel the crop starts at 0 and the patch starts at the centre cell.
        {"density 2, top-left", {0, 0}, {100, 100}, {200, 200}, {0, 0}, Rect(0, 0, 46, 31),
         Rect(89, 59, 92, 62), Rect(89, 59, 2, 2), {2, 2}},
        // One pixel per point: cells of 4 and half spans of 23 and 15.
        {"density 1, bottom-right", {99.9, 99.9}, {100, 100}, {100, 100}, {99, 99}, Rect(76, 84, 24, 16),
         Rect(-4, -2, 96, 64), Rect(88, 58, 4, 4), {4, 4}},
        // A point beyond the pixel grid clamps to the last pixel.
        {"clamped, density 1.5", {100, 50}, {100, 100}, {150, 150}, {149, 75}, Rect(115, 52, 35, 47),
         Rect(-2, -8.0 / 3, 280.0 / 3, 376.0 / 3),
         Rect(88.66666666666667, 58.666666666666664, 2.6666666666666665, 2.6666666666666665),
         {2.6666666666666665, 2.6666666666666665}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LoupeSampling s(c.point, c.logical, c.pixels);
        EXPECT_EQ(s.sample, c.sample);
        EXPECT_EQ(s.cellSize, c.cell);
        EXPECT_EQ(s.crop, c.crop);
        EXPECT_EQ(s.targetCell, c.targetCell);
        EXPECT_NEAR(s.destination.origin.x, c.destination.origin.x, 1e-9);
        EXPECT_NEAR(s.destination.origin.y, c.destination.origin.y, 1e-9);
        EXPECT_NEAR(s.destination.width(), c.destination.width(), 1e-9);
        EXPECT_NEAR(s.destination.height(), c.destination.height(), 1e-9);
        // Wherever the crop is cut, the sampled pixel's cell is the target cell.
        const double cellX = s.destination.origin.x + (s.sample.x - s.crop.minX()) * s.cellSize.width;
        const double cellY = s.destination.origin.y + (s.sample.y - s.crop.minY()) * s.cellSize.height;
        EXPECT_NEAR(cellX, s.targetCell.origin.x, 1e-9);
        EXPECT_NEAR(cellY, s.targetCell.origin.y, 1e-9);
    }
}

TEST(LoupeSample, ColoursAreUnpremultipliedAsStored)
{
    const struct {
        QRgb premultiplied;
        const char* hex;
    } cases[] = {
        {qRgba(64, 0, 0, 128), "#800000"},
        {qRgba(0, 0, 0, 0), "#000000"},
        {qRgba(255, 59, 48, 255), "#FF3B30"},
        {qRgba(1, 1, 1, 2), "#808080"},
        {qRgba(200, 10, 0, 100), "#FF1A00"}, // a channel above alpha saturates at 255
    };
    for (const auto& c : cases) {
        QImage image(3, 3, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        reinterpret_cast<QRgb*>(image.scanLine(1))[1] = c.premultiplied;
        const auto sample = LoupeSample::take(image, Point{1.5, 1.5}, Size{3, 3});
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->hex.toStdString(), c.hex);
        EXPECT_EQ(sample->color.alpha(), 255) << "the swatch is opaque";
    }
}

TEST(LoupeSample, RefusesWhatItCannotSampleSoTheCallerKeepsItsPointer)
{
    QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    EXPECT_FALSE(LoupeSample::take(QImage(), Point{1, 1}, Size{10, 10}));
    EXPECT_FALSE(LoupeSample::take(image, Point{10, 5}, Size{10, 10})) << "the right edge is outside";
    EXPECT_FALSE(LoupeSample::take(image, Point{-0.1, 5}, Size{10, 10}));
    EXPECT_FALSE(LoupeSample::take(image, Point{1, 1}, Size{0, 10}));
    EXPECT_FALSE(LoupeSample::take(image, Point{qQNaN(), 1}, Size{10, 10}));
    EXPECT_FALSE(LoupeSample::take(image, Point{1, 1}, Size{qInf(), 10}));
    const auto sample = LoupeSample::take(image, Point{9.99, 0}, Size{10, 10});
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->hex, "#FF0000");
    EXPECT_EQ(sample->patch.size(), QSize(int(sample->sampling.crop.width()), int(sample->sampling.crop.height())));
}

TEST(LoupePlacement, PlacementTable)
{
    const Size loupe{182, 176};
    const struct {
        Point pointer;
        Rect bounds;
        Point origin;
    } cases[] = {
        {{100, 100}, Rect(0, 0, 1000, 800), {120, 120}},
        {{900, 100}, Rect(0, 0, 1000, 800), {698, 120}},  // flips left near the right edge
        {{100, 700}, Rect(0, 0, 1000, 800), {120, 504}},  // flips up near the bottom
        {{990, 790}, Rect(0, 0, 1000, 800), {788, 594}},  // the corner: both
        {{0, 0}, Rect(0, 0, 1000, 800), {20, 20}},
        {{150, 150}, Rect(0, 0, 300, 300), {8, 8}},       // flipped too far: clamped to 8 from the edges
        {{50, 50}, Rect(0, 0, 100, 100), {8, 8}},         // too small a view: the lower bound wins
        {{600, 100}, Rect(500, 0, 1000, 800), {620, 120}},
        {{520, 100}, Rect(500, 0, 1000, 800), {540, 120}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pointer.x) + "," + std::to_string(c.pointer.y));
        EXPECT_EQ(loupeOrigin(c.pointer, loupe, c.bounds), c.origin);
    }
}

TEST(CaptureLoupeView, AtTheTopLeftPixelThePatchStartsInTheMiddle)
{
    QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(30, 90, 200));
    CaptureLoupeView loupe;
    EXPECT_EQ(loupe.size(), QSize(182, 176));
    EXPECT_TRUE(loupe.testAttribute(Qt::WA_TransparentForMouseEvents));
    const auto sample = LoupeSample::take(image, Point{0, 0}, Size{200, 150});
    ASSERT_TRUE(sample);
    loupe.showSample(*sample, false);
    EXPECT_EQ(loupe.hex, "#1E5AC8");
    const QImage shot = loupe.grab().toImage();
    const auto rgb = [&](int x, int y) { return QColor(shot.pixel(x, y)); };
    EXPECT_EQ(rgb(30, 30), QColor(Qt::white)) << "upper-left stays white";
    // At 2 points a cell every pixel lies under some line of the faint grid, so only close.
    const QColor image_ = rgb(151, 101);
    EXPECT_LT(image_.red(), 90);
    EXPECT_GT(image_.blue(), 190);
    EXPECT_EQ(rgb(15, 138), QColor(30, 90, 200)) << "the swatch";
}

TEST(CaptureLoupeView, ThePatchIsMagnifiedToDevicePixelsWithItsGridBakedIn)
{
    QImage black(91, 61, QImage::Format_ARGB32_Premultiplied);
    black.fill(Qt::black);
    const QRectF area = CaptureLoupeView::imageArea();
    // Density 2 on a 2× screen: cells of 2 points, 4 device pixels; the patch overhangs the area.
    const QRectF d(0, 0, 182, 122);
    const QImage m = CaptureLoupeView::magnifiedPatch(black, d, area, Size{2, 2}, 2);
    ASSERT_EQ(m.size(), QSize(360, 240)) << "only the pixels inside the area";
    EXPECT_EQ(CaptureLoupeView::enlargedOrigin(d, area, 2), QPointF(1, 1));
    // The image starts at device pixel 2 on both axes (the area starts at 1 point). The grid
    // line at 2 points (device 4) covers device pixels 3 and 4 by 0.75 each; device row 10
    // lies between the lines at 8 and 12.
    const int row = 10 - 2;
    const auto grey = [&](int deviceX) { return qRed(m.pixel(deviceX - 2, row)); };
    EXPECT_GT(grey(4), grey(6) + 20) << "on the line";
    EXPECT_GT(grey(3), grey(6) + 20);
    EXPECT_EQ(grey(6), 0) << "inside a cell, away from every line";
}

TEST(CaptureLoupeView, RenderedAtScaleTwoTheGridFollowsDevicePixels)
{
    QImage source(200, 150, QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::black);
    CaptureLoupeView loupe;
    loupe.showSample(*LoupeSample::take(source, Point{50, 37}, Size{100, 75}), false);
    QImage target(364, 352, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(2);
    target.fill(Qt::white);
    {
        QPainter painter(&target);
        loupe.render(&painter);
    }
    // Along one device row inside a cell row, lit grid columns alternate with black ones.
    int lit = 0, dark = 0;
    for (int x = 10; x < 150; ++x) {
        const int g = qRed(target.pixel(x, 2 * 20 + 1));
        lit += g > 20;
        dark += g == 0;
    }
    EXPECT_GT(lit, 30);
    EXPECT_GT(dark, 30);
}

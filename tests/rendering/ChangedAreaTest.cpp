// The area where a composite differs from its source, by tiles: the editor paints everything
// outside it from the source, so a differing pixel left out shows the source where a mark is.
#include "rendering/ChangedArea.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace vorlith;

namespace {

// Opaque, every pixel different. 200 × 70: neither side a whole number of tiles.
QImage sourceImage(QImage::Format format = QImage::Format_ARGB32_Premultiplied)
{
    QImage image(200, 70, format);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, (x + y) % 256, (3 * y) % 256));
    return image;
}

QRect tileRect(int column, int row)
{
    const QRect tile(column * ChangedArea::tileWidth, row * ChangedArea::tileHeight, ChangedArea::tileWidth,
                     ChangedArea::tileHeight);
    return tile & QRect(0, 0, 200, 70);
}

} // namespace

TEST(ChangedArea, CoversTheTilesThatDifferAndNothingElse)
{
    struct Case {
        const char* name;
        std::vector<QPoint> changedPixels;
        QRegion expected;
    };
    const Case cases[] = {
        {"nothing changed", {}, QRegion()},
        {"one pixel", {QPoint(100, 40)}, QRegion(tileRect(1, 2))},
        {"the last pixel, in clipped tiles", {QPoint(199, 69)}, QRegion(tileRect(3, 4))},
        {"neighbouring tiles in one row of tiles, and one below", {QPoint(63, 0), QPoint(64, 15), QPoint(10, 16)},
         QRegion(tileRect(0, 0)) + tileRect(1, 0) + tileRect(0, 1)},
        {"the first and last tile of a row", {QPoint(0, 20), QPoint(199, 31)}, QRegion(tileRect(0, 1)) + tileRect(3, 1)},
    };
    const QImage source = sourceImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage changed = source.copy();
        for (const QPoint& pixel : c.changedPixels)
            changed.setPixel(pixel, source.pixel(pixel) ^ 0x00000001);
        const QRegion area = ChangedArea::between(source, changed);
        EXPECT_EQ(area, c.expected);
        for (const QPoint& pixel : c.changedPixels)
            EXPECT_TRUE(area.contains(pixel));
    }
}

TEST(ChangedArea, MarksDrawnOverTheSourceLieInside)
{
    const QImage source = sourceImage();
    QImage composite = source.copy();
    {
        QPainter painter(&composite);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::red, 3));
        painter.drawEllipse(QRectF(4.5, 4.5, 190, 60));
        painter.drawLine(QPointF(150, 5), QPointF(190, 65));
    }
    const QRegion area = ChangedArea::between(source, composite);
    int outside = 0;
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            outside += source.pixel(x, y) != composite.pixel(x, y) && !area.contains(QPoint(x, y));
    EXPECT_EQ(outside, 0);
    // The tiles follow the strokes: the ellipse's middle is left to the source.
    EXPECT_FALSE(area.contains(QPoint(96, 40)));
}

TEST(ChangedArea, ImagesItCannotCompareDifferEverywhere)
{
    const QImage source = sourceImage();
    EXPECT_EQ(ChangedArea::between(source, source.copy(0, 0, 199, 70)), QRegion(0, 0, 199, 70));
    const QImage straight = source.convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(ChangedArea::between(source, straight), QRegion(source.rect()));
    // RGB32 and premultiplied ARGB32 hold an opaque pixel in the same bytes.
    EXPECT_TRUE(ChangedArea::between(source, source.convertToFormat(QImage::Format_RGB32)).isEmpty());
}

// The editor's cursors: hot spots and which way the diagonal arrows run (drawn y-up, so a
// mistake in the flip swaps the two).
#include "app/editor/EditorCursors.h"
#include "support/TestSupport.h"

#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

using namespace vorlith;

namespace {

QImage imageOf(const QCursor& cursor)
{
    QImage image = cursor.pixmap().toImage();
    image.setDevicePixelRatio(cursor.pixmap().devicePixelRatio());
    return image;
}

int alphaAt(const QImage& image, QPoint logical)
{
    const double s = image.devicePixelRatio();
    return qAlpha(image.pixel(QPointF(QPointF(logical) * s).toPoint()));
}

} // namespace

TEST(EditorCursors, HotSpotsAndDirections)
{
    const QCursor& pen = editorCursors::penCursor();
    EXPECT_EQ(pen.hotSpot(), QPoint(5, 21));
    EXPECT_EQ(pen.pixmap().deviceIndependentSize().toSize(), QSize(26, 26));
    EXPECT_EQ(&pen, &editorCursors::penCursor()); // made once

    const QImage penImage = imageOf(pen);
    EXPECT_GT(alphaAt(penImage, {6, 19}), 0);  // near the tip, bottom left
    EXPECT_EQ(alphaAt(penImage, {2, 2}), 0);   // top left stays clear

    const QImage down = imageOf(editorCursors::diagonalDown());
    const QImage up = imageOf(editorCursors::diagonalUp());
    EXPECT_EQ(editorCursors::diagonalDown().hotSpot(), QPoint(12, 12));
    EXPECT_EQ(editorCursors::diagonalUp().hotSpot(), QPoint(12, 12));
    // From top left to bottom right: the heads sit in those corners.
    EXPECT_GT(alphaAt(down, {6, 6}), 200);
    EXPECT_GT(alphaAt(down, {18, 18}), 200);
    EXPECT_EQ(alphaAt(down, {18, 5}), 0);
    // From bottom left to top right.
    EXPECT_GT(alphaAt(up, {6, 18}), 200);
    EXPECT_GT(alphaAt(up, {18, 6}), 200);
    EXPECT_EQ(alphaAt(up, {5, 5}), 0);

    // A sheet of the three, enlarged, to look at.
    QImage sheet(3 * 26 * 8, 26 * 8, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(120, 140, 160));
    QPainter painter(&sheet);
    painter.scale(8, 8);
    painter.drawPixmap(0, 0, pen.pixmap());
    painter.drawPixmap(26, 1, editorCursors::diagonalDown().pixmap());
    painter.drawPixmap(52, 1, editorCursors::diagonalUp().pixmap());
    painter.end();
    test::saveTestImage(sheet, QStringLiteral("editor-cursors"));
}

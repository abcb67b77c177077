#include "app/base/ShadowPainter.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace vorlith;

TEST(ShadowPainter, BlursOnceForEachSizeColourAndScale)
{
    ShadowPainter shadows;
    const ShadowPainter::Shadow soft{QPointF(0, 6), 11, QColor(23, 33, 26, 36)};
    QImage target(300, 120, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < 3; ++i) {
        QPainter painter(&target);
        shadows.paint(painter, QRectF(24, 24, 200, 40), 10, soft);
    }
    EXPECT_EQ(shadows.renders(), 1);
    // Another colour, another size and another pixel ratio each need their own.
    (void)shadows.image(QSizeF(200, 40), 10, {QPointF(0, 1), 2, QColor(23, 33, 26, 18)}, 1);
    (void)shadows.image(QSizeF(201, 40), 10, soft, 1);
    (void)shadows.image(QSizeF(200, 40), 10, soft, 2);
    EXPECT_EQ(shadows.renders(), 4);
    EXPECT_EQ(shadows.cacheSize(), 4);
}

TEST(ShadowPainter, ShadowIsSoftAndFallsWhereItsOffsetPoints)
{
    ShadowPainter shadows;
    QImage target(300, 140, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    {
        QPainter painter(&target);
        shadows.paint(painter, QRectF(50, 30, 200, 40), 10, {QPointF(0, 6), 11, QColor(0, 0, 0, 255)});
    }
    const int x = 150;
    // Under the middle of the shape the shadow is full; it fades over the blur below and above,
    // and more of it lies below (the offset) than above.
    EXPECT_GT(qAlpha(target.pixel(x, 50)), 240);
    const int below = qAlpha(target.pixel(x, 30 + 40 + 6));
    const int above = qAlpha(target.pixel(x, 30 - 6 + 6));
    EXPECT_GT(below, 60);
    EXPECT_LT(below, 200);
    EXPECT_GT(qAlpha(target.pixel(x, 80)), qAlpha(target.pixel(x, 20)));
    EXPECT_GT(above, 10);
    EXPECT_LT(above, below);
    EXPECT_EQ(qAlpha(target.pixel(x, 2)), 0);
    EXPECT_EQ(qAlpha(target.pixel(x, 110)), 0);
}

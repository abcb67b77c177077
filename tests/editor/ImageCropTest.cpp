#include "app/editor/ImageCrop.h"

#include <QColorSpace>

#include <gtest/gtest.h>

using namespace vorlith;

TEST(ImageCrop, SharesThePixelsKeepsTheColourSpaceAndRefusesRectanglesOutside)
{
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    image.setPixelColor(10, 20, QColor(1, 2, 3));
    image.setColorSpace(QColorSpace::SRgb);

    const QImage crop = ImageCrop::shared(image, QRect(10, 20, 30, 10));
    ASSERT_FALSE(crop.isNull());
    EXPECT_EQ(crop.size(), QSize(30, 10));
    EXPECT_EQ(crop.constBits(), image.constBits() + 20 * image.bytesPerLine() + 10 * 4);
    EXPECT_EQ(crop.pixelColor(0, 0), QColor(1, 2, 3));
    EXPECT_EQ(crop.colorSpace(), QColorSpace(QColorSpace::SRgb));

    // The crop keeps its pixels alive on its own; writing to it never reaches the original.
    QImage written = crop;
    image = QImage();
    written.setPixelColor(0, 0, Qt::black);
    EXPECT_EQ(crop.pixelColor(0, 0), QColor(1, 2, 3));

    const QImage source(8, 8, QImage::Format_ARGB32_Premultiplied);
    for (const QRect& outside : {QRect(0, 0, 0, 4), QRect(-1, 0, 4, 4), QRect(4, 4, 5, 4), QRect(8, 0, 1, 1)})
        EXPECT_TRUE(ImageCrop::shared(source, outside).isNull());
}

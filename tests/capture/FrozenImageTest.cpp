#include "app/capture/FrozenImage.h"
#include "app/output/PngEncoder.h"
#include "rendering/Bitmap.h"
#include "support/RenderingFixtures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>

namespace vorlith {
namespace {

using test::noiseImage;

QByteArray png(const QImage& image)
{
    std::optional<QByteArray> bytes = PngEncoder::encode(image);
    EXPECT_TRUE(bytes);
    return bytes.value_or(QByteArray());
}

// A capture frame as the grabber gives it: opaque, sRGB, at 72 dpi.
QImage frameBitmap(QSize size = {61, 37}, unsigned seed = 3)
{
    QImage image = noiseImage(size, seed);
    Bitmap::tag(image);
    return image;
}

TEST(FrozenImage, HeldBitmapIsSharedAndCountedAtItsRowBytes)
{
    const QImage bitmap = frameBitmap();
    const FrozenImage image = bitmap;
    EXPECT_FALSE(image.isCompacted());
    EXPECT_TRUE(image.encoded().isEmpty());
    EXPECT_EQ(image.size(), bitmap.size());
    EXPECT_EQ(image.bitmapBytes(), qint64(bitmap.bytesPerLine()) * bitmap.height());
    EXPECT_EQ(image.pixels().cacheKey(), bitmap.cacheKey()); // no copy

    const FrozenImage empty;
    EXPECT_TRUE(empty.isNull());
    EXPECT_EQ(empty.bitmapBytes(), 0);
    EXPECT_TRUE(empty.pixels().isNull());
}

// The compacted image gives back the very pixels and every property the encoding does not
// carry, counts the full bitmap, and decodes afresh on each call instead of keeping a bitmap.
TEST(FrozenImage, CompactedImageDecodesToTheSameBitmapEveryTime)
{
    QImage translucent = noiseImage({23, 19}, 9);
    translucent.setPixel(4, 4, qRgba(60, 20, 10, 128)); // premultiplied, so each channel <= alpha
    translucent.setPixel(5, 4, qRgba(0, 0, 0, 0));
    translucent.setPixel(6, 4, qRgba(1, 1, 1, 3));
    Bitmap::tag(translucent);
    QImage scaled = frameBitmap({40, 30}, 5);
    scaled.setDevicePixelRatio(2);
    scaled.setDotsPerMeterX(5669);
    scaled.setDotsPerMeterY(3780);

    for (const QImage& bitmap : {frameBitmap(), translucent, scaled}) {
        SCOPED_TRACE(bitmap.width());
        const std::optional<FrozenImage> image = FrozenImage::compacted(png(bitmap), bitmap);
        ASSERT_TRUE(image);
        EXPECT_TRUE(image->isCompacted());
        EXPECT_FALSE(image->encoded().isEmpty());
        EXPECT_EQ(image->size(), bitmap.size());
        EXPECT_EQ(image->bytesPerLine(), bitmap.bytesPerLine());
        EXPECT_EQ(image->bitmapBytes(), qint64(bitmap.bytesPerLine()) * bitmap.height());

        const QImage first = image->pixels();
        const QImage second = image->pixels();
        EXPECT_EQ(first, bitmap);
        EXPECT_EQ(first.format(), bitmap.format());
        EXPECT_EQ(first.colorSpace(), bitmap.colorSpace());
        EXPECT_EQ(first.dotsPerMeterX(), bitmap.dotsPerMeterX());
        EXPECT_EQ(first.dotsPerMeterY(), bitmap.dotsPerMeterY());
        EXPECT_EQ(first.devicePixelRatio(), bitmap.devicePixelRatio());
        EXPECT_EQ(second, bitmap);
        EXPECT_NE(first.cacheKey(), second.cacheKey()) << "decoded once and kept";

        // Copies share the encoding.
        const FrozenImage copy = *image;
        EXPECT_EQ(copy.encoded().constData(), image->encoded().constData());
    }
}

// An encoding is taken only when it decodes to exactly the bitmap: anything else would make
// a reopened capture show another picture, or fail.
TEST(FrozenImage, EncodingThatDoesNotGiveBackTheBitmapIsRefused)
{
    const QImage bitmap = frameBitmap();
    QImage oneOff = bitmap.copy();
    oneOff.setPixel(60, 36, oneOff.pixel(60, 36) ^ 0x1);
    QByteArray truncated = png(bitmap);
    truncated.chop(truncated.size() / 2);
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "jpeg").write(bitmap);
    }

    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"empty", QByteArray()},
        {"not an image", QByteArray("\x89PNG\r\n\x1a\n but nothing else", 25)},
        {"truncated", truncated},
        {"one pixel differs", png(oneOff)},
        {"another size", png(frameBitmap({60, 37}))},
        {"lossy", jpeg},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(FrozenImage::compacted(c.data, bitmap)) << c.name;
    EXPECT_FALSE(FrozenImage::compacted(png(bitmap), QImage())) << "no bitmap";
}

} // namespace
} // namespace vorlith

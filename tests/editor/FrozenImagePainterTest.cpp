#include "app/editor/FrozenImagePainter.h"
#include "rendering/Bitmap.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace vorlith;

namespace {

// An opaque picture with a different colour in every pixel of a 7-pixel period.
QImage frozenScreen(int width, int height)
{
    QImage image = Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 37) % 256, (y * 53) % 256, ((x + y) * 11) % 256));
    return image;
}

} // namespace

// The frozen pixels arrive unchanged in an opaque window's backing store (RGB32 on X11), at
// scale 1 and 2, whole or in part, and the frozen image itself is neither copied nor touched.
TEST(FrozenImagePainter, CopiesThePixelsWithoutTouchingTheImage)
{
    struct Case {
        double scale;
        QRect exposed; // logical
    };
    for (const Case c : {Case{1, QRect(0, 0, 60, 40)}, Case{1, QRect(10, 5, 20, 15)}, Case{2, QRect(0, 0, 30, 20)},
                         Case{2, QRect(7, 3, 11, 9)}}) {
        SCOPED_TRACE(testing::Message() << "scale " << c.scale << " exposed " << c.exposed.x() << "," << c.exposed.y());
        const QImage frozen = frozenScreen(60, 40);
        const uchar* bits = frozen.constBits();
        const qint64 key = frozen.cacheKey();
        FrozenImagePainter painter(frozen, c.scale);
        EXPECT_EQ(painter.image().constBits(), bits);

        QImage store(60, 40, QImage::Format_RGB32); // the backing store of an opaque window
        store.fill(Qt::black);
        store.setDevicePixelRatio(c.scale);
        {
            QPainter p(&store);
            painter.paint(p, c.exposed);
        }
        const QRect pixels(QPoint(int(c.exposed.x() * c.scale), int(c.exposed.y() * c.scale)),
                           QSize(int(c.exposed.width() * c.scale), int(c.exposed.height() * c.scale)));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) {
                const QRgb expected = pixels.contains(x, y) ? frozen.pixel(x, y) : qRgb(0, 0, 0);
                ASSERT_EQ(store.pixel(x, y) | 0xff000000u, expected | 0xff000000u) << "at " << x << "," << y;
            }
        EXPECT_EQ(frozen.constBits(), bits) << "the frozen image was detached";
        EXPECT_EQ(frozen.cacheKey(), key);
    }
}

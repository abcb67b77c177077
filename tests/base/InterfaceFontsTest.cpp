#include "app/base/InterfaceFonts.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace vorlith;

TEST(InterfaceFonts, LatinInInterAndChineseInNotoAtPixelSizes)
{
    ASSERT_TRUE(InterfaceFonts::available()) << "fonts-inter and fonts-noto-cjk are installed by scripts/install-deps";
    struct Case {
        double size;
        InterfaceFonts::Weight weight;
        QFont::Weight qt;
    };
    const Case cases[] = {
        {12, InterfaceFonts::Weight::regular, QFont::Normal},
        {11, InterfaceFonts::Weight::medium, QFont::Medium},
        {13, InterfaceFonts::Weight::semibold, QFont::DemiBold},
    };
    for (const Case& c : cases) {
        const QFont font = InterfaceFonts::system(c.size, c.weight);
        EXPECT_EQ(font.pixelSize(), int(c.size));
        EXPECT_EQ(font.weight(), c.qt);
        EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Inter"));
        EXPECT_EQ(font.families().value(1), QStringLiteral("Noto Sans CJK SC"));
    }
    // Han glyphs are drawn, not boxes: the Chinese family has them.
    const QFontMetricsF metrics(InterfaceFonts::system(12));
    EXPECT_TRUE(metrics.inFont(QChar(0x590D))); // 复 (through the family list)
}

TEST(InterfaceFonts, MonospacedDigitsTakeEqualAdvances)
{
    const QFont font = InterfaceFonts::system(12, InterfaceFonts::Weight::medium);
    const double advance = InterfaceFonts::digitAdvance(font);
    EXPECT_GT(advance, 0);
    EXPECT_DOUBLE_EQ(InterfaceFonts::monospacedDigitWidth(QStringLiteral("111"), font),
                     InterfaceFonts::monospacedDigitWidth(QStringLiteral("808"), font));
    EXPECT_DOUBLE_EQ(InterfaceFonts::monospacedDigitWidth(QStringLiteral("100%"), font),
                     3 * advance + QFontMetricsF(font).horizontalAdvance(QLatin1Char('%')));
    QImage image(80, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    InterfaceFonts::drawMonospacedDigits(painter, QPointF(2, 15), QStringLiteral("29%"), font);
    painter.end();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(ink, 10);
}

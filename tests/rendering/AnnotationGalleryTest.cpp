// Renders every mark kind at the scales displays use, for a person to look at, and checks
// that each scale puts the same marks in the same places.
#include "support/RenderingFixtures.h"
#include "rendering/AnnotationRenderer.h"
#include "support/TestSupport.h"

#include <QLinearGradient>
#include <QPainter>

#include <map>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using Kind = Annotation::Kind;

namespace {

const Size galleryLogicalSize{760, 520};

// A busy "screenshot": a gradient, a checkerboard and a few bars, so that the mosaic and the
// translucent highlight have something to work on.
QImage galleryBackground(double scale)
{
    const QSize pixels(int(galleryLogicalSize.width * scale), int(galleryLogicalSize.height * scale));
    QImage image = Bitmap::create(pixels.width(), pixels.height());
    QPainter painter(&image);
    painter.scale(scale, scale);
    QLinearGradient gradient(0, 0, galleryLogicalSize.width, galleryLogicalSize.height);
    gradient.setColorAt(0, QColor(236, 240, 244));
    gradient.setColorAt(1, QColor(200, 214, 230));
    painter.fillRect(QRectF(0, 0, galleryLogicalSize.width, galleryLogicalSize.height), gradient);
    for (int row = 0; row < 10; ++row)
        for (int col = 0; col < 14; ++col)
            painter.fillRect(QRectF(480 + col * 12, 340 + row * 12, 12, 12),
                             (row + col) % 2 ? QColor(40, 90, 160) : QColor(250, 200, 60));
    for (int i = 0; i < 6; ++i)
        painter.fillRect(QRectF(40, 300 + i * 22, 120 + 40 * (i % 3), 12), QColor(90, 100, 110));
    painter.end();
    return image;
}

std::vector<Annotation> galleryMarks()
{
    const RGBA blue{0.1, 0.4, 0.95, 1};
    const RGBA green{0.1, 0.7, 0.3, 1};
    std::vector<Annotation> marks;
    marks.push_back(mark(Kind::roundedRectangle, {{20, 20}, {200, 120}}));
    marks.push_back(mark(Kind::roundedRectangle, {{30, 140}, {130, 160}}, markStyle(green, 3)));
    marks.push_back(mark(Kind::ellipse, {{220, 20}, {400, 120}}, markStyle(blue, 4)));
    // Lines and arrows at several widths, in several directions.
    const double widths[] = {1, 2, 4, 8, 16};
    for (int i = 0; i < 5; ++i) {
        const double y = 150 + i * 28;
        marks.push_back(mark(Kind::line, {{220, y}, {330, y + 14}}, markStyle(RGBA::Red, widths[i])));
        marks.push_back(mark(Kind::arrow, {{350, y + 14}, {470, y}}, markStyle(blue, widths[i])));
    }
    marks.push_back(mark(Kind::arrow, {{700, 40}, {620, 130}}, markStyle(RGBA::Red, 3)));
    marks.push_back(mark(Kind::arrow, {{560, 140}, {560, 60}}, markStyle(green, 6)));
    marks.push_back(mark(Kind::pen, {{420, 30}, {440, 60}, {460, 35}, {480, 70}, {500, 40}, {520, 90}},
                         markStyle(green, 5)));
    marks.push_back(mark(Kind::pen, {{600, 20}}, markStyle(RGBA::Red, 12)));
    // A stroke dragged back to where it began: a dot like the one-point pen beside it.
    marks.push_back(mark(Kind::line, {{630, 20}, {630, 20}}, markStyle(blue, 12)));
    marks.push_back(mark(Kind::highlight, {{36, 296}, {250, 340}}, markStyle(RGBA::Yellow)));
    marks.push_back(mark(Kind::mosaic, {{470, 330}, {660, 470}}));
    marks.push_back(textMark(QStringLiteral("截图标注：中文与 Latin"), {20, 180}, 20));
    marks.push_back(textMark(QStringLiteral("Hello, Vorlith!"), {20, 225}, 28, blue));
    marks.push_back(textMark(QStringLiteral("第一行 first line\r\nSecond 第二行\r第三行 third"), {200, 320}, 18,
                             RGBA{1, 1, 1, 1}, RGBA{0.12, 0.15, 0.2, 0.85}));
    marks.push_back(textMark(QStringLiteral("大字 72"), {20, 400}, 72, RGBA::Red, RGBA{1, 1, 1, 0.9}));
    marks.push_back(marker(1, {600, 210}, 32));
    marks.push_back(marker(7, {650, 210}, 40, RGBA{1, 1, 1, 1}));
    marks.push_back(marker(42, {705, 210}, 44, RGBA{1, 1, 0, 1}));
    marks.push_back(marker(100, {620, 270}, 48));
    marks.push_back(marker(999, {690, 275}, 60, blue));
    return marks;
}

} // namespace

TEST(AnnotationGallery, RendersEveryKindAtEachScale)
{
    const std::vector<Annotation> marks = galleryMarks();
    std::map<Kind, int> kinds;
    for (const Annotation& m : marks)
        ++kinds[m.kind];
    ASSERT_EQ(kinds.size(), Annotation::allKinds.size());

    for (const double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        const QImage source = galleryBackground(scale);
        const QImage result = AnnotationRenderer::render(source, galleryLogicalSize, marks);
        ASSERT_EQ(result.size(), source.size());
        saveTestImage(result, QStringLiteral("gallery_scale%1").arg(QString::number(scale).replace('.', '_')));
        // Every mark left ink where it stands, at every scale.
        for (const Annotation& m : marks) {
            const Rect box = AnnotationRenderer::rasterBox(m).value_or(m.bounds()).insetBy(-1, -1);
            const QRect pixels = *AnnotationRenderer::pixelBox(box, scale, scale, source.size());
            EXPECT_FALSE(changedPixels(result.copy(pixels), source.copy(pixels)).isEmpty())
                << Annotation::kindName(m.kind);
        }
    }
}

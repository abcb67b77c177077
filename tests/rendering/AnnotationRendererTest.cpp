#include "support/RenderingFixtures.h"
#include "core/CancellationError.h"
#include "rendering/AnnotationRenderer.h"
#include "rendering/FontFactory.h"
#include "rendering/Mosaic.h"
#include "support/TestSupport.h"

#include <QFontInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

using namespace vorlith;
using namespace vorlith::test;
using Kind = Annotation::Kind;

namespace {

const double infinity = std::numeric_limits<double>::infinity();
const double notANumber = std::numeric_limits<double>::quiet_NaN();

// Renders marks over a white image of the logical size times the scale.
QImage renderOnWhite(Size logical, double scale, const std::vector<Annotation>& marks)
{
    const QImage source = solidImage(QSize(int(logical.width * scale), int(logical.height * scale)));
    return AnnotationRenderer::render(source, logical, marks);
}

QRect inkOnWhite(const QImage& image)
{
    return pixelsWhere(image, [](QRgb p) { return p != qRgba(255, 255, 255, 255); });
}

AnnotationRenderError::Reason renderError(const QImage& source, Size logical, const std::vector<Annotation>& marks)
{
    try {
        AnnotationRenderer::prepare(source, logical, marks);
    } catch (const AnnotationRenderError& error) {
        return error.reason();
    }
    ADD_FAILURE() << "prepare did not fail";
    return AnnotationRenderError::imageFailed;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Text layout

TEST(AnnotationRendererText, NormalizesEveryLineBreakToALineFeed)
{
    const struct {
        QString text;
        QString expected;
    } cases[] = {
        {QStringLiteral("a\r\nb\rc"), QStringLiteral("a\nb\nc")},
        {QStringLiteral("\r\r\n\n"), QStringLiteral("\n\n\n")},
        {QStringLiteral("\n\r"), QStringLiteral("\n\n")},
        {QStringLiteral("无换行"), QStringLiteral("无换行")},
        {QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AnnotationRenderer::normalizedNewlines(c.text), c.expected) << c.text.toStdString();
}

TEST(AnnotationRendererText, BoxHeightCountsNormalizedLinesAtTheClampedSize)
{
    const struct {
        QString text;
        double fontSize;
        double height;
    } cases[] = {
        {QStringLiteral("a\r\nb\rc"), 28, 38 * 3 + 8}, // ceil(1.35 × 28) = 38 per line
        {QString(), 28, 38 + 8},                        // an empty text is one empty line
        {QStringLiteral("ab\n"), 28, 38 * 2 + 8},       // a trailing line feed starts a line
        {QStringLiteral("x"), 8, 17 + 8},               // measured at 12: ceil(16.2)
        {QStringLiteral("x"), 100, 98 + 8},             // measured at 72: ceil(97.2)
        {QStringLiteral("x"), notANumber, 17 + 8},
    };
    for (const auto& c : cases) {
        const Rect box = AnnotationRenderer::textBounds(c.text, {3, 4}, c.fontSize);
        EXPECT_EQ(box.origin, (Point{3, 4})) << c.text.toStdString();
        EXPECT_EQ(box.size.height, c.height) << c.text.toStdString() << " at " << c.fontSize;
    }
}

TEST(AnnotationRendererText, BoxWidthIsTheWidestLinePlusPadding)
{
    const Rect empty = AnnotationRenderer::textBounds(QString(), {0, 0}, 28);
    EXPECT_EQ(empty.size.width, 12);
    const Rect longLine = AnnotationRenderer::textBounds(QStringLiteral("中文标注 Latin"), {0, 0}, 28);
    const Rect twoLines = AnnotationRenderer::textBounds(QStringLiteral("ab\r\n中文标注 Latin"), {0, 0}, 28);
    EXPECT_EQ(twoLines.size.width, longLine.size.width);
    EXPECT_EQ(longLine.size.width, std::ceil(longLine.size.width));
    // Sizes are logical pixels: doubling the size doubles the text's width, and a Han glyph
    // is about one em wide (a 96-dpi point conversion would make it 4/3 em).
    const Rect han = AnnotationRenderer::textBounds(QStringLiteral("中中中中中中中中中中"), {0, 0}, 20);
    const Rect hanDouble = AnnotationRenderer::textBounds(QStringLiteral("中中中中中中中中中中"), {0, 0}, 40);
    EXPECT_NEAR(han.size.width - 12, 200, 2);
    EXPECT_NEAR(hanDouble.size.width - 12, 400, 2);
    // Below and above the limits the text measures as at 12 and 72.
    EXPECT_EQ(AnnotationRenderer::textBounds(QStringLiteral("Wide text"), {0, 0}, 8),
              AnnotationRenderer::textBounds(QStringLiteral("Wide text"), {0, 0}, 12));
    EXPECT_EQ(AnnotationRenderer::textBounds(QStringLiteral("Wide text"), {0, 0}, 100),
              AnnotationRenderer::textBounds(QStringLiteral("Wide text"), {0, 0}, 72));
}

TEST(AnnotationRendererText, IsTheMeasureMarksResizeWith)
{
    const Annotation text = textMark(QStringLiteral("第一行\n2"), {10, 10}, 20);
    const Annotation resized = text.resized(Rect(50, 60, 400, 400), &AnnotationRenderer::textBounds);
    const Rect box = AnnotationRenderer::textBounds(text.text, {50, 60}, resized.style.fontSize);
    ASSERT_EQ(resized.points.size(), 2u);
    EXPECT_EQ(resized.points[0], box.origin);
    EXPECT_EQ(resized.points[1], (Point{box.maxX(), box.maxY()}));
}

TEST(AnnotationRendererText, FontsGiveTheSamePixelSizeOnEveryDevice)
{
    // The editor measures on its widget (96 dpi here); the renderer on 72-dpi bitmaps.
    const QFont onBitmap = FontFactory::textFont(28, 72);
    const QFont onWidget = FontFactory::textFont(28, 96);
    QImage widgetLike(1, 1, Bitmap::format);
    widgetLike.setDotsPerMeterX(int(std::lround(96 / 0.0254)));
    widgetLike.setDotsPerMeterY(int(std::lround(96 / 0.0254)));
    const QString sample = QStringLiteral("截图 Screenshot 123");
    EXPECT_NEAR(FontFactory::designMetrics(onBitmap).horizontalAdvance(sample),
                QFontMetricsF(onWidget, &widgetLike).horizontalAdvance(sample), 0.01);
    EXPECT_EQ(onBitmap.family(), QStringLiteral("WenQuanYi Micro Hei"));
    EXPECT_EQ(FontFactory::markerFont(20, 72).family(), QStringLiteral("Inter"));
    EXPECT_EQ(FontFactory::markerFont(20, 72).weight(), QFont::DemiBold);
    // The face that draws them is a real semibold one, not Bold standing in for it.
    const QFontInfo marker(FontFactory::markerFont(20, 72));
    EXPECT_EQ(marker.family(), QStringLiteral("Inter"));
    EXPECT_TRUE(marker.styleName().contains(QStringLiteral("Semi"))) << marker.styleName().toStdString();
}

// ---------------------------------------------------------------------------------------------
// Preparation

TEST(AnnotationRendererPrepare, RefusesSizesThatCannotBeDrawn)
{
    const QImage source = solidImage(QSize(100, 100));
    for (const Size size : {Size{0, 100}, Size{100, 0}, Size{-5, 100}, Size{notANumber, 100}, Size{100, infinity},
                            Size{1e-320, 100}}) {
        EXPECT_EQ(renderError(source, size, {}), AnnotationRenderError::invalidSize)
            << size.width << " x " << size.height;
    }
}

TEST(AnnotationRendererPrepare, RefusesMarksTheContentRulesRefuse)
{
    const QImage source = solidImage(QSize(100, 100));
    Annotation notSquare = marker(3, {50, 50}, 20);
    notSquare.points[1].y += 1;
    Annotation threePoints = marker(3, {50, 50}, 20);
    threePoints.points.push_back({1, 1});
    Annotation numberZero = marker(3, {50, 50}, 20);
    numberZero.number = 0;
    AnnotationStyle nanWidth = markStyle();
    nanWidth.width = notANumber;
    const std::vector<Annotation> invalid[] = {
        {mark(Kind::line, {{0, 0}, {notANumber, 4}})},
        {mark(Kind::line, {{0, 0}, {3, 4}}, nanWidth)},
        {textMark(QStringLiteral("ok"), {1, 1}), notSquare},
        {threePoints},
        {numberZero},
    };
    for (const auto& marks : invalid)
        EXPECT_EQ(renderError(source, {100, 100}, marks), AnnotationRenderError::invalidAnnotation);
}

TEST(AnnotationRendererPrepare, RastersOnlyVisibleTextAndMarkersAtTheirClippedPixelBoxes)
{
    // 150 × 120 pixels for 100 × 80 points: the scale is 1.5 on both axes.
    const QImage source = solidImage(QSize(150, 120));
    const Annotation inside = textMark(QStringLiteral("中文"), {10, 10}, 20);
    const Annotation rightEdge = textMark(QStringLiteral("leaves the image"), {80, 10}, 20);
    const Annotation outside = textMark(QStringLiteral("outside"), {120, 10}, 20);
    const Annotation badge = marker(5, {50.3, 50.3}, 20);
    const Annotation badgeOutside = marker(6, {-30, 50}, 20);
    const Annotation line = mark(Kind::line, {{0, 0}, {10, 10}});
    const auto prepared = AnnotationRenderer::prepare(source, {100, 80},
                                                      {inside, rightEdge, outside, badge, badgeOutside, line});
    EXPECT_EQ(prepared.texts.size(), 3);
    ASSERT_TRUE(prepared.texts.contains(inside.id));
    ASSERT_TRUE(prepared.texts.contains(rightEdge.id));
    ASSERT_TRUE(prepared.texts.contains(badge.id));

    const Rect insideBox = AnnotationRenderer::textBounds(inside.text, {10, 10}, 20);
    const auto& insideText = prepared.texts[inside.id];
    EXPECT_EQ(insideText.image.size(), QSize(int(std::ceil(1.5 * insideBox.maxX())) - 15,
                                             int(std::ceil(1.5 * insideBox.maxY())) - 15));
    EXPECT_EQ(insideText.rect.origin, (Point{10, 10}));
    EXPECT_DOUBLE_EQ(insideText.rect.size.width, insideText.image.width() / 1.5);

    // Clipped at the image's right edge: from pixel 120 to 150.
    EXPECT_EQ(prepared.texts[rightEdge.id].image.width(), 30);
    // The marker box 40.3...60.3 covers pixels floor(60.45) = 60 to ceil(90.45) = 91.
    EXPECT_EQ(prepared.texts[badge.id].image.size(), QSize(31, 31));
    EXPECT_DOUBLE_EQ(prepared.texts[badge.id].rect.minX(), 40);
}

// ---------------------------------------------------------------------------------------------
// Compositing

TEST(AnnotationRendererComposite, WithoutMarksCopiesTheSourceIntoANewBitmap)
{
    const QImage source = noiseImage(QSize(64, 48));
    const QImage result = AnnotationRenderer::render(source, {32, 24}, {});
    EXPECT_EQ(result, source);
    EXPECT_NE(result.constBits(), source.constBits());
    EXPECT_EQ(result.format(), Bitmap::format);

    // Another format, and a device pixel ratio, change nothing about the pixels.
    QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    rgb.setDevicePixelRatio(2);
    const QImage fromRgb = AnnotationRenderer::render(rgb, {32, 24}, {});
    EXPECT_EQ(fromRgb.size(), QSize(64, 48));
    EXPECT_EQ(fromRgb.format(), Bitmap::format);
    EXPECT_EQ(fromRgb.devicePixelRatio(), 1);
    EXPECT_TRUE(changedPixels(fromRgb, source).isEmpty());
}

TEST(AnnotationRendererComposite, StrokesWithoutLengthAreDotsAsWideAsTheClampedLine)
{
    const struct {
        Kind kind;
        double width;
        double diameter;
    } cases[] = {
        {Kind::line, 6, 6}, {Kind::pen, 10, 10}, {Kind::arrow, 6, 6}, {Kind::pen, 0.2, 0.5}, {Kind::line, 250, 100},
    };
    const RGBA black{0, 0, 0, 1};
    // A stroke whose points all coincide (a drawing drag that ends where it began: the editor
    // starts every stroke as [p, p]) has no length, and its round caps make the same dot.
    for (const size_t count : {1u, 2u, 3u}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << Annotation::kindName(c.kind) << " width " << c.width << ", "
                                            << count << " points");
            // Scale 2: the dot is 2 × diameter pixels across.
            const std::vector<Point> points(count, Point{100, 100});
            const QImage image = renderOnWhite({200, 200}, 2, {mark(c.kind, points, markStyle(black, c.width))});
            const QRect ink = inkOnWhite(image);
            ASSERT_FALSE(ink.isEmpty());
            EXPECT_NEAR(ink.width(), 2 * c.diameter, 1.5);
            EXPECT_NEAR(ink.height(), 2 * c.diameter, 1.5);
            EXPECT_NEAR(ink.center().x(), 200, 1.5);
            EXPECT_NEAR(ink.center().y(), 200, 1.5);
        }
    }
}

TEST(AnnotationRendererComposite, ArrowHeadsFollowTheLineWidthUpToThreeFifthsOfTheLastSegment)
{
    // A horizontal arrow pointing right: the head's arms reach h × sin(0.5) above and below
    // the shaft, plus half the line width for the round caps.
    const struct {
        double segment;
        double width;
        double head;
    } cases[] = {{5, 4, 3}, {100, 1, 10}, {100, 8, 32}, {100, 2, 10}};
    const RGBA black{0, 0, 0, 1};
    for (const auto& c : cases) {
        const double scale = 4;
        const Point tip{150, 100};
        const QImage image = renderOnWhite(
            {200, 200}, scale,
            {mark(Kind::arrow, {{20, 100}, {tip.x - c.segment, 100}, tip}, markStyle(black, c.width))});
        const QRect ink = inkOnWhite(image);
        const double reach = c.head * std::sin(0.5) + c.width / 2;
        SCOPED_TRACE(testing::Message() << "segment " << c.segment << " width " << c.width);
        EXPECT_NEAR((ink.bottom() + 1) / scale - tip.y, reach, 0.5);
        EXPECT_NEAR(tip.y - ink.top() / scale, reach, 0.5);
        // The arms end h × cos(0.5) behind the tip: sample the lower arm's far end.
        const QPointF armEnd(tip.x - c.head * std::cos(0.5), tip.y + c.head * std::sin(0.5));
        EXPECT_NE(image.pixel(int(armEnd.x() * scale), int(armEnd.y() * scale) - 1), qRgb(255, 255, 255));
        // The tip is rounded by the cap, no further than half a line beyond it.
        EXPECT_NEAR((ink.right() + 1) / scale, tip.x + c.width / 2, 0.5);
    }
}

TEST(AnnotationRendererComposite, ClampsLineWidthsAndColours)
{
    // A width of 250 draws at 100, a width of 0.2 at 0.5; components outside 0...1 are clamped.
    const QImage wide = renderOnWhite({300, 300}, 1, {mark(Kind::line, {{20, 150}, {280, 150}}, markStyle({2, -1, 0.5, 3}, 250))});
    const QRect ink = inkOnWhite(wide);
    EXPECT_NEAR(ink.height(), 100, 1.5);
    EXPECT_TRUE(sameColor(wide.pixel(150, 150), QColor(255, 0, 128)));

    const QImage thin = renderOnWhite({100, 100}, 4, {mark(Kind::line, {{10, 50}, {90, 50}}, markStyle({0, 0, 0, 1}, 0.2))});
    EXPECT_NEAR(inkOnWhite(thin).height(), 2, 1.1); // 0.5 points at scale 4
}

TEST(AnnotationRendererComposite, RoundedRectangleCornersFollowTheShorterSide)
{
    // Radius min(0.25 × shorter side, 10): 5 for 100 × 20, 10 for 100 × 60. Sampled at scale 4
    // with a thin line: the arc's 45° point is inked, the box corner is not.
    const double scale = 4;
    const RGBA black{0, 0, 0, 1};
    const auto inkedAt = [&](const QImage& image, double x, double y) {
        return qRed(image.pixel(int(x * scale), int(y * scale))) < 128;
    };
    const double offset5 = 5 * (1 - std::sqrt(0.5));   // 1.46
    const double offset10 = 10 * (1 - std::sqrt(0.5)); // 2.93

    const QImage small = renderOnWhite({200, 100}, scale, {mark(Kind::roundedRectangle, {{20, 20}, {120, 40}}, markStyle(black, 0.5))});
    EXPECT_TRUE(inkedAt(small, 20 + offset5, 20 + offset5));
    EXPECT_FALSE(inkedAt(small, 20.2, 20.2));
    EXPECT_FALSE(inkedAt(small, 20 + offset10, 20 + offset10));

    const QImage large = renderOnWhite({200, 100}, scale, {mark(Kind::roundedRectangle, {{20, 20}, {120, 80}}, markStyle(black, 0.5))});
    EXPECT_TRUE(inkedAt(large, 20 + offset10, 20 + offset10));
    EXPECT_FALSE(inkedAt(large, 20 + offset5, 20 + offset5));
    // Straight sides between the corners.
    EXPECT_TRUE(inkedAt(large, 70, 20));
    EXPECT_TRUE(inkedAt(large, 120, 50));

    // An ellipse touches the middle of each side and leaves the corners.
    const QImage ellipse = renderOnWhite({200, 100}, scale, {mark(Kind::ellipse, {{20, 20}, {120, 80}}, markStyle(black, 1))});
    EXPECT_TRUE(inkedAt(ellipse, 119.9, 50));
    EXPECT_TRUE(inkedAt(ellipse, 70, 20.1));
    EXPECT_FALSE(inkedAt(ellipse, 22, 22));
}

TEST(AnnotationRendererComposite, OpacityMultipliesOnlyTheHighlightsAlpha)
{
    const RGBA red{1, 0, 0, 1};
    const struct {
        RGBA color;
        double opacity;
        QColor expected;
    } cases[] = {
        {red, 0.35, QColor(255, 166, 166)},                        // alpha 0.35 over white
        {{1, 0, 0, 0.5}, 0.5, QColor(255, 191, 191)},              // 0.25
        {{1, 0, 0, 2}, 0.8, QColor(255, 0, 0)},                    // stored alpha × opacity = 1.6, clamped to 1
        {red, -1, QColor(255, 255, 255)},                          // clamped to 0
    };
    for (const auto& c : cases) {
        AnnotationStyle style = markStyle(c.color);
        style.opacity = c.opacity;
        const QImage image = renderOnWhite({100, 100}, 1, {mark(Kind::highlight, {{10, 10}, {90, 90}}, style)});
        EXPECT_TRUE(sameColor(image.pixel(50, 50), c.expected, 2))
            << "opacity " << c.opacity << ": " << std::hex << image.pixel(50, 50);
    }
    // Other kinds ignore the opacity.
    AnnotationStyle faint = markStyle(red, 6);
    faint.opacity = 0.1;
    const QImage line = renderOnWhite({100, 100}, 1, {mark(Kind::line, {{10, 50}, {90, 50}}, faint)});
    EXPECT_TRUE(sameColor(line.pixel(50, 50), QColor(255, 0, 0)));
}

// ---------------------------------------------------------------------------------------------
// Numbered markers

TEST(AnnotationRendererMarker, DigitColourFollowsTheBadgesStoredLuminance)
{
    const struct {
        RGBA badge;
        bool darkDigits;
    } cases[] = {
        {{1, 1, 1, 1}, true},  // white
        {{1, 1, 0, 1}, true},  // yellow: L = 225.93
        {RGBA::Red, false},    // the default red: L ≈ 116.35
        {{0.1, 0.4, 0.95, 1}, false},
        {{0.63, 0.63, 0.63, 1}, true},  // L = 160.65
        {{0.62, 0.62, 0.62, 1}, false}, // L = 158.1
        {{1.3, 0.4, 0.4, 1}, true},     // stored L = 170.6; clamped it would be 147.7
    };
    for (const auto& c : cases) {
        const QImage image = renderOnWhite({100, 100}, 2, {marker(8, {50, 50}, 60, c.badge)});
        const QImage middle = image.copy(QRect(70, 70, 60, 60));
        const bool hasDark = !pixelsWhere(middle, [](QRgb p) { return sameColor(p, QColor(17, 24, 39), 3); }).isEmpty();
        const bool hasWhite = !pixelsWhere(middle, [](QRgb p) { return sameColor(p, QColor(255, 255, 255), 3); }).isEmpty();
        EXPECT_EQ(hasDark, c.darkDigits) << c.badge.red << "," << c.badge.green << "," << c.badge.blue;
        if (!c.darkDigits) {
            EXPECT_TRUE(hasWhite);
        }
    }
}

TEST(AnnotationRendererMarker, DigitSizeShrinksWithTheNumberOfDigitsAndStaysCentred)
{
    // DejaVu digits stand 0.729 em tall; the em is f × the badge width.
    const struct {
        int number;
        double factor;
    } cases[] = {{7, 0.58}, {42, 0.48}, {100, 0.38}};
    for (const auto& c : cases) {
        const double width = 100;
        // White digits on a red badge on black: only the digits are bright in green.
        const QImage image = AnnotationRenderer::render(solidImage(QSize(200, 200), Qt::black), {200, 200},
                                                        {marker(c.number, {100, 100}, width, RGBA::Red)});
        const QRect digits = pixelsWhere(image, [](QRgb p) { return qGreen(p) > 160; });
        SCOPED_TRACE(c.number);
        EXPECT_NEAR(digits.height(), 0.729 * c.factor * width, 2.5);
        EXPECT_NEAR(digits.center().x() + 0.5, 100, 2.5);
        EXPECT_NEAR(digits.center().y() + 0.5, 100, 2.5);
    }
}

// ---------------------------------------------------------------------------------------------
// Text marks

TEST(AnnotationRendererTextMark, InkStaysInsideTheMeasuredBoxAndFillsIt)
{
    const struct {
        QString text;
        double fontSize;
    } cases[] = {
        {QStringLiteral("中文截图标注"), 28},
        {QStringLiteral("gjpqy Wolf"), 28},
        {QStringLiteral("第一行 first\r\nsecond 第二行\rthird"), 18},
        {QStringLiteral("大字 72"), 72},
        {QStringLiteral("小"), 8},
    };
    const RGBA black{0, 0, 0, 1};
    for (const auto& c : cases) {
        for (const double scale : {1.0, 1.5, 2.0}) {
            SCOPED_TRACE(testing::Message() << c.text.toStdString() << " at scale " << scale);
            const Point at{13.3, 17.6};
            const QImage image = renderOnWhite({500, 400}, scale, {textMark(c.text, at, c.fontSize, black)});
            const Rect box = AnnotationRenderer::textBounds(c.text, at, c.fontSize);
            const QRect inner = *AnnotationRenderer::pixelBox(box.insetBy(6, 4), scale, scale, image.size());
            const QRect outer = *AnnotationRenderer::pixelBox(box, scale, scale, image.size());
            const QRect ink = inkOnWhite(image);
            ASSERT_FALSE(ink.isEmpty());
            // Glyphs may reach into the insets (side bearings), never past the box.
            EXPECT_TRUE(outer.contains(ink)) << "ink " << ink.x() << "," << ink.y() << " " << ink.width() << "x"
                                             << ink.height() << " box " << outer.x() << "," << outer.y() << " "
                                             << outer.width() << "x" << outer.height();
            // The text reaches the measured width: the box is not sized with another font.
            const double size = FontFactory::textSize(c.fontSize);
            EXPECT_GT(ink.right() + 1, inner.right() + 1 - 0.2 * size * scale);
            // Each line is drawn in its own slot.
            const int lines = int(AnnotationRenderer::normalizedNewlines(c.text).count('\n')) + 1;
            const double lineHeight = std::ceil(size * 1.35);
            for (int i = 0; i < lines; ++i) {
                const Rect slot(box.minX() + 6, box.minY() + 4 + i * lineHeight, box.width() - 12, lineHeight);
                const QRect slotPixels = *AnnotationRenderer::pixelBox(slot, scale, scale, image.size());
                EXPECT_FALSE(inkOnWhite(image.copy(slotPixels)).isEmpty()) << "line " << i;
            }
        }
    }
}

TEST(AnnotationRendererTextMark, GlyphsReachingPastTheirAdvanceAreDrawnWhole)
{
    // A leading "j" hangs left of its origin and a trailing "f" right of its advance.
    const RGBA black{0, 0, 0, 1};
    for (const double fontSize : {28.0, 72.0}) {
        SCOPED_TRACE(fontSize);
        const QImage image = renderOnWhite({400, 200}, 1.0, {textMark(QStringLiteral("jf"), {40, 20}, fontSize, black)});
        const QRect ink = inkOnWhite(image);
        const QFont font = FontFactory::textFont(FontFactory::textSize(fontSize), Bitmap::designDpi);
        const QRectF glyphs = FontFactory::designMetrics(font).tightBoundingRect(QStringLiteral("jf"));
        saveTestImage(image, QStringLiteral("text-jf-%1").arg(fontSize));
        EXPECT_NEAR(ink.width(), glyphs.width(), 2.0);
        EXPECT_NEAR(ink.height(), glyphs.height(), 2.0);
    }
}

TEST(AnnotationRendererTextMark, BackgroundFillsTheWholeBoxWithRoundedCorners)
{
    const Point at{20, 20};
    const QString text = QStringLiteral("背景 background\nline two");
    const QImage image = renderOnWhite({400, 200}, 2, {textMark(text, at, 20, RGBA{1, 1, 1, 1}, RGBA{0, 0, 0.5, 1})});
    const Rect box = AnnotationRenderer::textBounds(text, at, 20);
    const QRect pixels = *AnnotationRenderer::pixelBox(box, 2, 2, image.size());
    EXPECT_EQ(inkOnWhite(image), pixels);
    // The middle of each edge is background; the very corner is rounded away.
    EXPECT_TRUE(sameColor(image.pixel(pixels.center().x(), pixels.top()), QColor(0, 0, 128)));
    EXPECT_TRUE(sameColor(image.pixel(pixels.left(), pixels.center().y()), QColor(0, 0, 128)));
    EXPECT_TRUE(sameColor(image.pixel(pixels.left(), pixels.top()), QColor(255, 255, 255), 40));
}

TEST(AnnotationRendererTextMark, SizesBeyondTheLimitsDrawAsTheLimits)
{
    const auto draw = [](double size) {
        return renderOnWhite({400, 200}, 1, {textMark(QStringLiteral("Size 字号"), {10, 10}, size, {0, 0, 0, 1})});
    };
    EXPECT_EQ(draw(8), draw(12));
    EXPECT_EQ(draw(100), draw(72));
    EXPECT_NE(draw(12), draw(13));
}

TEST(AnnotationRendererTextMark, IsClippedAtTheImageEdgeAndSkippedOutsideIt)
{
    const QImage source = solidImage(QSize(200, 100));
    const Annotation edge =
        textMark(QStringLiteral("clipped at the right edge"), {150, 20}, 20, {1, 1, 1, 1}, RGBA{0, 0, 0, 1});
    const QImage clipped = AnnotationRenderer::render(source, {200, 100}, {edge});
    const QRect box = *AnnotationRenderer::pixelBox(AnnotationRenderer::textBounds(edge.text, {150, 20}, 20), 1, 1,
                                                    QSize(1000, 1000));
    EXPECT_GT(box.right(), 199);
    EXPECT_EQ(inkOnWhite(clipped), box & source.rect());
    const Annotation outside = textMark(QStringLiteral("outside"), {210, 20}, 20, {0, 0, 0, 1});
    EXPECT_EQ(AnnotationRenderer::render(source, {200, 100}, {outside}), source);
}

// ---------------------------------------------------------------------------------------------
// Mosaic

namespace {

// The pixelation written out directly: every block's bytes summed and divided as stored.
QImage referenceMosaic(QImage image, QRect box, int bw, int bh)
{
    for (int top = box.top(); top <= box.bottom(); top += bh) {
        for (int left = box.left(); left <= box.right(); left += bw) {
            const QRect block = QRect(left, top, bw, bh) & box;
            unsigned long long sums[4] = {};
            for (int y = block.top(); y <= block.bottom(); ++y)
                for (int x = block.left(); x <= block.right(); ++x)
                    for (int lane = 0; lane < 4; ++lane)
                        sums[lane] += image.constScanLine(y)[4 * x + lane];
            const unsigned long long count = (unsigned long long)block.width() * block.height();
            for (int y = block.top(); y <= block.bottom(); ++y)
                for (int x = block.left(); x <= block.right(); ++x)
                    for (int lane = 0; lane < 4; ++lane)
                        image.scanLine(y)[4 * x + lane] = uchar(sums[lane] / count);
        }
    }
    return image;
}

} // namespace

TEST(AnnotationRendererMosaic, AveragesBlocksLaidFromTheClippedBoxExactly)
{
    const struct {
        const char* name;
        QSize pixels;
        Size logical;
        Rect box;
        double mosaicSize;
        QRect expectedBox; // pixels
        int block;         // pixels
    } cases[] = {
        {"scale 1", {120, 100}, {120, 100}, Rect(10, 10, 80, 61), 16, QRect(10, 10, 80, 61), 16},
        // floor(15.75) = 15, ceil(75.3) = 76; floor(16.05) = 16, ceil(61.35) = 62
        {"scale 1.5", {180, 150}, {120, 100}, Rect(10.5, 10.7, 39.7, 30.2), 16, QRect(15, 16, 61, 46), 24},
        {"scale 2, size 4 → 8", {240, 200}, {120, 100}, Rect(5, 5, 100, 80), 4, QRect(10, 10, 200, 160), 16},
        {"scale 2, size 50 → 32", {240, 200}, {120, 100}, Rect(5, 5, 100, 80), 50, QRect(10, 10, 200, 160), 64},
        {"scale 0.1: 2 × 2 blocks", {120, 100}, {1200, 1000}, Rect(100, 100, 500, 400), 16, QRect(10, 10, 50, 40), 2},
        {"partly outside", {120, 100}, {120, 100}, Rect(-30, -20, 80, 60), 16, QRect(0, 0, 50, 40), 16},
        {"past the far edges", {120, 100}, {120, 100}, Rect(100, 90, 80, 60), 8, QRect(100, 90, 20, 10), 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage source = noiseImage(c.pixels);
        AnnotationStyle style = markStyle();
        style.mosaicSize = c.mosaicSize;
        const Annotation mosaic = mark(Kind::mosaic, {c.box.origin, {c.box.maxX(), c.box.maxY()}}, style);
        const QImage result = AnnotationRenderer::render(source, c.logical, {mosaic});
        const QImage expected = referenceMosaic(source, c.expectedBox, c.block, c.block);
        EXPECT_TRUE(changedPixels(result, expected).isEmpty());
        EXPECT_EQ(changedPixels(result, source), c.expectedBox);
    }
}

TEST(AnnotationRendererMosaic, BoxWhollyOutsideChangesNothing)
{
    const QImage source = noiseImage(QSize(100, 100));
    const Annotation mosaic = mark(Kind::mosaic, {{150, 20}, {250, 80}});
    EXPECT_EQ(AnnotationRenderer::render(source, {100, 100}, {mosaic}), source);
}

TEST(AnnotationRendererMosaic, PixelatesTheMarksDrawnBeforeItButNotAfter)
{
    const QImage source = noiseImage(QSize(200, 200));
    const Annotation before = mark(Kind::line, {{0, 50}, {200, 60}}, markStyle(RGBA::Red, 12));
    const Annotation mosaic = mark(Kind::mosaic, {{20, 20}, {180, 180}});
    const Annotation after = mark(Kind::line, {{0, 150}, {200, 140}}, markStyle({0, 0, 1, 1}, 12));

    const QImage underneath = AnnotationRenderer::render(source, {100, 100}, {before});
    const QImage withMosaic = AnnotationRenderer::render(source, {100, 100}, {before, mosaic});
    EXPECT_TRUE(changedPixels(withMosaic, referenceMosaic(underneath, QRect(40, 40, 320, 320) & source.rect(), 32, 32)).isEmpty());

    const QImage all = AnnotationRenderer::render(source, {100, 100}, {before, mosaic, after});
    const QImage lineOnTop = AnnotationRenderer::render(withMosaic, {100, 100}, {after});
    EXPECT_EQ(all, lineOnTop);
}

TEST(AnnotationRendererMosaic, StopsBetweenBlockRowsLeavingLaterRowsAlone)
{
    QImage image = noiseImage(QSize(64, 64));
    const QImage original = image;
    int rows = 0;
    EXPECT_THROW(Mosaic::pixelate(image.bits(), image.bytesPerLine(), QRect(0, 0, 64, 64), QSize(8, 8),
                                  [&rows] {
                                      if (++rows == 3)
                                          throw CancellationError();
                                  }),
                 CancellationError);
    EXPECT_EQ(image.copy(0, 0, 64, 16), referenceMosaic(original, QRect(0, 0, 64, 16), 8, 8).copy(0, 0, 64, 16));
    EXPECT_EQ(image.copy(0, 16, 64, 48), original.copy(0, 16, 64, 48));
}

// ---------------------------------------------------------------------------------------------
// Cancellation and extremes

TEST(AnnotationRendererCancellation, ACancelledCompositeThrowsAndLeavesTheSourceUntouched)
{
    const QImage source = noiseImage(QSize(120, 80));
    const QImage pristine = source.copy();
    const auto prepared = AnnotationRenderer::prepare(
        source, {120, 80}, {mark(Kind::mosaic, {{0, 0}, {120, 80}}), textMark(QStringLiteral("字"), {5, 5})});
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(AnnotationRenderer::composite(prepared, stop.get_token()), CancellationError);
    EXPECT_EQ(source, pristine);
    EXPECT_EQ(prepared.source, pristine);
}

TEST(AnnotationRendererCancellation, StopsBeforeEveryMarkAndEveryMosaicRow)
{
    // Two strokes, then a mosaic of 5 block rows (80 pixels in blocks of 16), then a text:
    // 1 + 4 marks + 5 rows = 10 points where the composite may stop.
    const QImage source = noiseImage(QSize(100, 80));
    const QImage pristine = source.copy();
    const auto prepared = AnnotationRenderer::prepare(
        source, {100, 80},
        {mark(Kind::line, {{0, 0}, {100, 80}}), mark(Kind::arrow, {{0, 80}, {100, 0}}),
         mark(Kind::mosaic, {{0, 0}, {100, 80}}), textMark(QStringLiteral("字"), {5, 5})});
    int checkpoints = 0;
    AnnotationRenderer::composite(prepared, [&checkpoints] { ++checkpoints; });
    EXPECT_EQ(checkpoints, 10);
    for (int stopAt = 1; stopAt <= 10; ++stopAt) {
        int reached = 0;
        EXPECT_THROW(AnnotationRenderer::composite(prepared,
                                                   [&] {
                                                       if (++reached == stopAt)
                                                           throw CancellationError();
                                                   }),
                     CancellationError)
            << stopAt;
        EXPECT_EQ(source, pristine);
    }
}

TEST(AnnotationRendererCancellation, StopsAWorkerMidwayBetweenMarks)
{
    // Many full-image mosaics: far longer than the moment the stop arrives.
    const QImage source = noiseImage(QSize(1600, 1200));
    const QImage pristine = source.copy();
    std::vector<Annotation> marks;
    for (int i = 0; i < 400; ++i) {
        AnnotationStyle style = markStyle();
        style.mosaicSize = 8 + i % 24;
        marks.push_back(mark(Kind::mosaic, {{0, 0}, {1600, 1200}}, style));
    }
    const auto prepared = AnnotationRenderer::prepare(source, {1600, 1200}, marks);
    // What one mark costs on this machine now, so that a loaded machine does not fail the test.
    const auto oneMarkStarted = std::chrono::steady_clock::now();
    (void)AnnotationRenderer::composite(AnnotationRenderer::prepare(source, {1600, 1200}, {marks.back()}), std::stop_token{});
    const auto oneMark = std::chrono::steady_clock::now() - oneMarkStarted;
    std::stop_source stop;
    bool cancelled = false;
    std::chrono::steady_clock::time_point stoppedAt;
    std::chrono::steady_clock::time_point endedAt;
    std::thread worker([&] {
        try {
            AnnotationRenderer::composite(prepared, stop.get_token());
        } catch (const CancellationError&) {
            cancelled = true;
        }
        endedAt = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    stoppedAt = std::chrono::steady_clock::now();
    stop.request_stop();
    worker.join();
    EXPECT_TRUE(cancelled);
    // It stopped within about one block row or one mark, not after the whole list of 400.
    EXPECT_LT(endedAt - stoppedAt, std::max<std::chrono::steady_clock::duration>(20 * oneMark, std::chrono::milliseconds(500)));
    EXPECT_EQ(source, pristine);
}

TEST(AnnotationRendererExtremes, ScalesAndCoordinatesFarOutOfRangeStayDefined)
{
    // Run under UBSan: every conversion of a scaled coordinate to pixels must be clamped first.
    const QImage source = noiseImage(QSize(64, 48));
    const auto allKinds = [](double unit, double far) {
        AnnotationStyle style = markStyle(RGBA::Red, 2);
        style.mosaicSize = 8;
        return std::vector<Annotation>{
            mark(Kind::mosaic, {{0, 0}, {far, far}}, style),
            mark(Kind::mosaic, {{-far, -far}, {unit, unit}}, style),
            mark(Kind::roundedRectangle, {{0, 0}, {unit, unit}}),
            mark(Kind::arrow, {{0, 0}, {unit, unit}}),
            mark(Kind::pen, {{-far, 0}, {far, unit}}),
            textMark(QStringLiteral("文字"), {unit / 2, unit / 2}),
            textMark(QStringLiteral("far"), {-far, -far}),
            marker(12, {unit / 2, unit / 2}, unit),
            marker(13, {far, far}, far),
        };
    };
    const struct {
        const char* name;
        Size logical;
        double unit;
        double far;
    } cases[] = {
        {"huge scale", {1e-6, 1e-6}, 5e-7, 1e300},
        {"tiny scale", {1e12, 1e12}, 5e11, 1e300},
        {"unit scale, far coordinates", {64, 48}, 30, 1e300},
        {"beyond int at the scale", {64e-9, 48e-9}, 1e-8, 1e15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QImage result;
        EXPECT_NO_THROW(result = AnnotationRenderer::render(source, c.logical, allKinds(c.unit, c.far)));
        EXPECT_EQ(result.size(), source.size());
    }
}

TEST(AnnotationRendererMarker, DigitsShrinkAtTwoAndThreeDigitNumbers)
{
    // The digits' height follows the number's length: 0.58, 0.48 and 0.38 of the diameter.
    const double diameter = 80;
    const auto digitHeight = [&](int number) {
        const QImage source = solidImage(QSize(200, 200), Qt::black);
        const QImage image = AnnotationRenderer::render(source, {200, 200}, {marker(number, {100, 100}, diameter)});
        saveTestImage(image, QStringLiteral("marker-digits-%1").arg(number));
        // White digits on a red badge over black: only the digits are green.
        return double(pixelsWhere(image, [](QRgb p) { return qGreen(p) > 180; }).height());
    };
    const double nine = digitHeight(9), ten = digitHeight(10), ninetyNine = digitHeight(99),
                 hundred = digitHeight(100);
    EXPECT_NEAR(ten / nine, 0.48 / 0.58, 0.05);
    EXPECT_NEAR(ninetyNine, ten, 1.0);
    EXPECT_NEAR(hundred / ninetyNine, 0.38 / 0.48, 0.05);
}

TEST(AnnotationRendererMarker, DigitsStandOnEqualAdvances)
{
    // Every digit stands in a cell as wide as the widest digit's advance, so the two ones of
    // 11 stand one such cell apart, as the two eights of 88 do.
    const QFont font = FontFactory::markerFont(0.48 * 80, Bitmap::designDpi);
    const QFontMetricsF metrics = FontFactory::designMetrics(font);
    double cell = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        cell = std::max(cell, metrics.horizontalAdvance(QLatin1Char(digit)));
    for (const int number : {11, 88}) {
        SCOPED_TRACE(number);
        const QImage source = solidImage(QSize(200, 200), Qt::black);
        const QImage image = AnnotationRenderer::render(source, {200, 200}, {marker(number, {100, 100}, 80)});
        // Left edges of the runs of columns holding digit ink.
        std::vector<int> starts;
        bool inRun = false;
        for (int x = 0; x < image.width(); ++x) {
            bool ink = false;
            for (int y = 0; y < image.height() && !ink; ++y)
                ink = qGreen(image.pixel(x, y)) > 180;
            if (ink && !inRun)
                starts.push_back(x);
            inRun = ink;
        }
        ASSERT_EQ(starts.size(), 2u);
        EXPECT_NEAR(starts[1] - starts[0], cell, 1.5);
    }
}

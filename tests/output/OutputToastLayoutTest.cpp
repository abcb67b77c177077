#include "app/base/YUpSpace.h"
#include "app/base/InterfaceFonts.h"
#include "app/output/feedback/OutputToastLayout.h"
#include "app/output/feedback/ToastText.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

using namespace vorlith;

TEST(YUpSpace, ScreenRectanglesMirrorAboutTheFirstScreen)
{
    // Bounds top 50, left 10, bottom 250, right 110 on a first screen reaching up to y 900
    // are the y-up rectangle x 10, y 650, 100 x 200.
    const YUpSpace space = YUpSpace::ofScreens(Rect(0, 0, 1440, 900));
    EXPECT_EQ(space.axis(), 900);
    EXPECT_EQ(space.toYUp(Rect(10, 50, 100, 200)), Rect(10, 650, 100, 200));
    EXPECT_EQ(space.toYDown(Rect(10, 650, 100, 200)), Rect(10, 50, 100, 200));
    // A point: y(window) = P - y(viewport).
    EXPECT_EQ(space.toYDown(Point{5, 300}), (Point{5, 600}));
    EXPECT_EQ(YUpSpace::ofScreens(std::nullopt).toYDown(Point{1, 2}), (Point{1, -2}));
}

TEST(OutputToastLayout, BodyWidthByContent)
{
    struct Case {
        double text;
        bool button, failed;
        double visible;
        double width;
    };
    const Case cases[] = {
        {20, false, false, 1440, 150},     // short: the minimum
        {200, false, false, 1440, 268},    // + 68
        {200, true, false, 1440, 318},     // + 118 with a button
        {200, true, true, 1440, 344},      // + 144 with a button on a failure
        {200, false, true, 1440, 294},     // a failure's close button alone: + 94
        {5000, true, true, 1440, 1424},    // at most the visible width - 16
        {20, false, false, 100, 84},       // narrow frames win over the minimum
        {20, false, false, 10, 0},         // never below 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputToastLayout::bodyWidth({c.text, c.button, c.failed}, c.visible), c.width)
            << c.text << " " << c.button << c.failed << " in " << c.visible;
}

TEST(OutputToastLayout, BodySitsThirtyPercentDownAndStaysInsideTheFrame)
{
    const YUpSpace space = YUpSpace::ofScreens(Rect(0, 0, 1440, 900));
    struct Case {
        const char* name;
        Rect visible; // y down
        double offset;
        Rect body;    // y down
    };
    const Case cases[] = {
        // Centre 30 % of 875 below the top at y 25: 25 + 262.5 = 287.5.
        {"plain", Rect(0, 25, 1440, 875), 0, Rect(645, 267.5, 150, 40)},
        {"stacked under a failure", Rect(0, 25, 1440, 875), 56, Rect(645, 323.5, 150, 40)},
        // A short frame: centre 30 below the top, lowered by 56, then held 8 above the bottom.
        {"stacked on a short frame", Rect(0, 800, 1440, 100), 56, Rect(645, 852, 150, 40)},
        // Lower than 56: the body shrinks to the frame minus its margins.
        {"tiny frame", Rect(0, 0, 400, 30), 0, Rect(125, 8, 150, 14)},
        {"second screen", Rect(1440, 0, 1920, 1080), 0, Rect(2325, 304, 150, 40)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputToastLayout::bodyFrame({20, false, false}, c.visible, c.offset, space), c.body) << c.name;
}

TEST(OutputToastLayout, SubviewsOfAShortToast)
{
    // Panel 88 high (a body of 40 and two margins of 24), body 150 wide.
    const auto plain = OutputToastLayout::subviews(150, 88, false, false);
    EXPECT_EQ(plain.symbol, Rect(37, 35, 18, 18));
    EXPECT_EQ(plain.label, Rect(65, 35, 96, 17));
    const auto failure = OutputToastLayout::subviews(300, 88, true, true);
    EXPECT_EQ(failure.label, Rect(65, 35, 169, 17));
    EXPECT_EQ(failure.button, Rect(241, 31, 48, 26));
    EXPECT_EQ(failure.closeButton, Rect(295, 34, 20, 20));
    // A failure without a button keeps its text clear of the close button.
    const auto closeOnly = OutputToastLayout::subviews(300, 88, false, true);
    EXPECT_LE(closeOnly.label.maxX(), closeOnly.closeButton.minX());
    const auto progress = OutputToastLayout::subviews(300, 88, true, false);
    EXPECT_EQ(progress.button, Rect(267, 31, 48, 26));
    EXPECT_EQ(progress.label, Rect(65, 35, 195, 17));
}

TEST(OutputToastLayout, SubviewsOfATwoLineToast)
{
    const OutputToastLayout::Content content{200, true, true, 2, 17};
    EXPECT_EQ(OutputToastLayout::bodyHeightFor(content), 57);
    // Panel 105 high: the symbol and the close button beside the first line, the label over
    // both lines, the button centred on the body.
    const auto views = OutputToastLayout::subviews(300, 105, true, true);
    EXPECT_EQ(views.symbol, Rect(37, 35, 18, 18));
    EXPECT_EQ(views.label, Rect(65, 35, 169, 34));
    EXPECT_EQ(views.closeButton, Rect(295, 34, 20, 20));
    EXPECT_EQ(views.button, Rect(241, 39.5, 48, 26));
}

TEST(ToastText, LinesAreFittedAndTheQueueSuffixStays)
{
    const QFont font = InterfaceFonts::system(OutputToastLayout::textPixelSize);
    const QFontMetricsF metrics(font);
    const QString queued = ToastText::queueSuffix(12);
    const struct {
        const char* name;
        QString text;
        double width;
        QString first, last; // what the first and last fitted lines start and end with
    } cases[] = {
        {"two short lines", QStringLiteral("保存失败\n可重试。") + queued, 1000, QStringLiteral("保存失败"),
         QStringLiteral("可重试。") + queued},
        {"a long last line keeps its queue suffix", QStringLiteral("保存失败\n截图与保存设置已保留，可重试。") + queued, 260,
         QStringLiteral("保存失败"), QStringLiteral("…") + queued},
        {"a long last line keeps the cap suffix", QStringLiteral("截图与保存设置已保留，可重试。") + ToastText::capSuffix(), 230,
         QStringLiteral("截图"), QStringLiteral("…") + ToastText::capSuffix()},
        {"a long first line is cut at its end", QStringLiteral("保存失败：目标文件夹不可写入，请换一个文件夹\n可重试。"), 120,
         QStringLiteral("保存失败"), QStringLiteral("可重试。")},
        {"a long line without suffix is cut at its end", QStringLiteral("无法保存图片：目标文件夹不可写入"), 100,
         QStringLiteral("无法保存"), QStringLiteral("…")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList lines = ToastText::fittedLines(c.text, metrics, c.width);
        ASSERT_EQ(lines.size(), ToastText::lines(c.text).size());
        EXPECT_TRUE(lines.first().startsWith(c.first)) << lines.first().toStdString();
        EXPECT_TRUE(lines.last().endsWith(c.last)) << lines.last().toStdString();
        for (const QString& line : lines)
            EXPECT_LE(metrics.horizontalAdvance(line), c.width + 1) << line.toStdString();
    }
    EXPECT_EQ(ToastText::widestLine(QStringLiteral("ab\nabcd"), metrics), metrics.horizontalAdvance(QStringLiteral("abcd")));
}

#include "app/base/YUpSpace.h"
#include "app/output/feedback/OutputToastLayout.h"

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

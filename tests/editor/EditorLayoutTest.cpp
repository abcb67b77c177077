// The editor view's layout arithmetic without widgets: size label, mark handles, the pill,
// the neighbourhood of a summoned toolbar, the feedback label and the discovery panel.
#include "app/editor/EditorLayout.h"
#include "core/CaptureGeometry.h"
#include "support/MarkFixtures.h"

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::editorLayout;

namespace {

const Rect screen(0, 0, 1440, 900);

Annotation rectangleMark(const Rect& r)
{
    return {QUuid::createUuid(), Annotation::Kind::roundedRectangle, {r.origin, {r.maxX(), r.maxY()}},
            test::plainStyle, QString(), 1};
}

} // namespace

TEST(EditorLayout, SizeLabelShowsThePixelsOfTheSelection)
{
    const CaptureGeometry geometry{Size{1440, 900}, Size{2880, 1800}};
    const std::optional<Rect> pixels = geometry.pixels(Rect(10.25, 10.25, 100.5, 50));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(sizeLabelText(*pixels), QStringLiteral("202 × 101"));
    EXPECT_EQ(sizeLabelText(Rect(0, 0, 99.9, 7.5)), QStringLiteral("99 × 7"));
}

TEST(EditorLayout, SizeLabelTakesTheFirstPlaceThatHidesNothing)
{
    const double w = 80;
    struct Case {
        const char* name;
        Rect selection;
        std::optional<Rect> pill;
        std::optional<Rect> toolbar;
        int expected; // index into the candidates
    };
    const Case cases[] = {
        {"room above", Rect(300, 300, 400, 200), {}, {}, 0},
        {"touching the top edge: below", Rect(300, 0, 400, 200), {}, {}, 1},
        {"whole screen: inside at the top", screen, {}, {}, 2},
        {"toolbar below and top edge: inside", Rect(300, 0, 400, 200), {}, Rect(300, 205, 500, 60), 2},
        {"pill over the place above: below", Rect(300, 300, 400, 200), Rect(250, 250, 300, 34), {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Rect> candidates = sizeLabelCandidates(c.selection, w, screen);
        EXPECT_EQ(sizeLabelFrame(c.selection, w, screen, c.pill, c.toolbar), candidates[size_t(c.expected)]);
    }
}

TEST(EditorLayout, SizeLabelFallsBackToTheTopCentreEvenOverThePill)
{
    // A whole-screen selection with the pill over the place inside at the top: above, below,
    // left and right lie outside the screen, so only the top centre remains, over the pill.
    const Rect pill(8, 8, 1424, 60);
    const Rect frame = sizeLabelFrame(screen, 80, screen, pill, std::nullopt);
    EXPECT_EQ(frame, Rect(680, 8, 80, 21));
    EXPECT_TRUE(frame.intersects(pill));
}

TEST(EditorLayout, SizeLabelCandidatesFollowTheSelection)
{
    const std::vector<Rect> c = sizeLabelCandidates(Rect(100, 200, 300, 100), 60, screen);
    ASSERT_EQ(c.size(), 6u);
    EXPECT_EQ(c[0], Rect(100, 171, 60, 21));
    EXPECT_EQ(c[1], Rect(100, 310, 60, 21));
    EXPECT_EQ(c[2], Rect(100, 212, 60, 21));
    EXPECT_EQ(c[3], Rect(28, 239.5, 60, 21));
    EXPECT_EQ(c[4], Rect(412, 239.5, 60, 21));
    EXPECT_EQ(c[5], Rect(690, 8, 60, 21));
    // x is kept 8 from the screen's sides.
    EXPECT_EQ(sizeLabelCandidates(Rect(1420, 200, 20, 20), 60, screen)[0].origin.x, 1372);
    EXPECT_EQ(sizeLabelCandidates(Rect(0, 200, 20, 20), 60, screen)[0].origin.x, 8);
}

TEST(EditorLayout, MarkHandlesAreEndsForLinesAndAFramesHandlesOtherwise)
{
    Annotation line = test::penMark(10, 20);
    line.kind = Annotation::Kind::line;
    line.points = {{10, 20}, {15, 25}, {40, 50}};
    EXPECT_EQ(markHandles(line, 1), (std::vector<Point>{{10, 20}, {40, 50}}));
    line.points = {{7, 8}};
    EXPECT_EQ(markHandles(line, 1), (std::vector<Point>{{7, 8}, {7, 8}}));
    line.points.clear();
    EXPECT_EQ(markHandles(line, 1), (std::vector<Point>{{0, 0}, {0, 0}}));

    const Annotation box = rectangleMark(Rect(10, 20, 100, 50));
    const std::vector<Point> at1 = markHandles(box, 1);
    ASSERT_EQ(at1.size(), 8u);
    EXPECT_EQ(at1[0], (Point{7, 17}));   // top left of the frame grown by 3
    EXPECT_EQ(at1[4], (Point{113, 73})); // bottom right
    // At 200 % zoom a unit is half a point: the frame grows by 1.5.
    EXPECT_EQ(markHandles(box, 0.5)[0], (Point{8.5, 18.5}));
    EXPECT_EQ(markFrame(box, 0.5), Rect(8.5, 18.5, 103, 53));
}

TEST(EditorLayout, ViewScaleIsFrameOverBoundsWithFloors)
{
    EXPECT_EQ(viewScale(800, 400), 2);
    EXPECT_EQ(viewScale(400, 400), 1);
    EXPECT_EQ(viewScale(1, 0), 1000);
    EXPECT_EQ(viewScale(0, 400), 0.001);
}

TEST(EditorLayout, PillTriesEveryPlaceInARowBeforeTheNextRow)
{
    const Size pill{300, 34};
    // Centred at y = 48 when nothing is in the way.
    EXPECT_EQ(hintFrame(pill, screen, {}), Rect(570, 48, 300, 34));
    // A selection centred in the view with its top edge at y = 50: the top-centre handle's
    // square covers the centred pill, so it moves to the left edge at the same height.
    const Rect selection(420, 50, 600, 400);
    const std::optional<Rect> frame = hintFrame(pill, screen, hintObstacles(selection, std::nullopt, std::nullopt));
    EXPECT_EQ(frame, Rect(8, 48, 300, 34));
    // With the toolbar over the left edge too, the right edge.
    const std::optional<Rect> right =
        hintFrame(pill, screen, hintObstacles(selection, Rect(0, 30, 350, 60), std::nullopt));
    EXPECT_EQ(right, Rect(1132, 48, 300, 34));
    // A view too small for the pill hides it.
    EXPECT_FALSE(hintFrame(pill, Rect(0, 0, 200, 100), {}));
}

TEST(EditorLayout, PillObstaclesAreHandleSquaresThenGrownChrome)
{
    const std::vector<Rect> obstacles = hintObstacles(Rect(100, 100, 200, 100), Rect(10, 10, 50, 20), Rect(0, 0, 10, 10));
    ASSERT_EQ(obstacles.size(), 10u);
    EXPECT_EQ(obstacles[0], Rect(92, 92, 16, 16));
    EXPECT_EQ(obstacles[8], Rect(4, 4, 62, 32));
    EXPECT_EQ(obstacles[9], Rect(-6, -6, 22, 22));
}

TEST(EditorLayout, NearASummonedToolbar)
{
    const Rect toolbar(500, 300, 400, 63);
    const Point origin{480, 280}; // the click, up and left of the toolbar
    struct Case {
        const char* name;
        Point pointer;
        bool near;
    };
    const Case cases[] = {
        {"inside", {600, 320}, true},
        {"60 right of the toolbar", {960, 330}, true},
        {"80 below it", {700, 443}, true},
        {"100 from the toolbar and the click, off the corridor", {1000, 330}, false},
        {"100 above the click", {480, 180}, false},
        {"next to the click", {490.5, 289.5}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(nearTemporaryToolbar(c.pointer, toolbar, origin), c.near);
    }
    // A long corridor: a click 400 left of the toolbar; halfway along, 20 off the line is near,
    // 30 off is not.
    const Point farClick{100, 330};
    EXPECT_TRUE(nearTemporaryToolbar({300, 350}, toolbar, farClick));
    EXPECT_FALSE(nearTemporaryToolbar({300, 360}, toolbar, farClick));
}

TEST(EditorLayout, FeedbackLabelStaysAboveTheToolbarWithinTheView)
{
    EXPECT_EQ(feedbackFrame(screen, Rect(200, 500, 400, 63)), Rect(200, 438, 300, 48));
    // Near the top it moves down to y = 8; near the bottom it stays 60 above the edge.
    EXPECT_EQ(feedbackFrame(screen, Rect(200, 20, 400, 63)).origin.y, 8);
    EXPECT_EQ(feedbackFrame(screen, Rect(200, 960, 400, 63)).origin.y, 840);
    // Near the right edge it keeps 380 from it.
    EXPECT_EQ(feedbackFrame(screen, Rect(1300, 500, 400, 63)).origin.x, 1060);
    EXPECT_EQ(outputButtonFrame(screen, Rect(200, 500, 400, 63), Rect(200, 438, 300, 48)), Rect(504, 446, 80, 30));
    EXPECT_EQ(outputButtonFrame(screen, Rect(1300, 500, 400, 63), Rect(1060, 438, 300, 48)).origin.x, 1358);
}

TEST(EditorLayout, DiscoveryPanelGoesUnderTheToolbarElseOverIt)
{
    const Rect visible(0, 25, 1440, 875);
    EXPECT_EQ(discoveryPanelFrame(Rect(300, 400, 500, 63), visible, 200), Rect(300, 471, 200, 24));
    // No room under it: over it.
    EXPECT_EQ(discoveryPanelFrame(Rect(300, 830, 500, 63), visible, 200), Rect(300, 798, 200, 24));
    // Kept 8 inside the visible frame's sides.
    EXPECT_EQ(discoveryPanelFrame(Rect(1350, 400, 500, 63), visible, 200).origin.x, 1232);
    EXPECT_EQ(discoveryPanelFrame(Rect(-40, 400, 500, 63), visible, 200).origin.x, 8);
}

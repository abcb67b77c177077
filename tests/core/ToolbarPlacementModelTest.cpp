#include "core/ToolbarPlacementModel.h"

#include <gtest/gtest.h>

using namespace vorlith;
using Model = ToolbarPlacementModel;
using Side = Model::Side;

namespace {

// The capture editor's layout: a 728-point main row, 117 points reserved in height.
Model::Frame editorFrame(double width, double height)
{
    return Model::Frame({width, height}, {728, 117}, std::nullopt, 8, 8, 10);
}

const Model::Frame kFrame = editorFrame(1000, 800); // maxX 264, maxY 675
const Model::Frame kWide = editorFrame(1400, 900);  // maxX 664, maxY 775

// Drags the toolbar from where it stands to the target and drops it there.
void dockAt(Model& model, const Rect& s, const Model::Frame& f, Point target)
{
    const Point start = model.resolve(s, f);
    ASSERT_TRUE(model.beginDock(s, f));
    ASSERT_TRUE(model.dragDock(target - start, s, f));
    EXPECT_EQ(model.resolve(s, f), target); // the preview while dragging
    model.commit(s, f);
}

} // namespace

TEST(ToolbarPlacementModel, FrameMainWidthDefaultsToTheReservedWidth)
{
    EXPECT_EQ(kFrame.mainWidth, 728);
    EXPECT_EQ(Model::Frame({1000, 800}, {728, 117}, 500.0, 8, 8, 10).mainWidth, 500);
}

TEST(ToolbarPlacementModel, AutomaticSideIsTheFirstThatFitsElseTheLeastOverlapping)
{
    struct Row {
        Rect selection;
        Side side;
        Point origin;
    };
    const Row rows[] = {
        {Rect(100, 100, 200, 100), Side::bottom, {8, 210}},
        {Rect(100, 600, 200, 100), Side::top, {8, 473}}, // bottom would stand at y 710 > 675
        {Rect(0, 0, 1000, 800), Side::bottom, {264, 675}}, // every side overlaps 728 × 117: first wins
        {Rect(750, 50, 200, 700), Side::left, {12, 633}},    // too tall for bottom and top
        {Rect(0, 50, 200, 700), Side::right, {210, 633}},
        {Rect(0, 0, 700, 800), Side::right, {264, 675}}, // nothing fits; right overlaps least
    };
    for (const Row& row : rows) {
        Model model;
        const Point p = model.resolve(row.selection, kFrame);
        EXPECT_EQ(model.base().side, row.side);
        EXPECT_EQ(p, row.origin);
        // Resolving again with the same inputs answers the same point and keeps the side.
        EXPECT_EQ(model.resolve(row.selection, kFrame), p);
        EXPECT_EQ(model.base().side, row.side);
    }
}

TEST(ToolbarPlacementModel, ChosenSideSticksWhileItStillFits)
{
    Model model;
    EXPECT_EQ(model.resolve(Rect(100, 600, 200, 100), kFrame), Point(8, 473));
    ASSERT_EQ(model.base().side, Side::top);
    // Bottom would fit now too, but the current side is tried first.
    EXPECT_EQ(model.resolve(Rect(100, 400, 200, 100), kFrame), Point(8, 273));
    EXPECT_EQ(model.base().side, Side::top);
    // No longer fitting on top: the default order decides again.
    EXPECT_EQ(model.resolve(Rect(100, 50, 200, 100), kFrame), Point(8, 160));
    EXPECT_EQ(model.base().side, Side::bottom);
}

TEST(ToolbarPlacementModel, PositionClampsOnlyAlongTheSelection)
{
    const Rect s(100, 100, 200, 300);
    EXPECT_EQ(Model::position(Side::bottom, s, kFrame), Point(8, 410));
    EXPECT_EQ(Model::position(Side::top, s, kFrame), Point(8, -27));
    EXPECT_EQ(Model::position(Side::left, s, kFrame), Point(-638, 283));
    EXPECT_EQ(Model::position(Side::right, s, kFrame), Point(310, 283));
    EXPECT_EQ(Model::bounded({-5, 1000}, kFrame), Point(8, 675));
    EXPECT_EQ(Model::chooseSide(s, kFrame, Side::right), Side::bottom); // right of 300 has 264 at most
    EXPECT_EQ(Model::chooseSide(Rect(100, 100, 100, 100), kFrame, Side::right), Side::right);
}

TEST(ToolbarPlacementModel, FrameNarrowerThanTheToolbarClampsToTheLeftMargin)
{
    const Model::Frame narrow = editorFrame(500, 100); // shorter than the reserved height too
    const Rect s(50, 20, 300, 50);
    for (Side side : Model::allSides) {
        const Point p = Model::bounded(Model::position(side, s, narrow), narrow);
        EXPECT_EQ(p.x, 8) << int(side);
        EXPECT_EQ(p.y, 8) << int(side); // and to the top inset
    }
    Model model;
    EXPECT_EQ(model.resolve(s, narrow).x, 8);
}

TEST(ToolbarPlacementModel, SummonBesideThePointerOrCentredOnIt)
{
    struct Row {
        Point pointer;
        Point position;
    };
    const Row rows[] = {
        {{100, 100}, {114, 114}},
        {{950, 100}, {208, 114}}, // no room right of the pointer: left of it
        {{400, 700}, {36, 569}},  // no room on either side: centred; no room below: above
    };
    for (const Row& row : rows) {
        Model model;
        ASSERT_TRUE(model.summon(row.pointer, Rect(100, 100, 200, 100), kFrame));
        ASSERT_TRUE(model.temporary().has_value());
        EXPECT_EQ(*model.temporary(), (Model::Temporary{row.position, row.pointer, false, model.epoch()}));
        EXPECT_EQ(model.epoch(), 1u);
        EXPECT_TRUE(model.isCurrent(model.token()));
        // Resolving answers the temporary's position, whatever the selection.
        EXPECT_EQ(model.resolve(Rect(500, 500, 10, 10), kFrame), row.position);
        // The summon refreshed the automatic side first.
        EXPECT_EQ(model.base().side, Side::bottom);
    }
}

TEST(ToolbarPlacementModel, SummonAtAnExplicitPositionIsBounded)
{
    Model model;
    ASSERT_TRUE(model.summon(Point{900, -40}, Point{10, 20}, Rect(100, 100, 200, 100), kFrame));
    EXPECT_EQ(model.temporary()->position, Point(264, 8));
    EXPECT_EQ(model.temporary()->origin, Point(10, 20));
}

TEST(ToolbarPlacementModel, TokensTellAReturnMonitorThatItsToolbarChanged)
{
    Model model;
    const Rect s(100, 100, 200, 100);
    EXPECT_FALSE(model.isCurrent(std::nullopt));
    EXPECT_FALSE(model.isCurrent(0));
    ASSERT_TRUE(model.summon(Point{100, 100}, s, kFrame));
    const std::optional<quint64> first = model.token();
    model.setReturnReady(true);
    EXPECT_TRUE(model.temporary()->returnReady);
    EXPECT_TRUE(model.isCurrent(first));

    ASSERT_TRUE(model.summon(Point{200, 200}, s, kFrame)); // a new summon: a new token
    EXPECT_FALSE(model.isCurrent(first));
    EXPECT_FALSE(model.temporary()->returnReady);

    const quint64 epoch = model.epoch();
    model.restoreTemporary();
    EXPECT_EQ(model.temporary(), std::nullopt);
    EXPECT_EQ(model.token(), std::nullopt);
    EXPECT_EQ(model.epoch(), epoch + 1);
    model.restoreTemporary(); // nothing to send back
    model.setReturnReady(true);
    EXPECT_EQ(model.epoch(), epoch + 1);
}

TEST(ToolbarPlacementModel, GesturesRefuseEachOtherAndSummons)
{
    Model model;
    const Rect s(100, 100, 200, 100);
    ASSERT_TRUE(model.beginGeometry(Model::GeometryGesture::move, s, kFrame));
    EXPECT_TRUE(model.isGesturing());
    const quint64 epoch = model.epoch();
    EXPECT_FALSE(model.summon(Point{400, 400}, s, kFrame));
    EXPECT_FALSE(model.summon(Point{400, 400}, Point{1, 1}, s, kFrame));
    EXPECT_FALSE(model.beginDock(s, kFrame));
    EXPECT_FALSE(model.beginGeometry(Model::GeometryGesture::resize, s, kFrame));
    EXPECT_FALSE(model.dragDock({50, 0}, s, kFrame)); // not a dock
    EXPECT_EQ(model.epoch(), epoch);
    EXPECT_EQ(model.temporary(), std::nullopt);

    Model idle;
    EXPECT_EQ(idle.cancel(), std::nullopt);
    idle.commit(s, kFrame);
    EXPECT_EQ(idle.epoch(), 0u);
}

TEST(ToolbarPlacementModel, AutomaticToolbarTravelsWithAMovedSelectionAndResizeKeepsItsSide)
{
    Model model;
    const Rect s(100, 100, 200, 100);
    ASSERT_EQ(model.resolve(s, kFrame), Point(8, 210));
    ASSERT_TRUE(model.beginGeometry(Model::GeometryGesture::move, s, kFrame));
    EXPECT_EQ(model.resolve(Rect(150, 130, 200, 100), kFrame), Point(58, 240));
    EXPECT_EQ(model.resolve(Rect(150, 630, 200, 100), kFrame), Point(58, 675)); // bounded
    model.commit(Rect(150, 630, 200, 100), kFrame);
    EXPECT_EQ(model.base().side, Side::top); // re-chosen at the commit
    EXPECT_EQ(model.resolve(Rect(150, 630, 200, 100), kFrame), Point(8, 503));

    ASSERT_TRUE(model.beginGeometry(Model::GeometryGesture::resize, Rect(150, 630, 200, 100), kFrame));
    // Grown upward until top no longer fits: the side still holds while resizing.
    EXPECT_EQ(model.resolve(Rect(150, 20, 200, 710), kFrame), Point(8, 8));
    EXPECT_EQ(model.base().side, Side::top);
    model.commit(Rect(150, 20, 200, 710), kFrame);
    EXPECT_EQ(model.base().side, Side::right); // nothing fits; right overlaps least
    EXPECT_EQ(model.resolve(Rect(150, 20, 200, 710), kFrame), Point(264, 613));
}

TEST(ToolbarPlacementModel, DockDragStartsAfterThreePoints)
{
    Model model;
    const Rect s(100, 100, 200, 100);
    ASSERT_TRUE(model.beginDock(s, kFrame));
    EXPECT_FALSE(model.dragDock({2, 2}, s, kFrame)); // 2.83 points
    EXPECT_EQ(model.resolve(s, kFrame), Point(8, 210));
    EXPECT_TRUE(model.dragDock({3, 0}, s, kFrame));
    EXPECT_EQ(model.resolve(s, kFrame), Point(11, 210));
    EXPECT_TRUE(model.dragDock({1, 0}, s, kFrame)); // once moving, every delta counts
    EXPECT_EQ(model.resolve(s, kFrame), Point(9, 210));
    EXPECT_TRUE(model.dragDock({-100, 900}, s, kFrame));
    EXPECT_EQ(model.resolve(s, kFrame), Point(8, 675));
}

TEST(ToolbarPlacementModel, DockedToolbarKeepsItsOffsetFromTheNearestAnchor)
{
    struct Row {
        const char* what;
        Rect selection;
        Point drop;
        Point anchor;
        Point offset;
    };
    const Row rows[] = {
        {"right of, centred on", Rect(100, 100, 400, 300), {520, 150}, {1, 0.5}, {20, -100}},
        {"wholly left and above", Rect(800, 300, 400, 300), {8, 100}, {0, 0}, {-792, -200}},
        {"ends nearest; wholly below", Rect(300, 100, 900, 300), {600, 450}, {1, 1}, {-600, 50}},
        {"centre ties with start; start nearest", Rect(100, 100, 928, 300), {150, 120}, {0.5, 0}, {-414, 20}},
        {"end ties with centre: centre kept", Rect(100, 100, 928, 300), {250, 120}, {0.5, 0}, {-314, 20}},
        {"start nearest; end strictly nearest", Rect(100, 100, 400, 300), {50, 300}, {0, 1}, {-50, -100}},
    };
    for (const Row& row : rows) {
        Model model;
        dockAt(model, row.selection, kWide, row.drop);
        EXPECT_EQ(model.base(), (Model::Base{Model::Mode::manual, std::nullopt, row.anchor, row.offset})) << row.what;
        EXPECT_EQ(model.resolve(row.selection, kWide), row.drop) << row.what;
    }
}

TEST(ToolbarPlacementModel, DockedToolbarFollowsTheSelection)
{
    Model model;
    dockAt(model, Rect(100, 100, 400, 300), kWide, {520, 150});
    EXPECT_EQ(model.resolve(Rect(200, 100, 400, 300), kWide), Point(620, 150));
    // A move gesture in manual mode follows the anchor too, and the commit keeps the dock.
    ASSERT_TRUE(model.beginGeometry(Model::GeometryGesture::move, Rect(200, 100, 400, 300), kWide));
    EXPECT_EQ(model.resolve(Rect(100, 300, 400, 300), kWide), Point(520, 350));
    model.commit(Rect(100, 300, 400, 300), kWide);
    EXPECT_EQ(model.base().mode, Model::Mode::manual);
    EXPECT_EQ(model.base().side, std::nullopt);
    EXPECT_EQ(model.resolve(Rect(300, 100, 400, 300), kWide), Point(664, 150)); // bounded
}

TEST(ToolbarPlacementModel, PressOnTheToolbarWithoutADragChangesNothing)
{
    Model model;
    const Rect s(100, 100, 200, 100);
    ASSERT_TRUE(model.summon(Point{100, 100}, s, kFrame));
    const Model::Base base = model.base();
    ASSERT_TRUE(model.beginDock(s, kFrame));
    EXPECT_FALSE(model.dragDock({1, 1}, s, kFrame));
    model.commit(s, kFrame);
    EXPECT_FALSE(model.isGesturing());
    EXPECT_EQ(model.base(), base);
    ASSERT_TRUE(model.temporary().has_value());
    EXPECT_EQ(model.temporary()->position, Point(114, 114));
    EXPECT_TRUE(model.isCurrent(model.epoch())); // with a new token
}

TEST(ToolbarPlacementModel, SelectionGestureSendsASummonedToolbarBackButADockKeepsIt)
{
    const Rect s(100, 100, 200, 100);
    {
        Model model;
        ASSERT_TRUE(model.summon(Point{100, 100}, s, kFrame));
        const std::optional<quint64> token = model.token();
        ASSERT_TRUE(model.beginGeometry(Model::GeometryGesture::resize, s, kFrame));
        EXPECT_EQ(model.temporary(), std::nullopt);
        EXPECT_FALSE(model.isCurrent(token)); // its return monitor stops
        EXPECT_EQ(model.resolve(s, kFrame), Point(8, 210));
    }
    {
        Model model;
        ASSERT_TRUE(model.summon(Point{100, 100}, s, kFrame));
        const std::optional<quint64> token = model.token();
        ASSERT_TRUE(model.beginDock(s, kFrame));
        ASSERT_TRUE(model.temporary().has_value());
        EXPECT_FALSE(model.isCurrent(token));
        EXPECT_TRUE(model.isCurrent(model.token()));
        EXPECT_EQ(model.token(), model.epoch());
        // Dragging it makes it the start of a manual placement, from its own position.
        const quint64 epoch = model.epoch();
        ASSERT_TRUE(model.dragDock({10, 0}, s, kFrame));
        EXPECT_EQ(model.temporary(), std::nullopt);
        EXPECT_EQ(model.epoch(), epoch);
        EXPECT_EQ(model.resolve(s, kFrame), Point(124, 114));
        model.commit(s, kFrame);
        EXPECT_EQ(model.base().mode, Model::Mode::manual);
        EXPECT_EQ(model.resolve(s, kFrame), Point(124, 114));
    }
}

TEST(ToolbarPlacementModel, CancelPutsThePlacementBackWithANewToken)
{
    const Rect s(100, 100, 200, 100);
    Model model;
    ASSERT_EQ(model.resolve(s, kFrame), Point(8, 210));
    ASSERT_TRUE(model.summon(Point{100, 100}, s, kFrame));
    const Model::Temporary summoned = *model.temporary();
    const Model::Base base = model.base();

    ASSERT_TRUE(model.beginDock(s, kFrame));
    ASSERT_TRUE(model.dragDock({300, 300}, s, kFrame));
    EXPECT_EQ(model.cancel(), s);
    EXPECT_FALSE(model.isGesturing());
    EXPECT_EQ(model.base(), base);
    ASSERT_TRUE(model.temporary().has_value());
    EXPECT_EQ(model.temporary()->position, summoned.position);
    EXPECT_EQ(model.temporary()->origin, summoned.origin);
    EXPECT_NE(model.temporary()->token, summoned.token);
    EXPECT_TRUE(model.isCurrent(model.epoch()));
    EXPECT_EQ(model.resolve(Rect(0, 0, 10, 10), kFrame), summoned.position);

    // A cancelled move answers the selection from its start and restores the side.
    model.restoreTemporary();
    ASSERT_TRUE(model.beginGeometry(Model::GeometryGesture::move, s, kFrame));
    model.resolve(Rect(100, 600, 200, 100), kFrame);
    EXPECT_EQ(model.cancel(), s);
    EXPECT_EQ(model.base(), base);
    EXPECT_EQ(model.resolve(s, kFrame), Point(8, 210));
}

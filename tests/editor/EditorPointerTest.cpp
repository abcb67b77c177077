// The editor view under the mouse, driven with QTest on the offscreen platform: the window
// pick and a dragged region, selection handles, drawing and moving marks, the pen's memory
// check, numbered markers, pin moves, cursors, and what a mark drag repaints.
#include "app/editor/EditorCursors.h"
#include "app/editor/PointerGeometry.h"
#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "editor/HeldRenderSlot.h"
#include "editor/HostViewFixture.h"
#include "rendering/AnnotationRenderer.h"

#include <QMouseEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// Presses, drags and releases the primary button at document points of a view.
struct Mouse {
    EditorHostView& view;

    QPoint at(Point p) const { return view.documentToView().map(toQPointF(p)).toPoint(); }
    void move(Point p, Qt::MouseButtons buttons = Qt::NoButton) const
    {
        const QPointF local = at(p);
        QMouseEvent event(QEvent::MouseMove, local, view.mapToGlobal(local), Qt::NoButton, buttons, {});
        QApplication::sendEvent(&view, &event);
    }
    void press(Point p) const { QTest::mousePress(&view, Qt::LeftButton, {}, at(p)); }
    void doubleClick(Point p) const
    {
        press(p);
        release(p);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, at(p));
    }
    void drag(Point p) const { move(p, Qt::LeftButton); }
    void release(Point p) const { QTest::mouseRelease(&view, Qt::LeftButton, {}, at(p)); }
    void dragFromTo(Point from, Point to) const
    {
        press(from);
        drag(to);
        release(to);
    }
};

struct PaintRecorder : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

const Annotation* findMark(const EditorHostView& view, const QUuid& id)
{
    for (const Annotation& mark : view.record().session.annotations())
        if (mark.id == id)
            return &mark;
    return nullptr;
}

struct ShownView {
    std::unique_ptr<EditorHostView> view;
    explicit ShownView(EditorHostView* made) : view(made)
    {
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    EditorHostView* operator->() const { return view.get(); }
    EditorHostView& operator*() const { return *view; }
};

} // namespace

// --- The window pick and the first selection ---

TEST(EditorPointer, AClickPicksTheHoveredWindowAndADragOfFourPointsOrMoreSelectsARegion)
{
    const Rect window(150, 120, 500, 400);
    struct Case {
        const char* name;
        Point to;
        std::optional<Rect> committed; // absent: no document
    };
    const Case cases[] = {
        {"no movement", {200, 200}, window},
        {"3.6 points: still a click", {202, 203}, window},
        {"exactly 4 points: a drag", {200, 204}, std::nullopt}, // zero width: back to the window
        {"5 points: a region", {203, 204}, Rect(200, 200, 3, 4)},
        {"a wide region", {500, 450}, Rect(200, 200, 300, 250)},
        {"zero height", {400, 200}, std::nullopt},
        {"beyond the image: clamped", {5000, 5000}, Rect(200, 200, 1240, 700)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostViewFixture f;
        ShownView view(f.make());
        view->candidates = {WindowCandidate{1, window}};
        int commits = 0;
        view->onCommit = [&] { ++commits; };
        const Mouse mouse{*view};
        mouse.move({200, 200});
        ASSERT_EQ(f.document->session.selection(), window);
        mouse.press({200, 200});
        mouse.drag(c.to);
        mouse.release(c.to);
        EXPECT_EQ(f.document->session.document().has_value(), c.committed.has_value());
        EXPECT_EQ(commits, c.committed ? 1 : 0);
        // A dragged rectangle without area gives the window back.
        EXPECT_EQ(f.document->session.selection(), c.committed.value_or(window));
        EXPECT_FALSE(view->hasGesture());
    }
}

TEST(EditorPointer, HoveringPicksTheFirstWindowUnderThePointerOrTheWholeImage)
{
    HostViewFixture f;
    ShownView view(f.make());
    view->candidates = {WindowCandidate{1, Rect(100, 100, 200, 200)}, WindowCandidate{2, Rect(0, 0, 800, 600)}};
    const Mouse mouse{*view};
    mouse.move({150, 150});
    EXPECT_EQ(f.document->session.selection(), Rect(100, 100, 200, 200));
    mouse.move({700, 150});
    EXPECT_EQ(f.document->session.selection(), Rect(0, 0, 800, 600));
    mouse.move({1000, 800});
    EXPECT_EQ(f.document->session.selection(), Rect(0, 0, 1440, 900));
    EXPECT_EQ(view->cursor().shape(), Qt::CrossCursor);
}

// --- Selection handles ---

TEST(EditorPointer, HandlePointsWinOverEdgeBandsAndLeftWinsOnANarrowSelection)
{
    const Rect narrow(100, 100, 10, 200);
    struct Case {
        Point p;
        std::optional<SelectionHandle> handle;
    };
    const Case cases[] = {
        {{100, 100}, SelectionHandle::topLeft},
        {{107, 96}, SelectionHandle::topLeft},  // 7 from the corner on each axis
        {{110, 100}, SelectionHandle::top},     // the top handle (105, 100) comes before topRight
        {{105, 200}, SelectionHandle::right},   // the right handle point comes before the left one
        {{105, 150}, SelectionHandle::left},    // inside both vertical bands, away from the handles
        {{104, 250}, SelectionHandle::left},
        {{109, 250}, SelectionHandle::right},
        {{116, 250}, SelectionHandle::right},
        {{105, 305}, SelectionHandle::bottomRight},
        {{94, 150}, SelectionHandle::left},
        {{93, 150}, std::nullopt},
        {{105, 308}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p.x << "," << c.p.y);
        EXPECT_EQ(pointerGeometry::selectionHandleAt(narrow, c.p), c.handle);
    }
    // A wide selection: the top band away from any handle point, and its interior.
    EXPECT_EQ(pointerGeometry::selectionHandleAt(Rect(100, 100, 400, 300), {200, 104}), SelectionHandle::top);
    EXPECT_EQ(pointerGeometry::selectionHandleAt(Rect(100, 100, 400, 300), {200, 200}), std::nullopt);

    HostViewFixture f;
    f.commitSelection(narrow);
    ShownView view(f.make());
    EXPECT_EQ(view->selectionHandle({105, 150}), SelectionHandle::left);
    // Dragging there moves the left edge.
    Mouse{*view}.dragFromTo({105, 150}, {60, 150});
    EXPECT_EQ(f.document->session.selection(), Rect(60, 100, 50, 200));

    // In a pin no selection handle is ever hit.
    HostViewFixture pinned;
    pinned.commitSelection(Rect(0, 0, 1440, 900));
    ShownView pin(pinned.make(true));
    EXPECT_EQ(pin->selectionHandle({0, 0}), std::nullopt);
}

TEST(EditorPointer, TheSelectionMovesWithTheSelectToolAndAClickOutsideChangesNothing)
{
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 300, 200));
    const Annotation mark = boxMark(Rect(150, 150, 40, 40));
    f.commitMarks({mark});
    ShownView view(f.make());
    const Mouse mouse{*view};
    mouse.dragFromTo({300, 250}, {350, 230});
    EXPECT_EQ(f.document->session.selection(), Rect(150, 80, 300, 200));
    const auto undoDepth = f.document->session.document()->undoStack().size();
    mouse.press({1000, 700});
    mouse.release({1000, 700});
    EXPECT_EQ(f.document->session.selection(), Rect(150, 80, 300, 200));
    EXPECT_EQ(f.document->session.annotations(), std::vector<Annotation>{mark});
    EXPECT_EQ(f.document->session.document()->undoStack().size(), undoDepth);
    EXPECT_FALSE(f.document->session.hasDraft());
}

// --- Drawing and moving marks ---

TEST(EditorPointer, ShapesAreClampedToTheSelectionWhileMovedMarksAreNot)
{
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 300, 200));
    f.document->tool = CaptureTool::shape;
    f.document->shapeKind = Shape::ellipse;
    ShownView view(f.make());
    const Mouse mouse{*view};

    // A click draws nothing.
    mouse.press({150, 150});
    mouse.release({150, 150});
    EXPECT_TRUE(f.document->session.annotations().empty());

    mouse.dragFromTo({150, 150}, {900, 700});
    ASSERT_EQ(f.document->session.annotations().size(), 1u);
    const Annotation drawn = f.document->session.annotations().front();
    EXPECT_EQ(drawn.kind, Annotation::Kind::ellipse);
    EXPECT_EQ(drawn.points, (std::vector<Point>{{150, 150}, {400, 300}}));
    EXPECT_EQ(drawn.style, EditorDocument::defaultStyle(CaptureTool::shape));
    EXPECT_EQ(f.document->selectedMarkID, drawn.id);

    // Grabbing its body (on the outline) and dragging far moves it out of the selection.
    // Deselected first, so that no handle of its frame is grabbed instead.
    f.document->selectedMarkID.reset();
    f.document->tool = CaptureTool::select;
    mouse.dragFromTo({150, 225}, {850, 725});
    const Annotation* moved = findMark(*view, drawn.id);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->points, (std::vector<Point>{{850, 650}, {1100, 800}}));
    EXPECT_EQ(f.document->session.document()->content().annotations.front().points, moved->points);
}

TEST(EditorPointer, ArrowEndpointsAreGrabbedByTheirHandleAndFollowThePointerUnclamped)
{
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 300, 200));
    f.document->tool = CaptureTool::arrow;
    ShownView view(f.make());
    const Mouse mouse{*view};
    mouse.dragFromTo({150, 150}, {300, 250});
    ASSERT_EQ(f.document->session.annotations().size(), 1u);
    const QUuid id = f.document->session.annotations().front().id;
    // Selected: its end handle is live.
    mouse.move({300, 252});
    EXPECT_EQ(view->cursor().shape(), Qt::OpenHandCursor);
    ASSERT_TRUE(runUntil([&] { return f.document->compositor().cachedMarks() == view->visibleMarks(); }));
    saveTestImage(renderedView(*view).copy(0, 0, 560, 420), QStringLiteral("editor-pointer-hot-endpoint"));
    mouse.press({300, 252});
    mouse.drag({380, 500});
    ASSERT_TRUE(runUntil([&] { return f.document->compositor().cachedMarks() == view->visibleMarks(); }));
    saveTestImage(renderedView(*view).copy(0, 0, 560, 560), QStringLiteral("editor-pointer-endpoint-dragged"));
    mouse.release({380, 500});
    EXPECT_EQ(findMark(*view, id)->points, (std::vector<Point>{{150, 150}, {380, 500}}));
}

TEST(EditorPointer, APenAddsOnePointPerNewPositionAndStopsAtItsMemoryCheck)
{
    HostViewFixture f;
    f.commitSelection(Rect(0, 0, 1440, 900));
    f.document->tool = CaptureTool::pen;
    int checks = 0;
    f.document->canCommitSession = [&](const EditorSession& session) {
        ++checks;
        for (const Annotation& mark : session.annotations())
            if (mark.points.size() >= 512)
                return false;
        return true;
    };
    ShownView view(f.make());
    const Mouse mouse{*view};
    mouse.press({10, 10});
    mouse.drag({11, 10});
    mouse.drag({11, 10}); // the same point again adds nothing
    ASSERT_EQ(f.document->session.annotations().size(), 1u);
    EXPECT_EQ(f.document->session.annotations().front().points.size(), 3u);
    EXPECT_EQ(checks, 0);

    for (int i = 4; i <= 600 && view->hasGesture(); ++i)
        mouse.drag({10 + i * 2.0, 10.0 + (i % 50)});
    // Weighed at 256 points (allowed) and at 512 (refused): the stroke ended there and what
    // was drawn before the refused point was committed.
    EXPECT_FALSE(view->hasGesture());
    EXPECT_EQ(checks, 3); // 256, 512, and the commit of the 511 points
    ASSERT_TRUE(f.document->session.document());
    ASSERT_EQ(f.document->session.document()->content().annotations.size(), 1u);
    EXPECT_EQ(f.document->session.document()->content().annotations.front().points.size(), 511u);
    EXPECT_EQ(view->feedbackLabel()->text(), QStringLiteral("内存预算不足，已停止添加笔迹，已有内容已保留。"));
    EXPECT_FALSE(view->feedbackLabel()->isHidden());
    // Further drags and the release do nothing.
    mouse.drag({900, 500});
    mouse.release({900, 500});
    EXPECT_EQ(f.document->session.annotations().front().points.size(), 511u);
    EXPECT_FALSE(f.document->selectedMarkID); // a pen stroke is never selected
}

TEST(EditorPointer, MarkersAreNumberedUpTo999ThenTheNextPressSaysSo)
{
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 600, 400));
    f.document->tool = CaptureTool::number;
    ASSERT_TRUE(f.document->session.setNextNumber(998));
    ShownView view(f.make());
    int changes = 0;
    view->onContentChanged = [&] { ++changes; };
    const Mouse mouse{*view};
    mouse.press({200, 200});
    mouse.release({200, 200});
    mouse.press({300, 200});
    mouse.release({300, 200});
    ASSERT_EQ(f.document->session.annotations().size(), 2u);
    EXPECT_EQ(f.document->session.annotations()[1].number, 999);
    EXPECT_EQ(f.document->session.annotations()[1].bounds(), Rect(288, 188, 24, 24));
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(view->hasGesture());

    const CaptureContent before = f.document->session.document()->content();
    mouse.press({400, 200});
    mouse.release({400, 200});
    EXPECT_EQ(f.document->session.document()->content(), before);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(view->feedbackLabel()->text(), QStringLiteral("已到999，请设置下一编号"));

    // A gate that refuses keeps the content too.
    ASSERT_TRUE(f.document->session.setNextNumber(5));
    f.document->canCommitSession = [](const EditorSession&) { return false; };
    mouse.press({500, 200});
    mouse.release({500, 200});
    EXPECT_EQ(f.document->session.annotations().size(), 2u);
    EXPECT_EQ(view->feedbackLabel()->text(), QStringLiteral("内存预算不足，已有内容已保留。"));
}

// --- Pins ---

TEST(EditorPointer, APinMovesOnlyFromThreePointsOnAndOnlyWhenItsOwnerAgrees)
{
    struct Case {
        const char* name;
        bool accept;
    };
    for (const Case c : {Case{"accepted", true}, Case{"refused", false}}) {
        SCOPED_TRACE(c.name);
        HostViewFixture f(solidImage(QSize(400, 300)), Size{400, 300});
        f.commitSelection(Rect(0, 0, 400, 300));
        ShownView view(f.make(true));
        int began = 0;
        std::vector<Size> moved;
        std::vector<bool> ended;
        view->onPinMoveBegan = [&] {
            ++began;
            return c.accept;
        };
        view->onPinMoved = [&](Size offset) { moved.push_back(offset); };
        view->onPinMoveEnded = [&](bool cancelled) { ended.push_back(cancelled); };
        const Mouse mouse{*view};
        mouse.press({100, 100});
        ASSERT_TRUE(view->hasGesture());
        EXPECT_FALSE(f.document->session.hasDraft()); // a pin move opens no edit
        mouse.drag({102, 102}); // 2.8 points
        EXPECT_EQ(began, 0);
        mouse.drag({103, 100});
        EXPECT_EQ(began, 1);
        if (c.accept) {
            mouse.drag({90, 120});
            EXPECT_EQ(moved, (std::vector<Size>{{3, 0}, {-10, 20}}));
            EXPECT_EQ(view->cursor().shape(), Qt::ClosedHandCursor);
        } else {
            EXPECT_FALSE(view->hasGesture());
            EXPECT_TRUE(moved.empty());
        }
        mouse.release({90, 120});
        EXPECT_EQ(ended, c.accept ? std::vector<bool>{false} : std::vector<bool>{});
        EXPECT_FALSE(view->pinMoveStarted());
        // A press outside the selection of a pin does nothing.
        f.document->session.setSelection(Rect(0, 0, 200, 150));
        mouse.press({300, 250});
        EXPECT_FALSE(view->hasGesture());
        mouse.release({300, 250});
    }
}

// --- Cursors ---

TEST(EditorPointer, TheCursorSaysWhatAPressWouldDo)
{
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 400, 300));
    const Annotation box = boxMark(Rect(300, 200, 60, 60));
    f.commitMarks({box});
    ShownView view(f.make());
    const Mouse mouse{*view};
    struct Case {
        const char* name;
        CaptureTool tool;
        Point p;
        std::optional<Qt::CursorShape> shape; // absent: a custom bitmap cursor
        const QCursor* custom = nullptr;
    };
    const Case cases[] = {
        {"top-left handle", CaptureTool::select, {100, 100}, std::nullopt, &editorCursors::diagonalDown()},
        {"top-right handle", CaptureTool::select, {500, 100}, std::nullopt, &editorCursors::diagonalUp()},
        {"top edge", CaptureTool::select, {200, 98}, Qt::SizeVerCursor},
        {"right edge", CaptureTool::select, {503, 250}, Qt::SizeHorCursor},
        {"a mark", CaptureTool::select, {300, 215}, Qt::OpenHandCursor},
        {"a hovered mark's handle", CaptureTool::select, {300, 230}, Qt::SizeHorCursor},
        {"select tool", CaptureTool::select, {200, 200}, Qt::ArrowCursor},
        {"text tool", CaptureTool::text, {200, 200}, Qt::IBeamCursor},
        {"pen tool", CaptureTool::pen, {200, 200}, std::nullopt, &editorCursors::penCursor()},
        {"shape tool", CaptureTool::shape, {200, 200}, Qt::CrossCursor},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.document->tool = c.tool;
        mouse.move(c.p);
        if (c.shape) {
            EXPECT_EQ(view->cursor().shape(), *c.shape);
        } else {
            EXPECT_EQ(view->cursor().shape(), Qt::BitmapCursor);
            EXPECT_EQ(view->cursor().hotSpot(), c.custom->hotSpot());
            EXPECT_EQ(view->cursor().pixmap().cacheKey(), c.custom->pixmap().cacheKey());
        }
    }
}

// --- Repaint ---

TEST(EditorPointer, DraggingAMarkRepaintsItsOldAndNewPlacesNotTheWholeSelection)
{
    HostViewFixture f;
    f.commitSelection(Rect(0, 0, 1440, 900));
    const Annotation box = boxMark(Rect(100, 100, 60, 60));
    f.commitMarks({box});
    ShownView view(f.make());
    ASSERT_TRUE(runUntil([&] { return !f.document->compositor().cachedImage().isNull(); }));
    PaintRecorder recorder;
    view->installEventFilter(&recorder);
    const Mouse mouse{*view};
    const auto composed = [&] { return f.document->compositor().cachedMarks() == view->visibleMarks(); };
    // What one more drag step repaints, the steps before it settled and its own new composite
    // arrived (it repaints the same places); nothing when either never happens.
    const auto repaintOfStep = [&](Point to) -> std::optional<QRegion> {
        if (!runUntil(composed))
            return std::nullopt;
        QTest::qWait(50);
        recorder.painted = {};
        mouse.drag(to);
        if (!runUntil([&] { return !recorder.painted.isEmpty() && composed(); }))
            return std::nullopt;
        QApplication::processEvents();
        return recorder.painted;
    };
    // The press opens the rectangle's strip in the toolbar: let that settle first.
    mouse.press({100, 130});
    mouse.drag({150, 180});
    const std::optional<QRegion> moved = repaintOfStep({200, 230});
    ASSERT_TRUE(moved);
    // The chrome placed at every step repaints the toolbar's own rectangle (the view
    // beneath a translucent child); the picture repaints only where the mark was and is.
    const QRegion picture = *moved - view->toolbar()->geometry();
    EXPECT_TRUE(moved->contains(QRect(148, 148, 64, 64)));
    EXPECT_TRUE(moved->contains(QRect(198, 198, 64, 64)));
    EXPECT_FALSE(picture.intersects(QRect(400, 0, 1040, 900)));
    EXPECT_FALSE(picture.intersects(QRect(0, 400, 1440, 500)));
    mouse.release({200, 230});

    // A long pen stroke growing by one point repaints around its newest segment only, at once:
    // its ink is drawn live, and no composite comes while it is drawn.
    f.document->tool = CaptureTool::pen;
    mouse.press({600, 500});
    for (int i = 1; i <= 300; ++i)
        mouse.drag({600.0 + i * 2, 500.0 + (i % 40) * 5});
    QTest::qWait(50);
    recorder.painted = {};
    mouse.drag({1204, 604});
    std::optional<QRegion> grown;
    if (runUntil([&] { return !recorder.painted.isEmpty(); }))
        grown = recorder.painted;
    ASSERT_TRUE(grown);
    // The chrome stands where it stood: nothing of the toolbar is repainted with the ink.
    const QRegion stroke = *grown;
    EXPECT_TRUE(stroke.contains(QRect(1198, 598, 8, 8)));
    EXPECT_LT(stroke.boundingRect().width(), 60);
    EXPECT_LT(stroke.boundingRect().height(), 60);
    mouse.release({1204, 604});
}

// The stroke and the shape being drawn show in the view at once, before any composite of them
// can arrive (the render slot is held), drawn as the composite draws them, through whatever
// maps the document to the view: a device scale, a magnified pin, a painter of its own that
// moves and scales the document as a zoomed pin showing a part of it would.
TEST(EditorPointer, TheMarkBeingDrawnShowsAtOnceAsItsCompositeWillShowIt)
{
    struct Case {
        const char* name;
        bool pinned;
        double viewScale;
        double deviceScale;
    };
    const Case cases[] = {
        {"overlay at scale 1", false, 1, 1},
        {"overlay at scale 2", false, 1, 2},
        {"pin magnified twice", true, 2, 1},
    };
    const QColor ink = AnnotationRenderer::drawnColor(RGBA::Red);
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 && std::abs(a.blue() - b.blue()) <= 8;
    };
    // A painter that shows the part of the document from (150, 120) at 1.5 times.
    const QTransform moved = QTransform::fromTranslate(-225, -180).scale(1.5, 1.5);
    const auto drawnThrough = [&](EditorHostView& view) {
        QImage image(1200, 900, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        painter.setTransform(moved);
        EditorHostViewProbe::draw(view, painter);
        return image;
    };
    const auto movedPixel = [&](const QImage& image, Point p) {
        const QPointF at = moved.map(toQPointF(p));
        return image.pixelColor(int(at.x()), int(at.y()));
    };
    // On the stroke, on the rectangle's edges as they stand now, and where the rectangle's
    // edge stood one step before (no trace of it may stay).
    const std::vector<Point> inked{{250, 200}, {300, 250}, {400, 440}, {550, 470}};
    const std::vector<Point> clear{{250, 230}, {500, 440}, {450, 300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostViewFixture f;
        f.commitSelection(Rect(0, 0, 1440, 900));
        AnnotationStyle style = plainStyle;
        style.width = 6;
        f.document->styles.insert(CaptureTool::pen, style);
        f.document->styles.insert(CaptureTool::shape, style);
        f.document->shapeKind = Shape::roundedRectangle;
        ShownView view(f.make(c.pinned));
        view->setEditingEnabled(true);
        view->setViewScale(c.viewScale);
        ASSERT_TRUE(runUntil(outputsIdle));
        const Mouse mouse{*view};
        const auto check = [&](const char* when, bool composited) {
            SCOPED_TRACE(when);
            const QImage onScreen = drawnPicture(*view, c.deviceScale);
            const QImage throughPainter = drawnThrough(*view);
            for (const Point& p : inked) {
                const QPointF at = view->documentToView().map(toQPointF(p));
                EXPECT_TRUE(near(pixelAt(onScreen, at), ink)) << p.x << "," << p.y << " " << qPrintable(pixelAt(onScreen, at).name());
                EXPECT_TRUE(near(movedPixel(throughPainter, p), ink)) << p.x << "," << p.y << " moved";
            }
            for (const Point& p : clear) {
                const QPointF at = view->documentToView().map(toQPointF(p));
                EXPECT_TRUE(near(pixelAt(onScreen, at), HostViewFixture::pictureColor)) << p.x << "," << p.y;
                EXPECT_TRUE(near(movedPixel(throughPainter, p), HostViewFixture::pictureColor)) << p.x << "," << p.y << " moved";
            }
            if (composited)
                EXPECT_EQ(f.document->compositor().cachedMarks(), view->visibleMarks());
            else
                EXPECT_TRUE(f.document->compositor().cachedMarks().empty());
            saveTestImage(onScreen, QStringLiteral("editor-pointer-live-ink-%1-%2")
                                        .arg(QString::fromLatin1(c.name).replace(QLatin1Char(' '), QLatin1Char('-')),
                                             QString::fromLatin1(when)));
        };
        {
            const HeldSlot held; // no composite can be made while the marks are drawn
            f.document->tool = CaptureTool::pen;
            mouse.press({200, 200});
            mouse.drag({300, 200});
            mouse.drag({300, 300});
            mouse.release({300, 300});
            f.document->tool = CaptureTool::shape;
            mouse.press({400, 400});
            mouse.drag({500, 480});
            mouse.drag({550, 500}); // the right edge moves from 500 to 550
            check("drawing", false);
            mouse.release({550, 500});
            check("released", false); // committed, the composite still waiting
        }
        ASSERT_TRUE(runUntil([&] { return f.document->compositor().cachedMarks() == view->visibleMarks(); }));
        check("composited", true);
    }
}

// A long stroke repainted in a small region is drawn there from the run of its segments that
// crosses it; the pixels must be those of the whole stroke, where it crosses itself too.
TEST(EditorPointer, ALongLiveStrokeRepaintedInPartDrawsWhatTheWholeStrokeDraws)
{
    HostViewFixture f;
    f.commitSelection(Rect(0, 0, 1440, 900));
    f.document->tool = CaptureTool::pen;
    ShownView view(f.make());
    ASSERT_TRUE(runUntil(outputsIdle));
    const Mouse mouse{*view};
    const HeldSlot held;
    mouse.press({100, 100});
    for (int i = 1; i <= 400; ++i) // a zigzag over itself: out along x, back at other heights
        mouse.drag({100.0 + (i % 200) * 3, 100.0 + (i / 200) * 30 + (i % 7) * 6});
    const QImage whole = drawnPicture(*view);
    for (const QRect& part : {QRect(300, 95, 40, 40), QRect(100, 100, 9, 9), QRect(690, 120, 30, 30)}) {
        QImage image(whole.size(), whole.format());
        image.fill(Qt::magenta);
        view->render(&image, part.topLeft(), QRegion(part), QWidget::RenderFlags()); // at its own place
        EXPECT_EQ(image.copy(part), whole.copy(part)) << part.x() << "," << part.y();
    }
    mouse.release({100, 100});
}

// An owner may end the capture from any callback a release reaches; the view stops there.
TEST(EditorPointer, AnOwnerMayDeleteTheViewInsideTheCallbacksOfARelease)
{
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which == 0 ? "onContentChanged" : "onCommit");
        HostViewFixture f;
        f.commitSelection(Rect(100, 100, 300, 200));
        f.document->tool = CaptureTool::shape;
        auto* view = f.make();
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
        QPointer<EditorHostView> alive(view);
        const auto end = [&] { delete alive.data(); };
        if (which == 0)
            view->onContentChanged = end;
        else
            view->onCommit = end;
        const Mouse mouse{*view};
        mouse.press({150, 150});
        mouse.drag({250, 250});
        mouse.release({250, 250});
        EXPECT_FALSE(alive);
        ASSERT_EQ(f.document->session.annotations().size(), 1u);
    }
}

TEST(EditorPointer, ADoubleClickOnAMarkerOpensItsNumberAndASingleClickSelectsItWithoutChangingIt)
{
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 600, 400));
    const Annotation numbered = Annotation::numbered(7, {300, 300}, 24, EditorDocument::defaultStyle(CaptureTool::number));
    f.commitMarks({numbered});
    ShownView view(f.make());
    const Mouse mouse{*view};
    mouse.press({300, 300});
    mouse.release({300, 300});
    EXPECT_EQ(f.document->selectedMarkID, numbered.id);
    EXPECT_EQ(f.document->tool, CaptureTool::number);
    EXPECT_EQ(f.document->session.annotations(), std::vector<Annotation>{numbered});
    EXPECT_FALSE(f.document->session.hasDraft());

    f.document->tool = CaptureTool::select;
    mouse.doubleClick({300, 300});
    EXPECT_EQ(f.document->tool, CaptureTool::number);
    EXPECT_TRUE(view->propertiesOpen());
    EXPECT_FALSE(view->hasGesture());
    EXPECT_EQ(f.document->session.annotations(), std::vector<Annotation>{numbered});
}

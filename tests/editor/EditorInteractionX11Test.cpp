// The editor's pointer and text entry under a real X server and window manager, driven with
// xdotool: a region dragged out over the frozen image, a rectangle drawn in it, a Latin text
// typed on the real keyboard and committed by a click. Screenshots of the X screen go to
// build/test-output/editor-interaction-x11-*.png (looked at by eye).
#include "app/editor/CaptureTextView.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "editor/HeldRenderSlot.h"
#include "editor/HostViewFixture.h"
#include "editor/Xdotool.h"
#include "rendering/AnnotationRenderer.h"
#include "support/X11Environment.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <cmath>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A press, a drag in steps and a release of the primary button between two global points.
void dragWithXdotool(QPoint from, QPoint to)
{
    QStringList arguments = at(from);
    arguments << QStringLiteral("mousedown") << QStringLiteral("1");
    for (int step = 1; step <= 8; ++step) {
        const QPoint p = from + (to - from) * step / 8;
        arguments << at(p);
    }
    arguments << QStringLiteral("mouseup") << QStringLiteral("1");
    ASSERT_EQ(xdotool(arguments), 0);
}

QImage screenshot()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

} // namespace

TEST(EditorInteractionX11, DragARegionDrawARectangleTypeATextAndCommitIt)
{
    HostViewFixture f{solidImage(QSize(1000, 700), HostViewFixture::pictureColor), Size{1000, 700}};
    EditorHostEnvironment environment; // the real clock and pointer
    EditorHostView view(f.document, false, f.output, f.outputs, f.feedback, environment);
    view.setWindowTitle(QStringLiteral("editor"));
    view.move(20, 20);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(runUntil([&] { return QGuiApplication::focusWindow() == view.windowHandle(); }));
    const auto global = [&](Point p) { return view.mapToGlobal(toQPointF(p)).toPoint(); };

    // The region: from the window pick phase to a document.
    dragWithXdotool(global({150, 100}), global({850, 520}));
    ASSERT_TRUE(runUntil([&] { return f.document->session.document().has_value(); }));
    EXPECT_EQ(f.document->session.selection(), Rect(150, 100, 700, 420));

    // A rectangle inside it.
    f.document->tool = CaptureTool::shape;
    view.refresh();
    dragWithXdotool(global({220, 160}), global({420, 300}));
    ASSERT_TRUE(runUntil([&] { return f.document->session.document()->content().annotations.size() == 1; }));
    const Annotation box = f.document->session.annotations().front();
    EXPECT_EQ(box.kind, Annotation::Kind::roundedRectangle);
    EXPECT_EQ(box.points, (std::vector<Point>{{220, 160}, {420, 300}}));

    // A text typed on the keyboard.
    f.document->tool = CaptureTool::text;
    view.refresh();
    ASSERT_EQ(xdotool(at(global({480, 200})) << QStringLiteral("click") << QStringLiteral("1")), 0);
    ASSERT_TRUE(runUntil([&] { return view.textEditor() && view.textEditor()->hasFocus(); }));
    ASSERT_EQ(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), QStringLiteral("Hello X11")}), 0);
    ASSERT_TRUE(runUntil([&] { return view.textEditor()->text() == QStringLiteral("Hello X11"); }));
    spin(100ms);
    saveTestImage(screenshot(), QStringLiteral("editor-interaction-x11-typing"));

    ASSERT_EQ(xdotool(at(global({700, 450})) << QStringLiteral("click") << QStringLiteral("1")), 0);
    ASSERT_TRUE(runUntil([&] { return !view.textEditor(); }));
    ASSERT_EQ(f.document->session.document()->content().annotations.size(), 2u);
    const Annotation text = f.document->session.annotations().back();
    EXPECT_EQ(text.text, QStringLiteral("Hello X11"));
    EXPECT_EQ(text.bounds(), AnnotationRenderer::textBounds(text.text, {480, 200}, 28));
    ASSERT_TRUE(runUntil([&] { return f.document->compositor().cachedMarks() == view.visibleMarks(); }));
    spin(100ms);
    const QImage committed = screenshot();
    saveTestImage(committed, QStringLiteral("editor-interaction-x11-committed"));
    // The text's red ink is on the screen where the editor showed it.
    const QPoint origin = global(text.bounds().origin);
    int red = 0;
    for (int y = origin.y(); y < origin.y() + int(text.bounds().height()); ++y)
        for (int x = origin.x(); x < origin.x() + int(text.bounds().width()); ++x) {
            const QColor c = committed.pixelColor(x, y);
            red += c.red() - c.green() > 90;
        }
    EXPECT_GT(red, 100);
}

// A pen stroke in progress on the screen: its ink shows while the button is still held and no
// composite of it can have been made (the render slot is held).
TEST(EditorInteractionX11, AStrokeInProgressShowsItsInkOnTheScreen)
{
    HostViewFixture f{solidImage(QSize(1000, 700), HostViewFixture::pictureColor), Size{1000, 700}};
    f.commitSelection(Rect(50, 50, 900, 600));
    AnnotationStyle style = plainStyle;
    style.width = 6;
    f.document->styles.insert(CaptureTool::pen, style);
    f.document->tool = CaptureTool::pen;
    EditorHostEnvironment environment; // the real clock and pointer
    EditorHostView view(f.document, false, f.output, f.outputs, f.feedback, environment);
    view.move(20, 20);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(runUntil([&] { return QGuiApplication::focusWindow() == view.windowHandle(); }));
    ASSERT_TRUE(runUntil(outputsIdle));
    const auto global = [&](Point p) { return view.mapToGlobal(toQPointF(p)).toPoint(); };
    const QColor ink = AnnotationRenderer::drawnColor(RGBA::Red);
    const auto inked = [&](const QImage& screen, Point p) {
        const QColor c = screen.pixelColor(global(p));
        return std::abs(c.red() - ink.red()) <= 8 && std::abs(c.green() - ink.green()) <= 8
            && std::abs(c.blue() - ink.blue()) <= 8;
    };

    const HeldSlot held;
    ASSERT_EQ(xdotool(at(global({200, 300})) << QStringLiteral("mousedown") << QStringLiteral("1")), 0);
    for (int step = 1; step <= 30; ++step) { // a wave across the selection, one motion at a time
        ASSERT_EQ(xdotool(at(global({200.0 + step * 20, 300.0 + 80 * std::sin(step / 4.0)}))), 0);
        QTest::qWait(10); // each reaches the view on its own, not merged with the next
    }
    QImage screen;
    EXPECT_TRUE(runUntil([&] {
        screen = screenshot();
        return inked(screen, {200 + 30 * 20, 300 + 80 * std::sin(30 / 4.0)});
    }));
    saveTestImage(screen, QStringLiteral("editor-interaction-x11-stroke-in-progress"));
    EXPECT_TRUE(inked(screen, {400, 300 + 80 * std::sin(10 / 4.0)}));
    EXPECT_TRUE(f.document->compositor().cachedMarks().empty());
    EXPECT_TRUE(view.hasGesture());
    ASSERT_EQ(xdotool(at(global({800, 300})) << QStringLiteral("mouseup") << QStringLiteral("1")), 0);
    ASSERT_TRUE(runUntil([&] { return !view.hasGesture(); }));
}

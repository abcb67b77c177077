// The pointer going from the canvas onto the chrome and off it again: Qt tells the canvas
// nothing while the pointer is over one of its children, so the chrome reports it. A mark must
// not stay hovered, and a hint shown by hovering the toolbar must go when the pointer leaves.
#include "app/editor/DiscoveryHintPanel.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "editor/HostViewFixture.h"
#include "support/FakeFloatingWindows.h"

#include <QApplication>
#include <QTest>

using namespace vorlith;
using namespace vorlith::test;

namespace {

const Rect selection(100, 100, 600, 400);
const Rect box(200, 200, 200, 120);

void moveOnCanvas(EditorHostView& view, QPointF local)
{
    QMouseEvent event(QEvent::MouseMove, local, view.mapToGlobal(local), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(&view, &event);
}

void hoverEvent(QWidget& widget, QEvent::Type type)
{
    QHoverEvent event(type, QPointF(5, 5), QPointF(5, 5), QPointF(-1, -1));
    QApplication::sendEvent(&widget, &event);
}

// A handle square of the box is drawn in the focus colour's outline over the picture.
bool handleDrawn(EditorHostView& view)
{
    const QImage image = drawnPicture(view);
    return pixelAt(image, QPointF(box.minX(), box.minY())) != pixelAt(image, QPointF(box.minX() - 12, box.minY() - 12));
}

} // namespace

TEST(EditorChromeHover, AMarkHoveredOnTheCanvasIsNoLongerHoveredOnceThePointerIsOnTheChrome)
{
    HostViewFixture f;
    f.commitSelection(selection);
    f.commitMarks({boxMark(box)});
    f.document->tool = CaptureTool::select;
    std::unique_ptr<EditorHostView> view(f.make());
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    ASSERT_TRUE(view->refresh());
    ASSERT_TRUE(runUntil([&] { return !f.document->compositor().cachedImage().isNull(); }));

    // Over the box's edge: hovered, drawn with its frame and handles.
    moveOnCanvas(*view, QPointF(box.minX() + 60, box.minY()));
    ASSERT_TRUE(handleDrawn(*view)) << "the hovered box shows its handles";
    saveTestImage(drawnPicture(*view), QStringLiteral("editor-chrome-hover-on-mark"));

    // The pointer goes straight onto the toolbar (a child: the canvas sees no leave).
    view->update();
    QApplication::processEvents();
    hoverEvent(*view->toolbar(), QEvent::HoverEnter);
    EXPECT_FALSE(handleDrawn(*view)) << "the box still looks hovered with the pointer on the toolbar";
    saveTestImage(drawnPicture(*view), QStringLiteral("editor-chrome-hover-on-toolbar"));
}

TEST(EditorChromeHover, TheHintShownByHoveringTheToolbarGoesWhenThePointerLeavesIt)
{
    for (const bool compositor : {true, false}) {
        SCOPED_TRACE(compositor ? "composited" : "no compositor");
        HostViewFixture f;
        f.commitSelection(selection);
        auto windows = std::make_shared<FakeFloatingWindows>();
        windows->setCompositor(compositor);
        EditorHostEnvironment environment = f.environment();
        environment.windows = windows;
        std::unique_ptr<EditorHostView> view(
            new EditorHostView(f.document, false, f.output, f.outputs, f.feedback, environment));
        view->show();
        ASSERT_TRUE(view->refresh());
        // Once summoned, the hint shows only while the pointer rests on the toolbar.
        EditorHostViewProbe::setDiscoverySeen(*view);
        ASSERT_TRUE(view->refresh());
        CaptureToolbar& toolbar = *view->toolbar();
        f.pointer = toolbar.mapToGlobal(QPointF(20, 20));
        hoverEvent(toolbar, QEvent::HoverEnter);
        ASSERT_TRUE(runUntil([&] { return view->hoverHintVisible(); }));
        DiscoveryHintPanel* panel = view->discoveryPanel();
        ASSERT_TRUE(panel && panel->isVisible());
        // Without a compositor the window is its rounded body: no corner pixel.
        EXPECT_EQ(panel->mask().isEmpty(), compositor);
        if (!compositor) {
            EXPECT_FALSE(panel->mask().contains(QPoint(0, 0)));
            EXPECT_TRUE(panel->mask().contains(QPoint(panel->width() / 2, panel->QWidget::height() / 2)));
        }

        f.pointer = view->mapToGlobal(QPointF(300, 300));
        hoverEvent(toolbar, QEvent::HoverLeave);
        EXPECT_FALSE(view->hoverHintVisible());
        EXPECT_FALSE(panel->isVisible()) << "the hint stays after the pointer left the toolbar";
    }
}

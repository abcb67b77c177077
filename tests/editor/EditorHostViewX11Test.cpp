// The editor view under a real X server and window manager, driven with xdotool: the real
// pointer position, global mapping of the toolbar, the return monitor on the real clock.
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/editor/DiscoveryHintPanel.h"
#include "app/editor/EditorLayout.h"
#include "editor/HostViewFixture.h"
#include "platform/FloatingWindowsFactory.h"
#include "editor/Xdotool.h"
#include "support/X11Environment.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

using namespace vorlith;
using namespace vorlith::test;

namespace {

struct RealStage {
    HostViewFixture f{solidImage(QSize(1000, 700), HostViewFixture::pictureColor), Size{1000, 700}};
    std::unique_ptr<EditorHostView> view;

    explicit RealStage(std::shared_ptr<FloatingWindows> windows = nullptr)
    {
        f.commitSelection(Rect(150, 100, 700, 420));
        EditorHostEnvironment environment; // the real clock and pointer
        environment.windows = std::move(windows);
        view = std::make_unique<EditorHostView>(f.document, false, f.output, f.outputs, f.feedback, environment);
        view->setWindowTitle(QStringLiteral("editor"));
        view->move(20, 20);
        view->show();
        view->activateWindow();
        EXPECT_TRUE(runUntil([&] { return QGuiApplication::focusWindow() == view->windowHandle(); }));
        view->refresh();
        spin(100ms);
    }

    QPoint global(QPoint local) const { return view->mapToGlobal(local); }
};

} // namespace

TEST(EditorHostViewX11, ASecondaryClickSummonsTheToolbarWhichReturnsOnceThePointerStaysAway)
{
    RealStage stage;
    const Rect placed = stage.view->toolbarFrameInView();
    xdotool(at(stage.global(QPoint(300, 200))) << QStringLiteral("click") << "3");
    ASSERT_TRUE(runUntil([&] { return stage.f.document->toolbarPlacement.temporary().has_value(); }));
    const Rect summoned = stage.view->toolbarFrameInView();
    EXPECT_NE(summoned.origin, placed.origin);
    const Point click{300, 200};
    EXPECT_LT(distance(click, editorLayout::nearestPoint(summoned, click)), 40) << "next to the pointer";

    // The pointer parked far from the toolbar and the click: back after about 0.3 s.
    xdotool(at(stage.global(QPoint(900, 650))));
    QElapsedTimer away;
    away.start();
    ASSERT_TRUE(runUntil([&] { return !stage.f.document->toolbarPlacement.temporary(); }, 3s));
    EXPECT_GE(away.elapsed(), 280);
    EXPECT_EQ(stage.view->toolbarFrameInView().origin, placed.origin);
}

TEST(EditorHostViewX11, HoveringTheToolbarAfterASummonShowsTheDiscoveryHint)
{
    // The application's window service: openbox runs without a compositor here.
    std::shared_ptr<FloatingWindows> windows = FloatingWindowsFactory::make();
    ASSERT_FALSE(windows->hasCompositor());
    RealStage stage(windows);
    ASSERT_TRUE(stage.view->discoveryPanel());
    EXPECT_TRUE(runUntil([&] { return stage.view->discoveryPanel()->isVisible(); }));
    xdotool(at(stage.global(QPoint(300, 200))) << QStringLiteral("click") << "3");
    ASSERT_TRUE(runUntil([&] { return stage.f.document->toolbarPlacement.temporary().has_value(); }));
    EXPECT_FALSE(stage.view->discoveryPanel()->isVisible());
    // The pointer reaches the summoned toolbar (it may now return); once the toolbar is back
    // in place and the pointer rests on it, the hint comes after its delay.
    const CaptureToolbar* toolbar = stage.view->toolbar();
    xdotool(at(toolbar->mapToGlobal(QPoint(toolbar->width() - 20, toolbar->height() - 8))));
    ASSERT_TRUE(runUntil([&] { return stage.f.document->toolbarPlacement.temporary()->returnReady; }));
    stage.view->restoreToolbarTemporary();
    xdotool(at(toolbar->mapToGlobal(QPoint(toolbar->width() - 20, toolbar->height() - 8))));
    EXPECT_TRUE(runUntil([&] { return stage.view->hoverHintVisible(); }, 3s));
    EXPECT_TRUE(stage.view->discoveryPanel()->isVisible());
    const QRect panel = stage.view->discoveryPanel()->geometry();
    const QRect bar(toolbar->mapToGlobal(QPoint(0, 0)), toolbar->size());
    EXPECT_TRUE(panel.top() == bar.bottom() + 1 + 8 || panel.bottom() + 1 == bar.top() - 8)
        << panel.top() << " " << bar.top() << " " << bar.bottom();
    // Without a compositor the panel is cut to its rounded body: its corner shows the editor
    // beneath, not black.
    spin(150ms);
    const QImage shown = stage.view->screen()->grabWindow(0).toImage();
    saveTestImage(shown.copy(panel.adjusted(-40, -40, 40, 40)), QStringLiteral("editor-hint-x11-no-compositor"));
    EXPECT_NE(shown.pixelColor(panel.topLeft()), QColor(Qt::black));
    EXPECT_NE(shown.pixelColor(panel.bottomRight()), QColor(Qt::black));
    // Leaving the toolbar hides it, with nothing else happening.
    xdotool(at(stage.global(QPoint(500, 300))));
    EXPECT_TRUE(runUntil([&] { return !stage.view->discoveryPanel()->isVisible(); }, 2s));
    EXPECT_FALSE(stage.view->hoverHintVisible());
    spin(150ms);
    saveTestImage(stage.view->screen()->grabWindow(0).toImage().copy(panel.adjusted(-200, -120, 200, 40)),
                  QStringLiteral("editor-hint-x11-after-leaving"));
}

TEST(EditorHostViewX11, DraggingTheToolbarDocksIt)
{
    RealStage stage;
    const CaptureToolbar* toolbar = stage.view->toolbar();
    const QPoint grip = toolbar->mapToGlobal(QPoint(toolbar->width() / 2, 4));
    const QPoint before = toolbar->pos();
    xdotool(at(grip) << QStringLiteral("mousedown") << "1");
    ASSERT_TRUE(runUntil([&] { return stage.view->isDraggingToolbar(); }));
    xdotool(at(grip + QPoint(-40, -30)));
    xdotool(at(grip + QPoint(-80, -60)) << QStringLiteral("mouseup") << "1");
    ASSERT_TRUE(runUntil([&] { return !stage.view->isDraggingToolbar(); }));
    EXPECT_EQ(stage.f.document->toolbarPlacement.base().mode, ToolbarPlacementModel::Mode::manual);
    EXPECT_EQ(toolbar->pos(), before + QPoint(-80, -60));
}

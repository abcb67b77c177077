// The toolbar and strip under a real X server and window manager, driven with xdotool: real
// button events, implicit pointer grabs, focus set by the server.
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ColorSwatch.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolButton.h"
#include "app/editor/chrome/ToolProperties.h"
#include "support/TestSupport.h"
#include "editor/Xdotool.h"
#include "support/X11Environment.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using Role = ToolProperties::FieldRole;

namespace {

struct Stage {
    QWidget window;
    CaptureToolbar* toolbar = new CaptureToolbar(&window);
    ToolProperties* strip = new ToolProperties;
    std::vector<QString> actions;
    int began = 0, dragged = 0, ended = 0;
    std::vector<AnnotationStyle> changes;

    Stage()
    {
        window.setWindowTitle(QStringLiteral("chrome"));
        window.setGeometry(100, 100, 900, 300);
        window.setFocusPolicy(Qt::StrongFocus);
        toolbar->move(40, 40);
        toolbar->embedProperties(strip);
        strip->configure(CaptureTool::shape, Annotation::Kind::roundedRectangle,
                         AnnotationStyle{.color = RGBA::Red, .width = 2});
        toolbar->layoutEmbeddedProperties();
        toolbar->refresh(CaptureTool::shape, true, true, false);
        toolbar->onAction = [this](const QString& key) { actions.push_back(key); };
        toolbar->onDragBegan = [this](const QMouseEvent&) { return ++began > 0; };
        toolbar->onDragged = [this](const QMouseEvent&) { ++dragged; };
        toolbar->onDragEnded = [this](const QMouseEvent&) { ++ended; };
        strip->onChange = [this](const AnnotationStyle& s, Annotation::Kind) { changes.push_back(s); };
        strip->onReturnToCanvas = [this] { window.setFocus(); };
        window.show();
        window.activateWindow();
        EXPECT_TRUE(runUntil([&] { return QGuiApplication::focusWindow() == window.windowHandle(); }));
        spin(100ms);
    }

    QPoint global(QWidget* w, QPoint local) const { return w->mapToGlobal(local); }
    QPoint centre(QWidget* w) const { return w->mapToGlobal(w->rect().center()); }
};

} // namespace

TEST(ChromeX11, ButtonsReportTheirKeysAndTheBarDragsOnce)
{
    Stage stage;
    for (const char* key : {"arrow", "undo", "copy"}) {
        xdotool(at(stage.centre(stage.toolbar->button(QString::fromLatin1(key)))) << QStringLiteral("click") << "1");
        ASSERT_TRUE(runUntil([&] { return !stage.actions.empty() && stage.actions.back() == key; })) << key;
    }
    EXPECT_EQ(stage.began, 0) << "buttons never start a drag";

    const QPoint grip = stage.global(stage.toolbar, QPoint(stage.toolbar->width() / 2, 4));
    xdotool(at(grip) << QStringLiteral("mousedown") << "1");
    ASSERT_TRUE(runUntil([&] { return stage.toolbar->dragging(); }));
    xdotool(at(grip + QPoint(30, 10)));
    xdotool(at(grip + QPoint(60, 20)) << QStringLiteral("mouseup") << "1");
    ASSERT_TRUE(runUntil([&] { return stage.ended == 1; }));
    EXPECT_EQ(stage.began, 1);
    EXPECT_GE(stage.dragged, 1);
    spin(100ms);
    EXPECT_EQ(stage.ended, 1);
}

TEST(ChromeX11, HidingTheBarMidDragEndsItOnceAndTheLateReleaseChangesNothing)
{
    Stage stage;
    const QPoint grip = stage.global(stage.toolbar, QPoint(stage.toolbar->width() / 2, 4));
    xdotool(at(grip) << QStringLiteral("mousedown") << "1");
    ASSERT_TRUE(runUntil([&] { return stage.toolbar->dragging(); }));
    xdotool(at(grip + QPoint(20, 0)));
    ASSERT_TRUE(runUntil([&] { return stage.dragged >= 1; }));
    stage.window.hide();
    EXPECT_EQ(stage.ended, 1);
    xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    stage.window.show();
    spin(150ms);
    xdotool(at(grip + QPoint(5, 0)));
    spin(150ms);
    EXPECT_EQ(stage.ended, 1);
    EXPECT_FALSE(stage.toolbar->dragging());
}

TEST(ChromeX11, AnInvalidWidthKeepsTheKeyboardWhileToolbarButtonsStillWork)
{
    Stage stage;
    StripField* width = stage.strip->field(Role::width);
    xdotool(at(stage.centre(width)) << QStringLiteral("click") << "1");
    ASSERT_TRUE(runUntil([&] { return width->hasFocus(); }));
    width->selectAll();
    xdotool({QStringLiteral("type"), QStringLiteral("0")});
    ASSERT_TRUE(runUntil([&] { return width->text() == "0"; }));

    xdotool(at(stage.centre(stage.strip->swatches()[2])) << QStringLiteral("click") << "1");
    xdotool(at(stage.centre(stage.toolbar->button("text"))) << QStringLiteral("click") << "1");
    ASSERT_TRUE(runUntil([&] { return !stage.actions.empty(); }));
    EXPECT_EQ(stage.actions, std::vector<QString>{"text"});
    EXPECT_TRUE(stage.changes.empty());
    // A click on the window under the bar would take the keyboard; the field takes it back.
    xdotool(at(stage.global(&stage.window, QPoint(450, 260))) << QStringLiteral("click") << "1");
    spin(150ms);
    EXPECT_TRUE(runUntil([&] { return width->hasFocus(); }));
    EXPECT_EQ(width->text(), "0");

    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(runUntil([&] { return width->text() == "2" && !width->hasFocus(); }));
    xdotool(at(stage.centre(stage.strip->swatches()[2])) << QStringLiteral("click") << "1");
    ASSERT_TRUE(runUntil([&] { return stage.changes.size() == 1; }));
    EXPECT_EQ(stage.changes[0].color, (RGBA{0, 122 / 255.0, 1, 1}));
}

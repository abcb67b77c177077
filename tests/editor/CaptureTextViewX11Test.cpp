// The text editor under a real X server and window manager, typed into with xdotool: real key
// events with their key symbols, a paste from another program, Esc.
#include "app/editor/CaptureTextView.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

int xdotool(const QStringList& arguments)
{
    return X11Environment::server()->run(QStringLiteral("xdotool"), arguments);
}

TEST(CaptureTextViewX11, TypedKeysReturnAPasteFromAnotherProgramAndEsc)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("text entry"));
    window.setGeometry(100, 100, 520, 260);
    auto* view = new CaptureTextView(&window);
    view->setGeometry(40, 40, 300, 140);
    int cancels = 0;
    view->onCancel = [&] { ++cancels; };
    window.show();
    window.activateWindow();
    ASSERT_TRUE(runUntil([&] { return QGuiApplication::focusWindow() == window.windowHandle(); }));
    view->setFocus();
    ASSERT_TRUE(runUntil([&] { return view->hasFocus(); }));

    xdotool({QStringLiteral("type"), QStringLiteral("Hello")});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    // (Han characters cannot come this way: xdotool types them by remapping a spare key and
    // restores the map before Qt has read it. The input-method road is tested offscreen.)
    xdotool({QStringLiteral("type"), QStringLiteral("World ok")});
    ASSERT_TRUE(runUntil([&] { return view->text() == QStringLiteral("Hello\nWorld ok"); })) << view->text().toStdString();

    // Another program's clipboard with CR LF: one line break.
    QByteArray ignored;
    X11Environment::server()->run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                            QStringLiteral("-i")},
                                  &ignored, QByteArray("\r\nx\r\ny"));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+v")});
    ASSERT_TRUE(runUntil([&] { return view->text().endsWith(QStringLiteral("y")); })) << view->text().toStdString();
    EXPECT_EQ(view->text(), QStringLiteral("Hello\nWorld ok\nx\ny"));

    spin(200ms); // for the eye only: let the window repaint before the screenshot
    const QImage shot = window.screen()->grabWindow(0, 100, 100, 520, 260).toImage();
    saveTestImage(shot, QStringLiteral("textview-x11-typed"));

    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(runUntil([&] { return cancels == 1; }));
    spin(100ms);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(view->text(), QStringLiteral("Hello\nWorld ok\nx\ny")) << "cancelling is the owner's; the view keeps its text";
}

} // namespace

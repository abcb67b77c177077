// The editor's chrome on a real X server under a dark desktop palette: the toolbar's tool tip
// shows the chord in Linux words, light, in the interface fonts.
#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolButton.h"
#include "app/editor/chrome/ToolProperties.h"
#include "editor/DarkApplicationPalette.h"
#include "editor/HostViewFixture.h"
#include "editor/X11EditorWindow.h"
#include "editor/Xdotool.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWindow>

using namespace vorlith;
using namespace vorlith::test;

namespace {

QLabel* shownToolTip()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible())
            return qobject_cast<QLabel*>(widget);
    }
    return nullptr;
}

} // namespace

TEST(EditorAppearanceX11, TheUndoToolTipShowsItsChordLightUnderADarkDesktop)
{
    DarkApplicationPalette dark;

    HostViewFixture f{solidImage(QSize(900, 560), QColor(40, 120, 90)), Size{900, 560}};
    f.commitSelection(Rect(100, 80, 700, 300));
    f.commitMarks({penMark(150, 150)});
    f.document->tool = CaptureTool::pen;
    EditorHostEnvironment environment; // the real clock and pointer
    auto view = std::make_unique<EditorHostView>(f.document, false, f.output, f.outputs, f.feedback, environment);
    showWithKeyboard(*view, QPoint(10, 10));
    EditorHostViewProbe::setPropertiesOpen(*view, true);
    ASSERT_TRUE(view->refresh());

    ToolButton* undo = view->toolbar()->button("undo");
    ASSERT_TRUE(undo);
    const QPoint centre = undo->mapToGlobal(undo->rect().center());
    xdotool(at(centre + QPoint(-3, 0)));
    xdotool(at(centre));
    ASSERT_TRUE(runUntil([] { return shownToolTip() != nullptr; }, std::chrono::milliseconds(5000)));
    QLabel* tip = shownToolTip();
    EXPECT_EQ(tip->text(), QStringLiteral("撤销（Ctrl+Z）"));
    EXPECT_EQ(tip->palette().color(QPalette::ToolTipBase), InterfaceColors::white());
    EXPECT_EQ(tip->font().families().value(0), QString::fromLatin1(InterfaceFonts::latinFamily));
    spin(std::chrono::milliseconds(200));
    const QImage screen = view->screen()->grabWindow(0).toImage();
    saveTestImage(screen.copy(QRect(tip->geometry().topLeft() - QPoint(300, 160), QSize(640, 260))),
                  QStringLiteral("editor-dark-theme-x11-tooltip"));
    // The tool tip's body on screen is light.
    EXPECT_GT(qGray(screen.pixel(tip->geometry().center().x(), tip->geometry().top() + 2)), 200);
}

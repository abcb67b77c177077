#include "app/output/FileDialogSavePanel.h"
#include "support/TestSupport.h"
#include "support/X11ClientStacking.h"
#include "support/X11Environment.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A stand-in for a capture overlay: override-redirect, covering the whole screen, one flat
// colour so that anything shown above it is easy to tell apart.
class Overlay : public QWidget {
public:
    Overlay() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint | Qt::WindowStaysOnTopHint)
    {
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(255, 0, 255)); }
};

bool isOverlayColour(QRgb pixel)
{
    return qRed(pixel) > 240 && qGreen(pixel) < 15 && qBlue(pixel) > 240;
}

} // namespace

TEST(SavePanelStacking, PanelAppearsAboveAnOverrideRedirectOverlay)
{
    Overlay overlay;
    overlay.show();
    ASSERT_TRUE(runUntil([&] { return overlay.windowHandle() && overlay.windowHandle()->isExposed(); }));
    spin(100ms);

    QTemporaryDir folder;
    FileDialogSavePanel panel;
    SavePanel::Configuration configuration{QStringLiteral("保存截图"), QStringLiteral("保存"), QStringLiteral("名称："),
                                           folder.path(), QStringLiteral("截图 2024-05-01 09.30.15"), ImageFormat::png, true};
    panel.open(configuration);
    QFileDialog* dialog = panel.dialog();
    ASSERT_TRUE(runUntil([&] { return dialog->windowHandle() && dialog->windowHandle()->isExposed(); }));
    spin(300ms);

    QScreen* screen = QGuiApplication::primaryScreen();
    const QImage desktop = screen->grabWindow(0).toImage();
    saveTestImage(desktop, QStringLiteral("save-panel-above-overlay"));

    const QRect frame = dialog->frameGeometry();
    const QRect shown = frame.intersected(screen->geometry());
    ASSERT_FALSE(shown.isEmpty()) << "the panel is on screen";
    EXPECT_TRUE(screen->availableGeometry().contains(frame.center()));
    const double ratio = desktop.devicePixelRatio();
    int covered = 0, samples = 0;
    for (int y = shown.top() + 10; y < shown.bottom() - 10; y += 25) {
        for (int x = shown.left() + 10; x < shown.right() - 10; x += 25) {
            ++samples;
            if (isOverlayColour(desktop.pixel(int(x * ratio), int(y * ratio))))
                ++covered;
        }
    }
    EXPECT_GT(samples, 20);
    EXPECT_EQ(covered, 0) << "the overlay shows through the panel";
    // Outside the panel the overlay is still what the user sees.
    EXPECT_TRUE(isOverlayColour(desktop.pixel(2, 2)));

    // No window manager hands an override-redirect window the keyboard: the panel takes it.
    ASSERT_TRUE(runUntil([&] { return QGuiApplication::focusWindow() == dialog->windowHandle(); }));
    X11Environment::server()->run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("abc")});
    EXPECT_TRUE(runUntil([&] { return panel.nameFieldText() == QStringLiteral("abc"); }))
        << panel.nameFieldText().toStdString();
    panel.cancel();
}

TEST(SavePanelStacking, PanelOfAStayOnTopWindowIsStackedAboveIt)
{
    if (!X11Environment::server()->options().windowManager)
        GTEST_SKIP() << "stacking of managed windows needs a window manager";
    // A window that stays on top, as a pin does, placed by its own flags.
    QWidget pin(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    pin.setGeometry(QGuiApplication::primaryScreen()->availableGeometry().adjusted(100, 100, -100, -100));
    pin.show();
    ASSERT_TRUE(runUntil([&] { return pin.windowHandle() && pin.windowHandle()->isExposed(); }));

    QTemporaryDir folder;
    FileDialogSavePanel panel;
    SavePanel::Configuration configuration{QStringLiteral("保存截图"), QStringLiteral("保存"), QStringLiteral("名称："),
                                           folder.path(), QStringLiteral("截图"), ImageFormat::png, false, &pin};
    panel.open(configuration);
    QFileDialog* dialog = panel.dialog();
    ASSERT_TRUE(runUntil([&] { return dialog->windowHandle() && dialog->windowHandle()->isExposed(); }));
    // The pin is clicked meanwhile and comes forward; its panel must not end up beneath it.
    pin.raise();
    spin(300ms);

    const std::vector<quint64> stacking = clientStacking();
    const auto at = [&](QWidget* w) { return std::find(stacking.begin(), stacking.end(), quint64(w->winId())) - stacking.begin(); };
    ASSERT_LT(std::size_t(at(&pin)), stacking.size());
    ASSERT_LT(std::size_t(at(dialog)), stacking.size());
    EXPECT_GT(at(dialog), at(&pin)) << "the save panel is listed above its stay-on-top window";
    panel.cancel();
}

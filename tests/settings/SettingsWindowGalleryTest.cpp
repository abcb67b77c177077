// The settings window's looks at scale 1 and 2 (build/test-output/settings-window-*.png):
// idle, recording, red feedback, each login status, and on a 700-pt screen; pixels sampled.
#include "app/base/InterfaceColors.h"
#include "app/settings/ShortcutRecorder.h"
#include "settings/SettingsWindowFixture.h"
#include "support/TestSupport.h"
#include "support/WidgetGallery.h"

#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// Pixels of the feedback strip (y-down from the footer's top) near the error colour.
int redPixels(const QImage& image, int contentHeight, double scale)
{
    int count = 0;
    for (double y = contentHeight - 103; y < contentHeight - 67; y += 0.5)
        for (double x = 28; x < 512; x += 0.5) {
            const QColor c = pixelAt(image, x, y, scale, 0);
            count += c.red() > 200 && c.green() < 150 && c.blue() < 150;
        }
    return count;
}

} // namespace

TEST(SettingsWindowGallery, StatesAtScaleOneAndTwo)
{
    for (const double scale : {1.0, 2.0}) {
        std::vector<GalleryTile> tiles;
        const auto shot = [&](const QString& name, SettingsWindowController& w) {
            QImage image = renderAtScale(w, scale, 0);
            saveTestImage(image, QStringLiteral("settings-window-%1-%2x").arg(name).arg(int(scale)));
            return image;
        };

        SettingsWindowFixture f;
        SettingsWindowController& w = *f.window;
        f.login.current = LoginItemStatus::enabled;
        w.present();
        const QImage idle = shot(QStringLiteral("idle"), w);
        EXPECT_TRUE(nearColor(pixelAt(idle, 10, 120, scale, 0), InterfaceColors::settingsBody()));
        EXPECT_TRUE(nearColor(pixelAt(idle, 300, 290, scale, 0), InterfaceColors::white())); // in a box
        EXPECT_TRUE(nearColor(pixelAt(idle, 10, 748 - 30, scale, 0), InterfaceColors::settingsFooter()));
        EXPECT_TRUE(nearColor(pixelAt(idle, 444, 748 - 29, scale, 0), InterfaceColors::brand()));
        // The icon shows at 28, 35 (y-down), 48 × 48: its green body.
        EXPECT_TRUE(nearColor(pixelAt(idle, 28 + 6, 35 + 24, scale, 0), QColor(216, 235, 85), 10));
        EXPECT_EQ(redPixels(idle, 748, scale), 0);
        if (scale == 2) {
            // A separator 0.5 high: one device row of rowSeparator at y-down 90 + (600 − 494.5).
            const double y = 90 + 600 - 494.5;
            EXPECT_TRUE(nearColor(pixelAt(idle, 200, y, scale, 0), InterfaceColors::rowSeparator()));
        }

        QTest::mouseClick(w.recorder(), Qt::LeftButton);
        shot(QStringLiteral("recording"), w);
        EXPECT_EQ(w.recorder()->text(), QStringLiteral("请按快捷键…"));
        w.recorder()->endRecording();

        f.registrar->taken.insert({0, 0x100});
        QTest::mouseClick(w.recorder(), Qt::LeftButton);
        w.recorder()->accept(ShortcutSpec{0, 0x100, QStringLiteral("Ctrl+A")});
        w.saveSettings();
        const QImage failed = shot(QStringLiteral("error"), w);
        EXPECT_GT(redPixels(failed, 748, scale), 20);
        w.close();

        for (const auto& [status, name] :
             {std::pair{LoginItemStatus::requiresApproval, "approval"}, std::pair{LoginItemStatus::notRegistered, "off"},
              std::pair{LoginItemStatus::unavailable, "unavailable"}}) {
            f.login.current = status;
            w.present();
            // The body scrolled to its end, where the login rows are.
            w.scrollView()->ensureWidgetVisible(w.loginStatus());
            shot(QStringLiteral("login-%1").arg(QString::fromLatin1(name)), w);
            w.close();
        }

        SettingsWindowFixture small({.loginService = false});
        small.window->setContentHeight(640);
        small.window->present();
        const QImage low = shot(QStringLiteral("640"), *small.window);
        EXPECT_TRUE(nearColor(pixelAt(low, 10, 640 - 30, scale, 0), InterfaceColors::settingsFooter()));
        EXPECT_TRUE(nearColor(pixelAt(low, 444, 640 - 29, scale, 0), InterfaceColors::brand()));
        small.window->scrollView()->ensureWidgetVisible(small.window->loginStatus());
        shot(QStringLiteral("640-scrolled-no-login-service"), *small.window);
    }
}

#include "app/base/AlertDialog.h"
#include "app/base/InterfaceColors.h"
#include "app/shell/AboutWindowController.h"
#include "platform/x11/X11StatusItemHost.h"
#include "support/TestSupport.h"
#include "support/WidgetGallery.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

ApplicationVersionInfo info(const QString& date)
{
    return ApplicationVersionInfo::fromBundle({{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.4.2")},
                                               {QStringLiteral("CFBundleVersion"), QStringLiteral("42")},
                                               {QStringLiteral("TolvaneReleaseDate"), date}});
}

// The label's y-down top, from the window's top edge.
int top(const QWidget* widget)
{
    return widget->geometry().top();
}

} // namespace

TEST(AboutWindow, LaysOutItsLabelsFromTheFramesAndShowsTheRecord)
{
    AboutWindowController about(info(QStringLiteral("2025-03-07")));
    QWidget* window = about.window();
    EXPECT_EQ(window->size(), QSize(360, 246));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("关于 Vorlith"));
    // Tops: icon 30, name 103, tagline 131, version 170, release 194.
    EXPECT_EQ(about.icon()->geometry(), QRect(148, 30, 64, 64));
    EXPECT_EQ(top(about.name()), 103);
    EXPECT_EQ(top(about.taglineLabel()), 131);
    EXPECT_EQ(top(about.version()), 170);
    EXPECT_EQ(top(about.release()), 194);
    EXPECT_EQ(about.name()->text(), QStringLiteral("Vorlith"));
    EXPECT_EQ(about.taglineLabel()->text(), QStringLiteral("面向日常办公的轻量屏幕助手"));
    EXPECT_EQ(about.version()->text(), QStringLiteral("版本 1.4.2"));
    EXPECT_EQ(about.release()->text(), QStringLiteral("发布时间  2025-03-07"));

    AboutWindowController unreleased(info(QStringLiteral("2025-3-7")));
    EXPECT_EQ(unreleased.release()->text(), QStringLiteral("发布时间  待发布"));
}

TEST(AboutWindow, EscapeClosesAndItOpensAgain)
{
    AboutWindowController about(info(QStringLiteral("2025-03-07")));
    int closed = 0;
    about.onClosed = [&] { ++closed; };
    about.showWindow();
    ASSERT_TRUE(about.window()->isVisible());
    QTest::keyClick(about.window(), Qt::Key_Escape);
    EXPECT_FALSE(about.window()->isVisible());
    EXPECT_EQ(closed, 1);
    about.showWindow();
    EXPECT_TRUE(about.window()->isVisible());
    about.window()->close();
}

TEST(AboutWindow, Gallery)
{
    for (double scale : {1.0, 2.0}) {
        std::vector<GalleryTile> tiles;
        AboutWindowController released(info(QStringLiteral("2025-03-07")));
        AboutWindowController unreleased(ApplicationVersionInfo::fromBundle({}));
        for (auto* about : {&released, &unreleased}) {
            const QImage image = renderAtScale(*about->window(), scale);
            EXPECT_TRUE(nearColor(pixelAt(image, 10, 10, scale), InterfaceColors::panelBody()));
            // The icon's green fills its middle; the name is drawn in ink.
            const QColor icon = pixelAt(image, 180 - 20, 62 - 20, scale);
            EXPECT_FALSE(nearColor(icon, InterfaceColors::panelBody(), 30));
            tiles.push_back({about == &released ? QStringLiteral("released") : QStringLiteral("unreleased"), image});
        }
        // The tray icon at both sizes, on a light and a dark panel.
        QImage tray(120, 48, QImage::Format_ARGB32_Premultiplied);
        tray.fill(QColor(240, 240, 240));
        {
            QPainter painter(&tray);
            painter.fillRect(60, 0, 60, 48, QColor(40, 40, 40));
            const QIcon icon = X11StatusItemHost::icon();
            for (int x : {4, 64}) {
                painter.drawPixmap(x, 15, icon.pixmap(QSize(18, 18), 1.0));
                painter.drawPixmap(x + 22, 6, icon.pixmap(QSize(36, 36), 1.0));
            }
        }
        EXPECT_FALSE(X11StatusItemHost::icon().pixmap(QSize(18, 18), 1.0).isNull());
        tiles.push_back({QStringLiteral("tray 18 and 36 px"), tray});

        // Alerts: one button, two buttons.
        AlertDialog one({QStringLiteral("部分快捷键暂时无法使用"),
                         QStringLiteral("快捷键可能已被其他应用占用。你仍可使用菜单入口，并在设置中更换相应快捷键。"),
                         {QStringLiteral("知道了")}});
        AlertDialog two({QStringLiteral("允许自动检查 Vorlith 更新？"),
                         QStringLiteral("只检查新版本，不会自动安装。你也可以随时从菜单检查更新。"),
                         {QStringLiteral("允许"), QStringLiteral("手动检查")}});
        for (AlertDialog* dialog : {&one, &two}) {
            dialog->adjustSize();
            tiles.push_back({dialog->messageLabel()->text(), renderAtScale(*dialog, scale)});
        }
        saveTestImage(gallerySheet(tiles, scale), QStringLiteral("about-alerts-%1x").arg(int(scale)));
    }
}

TEST(AlertDialog, AnswersByButtonAndEscapeTakesTheLast)
{
    AlertDialog two({QStringLiteral("m"), QStringLiteral("i"), {QStringLiteral("允许"), QStringLiteral("手动检查")}});
    ASSERT_EQ(two.buttons().size(), 2);
    EXPECT_TRUE(two.buttons()[0]->isDefault());
    // The first button stands rightmost.
    two.adjustSize();
    EXPECT_GT(two.buttons()[0]->geometry().left(), two.buttons()[1]->geometry().left());
    two.buttons()[1]->click();
    EXPECT_EQ(two.response(), Alert::secondButton);
    two.reject();
    EXPECT_EQ(two.response(), Alert::secondButton);

    AlertDialog one({QStringLiteral("m"), {}, {QStringLiteral("知道了")}});
    EXPECT_TRUE(one.informativeLabel()->isHidden());
    one.reject();
    EXPECT_EQ(one.response(), Alert::firstButton);
}

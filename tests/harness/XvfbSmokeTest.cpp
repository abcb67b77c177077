#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlith::test;

namespace {

class ClickTarget : public QWidget {
public:
    int presses = 0;
    QPoint lastPosition;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        lastPosition = event->position().toPoint();
    }
};

} // namespace

TEST(XvfbFixture, QtSeesTwoMonitorsSideBySide)
{
    XvfbServer* server = X11Environment::server();
    ASSERT_NE(server, nullptr);
    const double scale = server->options().scale;
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2);
    // Qt keeps each screen's native top-left corner and divides its size by the scale.
    const int w = qRound(1920 / scale), h = qRound(1080 / scale);
    EXPECT_EQ(screens[0]->geometry(), QRect(0, 0, w, h));
    EXPECT_EQ(screens[1]->geometry(), QRect(1920, 0, w, h));
    for (QScreen* screen : screens)
        EXPECT_DOUBLE_EQ(screen->devicePixelRatio(), scale);
}

TEST(XvfbFixture, WindowCanBeFoundAndClickedWithXdotool)
{
    XvfbServer* server = X11Environment::server();
    ClickTarget window;
    window.setWindowTitle(QStringLiteral("vorlith-click-target"));
    window.setGeometry(200, 150, 300, 200);
    window.show();
    ASSERT_TRUE(runUntil([&] { return window.isVisible() && window.windowHandle()->isExposed(); }));

    QByteArray found;
    ASSERT_TRUE(runUntil([&] {
        server->run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"),
                                                QStringLiteral("vorlith-click-target")}, &found);
        return !found.trimmed().isEmpty();
    }));
    EXPECT_EQ(found.trimmed().split('\n').first().toULongLong(), window.winId());

    // Click the window's centre through the server, as a user would.
    const QPoint centre = window.mapToGlobal(QPoint(150, 100));
    const double scale = window.devicePixelRatioF();
    const QString x = QString::number(qRound(centre.x() * scale));
    const QString y = QString::number(qRound(centre.y() * scale));
    ASSERT_EQ(server->run(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), x, y, QStringLiteral("click"), QStringLiteral("1")}),
              0);
    ASSERT_TRUE(runUntil([&] { return window.presses == 1; }));
    EXPECT_NEAR(window.lastPosition.x(), 150, 2);
    EXPECT_NEAR(window.lastPosition.y(), 100, 2);
}

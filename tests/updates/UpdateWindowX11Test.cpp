// The update window under a window manager, driven and looked at as a user would: a check
// from start to the release page, a background find held back while the application is busy,
// and Escape.
#include "FeedFixture.h"

#include "support/X11Environment.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

QImage screenshot()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

int xdotool(const QStringList& arguments)
{
    return X11Environment::server()->run(QStringLiteral("xdotool"), arguments);
}

// What xwininfo says of the window: "IsViewable" once mapped and shown.
QString mapState(QWidget* window)
{
    QByteArray out;
    X11Environment::server()->run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window->winId())}, &out);
    for (const QByteArray& line : out.split('\n')) {
        if (line.contains("Map State:"))
            return QString::fromLatin1(line.split(':').value(1).trimmed());
    }
    return {};
}

void clickCentreOf(QWidget* widget)
{
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    xdotool({QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y()), QStringLiteral("click"),
             QStringLiteral("1")});
}

} // namespace

TEST(UpdateWindowX11, ACheckFindsANewReleaseAndOpensItsPage)
{
    TestFeedServer server;
    TestFeedServer::Response feed{200, feedWith("1.1.0")};
    feed.delayMs = 1500; // long enough to see the checking step
    server.respond(QStringLiteral("/feed.xml"), feed);
    FeedFixture f(server, QStringLiteral("/feed.xml"), [](FeedUpdateEngine::Options& options) {
        options.limits.transferTimeout = std::chrono::seconds(5);
        options.limits.deadline = std::chrono::seconds(10);
    });
    f.base.service->start();
    f.base.service->checkForUpdates();
    QWidget* window = f.base.window().window();
    ASSERT_TRUE(runUntil([&] { return mapState(window) == QStringLiteral("IsViewable"); }));
    EXPECT_EQ(f.base.heading(), QStringLiteral("正在检查更新"));
    spin(std::chrono::milliseconds(200));
    saveTestImage(screenshot(), QStringLiteral("update-x11-checking"));

    ASSERT_TRUE(runUntil([&] { return f.base.heading() == QStringLiteral("发现新版本"); }));
    EXPECT_EQ(f.base.detail(), QStringLiteral("当前版本 1.0.0 · 新版本 1.1.0"));
    spin(std::chrono::milliseconds(200));
    saveTestImage(screenshot(), QStringLiteral("update-x11-found"));

    clickCentreOf(f.base.window().primary());
    ASSERT_TRUE(runUntil([&] { return !f.base.opened.isEmpty(); }));
    EXPECT_EQ(f.base.opened, QList<QUrl>{QUrl(QStringLiteral("https://example.com/releases/1.1.0"))});
    EXPECT_TRUE(runUntil([&] { return mapState(window) != QStringLiteral("IsViewable"); }));
    EXPECT_FALSE(f.engine->driver().cycleActive());
}

TEST(UpdateWindowX11, ABackgroundFindWaitsWhileTheApplicationIsBusy)
{
    TestFeedServer server;
    server.respond(QStringLiteral("/feed.xml"), {200, feedWith("1.1.0")});
    FeedFixture f(server);
    f.base.gateOpen = false; // a capture is on screen
    f.base.store.setAutomaticUpdateChecks(true);
    f.base.service->start();
    ASSERT_TRUE(runUntil([&] { return bool(f.base.service->deferredPresentation); }));
    QWidget* window = f.base.window().window();
    spin(std::chrono::milliseconds(300));
    EXPECT_NE(mapState(window), QStringLiteral("IsViewable")) << "no window while busy";
    saveTestImage(screenshot(), QStringLiteral("update-x11-busy"));

    f.base.gateOpen = true;
    f.base.service->resumeDeferredPresentation();
    ASSERT_TRUE(runUntil([&] { return mapState(window) == QStringLiteral("IsViewable"); }));
    EXPECT_EQ(f.base.heading(), QStringLiteral("发现新版本"));
    spin(std::chrono::milliseconds(200));
    saveTestImage(screenshot(), QStringLiteral("update-x11-resumed"));
}

TEST(UpdateWindowX11, EscapeRunsTheCloseActionOnce)
{
    UpdateFixture f;
    ReplyLog log;
    f.startCycle();
    f.driver().showUpdateNotFound(UpdateError(QStringLiteral("当前版本 1.0.0 已是最新版本。")), log.acknowledgement());
    QWidget* window = f.window().window();
    ASSERT_TRUE(runUntil([&] { return mapState(window) == QStringLiteral("IsViewable") && window->isActiveWindow(); }));
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(runUntil([&] { return mapState(window) != QStringLiteral("IsViewable"); }));
    spin(std::chrono::milliseconds(100));
    EXPECT_EQ(log.acknowledgements, 1);
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    spin(std::chrono::milliseconds(100));
    EXPECT_EQ(log.acknowledgements, 1);
}

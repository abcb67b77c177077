// The Linux engine against an HTTPS server of the test's own on 127.0.0.1: what a check
// shows for each answer a server can give, and the schedule of background checks.
#include "FeedFixture.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using Mode = TestFeedServer::Response::Mode;


TEST(FeedUpdateEngine, NewerReleaseIsOfferedWithItsPage)
{
    TestFeedServer server;
    server.respond(QStringLiteral("/feed.xml"), {200, feedWith("1.1.0")});
    FeedFixture f(server);
    ASSERT_TRUE(f.userCheckShows(QStringLiteral("发现新版本")));
    EXPECT_EQ(f.base.detail(), QStringLiteral("当前版本 1.0.0 · 新版本 1.1.0"));
    EXPECT_EQ(f.base.window().primary()->text(), QStringLiteral("查看详情"));
    EXPECT_FALSE(f.engine->canCheckForUpdates());

    const QByteArray head = server.requestHeads().value(0);
    EXPECT_TRUE(head.contains("Accept-Encoding: identity\r\n")) << head.constData();
    EXPECT_TRUE(head.contains("User-Agent: Vorlith/1.0.0\r\n")) << head.constData();

    f.base.window().performPrimary();
    EXPECT_EQ(f.base.opened, QList<QUrl>{QUrl(QStringLiteral("https://example.com/releases/1.1.0"))});
    EXPECT_FALSE(f.base.shown());
    EXPECT_FALSE(f.engine->driver().cycleActive());
    EXPECT_TRUE(f.engine->canCheckForUpdates());
}

TEST(FeedUpdateEngine, SameReleaseIsNotFound)
{
    TestFeedServer server;
    server.respond(QStringLiteral("/feed.xml"), {200, feedWith("1.0")});
    FeedFixture f(server);
    ASSERT_TRUE(f.userCheckShows(QStringLiteral("没有可用更新")));
    EXPECT_EQ(f.base.detail(), QStringLiteral("当前版本 1.0.0 已是最新版本。"));
    f.base.window().performClose();
    EXPECT_TRUE(f.engine->canCheckForUpdates());
    EXPECT_FALSE(f.engine->driver().cycleActive());
}

TEST(FeedUpdateEngine, EachFailureIsShownWithItsSentence)
{
    PlainListener plain;
    struct Case {
        const char* name;
        std::function<void(TestFeedServer&)> script;
        QString detail;
        QString logged;
    };
    const Case cases[] = {
        {"malformed", [](TestFeedServer& s) { s.respond("/feed.xml", {200, "<html>not a feed</html>"}); },
         "更新信息格式无效，暂时无法检查更新。", "malformed"},
        {"gzip", [](TestFeedServer& s) {
             s.respond("/feed.xml", {200, qCompress(feedWith("2.0")), {{"Content-Encoding", "gzip"}}});
         },
         "更新信息格式无效，暂时无法检查更新。", "malformed"},
        {"404", [](TestFeedServer& s) { s.respond("/feed.xml", {404, "gone"}); }, "更新服务器返回错误（HTTP 404），请稍后重试。",
         "http404"},
        {"redirect to http", [&plain](TestFeedServer& s) { s.redirect("/feed.xml", plain.url("/feed.xml")); },
         "更新服务器将请求转向了不安全的地址，已停止检查更新。", "insecureRedirect"},
        {"redirect loop", [](TestFeedServer& s) { s.redirect("/feed.xml", s.url("/feed.xml")); },
         "更新服务器的转向次数过多，已停止检查更新。", "tooManyRedirects"},
        {"no answer", [](TestFeedServer& s) { s.respond("/feed.xml", {200, {}, {}, Mode::silent}); },
         "连接更新服务器超时，请稍后重试。", "timeout"},
        {"a drip", [](TestFeedServer& s) { s.respond("/feed.xml", {200, {}, {}, Mode::drip}); },
         "连接更新服务器超时，请稍后重试。", "timeout"},
        {"100 MB declared", [](TestFeedServer& s) { s.respond("/feed.xml", {200, {}, {}, Mode::endless, true}); },
         "更新信息超过 1 MB 上限，已停止检查更新。", "tooLarge"},
        {"100 MB undeclared", [](TestFeedServer& s) { s.respond("/feed.xml", {200, {}, {}, Mode::endless, false}); },
         "更新信息超过 1 MB 上限，已停止检查更新。", "tooLarge"},
    };
    for (const Case& c : cases) {
        TestFeedServer server;
        c.script(server);
        FeedFixture f(server);
        ASSERT_TRUE(f.userCheckShows(QStringLiteral("暂时无法更新"))) << c.name;
        EXPECT_EQ(f.base.detail(), c.detail) << c.name;
        EXPECT_TRUE(f.log.events().contains(QStringLiteral("update.check.failed=") + c.logged)) << c.name;
        // What the server wrote includes what loopback's socket buffers took before the engine
        // closed the connection, several MB when a slow (sanitizer) build reads late; an engine
        // that read on to the end would take all 100 MB.
        EXPECT_LT(server.bytesSent(), 32 << 20) << c.name << ": stopped near the cap, not at 100 MB";
        f.base.window().performClose();
        EXPECT_TRUE(f.engine->canCheckForUpdates()) << c.name;
    }
    EXPECT_EQ(plain.connections(), 0) << "the plain listener was never reached";
}

TEST(FeedUpdateEngine, AnUntrustedCertificateIsRefused)
{
    TestFeedServer server(QStringLiteral("untrusted"));
    server.respond(QStringLiteral("/feed.xml"), {200, feedWith("2.0")});
    FeedFixture f(server);
    ASSERT_TRUE(f.userCheckShows(QStringLiteral("暂时无法更新")));
    EXPECT_EQ(f.base.detail(), QStringLiteral("无法验证更新服务器的安全证书，已停止检查更新。"));
    EXPECT_EQ(server.requests(), 0);
}

TEST(FeedUpdateEngine, BackgroundChecksFollowTheScheduleAndFailSilently)
{
    TestFeedServer server;
    server.respond(QStringLiteral("/feed.xml"), {404, "gone"});
    FeedFixture f(server);
    f.base.store.setAutomaticUpdateChecks(true);
    f.base.service->start();
    EXPECT_TRUE(f.engine->backgroundCheckScheduled()) << "a check a moment after the start";
    ASSERT_TRUE(runUntil([&] { return f.log.events().contains(QStringLiteral("update.check.failed=http404")); }));
    spin(std::chrono::milliseconds(100));
    EXPECT_FALSE(f.base.shown()) << "a background failure is only logged";
    EXPECT_FALSE(f.engine->driver().cycleActive());
    EXPECT_TRUE(f.engine->backgroundCheckScheduled()) << "the next one a day later";

    f.base.store.setAutomaticUpdateChecks(false);
    f.base.service->applyAutomaticUpdateChecks();
    EXPECT_FALSE(f.engine->backgroundCheckScheduled());

    // Switched on again: checks soon, and a newer release found in the background is shown.
    server.respond(QStringLiteral("/feed.xml"), {200, feedWith("1.2")});
    f.base.store.setAutomaticUpdateChecks(true);
    f.base.service->applyAutomaticUpdateChecks();
    ASSERT_TRUE(runUntil([&] { return f.base.heading() == QStringLiteral("发现新版本"); }));
    EXPECT_EQ(server.requests(), 2);
}

TEST(FeedUpdateEngine, AUserCheckOvertakesASilentBackgroundFetch)
{
    TestFeedServer server;
    server.respond(QStringLiteral("/slow.xml"), {200, {}, {}, Mode::silent});
    server.respond(QStringLiteral("/feed.xml"), {200, feedWith("1.0.0")});
    FeedFixture f(server, QStringLiteral("/slow.xml"));
    f.base.store.setAutomaticUpdateChecks(true);
    f.base.service->start();
    ASSERT_TRUE(runUntil([&] { return server.requests() == 1; }));
    EXPECT_FALSE(f.engine->driver().userInitiated());
    EXPECT_TRUE(f.engine->canCheckForUpdates()) << "nothing is shown yet";

    f.base.service->checkForUpdates();
    EXPECT_TRUE(f.engine->driver().userInitiated());
    EXPECT_EQ(f.base.heading(), QStringLiteral("正在检查更新"));
    ASSERT_TRUE(runUntil([&] { return server.requests() == 2; })) << "fetched again, as the user's";
    // Cancelling the user's check shows nothing more.
    f.base.window().performClose();
    EXPECT_FALSE(f.engine->driver().cycleActive());
    spin(std::chrono::milliseconds(600));
    EXPECT_FALSE(f.base.shown());
    EXPECT_TRUE(f.engine->canCheckForUpdates());
}

TEST(FeedUpdateEngine, StartRefusesAVersionItCannotCompare)
{
    TestFeedServer server;
    UpdateFixture f([&server](UpdateService& s) -> std::unique_ptr<UpdateEngine> {
        QVariantMap bundle = s.bundle();
        bundle.insert(BundleInfo::versionKey, QStringLiteral("1.0-beta"));
        return std::make_unique<FeedUpdateEngine>(bundle, s, testOptions(server.url(QStringLiteral("/feed.xml"))));
    });
    f.service->start();
    EXPECT_FALSE(f.service->engine());
    EXPECT_EQ(f.service->configurationError(), QStringLiteral("当前版本号“1.0-beta”无法识别，暂时无法检查更新。"));
}

// A found step parked while the application is busy may be discarded without either of its
// paths (the session ended under it): the engine does not wait for that answer for ever.
TEST(FeedUpdateEngine, AnAnswerThatCanNeverComeEndsTheCheck)
{
    TestFeedServer server;
    server.respond(QStringLiteral("/feed.xml"), {200, feedWith("1.1.0")});
    FeedFixture f(server);
    f.base.gateOpen = false;
    f.base.store.setAutomaticUpdateChecks(true);
    f.base.service->start();
    ASSERT_TRUE(runUntil([&] { return bool(f.base.service->deferredPresentation); }));
    EXPECT_FALSE(f.engine->canCheckForUpdates()) << "a step is parked";

    f.base.service->finishUpdateSession();
    ASSERT_TRUE(runUntil([&] { return f.engine->canCheckForUpdates(); }));
    EXPECT_FALSE(f.engine->driver().cycleActive());
    EXPECT_TRUE(f.engine->backgroundCheckScheduled());
    f.base.gateOpen = true;
    f.base.service->resumeDeferredPresentation();
    EXPECT_FALSE(f.base.shown());
}

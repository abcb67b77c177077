#pragma once

#include "UpdateFixture.h"

#include "app/updates/FeedUpdateEngine.h"
#include "support/MemoryLogSink.h"
#include "support/TestFeedServer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace vorlith::test {

inline QByteArray feedWith(const QByteArray& version)
{
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:vorlith=\"urn:vorlith:feed:1\"><channel>"
           "<item><vorlith:version>" +
           version + "</vorlith:version><link>https://example.com/releases/" + version + "</link></item></channel></rss>";
}

inline FeedUpdateEngine::Options testOptions(const QUrl& feed)
{
    FeedUpdateEngine::Options options;
    // The configuration check refuses loopback, so the address is given directly.
    options.feedURL = feed;
    options.tls = TestFeedServer::trustingConfiguration();
    options.systemProxy = false;
    options.limits.transferTimeout = std::chrono::milliseconds(400);
    options.limits.deadline = std::chrono::milliseconds(1200);
    options.firstCheckDelay = std::chrono::milliseconds(50);
    options.checkInterval = std::chrono::hours(24);
    return options;
}

// A service whose engine is the feed engine, checking `server`'s /feed.xml.
struct FeedFixture {
    explicit FeedFixture(TestFeedServer& server, const QString& path = QStringLiteral("/feed.xml"),
                         std::function<void(FeedUpdateEngine::Options&)> adjust = {})
        : base([this, &server, path, adjust](UpdateService& s) -> std::unique_ptr<UpdateEngine> {
              FeedUpdateEngine::Options options = testOptions(server.url(path));
              if (adjust)
                  adjust(options);
              auto made = std::make_unique<FeedUpdateEngine>(s.bundle(), s, options);
              engine = made.get();
              return made;
          })
    {
    }
    ScopedLogCapture log;
    FeedUpdateEngine* engine = nullptr;
    UpdateFixture base;

    // A user check up to its answer in the window.
    bool userCheckShows(const QString& heading)
    {
        base.service->start();
        base.service->checkForUpdates();
        EXPECT_EQ(base.heading(), QStringLiteral("正在检查更新"));
        EXPECT_FALSE(engine->canCheckForUpdates()) << "the checking step is shown";
        return runUntil([&] { return base.heading() == heading; }, std::chrono::seconds(10));
    }
};


} // namespace vorlith::test

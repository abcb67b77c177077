// The update service: making the engine, the presentation gate and the installation
// handshake, with a scripted engine and the coordinator played by the test.
#include "UpdateFixture.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

TEST(UpdateService, WithoutReleaseConfigurationAUserCheckShowsWhyAndRetriesWithoutRestarting)
{
    UpdateFixture f{&UpdateService::defaultMakeEngine};
    f.service->start();
    EXPECT_FALSE(f.service->engine());
    const QString missing = QStringLiteral("更新发布源尚未配置，暂时无法检查更新。当前版本可继续使用。");
    EXPECT_EQ(f.service->configurationError(), missing);

    f.service->checkForUpdates();
    EXPECT_TRUE(f.shown());
    EXPECT_EQ(f.heading(), QStringLiteral("暂时无法检查更新"));
    EXPECT_EQ(f.detail(), missing);
    EXPECT_EQ(f.window().primary()->text(), QStringLiteral("重试"));
    EXPECT_FALSE(f.window().primary()->isHidden());
    EXPECT_EQ(f.window().secondary()->text(), QStringLiteral("关闭"));
    EXPECT_TRUE(f.window().progress()->isHidden());
    EXPECT_EQ(f.statuses, QStringList{missing});

    // Retry shows the same sentence again; the configuration is not read again.
    f.window().performPrimary();
    EXPECT_EQ(f.statuses.size(), 2);
    EXPECT_TRUE(f.shown());

    // Closing clears a pending manual check.
    f.service->manualCheckPending = true;
    f.window().performClose();
    EXPECT_FALSE(f.shown());
    EXPECT_FALSE(f.service->manualCheckPending);
}

TEST(UpdateService, EngineThatFailsToStartIsDroppedAndTriedAgain)
{
    // The first engine made fails to start, the second starts.
    UpdateFixture g;
    g.service = std::make_unique<UpdateService>(
        g.store, g.bundle, [] { return true; }, nullptr, nullptr, [&g](UpdateService& s) -> std::unique_ptr<UpdateEngine> {
            ++g.enginesMade;
            auto made = std::make_unique<ScriptedUpdateEngine>(s.bundle(), s);
            if (g.enginesMade == 1)
                made->startError = QStringLiteral("系统缺少安全连接支持。");
            return made;
        });
    g.service->start();
    EXPECT_FALSE(g.service->engine());
    EXPECT_EQ(g.service->configurationError(), QStringLiteral("系统缺少安全连接支持。"));
    g.service->checkForUpdates();
    EXPECT_EQ(g.detail(), QStringLiteral("系统缺少安全连接支持。"));

    g.service->start();
    EXPECT_EQ(g.enginesMade, 2);
    EXPECT_TRUE(g.service->engine());
    EXPECT_FALSE(g.service->configurationError());
    g.service->start();
    EXPECT_EQ(g.enginesMade, 2) << "an engine is never replaced";
}

TEST(UpdateService, AutomaticChecksFollowTheStoredAnswer)
{
    UpdateFixture f;
    f.service->applyAutomaticUpdateChecks(); // no engine yet: nothing
    f.service->start();
    EXPECT_EQ(f.engine->starts, 1);
    EXPECT_EQ(f.engine->automaticChecks, std::vector<bool>{false}) << "never asked counts as off";
    f.store.setAutomaticUpdateChecks(true);
    f.service->applyAutomaticUpdateChecks();
    f.store.setAutomaticUpdateChecks(false);
    f.service->applyAutomaticUpdateChecks();
    EXPECT_EQ(f.engine->automaticChecks, (std::vector<bool>{false, true, false}));
}

TEST(UpdateService, UserCheckWaitsForTheGate)
{
    UpdateFixture f;
    f.service->start();
    f.gateOpen = false;
    f.service->checkForUpdates();
    EXPECT_TRUE(f.service->manualCheckPending);
    EXPECT_EQ(f.engine->checks, 0);
    EXPECT_EQ(f.statuses, QStringList{QStringLiteral("完成当前操作后检查更新。")});

    f.service->resumeDeferredPresentation();
    EXPECT_EQ(f.engine->checks, 0) << "the gate is still closed";

    f.gateOpen = true;
    f.service->resumeDeferredPresentation();
    EXPECT_EQ(f.engine->checks, 1);
    EXPECT_FALSE(f.service->manualCheckPending);

    // While the engine cannot check, nothing happens and nothing is shown.
    f.engine->canCheck = false;
    f.service->checkForUpdates();
    EXPECT_EQ(f.engine->checks, 1);
    EXPECT_FALSE(f.shown());
}

TEST(UpdateService, ParkedWorkIsReplayedBeforeAPendingCheckAndTheFocusLast)
{
    UpdateFixture f;
    f.service->start();
    f.gateOpen = false;
    f.service->checkForUpdates();
    QStringList order;
    f.service->deferredPresentation = [&] { order << "presentation"; };
    f.service->deferredProgress = [&] { order << "progress"; };
    f.service->deferredFocus = [&] { order << "focus"; };

    f.service->resumeDeferredPresentation();
    EXPECT_TRUE(order.isEmpty());
    EXPECT_TRUE(f.service->deferredPresentation && f.service->deferredProgress && f.service->deferredFocus)
        << "a closed gate leaves every slot as it was";

    f.gateOpen = true;
    f.service->resumeDeferredPresentation();
    EXPECT_EQ(order, (QStringList{"presentation", "progress", "focus"}));
    EXPECT_EQ(f.engine->checks, 0) << "the parked step went first";
    EXPECT_TRUE(f.service->manualCheckPending);
    f.service->resumeDeferredPresentation();
    EXPECT_EQ(f.engine->checks, 1);
}

TEST(UpdateService, InstallationPermissionHandshake)
{
    UpdateFixture f;
    std::vector<bool> first, second;
    f.service->requestInstallationPermission([&](bool granted) { first.push_back(granted); });
    ASSERT_EQ(f.pendingAnswers.size(), 1u);
    // A second request while one is pending is refused at once; the first stays.
    f.service->requestInstallationPermission([&](bool granted) { second.push_back(granted); });
    EXPECT_EQ(second, std::vector<bool>{false});
    EXPECT_EQ(f.installationRequests, 1);
    EXPECT_TRUE(f.service->hasInstallationRequest());

    // Ending the session denies the pending request and hands the freeze back once.
    f.service->finishUpdateSession();
    EXPECT_EQ(first, std::vector<bool>{false});
    EXPECT_EQ(f.releases, 1);
    // The coordinator's late answer changes nothing.
    f.pendingAnswers[0](true);
    EXPECT_EQ(first, std::vector<bool>{false});
    EXPECT_EQ(f.releases, 1);
}

// A session end hands back only what the service holds: a daily check that ends while a quit
// review holds the coordinator's freeze must not lift it.
TEST(UpdateService, SessionEndReleasesOnlyAHeldApproval)
{
    UpdateFixture f;
    f.service->finishUpdateSession();
    EXPECT_EQ(f.releases, 0) << "nothing was held";

    f.answerAtOnce = false;
    std::vector<bool> answers;
    f.service->requestInstallationPermission([&](bool granted) { answers.push_back(granted); });
    EXPECT_EQ(answers, std::vector<bool>{false});
    f.service->finishUpdateSession();
    EXPECT_EQ(f.releases, 0) << "a refusal has already given the freeze back";

    f.answerAtOnce = true; // the reply comes before the call returns
    f.service->requestInstallationPermission([&](bool granted) { answers.push_back(granted); });
    EXPECT_EQ(answers, (std::vector<bool>{false, true}));
    EXPECT_EQ(f.releases, 0) << "the approval is held until the session ends";
    f.service->finishUpdateSession();
    EXPECT_EQ(f.releases, 1);
    f.service->finishUpdateSession();
    EXPECT_EQ(f.releases, 1);
}

TEST(UpdateService, DelegateAnswers)
{
    UpdateFixture f;
    f.service->start();
    UpdateEngineDelegate& delegate = f.engine->delegate();
    EXPECT_FALSE(delegate.shouldPromptForPermissionToCheckForUpdates());
    EXPECT_TRUE(delegate.allowedSystemProfileKeys().isEmpty());

    EXPECT_TRUE(delegate.mayPerformUpdateCheck(UpdateEngineDelegate::CheckKind::background));
    EXPECT_TRUE(f.driver().cycleActive());
    EXPECT_FALSE(f.driver().userInitiated());

    // Relaunch waits for the coordinator: refused, the block never runs.
    int proceeded = 0;
    f.answerAtOnce = false;
    EXPECT_TRUE(delegate.shouldPostponeRelaunch(OnceCallback<>([&] { ++proceeded; })));
    EXPECT_EQ(proceeded, 0);
    f.answerAtOnce = true;
    EXPECT_TRUE(delegate.shouldPostponeRelaunch(OnceCallback<>([&] { ++proceeded; })));
    EXPECT_EQ(proceeded, 1);

    delegate.willInstallUpdate();
    EXPECT_TRUE(f.service->installationScheduled);
    delegate.didAbortWithError(UpdateError(QStringLiteral("x")));
    EXPECT_FALSE(f.service->installationScheduled);
    EXPECT_EQ(f.releases, 1) << "the abort handed the approval back";

    const QUuid before = f.driver().generation();
    delegate.didFinishUpdateCycle(std::nullopt);
    EXPECT_FALSE(f.driver().cycleActive());
    EXPECT_NE(f.driver().generation(), before);
    EXPECT_EQ(f.releases, 1);

    // The engine's own permission request never turns automatic checks on.
    std::vector<bool> permission;
    f.driver().showUpdatePermissionRequest(OnceCallback<bool>([&](bool automatic) { permission.push_back(automatic); }));
    EXPECT_EQ(permission, std::vector<bool>{false});
}

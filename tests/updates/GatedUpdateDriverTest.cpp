// The gated driver: each step shown through the gate, dropped steps answered, choices and
// progress, with a scripted engine calling the driver in any order.
#include "UpdateFixture.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vorlith;
using namespace vorlith::test;

namespace {

AppcastItem downloadable()
{
    return {QStringLiteral("1.1.0"), false, {}};
}

AppcastItem informationOnly(const QUrl& page)
{
    return {QStringLiteral("1.1.0"), true, page};
}

UserUpdateState stage(UserUpdateState::Stage s)
{
    return UserUpdateState{s};
}

} // namespace

TEST(GatedUpdateDriver, NotFoundIsSilentInTheBackgroundAndShownToTheUser)
{
    UpdateFixture f;
    ReplyLog log;
    f.startCycle(false);
    f.driver().showUpdateNotFound(UpdateError(QStringLiteral("当前版本 1.0.0 已是最新版本。")), log.acknowledgement());
    EXPECT_EQ(log.acknowledgements, 1);
    EXPECT_FALSE(f.shown());

    f.engine->delegate().mayPerformUpdateCheck(UpdateEngineDelegate::CheckKind::userInitiated);
    f.driver().showUpdateNotFound(UpdateError(QStringLiteral("当前版本 1.0.0 已是最新版本。")), log.acknowledgement());
    EXPECT_TRUE(f.shown());
    EXPECT_EQ(f.heading(), QStringLiteral("没有可用更新"));
    EXPECT_EQ(f.detail(), QStringLiteral("当前版本 1.0.0 已是最新版本。"));
    EXPECT_TRUE(f.window().primary()->isHidden());
    EXPECT_EQ(log.acknowledgements, 1);
    f.window().performClose();
    EXPECT_EQ(log.acknowledgements, 2);
    f.window().performClose();
    EXPECT_EQ(log.acknowledgements, 2) << "the close action ran once";
}

TEST(GatedUpdateDriver, StepsOfTheTableFillTheWindow)
{
    struct Case {
        const char* name;
        std::function<void(GatedUpdateDriver&, ReplyLog&)> call;
        QString heading;
        QString detail;
        QString primary; // empty: hidden
        QString secondary;
        bool bar;
    };
    const Case cases[] = {
        {"checking", [](GatedUpdateDriver& d, ReplyLog& l) { d.showUserInitiatedUpdateCheck(l.cancellation()); },
         "正在检查更新", "正在获取 Vorlith 的最新版本信息。", "", "取消", true},
        {"found", [](GatedUpdateDriver& d, ReplyLog& l) { d.showUpdateFound(downloadable(), {}, l.choice()); },
         "发现新版本", "当前版本 1.0.0 · 新版本 1.1.0", "下载更新", "稍后", false},
        {"found downloaded",
         [](GatedUpdateDriver& d, ReplyLog& l) {
             d.showUpdateFound(downloadable(), stage(UserUpdateState::Stage::downloaded), l.choice());
         },
         "发现新版本", "当前版本 1.0.0 · 新版本 1.1.0", "安装并重启", "稍后", false},
        {"found information only",
         [](GatedUpdateDriver& d, ReplyLog& l) { d.showUpdateFound(informationOnly({}), {}, l.choice()); },
         "发现新版本", "当前版本 1.0.0 · 新版本 1.1.0", "查看详情", "稍后", false},
        {"error", [](GatedUpdateDriver& d, ReplyLog& l) { d.showUpdaterError(UpdateError("连接超时。"), l.acknowledgement()); },
         "暂时无法更新", "连接超时。", "重试", "关闭", false},
        {"downloading", [](GatedUpdateDriver& d, ReplyLog& l) { d.showDownloadInitiated(l.cancellation()); },
         "正在下载更新", "下载完成后会验证更新包，再由你确认安装。", "", "取消", true},
        {"preparing", [](GatedUpdateDriver& d, ReplyLog&) { d.showDownloadDidStartExtractingUpdate(); }, "正在准备更新",
         "正在解压并验证更新包，完成后可安装并重启。", "", "关闭", true},
        {"ready", [](GatedUpdateDriver& d, ReplyLog& l) { d.showReadyToInstallAndRelaunch(l.choice()); }, "更新已准备好",
         "安装前会检查尚未输出的截图、贴图及未保存设置。", "安装并重启", "稍后", false},
        {"installing", [](GatedUpdateDriver& d, ReplyLog& l) { d.showInstallingUpdate(false, l.cancellation()); },
         "正在安装更新", "Vorlith 将在安装完成后重新打开。", "重试重启", "关闭", true},
        {"installing, terminated", [](GatedUpdateDriver& d, ReplyLog& l) { d.showInstallingUpdate(true, l.cancellation()); },
         "正在安装更新", "Vorlith 将在安装完成后重新打开。", "", "关闭", true},
        {"installed", [](GatedUpdateDriver& d, ReplyLog& l) { d.showUpdateInstalledAndRelaunched(true, l.acknowledgement()); },
         "更新已安装", "Vorlith 已重新打开。", "", "关闭", false},
        {"installed, not relaunched",
         [](GatedUpdateDriver& d, ReplyLog& l) { d.showUpdateInstalledAndRelaunched(false, l.acknowledgement()); },
         "更新已安装", "下次打开时将使用新版本。", "", "关闭", false},
    };
    for (const Case& c : cases) {
        UpdateFixture f;
        ReplyLog log;
        f.startCycle();
        c.call(f.driver(), log);
        EXPECT_TRUE(f.shown()) << c.name;
        EXPECT_EQ(f.heading(), c.heading) << c.name;
        EXPECT_EQ(f.detail(), c.detail) << c.name;
        EXPECT_EQ(f.window().primary()->isHidden(), c.primary.isEmpty()) << c.name;
        EXPECT_EQ(f.window().primary()->text(), c.primary) << c.name;
        EXPECT_EQ(f.window().secondary()->text(), c.secondary) << c.name;
        EXPECT_EQ(!f.window().progress()->isHidden(), c.bar) << c.name;
        if (c.bar) {
            EXPECT_EQ(f.window().progress()->maximum(), 0) << c.name << ": indeterminate";
        }
    }
}

TEST(GatedUpdateDriver, AFoundStepParkedByABusyApplicationIsDroppedWhenItsCycleEnded)
{
    for (const bool newCycle : {false, true}) {
        UpdateFixture f;
        ReplyLog log;
        f.startCycle();
        f.gateOpen = false;
        f.driver().showUpdateFound(downloadable(), {}, log.choice());
        EXPECT_FALSE(f.shown());
        EXPECT_TRUE(f.service->deferredPresentation);
        if (newCycle)
            f.driver().beginCycle(true);
        else
            f.driver().endCycle();
        f.gateOpen = true;
        f.service->resumeDeferredPresentation();
        EXPECT_FALSE(f.shown()) << newCycle;
        EXPECT_EQ(log.choices, std::vector<UserUpdateChoice>{UserUpdateChoice::skip}) << newCycle;
    }
}

TEST(GatedUpdateDriver, DropsAnswerWhatTheEngineWaitsFor)
{
    UpdateFixture f;
    ReplyLog log;
    f.service->start();
    // No cycle: every step is dropped at once with its answer; a download is cancelled.
    f.driver().showUpdateFound(downloadable(), {}, log.choice());
    f.driver().showReadyToInstallAndRelaunch(log.choice());
    f.driver().showUpdaterError(UpdateError("x"), log.acknowledgement());
    f.driver().showUpdateInstalledAndRelaunched(true, log.acknowledgement());
    f.driver().showDownloadInitiated(log.cancellation());
    f.driver().showUserInitiatedUpdateCheck(log.cancellation());
    EXPECT_EQ(log.choices, (std::vector<UserUpdateChoice>{UserUpdateChoice::skip, UserUpdateChoice::skip}));
    EXPECT_EQ(log.acknowledgements, 2);
    EXPECT_EQ(log.cancellations, 1) << "the checking step drops with nothing to answer";
    EXPECT_FALSE(f.shown());

    // A parked step replaced by a later one is discarded without either path.
    f.driver().beginCycle(true);
    f.gateOpen = false;
    ReplyLog replaced;
    f.driver().showUpdateFound(downloadable(), {}, replaced.choice());
    f.driver().showUpdaterError(UpdateError("x"), replaced.acknowledgement());
    f.service->finishUpdateSession();
    f.gateOpen = true;
    f.service->resumeDeferredPresentation();
    EXPECT_TRUE(replaced.choices.empty());
    EXPECT_EQ(replaced.acknowledgements, 0);
    EXPECT_FALSE(f.shown());
}

TEST(GatedUpdateDriver, DownloadProgressIsCoalescedBehindTheParkedStep)
{
    UpdateFixture f;
    ReplyLog log;
    f.startCycle();
    f.gateOpen = false;
    f.driver().showDownloadInitiated(log.cancellation());
    EXPECT_EQ(f.driver().progressStage(), GatedUpdateDriver::ProgressStage::download) << "set at once";
    f.driver().showDownloadDidReceiveExpectedContentLength(1000);
    f.driver().showDownloadDidReceiveDataOfLength(100);
    f.driver().showDownloadDidReceiveDataOfLength(150);
    f.gateOpen = true;
    f.service->resumeDeferredPresentation();
    EXPECT_EQ(f.heading(), QStringLiteral("正在下载更新"));
    EXPECT_EQ(f.window().progress()->maximum(), 1000);
    EXPECT_EQ(f.window().progress()->value(), 250) << "only the latest report, after the step";
    EXPECT_FALSE(f.window().progress()->isHidden());

    // An expected length of 0 keeps the bar indeterminate; received lengths never wrap.
    f.driver().showDownloadDidReceiveExpectedContentLength(0);
    EXPECT_EQ(f.window().progress()->maximum(), 0);
    f.driver().showDownloadDidReceiveDataOfLength(std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(f.driver().receivedLength(), std::numeric_limits<std::uint64_t>::max());
    f.driver().showDownloadDidReceiveExpectedContentLength(10);
    EXPECT_EQ(f.window().progress()->value(), 1000);

    // Extraction reports are ignored during the download stage, and the reverse.
    f.driver().showExtractionReceivedProgress(0.5);
    EXPECT_EQ(f.window().progress()->value(), 1000);
    f.driver().showDownloadDidStartExtractingUpdate();
    f.driver().showDownloadDidReceiveExpectedContentLength(4);
    EXPECT_EQ(f.driver().expectedLength(), 10u);
    const std::pair<double, int> extraction[] = {{-0.5, 0}, {std::nan(""), 0}, {1.7, 1000}, {0.25, 250}};
    for (const auto& [report, shown] : extraction) {
        f.driver().showExtractionReceivedProgress(report);
        EXPECT_EQ(f.window().progress()->value(), shown) << report;
        EXPECT_EQ(f.window().progress()->maximum(), 1000);
    }
}

TEST(GatedUpdateDriver, ChoicesAndTheInstallationHandshake)
{
    struct Case {
        const char* name;
        std::function<void(GatedUpdateDriver&, ReplyLog&)> show;
        bool pressPrimary;
        std::optional<bool> coordinatorAnswer; // for an install at the installation stage
        UserUpdateChoice expected;
        bool cycleGoesOn;
    };
    const auto found = [](UserUpdateState::Stage s) {
        return [s](GatedUpdateDriver& d, ReplyLog& l) { d.showUpdateFound(downloadable(), stage(s), l.choice()); };
    };
    const auto ready = [](GatedUpdateDriver& d, ReplyLog& l) { d.showReadyToInstallAndRelaunch(l.choice()); };
    const Case cases[] = {
        {"found, later", found(UserUpdateState::Stage::notDownloaded), false, {}, UserUpdateChoice::dismiss, false},
        {"found, download", found(UserUpdateState::Stage::notDownloaded), true, {}, UserUpdateChoice::install, true},
        // A refusal answers the engine, which then ends the cycle itself.
        {"found downloaded, install refused", found(UserUpdateState::Stage::downloaded), true, false,
         UserUpdateChoice::dismiss, true},
        {"found downloaded, install granted", found(UserUpdateState::Stage::downloaded), true, true,
         UserUpdateChoice::install, true},
        {"found installing, later", found(UserUpdateState::Stage::installing), false, {}, UserUpdateChoice::skip, false},
        {"ready, later", ready, false, {}, UserUpdateChoice::skip, false},
        {"ready, install refused", ready, true, false, UserUpdateChoice::skip, true},
        {"ready, install granted", ready, true, true, UserUpdateChoice::install, true},
    };
    for (const Case& c : cases) {
        UpdateFixture f;
        ReplyLog log;
        f.answerAtOnce = c.coordinatorAnswer;
        f.startCycle();
        f.service->installationScheduled = true;
        c.show(f.driver(), log);
        if (c.pressPrimary)
            f.window().performPrimary();
        else
            f.window().performClose();
        EXPECT_EQ(log.choices, std::vector<UserUpdateChoice>{c.expected}) << c.name;
        EXPECT_EQ(f.driver().cycleActive(), c.cycleGoesOn) << c.name;
        EXPECT_EQ(f.installationRequests, c.coordinatorAnswer ? 1 : 0) << c.name;
        const bool declined = c.expected != UserUpdateChoice::install &&
                              (c.coordinatorAnswer || std::string_view(c.name).starts_with("ready") ||
                               std::string_view(c.name).starts_with("found installing"));
        EXPECT_EQ(f.service->installationScheduled, !declined) << c.name;
        EXPECT_EQ(f.releases, 0) << c.name << ": nothing granted is held back";
        // Closing afterwards runs nothing more.
        f.window().performClose();
        EXPECT_EQ(log.choices.size(), 1u) << c.name;
    }
}

TEST(GatedUpdateDriver, ASecondInstallRequestEndsTheSessionAndDeniesBoth)
{
    UpdateFixture f;
    ReplyLog first, second;
    f.startCycle();
    f.driver().showReadyToInstallAndRelaunch(first.choice());
    f.window().performPrimary(); // waits for the coordinator
    EXPECT_TRUE(f.service->hasInstallationRequest());
    f.driver().showReadyToInstallAndRelaunch(second.choice());
    f.window().performPrimary();
    EXPECT_EQ(second.choices, std::vector<UserUpdateChoice>{UserUpdateChoice::skip});
    EXPECT_EQ(first.choices, std::vector<UserUpdateChoice>{UserUpdateChoice::skip});
    EXPECT_FALSE(f.service->hasInstallationRequest());
    EXPECT_EQ(f.releases, 1) << "the dropped request handed the freeze back once";
    f.pendingAnswers[0](true);
    EXPECT_EQ(first.choices.size(), 1u) << "the late answer is ignored";
}

TEST(GatedUpdateDriver, InformationOnlyOpensOnlyWebPages)
{
    struct Case {
        QUrl page;
        bool opened;
    };
    const Case cases[] = {
        {QUrl(QStringLiteral("https://example.com/release")), true},
        {QUrl(QStringLiteral("HTTP://example.com/release")), true},
        {QUrl(), false},
        {QUrl(QStringLiteral("file:///usr/bin/xterm")), false},
        {QUrl(QStringLiteral("javascript:alert(1)")), false},
        {QUrl(QStringLiteral("smb://host/share")), false},
    };
    for (const Case& c : cases) {
        UpdateFixture f;
        ReplyLog log;
        f.startCycle();
        f.driver().showUpdateFound(informationOnly(c.page), {}, log.choice());
        f.window().performPrimary();
        EXPECT_EQ(f.opened, c.opened ? QList<QUrl>{c.page} : QList<QUrl>{}) << c.page.toString().toStdString();
        EXPECT_EQ(log.choices, std::vector<UserUpdateChoice>{UserUpdateChoice::dismiss});
        EXPECT_FALSE(f.driver().cycleActive());
    }
}

TEST(GatedUpdateDriver, CancellingTheCheckOrDownloadEndsTheSession)
{
    for (const bool download : {false, true}) {
        UpdateFixture f;
        ReplyLog log;
        f.startCycle();
        f.service->deferredFocus = [] {};
        if (download)
            f.driver().showDownloadInitiated(log.cancellation());
        else
            f.driver().showUserInitiatedUpdateCheck(log.cancellation());
        f.window().window()->close(); // the title bar's close button
        EXPECT_EQ(log.cancellations, 1);
        EXPECT_FALSE(f.driver().cycleActive());
        EXPECT_FALSE(f.service->deferredFocus) << "the session ended";
        EXPECT_FALSE(f.shown());
    }
}

TEST(GatedUpdateDriver, ErrorRetryAcknowledgesThenChecksOnALaterTurn)
{
    UpdateFixture f;
    ReplyLog log;
    f.startCycle();
    f.driver().showUpdaterError(UpdateError(QStringLiteral("无法连接。")), log.acknowledgement());
    f.window().performPrimary();
    EXPECT_EQ(log.acknowledgements, 1);
    EXPECT_EQ(f.engine->checks, 0) << "not inside the acknowledgement";
    EXPECT_TRUE(runUntil([&] { return f.engine->checks == 1; }));
}

TEST(GatedUpdateDriver, DismissalHidesWithoutRunningTheCloseAction)
{
    UpdateFixture f;
    ReplyLog log;
    f.startCycle();
    f.driver().showUpdateNotFound(UpdateError("x"), log.acknowledgement());
    ASSERT_TRUE(f.shown());
    f.driver().dismissUpdateInstallation();
    EXPECT_FALSE(f.shown());
    EXPECT_EQ(log.acknowledgements, 0);
    EXPECT_FALSE(f.window().closeAction);
    EXPECT_FALSE(f.driver().cycleActive());
}

TEST(GatedUpdateDriver, FocusWaitsForTheGateAndItsCycle)
{
    for (const bool sameCycle : {true, false}) {
        UpdateFixture f;
        ReplyLog log;
        f.startCycle();
        f.driver().showUserInitiatedUpdateCheck(log.cancellation());
        f.window().window()->hide();
        f.gateOpen = false;
        f.driver().showUpdateInFocus();
        EXPECT_FALSE(f.shown());
        if (!sameCycle)
            f.driver().beginCycle(true);
        f.gateOpen = true;
        f.service->resumeDeferredPresentation();
        EXPECT_EQ(f.shown(), sameCycle);
    }
}

// The quit and update-install gate on the coordinator's fakes: real overlays and editors on
// the offscreen platform, scripted pins, alerts and update engine.
#include "CaptureRoadFixture.h"

#include "app/settings/SettingsWindowController.h"
#include "app/shell/TerminationPolicy.h"
#include "app/shell/TerminationReviewView.h"
#include "app/updates/UpdateService.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// The capture road with notices recorded and the Edit menu built.
struct Gate : CaptureRoad {
    QStringList notices;

    Gate()
    {
        c().environment.toast = [this](const QString& message) { notices << message; };
        if (!c().editingMenu())
            c().installEditingMenu();
    }

    void addPins(int count)
    {
        for (int i = 0; i < count; ++i)
            pins->states.push_back({QUuid::createUuid(), true});
    }

    // A capture with a marked selection on display 2, ended with Esc: kept for reopening.
    QUuid keepCapture()
    {
        open();
        markUp(*view(2));
        const QUuid id = view(2)->record().id();
        view(2)->onExit();
        return id;
    }

    // Everything the freeze holds is held, or everything is given back.
    void expectFrozen(bool frozen)
    {
        EXPECT_EQ(c().terminationFrozen(), frozen);
        EXPECT_EQ(pins->suspended, frozen);
        if (c().hasOverlays()) {
            for (OverlayView* editor : {view(1), view(2)}) {
                EXPECT_EQ(editor->inputSuspended(), frozen);
                if (frozen) {
                    EXPECT_FALSE(editor->canInteract());
                }
            }
            // Never click-through: the frozen picture keeps the pointer.
            for (CaptureOverlayWindow* overlay : c().overlays())
                EXPECT_FALSE(overlay->windowHandle() && overlay->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));
        }
        bool anyEnabled = false;
        for (QAction* action : c().editingMenu()->actions())
            anyEnabled = anyEnabled || action->isEnabled();
        EXPECT_EQ(anyEnabled, !frozen);
        // An open capture holds the hot keys on its own.
        if (frozen || !c().hasOverlays()) {
            EXPECT_EQ(suspended(ShortcutAction::capture), frozen);
            EXPECT_EQ(suspended(ShortcutAction::pin), frozen);
        }
    }
};

} // namespace

TEST(TerminationGate, NothingPendingIsApprovedAtOnceAndTheApprovalStands)
{
    Gate f;
    const quint64 epoch = f.c().workEpoch();
    EXPECT_TRUE(f.c().authorizeTermination(TerminationIntent::quit));
    EXPECT_TRUE(f.alerts->shown.empty());
    ASSERT_TRUE(f.c().approvedTermination());
    EXPECT_EQ(f.c().approvedTermination()->intent, TerminationIntent::quit);
    f.expectFrozen(true);
    // The freeze is not a change: a second request in the same state needs no review.
    EXPECT_EQ(f.c().workEpoch(), epoch);
    EXPECT_TRUE(f.c().authorizeTermination(TerminationIntent::quit));
    // Another intent is reviewed again.
    f.c().releaseTerminationFreeze();
    f.expectFrozen(false);
    EXPECT_FALSE(f.c().approvedTermination());
}

TEST(TerminationGate, TheReviewAlertsFormsAndTheirAnswers)
{
    struct Case {
        const char* name;
        int pins;
        bool pending;
        int answer;
        const char* message;
        bool allowed;
    };
    for (const Case test : {
             Case{"three pins only, go back", 3, false, Alert::firstButton, "关闭贴图并退出？", false},
             Case{"three pins only, close and quit", 3, false, Alert::secondButton, "关闭贴图并退出？", true},
             Case{"two pending and three pins, discard", 3, true, Alert::secondButton, "还有未复制或保存的内容", true},
         }) {
        SCOPED_TRACE(test.name);
        Gate f;
        f.addPins(test.pins);
        if (test.pending) {
            f.keepCapture();
            f.open();
            CaptureRoad::markUp(*f.view(1));
        }
        f.alerts->answers = {test.answer};
        const quint64 epoch = f.c().workEpoch();
        EXPECT_EQ(f.c().authorizeTermination(TerminationIntent::quit), test.allowed);
        ASSERT_EQ(f.alerts->shown.size(), 1u);
        const Alert& alert = f.alerts->shown.front();
        EXPECT_EQ(alert.message, QString::fromUtf8(test.message));
        EXPECT_EQ(alert.buttons.front(), QStringLiteral("返回处理"));
        if (test.pending) {
            EXPECT_TRUE(alert.informativeText.startsWith(QStringLiteral("有2张图片尚未完成输出。")));
        } else {
            EXPECT_EQ(alert.informativeText,
                      QStringLiteral("当前打开的3张贴图已输出。下次启动时，这些窗口不会自动恢复。"));
            EXPECT_EQ(alert.accessory, nullptr);
        }
        EXPECT_EQ(f.c().workEpoch(), epoch);
        f.expectFrozen(test.allowed);
        EXPECT_FALSE(f.c().presentingAlert());
    }
}

TEST(TerminationGate, GoingBackLocatesTheFirstPendingImageByItsUuidString)
{
    Gate f;
    f.addPins(3);
    const QUuid kept = f.keepCapture();
    f.open();
    CaptureRoad::markUp(*f.view(1));
    const QUuid current = f.view(1)->record().id();

    // The accessory lists both, sorted; the thumbnails are read while the alert is up.
    QStringList titles;
    QList<QUuid> ids;
    f.alerts->whileShown = [&](const Alert& alert) {
        auto* review = qobject_cast<TerminationReviewView*>(alert.accessory);
        ASSERT_NE(review, nullptr);
        for (const TerminationReviewView::Entry& entry : review->entries()) {
            titles << entry.title;
            ids << entry.id;
            EXPECT_FALSE(entry.image.isNull());
        }
    };
    EXPECT_FALSE(f.c().authorizeTermination(TerminationIntent::quit));
    EXPECT_EQ(ids, TerminationPolicy::sortedByUuidString({kept, current}));
    EXPECT_EQ(titles.size(), 2);
    EXPECT_TRUE(titles.contains(QStringLiteral("当前未完成截图")));
    EXPECT_TRUE(titles.contains(QStringLiteral("上次未完成截图")));
    f.expectFrozen(false);

    // The first in order: the kept capture gives the notice while a capture is open; the
    // current one is brought to the front.
    if (ids.front() == kept)
        EXPECT_EQ(f.notices, QStringList{QString::fromUtf8(TerminationPolicy::recoveryBlockedNotice)});
    else
        EXPECT_TRUE(f.notices.isEmpty());
    EXPECT_TRUE(f.c().hasOverlays());
    EXPECT_EQ(f.view(1)->record().id(), current);
}

TEST(TerminationGate, TheKeptCaptureIsReopenedOnlyWhenNoCaptureIsOpen)
{
    Gate f;
    const QUuid kept = f.keepCapture();
    ASSERT_FALSE(f.c().hasOverlays());

    // A thumbnail click while the alert is up: the kept capture comes back.
    f.alerts->whileShown = [&](const Alert& alert) {
        auto* review = qobject_cast<TerminationReviewView*>(alert.accessory);
        ASSERT_NE(review, nullptr);
        ASSERT_EQ(review->entries().size(), 1);
        EXPECT_EQ(review->entries().front().title, QStringLiteral("上次未完成截图"));
        review->buttons().front()->click();
    };
    f.alerts->answers = {TerminationReviewView::abortedResponse};
    EXPECT_FALSE(f.c().authorizeTermination(TerminationIntent::quit));
    ASSERT_TRUE(f.c().hasOverlays());
    EXPECT_EQ(f.view(2)->record().id(), kept);
    EXPECT_EQ(f.view(2)->record().session.annotations().size(), 1u);
    EXPECT_TRUE(f.view(2)->canInteract());
    EXPECT_TRUE(f.notices.isEmpty());

    // Another capture open: locating the kept one only says why not.
    f.c().finishCapture(false);
    f.open();
    ASSERT_NE(f.view(2)->record().id(), kept);
    f.c().locateDocument(kept);
    EXPECT_EQ(f.notices, QStringList{QString::fromUtf8(TerminationPolicy::recoveryBlockedNotice)});
}

TEST(TerminationGate, RefusalsSayWhyAndLeaveNothingFrozen)
{
    struct Case {
        const char* name;
        TerminationIntent intent;
        std::function<void(Gate&)> arrange;
        std::optional<QString> notice; // none: allowed
    };
    const auto dirtySettings = [](Gate& f) {
        SettingsWindowController& window = f.c().settingsWindow();
        window.present();
        window.changeUpdates();
        ASSERT_TRUE(window.hasUnsavedChanges());
    };
    const std::vector<Case> cases = {
        {"unsaved settings refuse an update", TerminationIntent::installUpdate, dirtySettings,
         QString::fromUtf8(TerminationPolicy::settingsNotice)},
        {"unsaved settings do not stop a quit", TerminationIntent::quit, dirtySettings, std::nullopt},
        {"an open capture refuses an update", TerminationIntent::installUpdate, [](Gate& f) { f.open(); },
         QString::fromUtf8(TerminationPolicy::captureNotice)},
        {"a pin's output refuses a quit", TerminationIntent::quit,
         [](Gate& f) {
             f.addPins(1);
             f.pins->states.front().outputBusy = true;
         },
         QString::fromUtf8(TerminationPolicy::outputNotice)},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Gate f;
        test.arrange(f);
        f.alerts->answers = {Alert::secondButton};
        EXPECT_EQ(f.c().authorizeTermination(test.intent), !test.notice.has_value());
        if (test.notice) {
            EXPECT_EQ(f.notices, QStringList{*test.notice});
            f.expectFrozen(false);
        } else {
            EXPECT_TRUE(f.notices.isEmpty());
        }
    }
}

TEST(TerminationGate, ADragRefusesWithNothingFrozen)
{
    Gate f;
    f.addPins(2);
    f.pins->states.back().dragging = true;
    EXPECT_FALSE(f.c().authorizeTermination(TerminationIntent::quit));
    EXPECT_EQ(f.notices, QStringList{QString::fromUtf8(TerminationPolicy::dragNotice)});
    EXPECT_TRUE(f.alerts->shown.empty());
    EXPECT_FALSE(f.pins->calls.contains(QStringLiteral("suspend")));
    f.expectFrozen(false);
}

TEST(TerminationGate, AChangeWhileTheAlertIsUpRefusesAndLocates)
{
    Gate f;
    f.open();
    CaptureRoad::markUp(*f.view(2));
    f.alerts->answers = {Alert::secondButton};
    f.alerts->whileShown = [&](const Alert&) { f.c().refreshAfterChange(); };
    EXPECT_FALSE(f.c().authorizeTermination(TerminationIntent::quit));
    EXPECT_FALSE(f.c().approvedTermination());
    f.expectFrozen(false);
    EXPECT_TRUE(f.c().hasOverlays());
}

TEST(TerminationGate, AnApprovedUpdateNeedsNoSecondAlertAndItsReleaseUnfreezes)
{
    Gate f;
    f.addPins(2);
    f.open();
    f.c().finishCapture(false);
    std::optional<bool> granted;
    f.alerts->answers = {Alert::secondButton};
    f.c().updater().requestInstallationPermission([&](bool answer) { granted = answer; });
    ASSERT_EQ(granted, std::optional<bool>(true));
    ASSERT_EQ(f.alerts->shown.size(), 1u);
    EXPECT_EQ(f.alerts->shown.front().message, QStringLiteral("关闭贴图并安装更新？"));
    f.expectFrozen(true);

    // The engine then terminates: the standing approval answers without a second alert.
    f.c().updater().installationScheduled = true;
    EXPECT_TRUE(f.c().authorizeTermination(TerminationIntent::installUpdate));
    EXPECT_EQ(f.alerts->shown.size(), 1u);

    // Abandoned instead: everything frozen is given back.
    f.c().updater().installationScheduled = false;
    f.c().updater().finishUpdateSession();
    f.expectFrozen(false);
    EXPECT_FALSE(f.c().approvedTermination());
}

TEST(TerminationGate, AnApprovedQuitClosesEverythingAndWritesNothing)
{
    Gate f;
    f.addPins(3);
    f.keepCapture();
    f.open();
    f.alerts->answers = {Alert::secondButton};
    EXPECT_EQ(f.c().applicationShouldTerminate(), AppCoordinator::TerminateReply::now);
    EXPECT_FALSE(f.c().hasOverlays());
    EXPECT_FALSE(f.c().recoveryStore().current());
    EXPECT_TRUE(f.pins->states.empty());
    EXPECT_EQ(f.pins->calls.count(QStringLiteral("remove")), 3);

    // Going back instead cancels and leaves every image as it was.
    Gate g;
    g.addPins(3);
    g.keepCapture();
    EXPECT_EQ(g.c().applicationShouldTerminate(), AppCoordinator::TerminateReply::cancel);
    EXPECT_EQ(g.pins->states.size(), 3u);
    EXPECT_TRUE(g.c().recoveryStore().current());
}

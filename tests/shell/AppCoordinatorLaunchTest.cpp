#include "CoordinatorFixture.h"

#include "app/settings/SettingsWindowController.h"
#include "app/settings/ShortcutRecorder.h"
#include "app/shell/AboutWindowController.h"
#include "app/shell/PinRequestRoad.h"
#include "import/ImportFixtures.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A current settings file with a letter capture chord (Ctrl+Shift+A) and the update answer.
QByteArray letterChordFile(bool withUpdateAnswer)
{
    QByteArray text = R"({"schemaVersion":3,"shortcut":{"keyCode":0,"modifiers":768,"label":"Ctrl+Shift+A"},)"
                      R"("pinShortcut":{"keyCode":120,"modifiers":0,"label":"F2"},"format":"PNG",)"
                      R"("launchAtLogin":false,"loginItemInitialized":true)";
    if (withUpdateAnswer)
        text += R"(,"automaticUpdateChecks":true)";
    return text + "}";
}

QStringList titles(const QMenu& menu)
{
    QStringList list;
    for (QAction* action : menu.actions()) {
        if (!action->isSeparator())
            list << action->text();
    }
    return list;
}

} // namespace

TEST(CoordinatorLaunch, AlertsComeInOrderOncePerCause)
{
    // F1 held by another program and an unreadable settings file: the hot-key alert, then
    // the settings alert, then the one update question (whose answer cannot be saved).
    CoordinatorFixture f;
    f.hotKeys->taken.insert({122, 0});
    f.writeSettings("{ not json");
    AppCoordinator& c = f.launch();
    EXPECT_EQ(f.alertMessages(), (QStringList{AppCoordinator::hotKeyAlertMessage(), AppCoordinator::settingsAlertMessage(),
                                              QStringLiteral("允许自动检查 Vorlith 更新？")}));
    EXPECT_EQ(f.alerts->shown[0].informativeText, AppCoordinator::hotKeyAlertDetail());
    EXPECT_EQ(f.alerts->shown[1].informativeText, QString::fromUtf8(SettingsStore::unreadableMessage));
    // No pane to send the user to on Linux: one button.
    EXPECT_EQ(f.alerts->shown[0].buttons, QStringList{QStringLiteral("知道了")});
    EXPECT_EQ(f.alerts->shown[2].buttons, (QStringList{QStringLiteral("允许"), QStringLiteral("手动检查")}));
    EXPECT_EQ(c.captureMenuItem()->text(), QStringLiteral("截图    F1（快捷键不可用）"));
    EXPECT_EQ(c.pinMenuItems()[0]->text(), QStringLiteral("置顶图片    F2"));
    EXPECT_FALSE(c.presentingAlert());
    EXPECT_EQ(f.statusItem->installs, 1);
    EXPECT_EQ(f.statusItem->installedToolTip, QStringLiteral("Vorlith"));
    // The refused save of the answer is told at the pointer.
    bool noticed = false;
    for (const QUuid& id : c.feedbackCoordinator().recordIDs())
        noticed = noticed || c.feedbackCoordinator().record(id)->message == QStringLiteral("更新检查偏好未能保存，请在设置中重试。");
    EXPECT_TRUE(noticed);
}

TEST(CoordinatorLaunch, UpdateQuestionIsAskedOnceAndRemembered)
{
    CoordinatorFixture f;
    f.alerts->answers = {Alert::secondButton};
    AppCoordinator& first = f.launch();
    ASSERT_EQ(f.alertMessages(), QStringList{QStringLiteral("允许自动检查 Vorlith 更新？")});
    EXPECT_EQ(first.settings().current().automaticUpdateChecks, std::optional<bool>(false));
    auto* engine = dynamic_cast<ScriptedUpdateEngine*>(first.updater().engine());
    ASSERT_TRUE(engine);
    EXPECT_EQ(engine->automaticChecks.back(), false);
    // Once the question is over, the hot keys are live again.
    EXPECT_FALSE(f.suspended(ShortcutAction::capture));

    f.coordinator.reset();
    f.alerts->shown.clear();
    f.launch();
    EXPECT_TRUE(f.alerts->shown.empty());

    // Without a configured feed nothing is asked.
    CoordinatorFixture g;
    g.withEngine = false;
    g.launch();
    EXPECT_TRUE(g.alerts->shown.empty());
}

TEST(CoordinatorLaunch, StatusMenuHoldsItsItemsInOrder)
{
    CoordinatorFixture f;
    f.writeSettings(letterChordFile(true));
    AppCoordinator& c = f.launch();
    EXPECT_EQ(titles(*c.statusMenu()),
              (QStringList{QStringLiteral("截图    Ctrl+Shift+A"), QStringLiteral("继续上次截图"), QStringLiteral("置顶图片    F2"),
                           QStringLiteral("打开图片并置顶…"), QStringLiteral("显示置顶图片"), QStringLiteral("设置…"),
                           QStringLiteral("检查更新…"), QStringLiteral("关于 Vorlith"), QStringLiteral("退出 Vorlith")}));
    EXPECT_FALSE(c.recoveryMenuItem()->isVisible());
    EXPECT_EQ(c.pinMenuItems()[0]->toolTip(), QStringLiteral("先复制图片，或在文件管理器中复制图片文件"));
    EXPECT_TRUE(c.statusMenu()->toolTipsVisible());
    EXPECT_EQ(c.settingsMenuItem()->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));
    EXPECT_EQ(c.settingsMenuItem()->shortcutContext(), Qt::WidgetShortcut);
    // The editing menu exists for its actions only; none of its keys is global.
    ASSERT_TRUE(c.editingMenu());
    EXPECT_EQ(titles(*c.editingMenu()), (QStringList{QStringLiteral("撤销"), QStringLiteral("重做"), QStringLiteral("剪切"),
                                                     QStringLiteral("复制"), QStringLiteral("粘贴"), QStringLiteral("全选")}));
    for (QAction* action : c.editingMenu()->actions())
        EXPECT_EQ(action->shortcutContext(), Qt::WidgetShortcut);

    // A click on the tray opens the menu; its opening refreshes the titles.
    f.hotKeys->taken.insert({120, 0});
    EXPECT_ANY_THROW(c.shortcut().registerActions({{ShortcutAction::capture, c.settings().current().shortcut},
                                                   {ShortcutAction::pin, c.settings().current().pinShortcut}}));
    f.statusItem->click();
    // The road prepares its request first: the menu opens on a later turn.
    ASSERT_TRUE(runUntil([&] { return f.statusItem->menusRun == 1; }));
    EXPECT_EQ(c.pinMenuItems()[0]->text(), QStringLiteral("置顶图片    F2（快捷键不可用）"));
}

TEST(CoordinatorLaunch, RefreshMenuTable)
{
    struct Row {
        const char* name;
        std::function<void(CoordinatorFixture&)> arrange;
        bool busy;
    };
    const Row rows[] = {
        {"idle", [](CoordinatorFixture&) {}, false},
        {"capture running", [](CoordinatorFixture& f) { f.coordinator->setCaptureRunning(true); }, true},
        {"frozen for the quit review", [](CoordinatorFixture& f) { f.coordinator->setTerminationFrozen(true); }, true},
        {"import running", [](CoordinatorFixture& f) { f.coordinator->setImportRunning(true); }, true},
        {"pin request running", [](CoordinatorFixture& f) { f.coordinator->setPinRequestRunning(true); }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CoordinatorFixture f;
        f.writeSettings(letterChordFile(true));
        AppCoordinator& c = f.launch();
        row.arrange(f);
        c.refreshMenu();
        EXPECT_EQ(c.captureMenuItem()->isEnabled(), !row.busy);
        EXPECT_EQ(c.settingsMenuItem()->isEnabled(), !row.busy);
        // Never disabled.
        for (QAction* action : c.statusMenu()->actions()) {
            if (action->text() == QStringLiteral("检查更新…") || action->text() == QStringLiteral("关于 Vorlith")
                || action->text() == QStringLiteral("退出 Vorlith")) {
                EXPECT_TRUE(action->isEnabled());
            }
        }
        // Busy suspends both hot keys.
        c.updateShortcutAvailability();
        EXPECT_EQ(f.suspended(ShortcutAction::capture), row.busy);
        EXPECT_EQ(f.suspended(ShortcutAction::pin), row.busy);
    }

    // A kept capture shows its item.
    {
        CoordinatorFixture g;
        g.writeSettings(letterChordFile(true));
        AppCoordinator& c = g.launch();
        c.recoveryStore().setCurrent(RecoveredCapture{.frames = {},
                                                      .displayID = 1,
                                                      .document = CaptureDocument(QUuid::createUuid(), Rect{0, 0, 10, 10},
                                                                                  DocumentOrigin::screenCapture,
                                                                                  {50, qint64(64) << 20})});
        c.refreshMenu();
        EXPECT_TRUE(c.recoveryMenuItem()->isVisible());
        EXPECT_TRUE(c.recoveryMenuItem()->isEnabled());
    }

    // An alert up: the menu refreshed meanwhile shows everything off.
    CoordinatorFixture f;
    f.writeSettings(letterChordFile(true));
    AppCoordinator& c = f.launch();
    bool enabledDuringAlert = true;
    f.alerts->whileShown = [&](const Alert&) {
        c.refreshMenu();
        enabledDuringAlert = c.captureMenuItem()->isEnabled();
    };
    c.showError(QStringLiteral("x"), QStringLiteral("y"), false);
    EXPECT_FALSE(enabledDuringAlert);
}

TEST(CoordinatorLaunch, PinToggleTitleFollowsThePins)
{
    CoordinatorFixture f;
    f.writeSettings(letterChordFile(true));
    AppCoordinator& c = f.launch();
    QAction* toggle = c.pinMenuItems().back();
    struct Case {
        std::vector<bool> visible;
        const char* title;
        bool enabled;
    };
    for (const Case& row : {Case{{}, "显示置顶图片", false}, Case{{false, false}, "显示置顶图片", true},
                            Case{{false, true}, "隐藏置顶图片", true}}) {
        f.pins->states.clear();
        for (bool visible : row.visible)
            f.pins->states.push_back({QUuid::createUuid(), visible});
        c.refreshMenu();
        EXPECT_EQ(toggle->text(), QString::fromUtf8(row.title));
        EXPECT_EQ(toggle->isEnabled(), row.enabled);
    }
    c.togglePins();
    EXPECT_TRUE(f.pins->calls.contains(QStringLiteral("toggleVisibility")));
}

TEST(CoordinatorLaunch, HotKeyTruthTable)
{
    struct Row {
        const char* name;
        QByteArray settings; // empty: defaults (F1, F2)
        bool active;
        std::function<void(CoordinatorFixture&)> arrange;
        bool captureSuspended;
        bool pinSuspended;
    };
    const Row rows[] = {
        {"F1 while active stays live", {}, true, {}, false, false},
        {"F1 while inactive", {}, false, {}, false, false},
        {"letter chord while active is released", letterChordFile(true), true, {}, true, false},
        {"letter chord while inactive", letterChordFile(true), false, {}, false, false},
        {"pin recorder recording", {}, true,
         [](CoordinatorFixture& f) {
             f.coordinator->settingsWindow().present();
             QTest::mouseClick(f.coordinator->settingsWindow().pinRecorder(), Qt::LeftButton);
         },
         false, true},
        {"a gesture on a pin", {}, false, [](CoordinatorFixture& f) { f.pins->gesture = true; }, false, true},
        {"a pin editor typing", {}, false,
         [](CoordinatorFixture& f) { f.pins->states = {{QUuid::createUuid(), true, false, false, false, true}}; }, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CoordinatorFixture f;
        if (!row.settings.isEmpty())
            f.writeSettings(row.settings);
        else
            f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
        f.active = row.active;
        f.launch();
        if (row.arrange)
            row.arrange(f);
        f.coordinator->updateShortcutAvailability();
        EXPECT_EQ(f.suspended(ShortcutAction::capture), row.captureSuspended);
        EXPECT_EQ(f.suspended(ShortcutAction::pin), row.pinSuspended);
        f.coordinator->settingsWindow().close();
    }
}

TEST(CoordinatorLaunch, TextFieldWithTheKeyboardSuspendsThePinKey)
{
    CoordinatorFixture f;
    f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
    AppCoordinator& c = f.launch();
    QLineEdit field;
    field.show();
    QApplication::setActiveWindow(&field);
    field.setFocus();
    ASSERT_TRUE(runUntil([&] { return field.hasFocus(); }));
    c.updateShortcutAvailability();
    EXPECT_TRUE(f.suspended(ShortcutAction::pin));
    field.setReadOnly(true);
    c.updateShortcutAvailability();
    EXPECT_FALSE(f.suspended(ShortcutAction::pin));
}

TEST(CoordinatorLaunch, ShowErrorSuspendsBothKeysAndGivesTheKeyboardBack)
{
    CoordinatorFixture f;
    f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
    AppCoordinator& c = f.launch();
    ASSERT_EQ(c.previousApplication()->pid, 4242);
    bool bothSuspended = false;
    f.alerts->whileShown = [&](const Alert&) {
        bothSuspended = f.suspended(ShortcutAction::capture) && f.suspended(ShortcutAction::pin) && c.presentingAlert();
    };
    f.restored.clear();
    c.showError(QStringLiteral("显示器配置已改变"), QStringLiteral("当前截图已退出，请重新开始截图。"), true);
    EXPECT_TRUE(bothSuspended);
    ASSERT_EQ(f.restored.size(), 1u);
    EXPECT_EQ(f.restored[0]->pid, 4242);
    EXPECT_FALSE(f.suspended(ShortcutAction::capture));
    EXPECT_FALSE(c.presentingAlert());
    // Even with the settings offer there is one button on Linux.
    EXPECT_EQ(f.alerts->shown.back().buttons, QStringList{QStringLiteral("知道了")});

    // When the alert opened the system's settings, nothing is brought back.
    f.restored.clear();
    c.environment.showError = [](const QString&, const QString&, bool) { return true; };
    c.showError(QStringLiteral("a"), QStringLiteral("b"), true);
    EXPECT_TRUE(f.restored.empty());
}

TEST(CoordinatorLaunch, NoticeIsDroppedWhenTheToastsAreFull)
{
    CoordinatorFixture f;
    f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
    AppCoordinator& c = f.launch();
    FeedbackCoordinator& toasts = c.feedbackCoordinator();
    const QUuid owner = QUuid::createUuid();
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(toasts.begin(QUuid::createUuid(), owner, ToastFixture::left, QStringLiteral("正在复制…"), [] {}));
    ASSERT_EQ(toasts.pendingCount(), 32);
    c.postNotice(QStringLiteral("快捷键不可用，请在设置中更换"));
    EXPECT_EQ(toasts.pendingCount(), 32);
    for (const QUuid& id : toasts.recordIDs())
        EXPECT_NE(toasts.record(id)->message, QStringLiteral("快捷键不可用，请在设置中更换"));

    // With a toast closure set, the notice goes there instead.
    QStringList told;
    c.environment.toast = [&](const QString& message) { told << message; };
    c.postNotice(QStringLiteral("n"));
    EXPECT_EQ(told, QStringList{QStringLiteral("n")});
}

TEST(CoordinatorLaunch, SmallActionsAreRefusedWhileBusy)
{
    CoordinatorFixture f;
    f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
    AppCoordinator& c = f.launch();
    c.setCaptureRunning(true);
    c.showAbout();
    c.openSettings();
    EXPECT_FALSE(c.hasAboutWindow());
    EXPECT_FALSE(c.settingsWindow().isVisible());
    c.setCaptureRunning(false);
    f.pins->settles = false;
    c.openSettings();
    EXPECT_FALSE(c.settingsWindow().isVisible());
    f.pins->settles = true;
    c.openSettings();
    EXPECT_TRUE(c.settingsWindow().isVisible());
    c.showAbout();
    EXPECT_TRUE(c.aboutWindow().window()->isVisible());
    // The settings window closing while About shows gives nothing back to the other program.
    f.restored.clear();
    c.settingsWindow().close();
    EXPECT_TRUE(f.restored.empty());
    c.aboutWindow().window()->close();
    c.openSettings();
    c.settingsWindow().close();
    EXPECT_EQ(f.restored.size(), 1u);
}

TEST(CoordinatorLaunch, PinItemOfTheMenuPinsTheClipboardImage)
{
    CoordinatorFixture f;
    f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
    AppCoordinator& c = f.launch();
    QImage image(QSize(20, 10), QImage::Format_ARGB32);
    image.fill(Qt::red);
    f.pasteboard->items = {{{QStringLiteral("image/png"), pngBytes(image)}}};
    f.statusItem->whileMenuOpen = [&](QMenu&) { c.pinMenuItems()[0]->trigger(); };
    f.statusItem->click();
    ASSERT_TRUE(runUntil([&] { return f.pins->added.size() == 1; }));
    // The pinned image's document is registered and counted.
    const QUuid id = f.pins->added[0].first->id();
    EXPECT_TRUE(c.documents().contains(id));
    ASSERT_TRUE(runUntil([&] { return !c.pinRoad().hasImportTask(); }));
    EXPECT_EQ(c.resources()->pinCount(), 1);
    // While pins exist, the toggle item is on.
    c.refreshMenu();
    EXPECT_TRUE(c.pinMenuItems().back()->isEnabled());
}

TEST(CoordinatorLaunch, PreviousApplicationFollowsTheWindowManagerAndIsRestored)
{
    CoordinatorFixture f;
    f.writeSettings(R"({"schemaVersion":3,"automaticUpdateChecks":true,"loginItemInitialized":true})");
    f.make();
    // The real default, over the fake focus.
    AppCoordinator fresh(CoordinatorServices{.applicationFocus = f.focus, .memoryLimit = qint64(1) << 30});
    fresh.applicationDidFinishLaunching();
    EXPECT_TRUE(f.focus->watching);
    f.focus->change(FrontApplication{4242, 77, QStringLiteral("Gedit")});
    // Our own windows becoming active change nothing.
    f.focus->change(FrontApplication{qint32(QCoreApplication::applicationPid()), 99, QStringLiteral("Vorlith")});
    ASSERT_TRUE(fresh.previousApplication());
    EXPECT_EQ(fresh.previousApplication()->window, 77u);
    fresh.environment.restoreApplication(fresh.previousApplication());
    ASSERT_EQ(f.focus->restored.size(), 1u);
    EXPECT_EQ(f.focus->restored[0].window, 77u);
}

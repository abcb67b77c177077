// The settings window on fakes: its frames (read back y-up through UnflippedFrame::of), the
// notices, the session and its save, and its looks (build/test-output/settings-window-*.png).
#include "app/base/InterfaceColors.h"
#include "app/base/UnflippedFrame.h"
#include "app/base/panel/BrandSwitch.h"
#include "app/base/panel/PanelFooterView.h"
#include "app/base/panel/PanelPopUpButton.h"
#include "app/base/panel/PanelPrimaryButton.h"
#include "app/base/panel/PanelSecondaryButton.h"
#include "app/settings/PlainTextButton.h"
#include "app/settings/SettingsBody.h"
#include "app/settings/SettingsError.h"
#include "app/settings/ShortcutRecorder.h"
#include "settings/RecorderKeys.h"
#include "settings/SettingsWindowFixture.h"
#include "support/TestSupport.h"
#include "support/WidgetGallery.h"

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

Rect frameOf(const QWidget* w)
{
    return UnflippedFrame::of(w);
}

QRect geometryOf(const QWidget* w)
{
    return w->geometry();
}

QString loadedFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Picks a folder in the open chooser as a user would, and accepts it.
void chooseInDialog(SettingsWindowController& window, const QString& path)
{
    window.chooseFolder();
    ASSERT_TRUE(window.folderDialog());
    EXPECT_TRUE(window.hasAttachedSheet());
    EXPECT_EQ(window.folderDialog()->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(window.folderDialog()->testOption(QFileDialog::DontUseNativeDialog));
    window.folderDialog()->setDirectory(path);
    window.folderDialog()->selectFile(path);
    static_cast<QDialog*>(window.folderDialog())->accept();
    EXPECT_FALSE(window.hasAttachedSheet());
}

} // namespace

TEST(SettingsWindowLayout, FramesAtFullHeightAndOnASmallScreen)
{
    SettingsWindowFixture f;
    SettingsWindowController& w = *f.window;
    EXPECT_EQ(SettingsWindowController::contentHeight(std::nullopt), 748);
    EXPECT_EQ(SettingsWindowController::contentHeight(900), 748);
    EXPECT_EQ(SettingsWindowController::contentHeight(700), 640);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Vorlith 设置"));

    struct Row {
        const char* what;
        const QWidget* widget;
        Rect frame;
    };
    const Row body[] = {
        {"recorder", w.recorder(), Rect(370, 515.5, 118, 28)},
        {"pin recorder", w.pinRecorder(), Rect(370, 438, 118, 28)},
        {"reset", w.resetButton(), Rect(434, 382, 54, 24)},
        {"format", w.format(), Rect(370, 281, 118, 28)},
        {"retry", w.loginRetry(), Rect(422, 29, 66, 28)},
    };
    for (const Row& row : body)
        EXPECT_EQ(frameOf(row.widget), row.frame) << row.what;
    // The folder button and the switches sit on their rows' pairs.
    EXPECT_EQ(frameOf(w.directory()).size, Size(118, 28));
    EXPECT_GT(frameOf(w.directory()).minY(), 203);
    EXPECT_LT(frameOf(w.directory()).maxY(), 261);
    EXPECT_EQ(frameOf(w.loginSwitch()).maxX(), 488);
    EXPECT_EQ(frameOf(w.updateSwitch()).maxX(), 488);
    EXPECT_EQ(frameOf(w.updateSwitch()).size, Size(38, 22));
    EXPECT_EQ(w.scrollBody()->boxes, (std::vector<Rect>{Rect(28, 370, 484, 195), Rect(28, 203, 484, 121),
                                                         Rect(28, 21, 484, 132)}));
    EXPECT_EQ(w.scrollBody()->separators.size(), 3u);
    EXPECT_EQ(w.scrollBody()->separators[0], Rect(28.5, 494, 483, 0.5));

    const auto fixedParts = [&](int h) {
        EXPECT_EQ(w.size(), QSize(540, h));
        EXPECT_EQ(geometryOf(w.footer()), QRect(0, h - 59, 540, 59));
        EXPECT_EQ(geometryOf(w.cancelButton()), QRect(357, h - 43, 74, 28));
        EXPECT_EQ(geometryOf(w.saveButton()), QRect(440, h - 43, 74, 28));
        EXPECT_EQ(geometryOf(w.scrollView()), QRect(0, 90, 540, h - 149));
    };
    fixedParts(748);
    EXPECT_EQ(geometryOf(w.scrollBody()), QRect(0, 0, 540, 600));

    // A screen whose visible height is 700: the content is 540 × 640, the scroll view
    // 540 × 491, and the header stays at the top; the body scrolls with its top shown.
    w.setContentHeight(640);
    fixedParts(640);
    EXPECT_EQ(w.scrollView()->height(), 491);
    w.present();
    EXPECT_EQ(w.scrollView()->widget()->y(), 0);
    EXPECT_EQ(geometryOf(w.loginSwitch()->window()), geometryOf(&w));
}

TEST(SettingsWindowLayout, NoticeAndFeedbackChangeTheLayoutOnce)
{
    SettingsWindowFixture f;
    SettingsWindowController& w = *f.window;
    f.login.current = LoginItemStatus::notRegistered;
    w.present();
    ASSERT_FALSE(w.loginNoticeExpanded());
    const Rect recorder = frameOf(w.recorder());
    const int recorderTop = w.recorder()->y();
    const Rect loginSwitch = frameOf(w.loginSwitch());
    const std::vector<Rect> boxes = w.scrollBody()->boxes;

    // The login notice: the body 644 high, every row above the strip 44 higher, the "通用"
    // box 176 high and still starting at 21.
    w.changeLogin();
    EXPECT_TRUE(w.loginNoticeExpanded());
    EXPECT_EQ(w.scrollBody()->height(), 644);
    EXPECT_EQ(frameOf(w.recorder()), recorder.offsetBy(0, 44));
    EXPECT_EQ(frameOf(w.loginSwitch()), loginSwitch.offsetBy(0, 44));
    EXPECT_EQ(w.generalGroup(), Rect(28, 21, 484, 176));
    EXPECT_EQ(frameOf(w.loginRetry()), Rect(422, 29, 66, 28));
    EXPECT_TRUE(w.loginStatus()->isVisibleTo(&w));
    EXPECT_EQ(w.loginStatus()->text(), QStringLiteral("保存设置后生效。"));
    EXPECT_NEAR(frameOf(w.loginStatus()).midY(), 43, 0.5);
    // The y-down geometry keeps the rows at the same distance from the body's top.
    EXPECT_EQ(w.recorder()->y(), recorderTop);

    // Hiding it again (a new session, status not shown) restores the 600 layout exactly.
    w.close();
    w.present();
    EXPECT_FALSE(w.loginNoticeExpanded());
    EXPECT_EQ(frameOf(w.recorder()), recorder);
    EXPECT_EQ(w.scrollBody()->boxes, boxes);
    EXPECT_EQ(w.scrollBody()->height(), 600);

    // The feedback line takes 44 from the scroll view's bottom, once.
    f.registrar->taken.insert({0, 0x100});
    w.recorder()->setFocus();
    QTest::mouseClick(w.recorder(), Qt::LeftButton);
    w.recorder()->accept(ShortcutSpec{0, 0x100, QStringLiteral("Ctrl+A")});
    w.saveSettings();
    EXPECT_TRUE(w.feedbackExpanded());
    EXPECT_EQ(w.scrollView()->height(), 748 - 149 - 44);
    w.saveSettings();
    EXPECT_EQ(w.scrollView()->height(), 748 - 149 - 44);
    EXPECT_EQ(w.feedback()->geometry(), QRect(28, 748 - 103, 484, 36));
}

TEST(SettingsWindowSession, SaveRegistersWritesAndCloses)
{
    SettingsWindowFixture f;
    SettingsWindowController& w = *f.window;
    w.present();
    ASSERT_TRUE(w.sessionOpen());
    EXPECT_FALSE(w.hasUnsavedChanges());
    EXPECT_EQ(w.recorder()->text(), QStringLiteral("F1"));
    EXPECT_EQ(w.directory()->text(), QStringLiteral("pictures"));
    EXPECT_EQ(w.directory()->toolTip(), QStringLiteral("选择默认保存文件夹\n") + f.folder);
    EXPECT_FALSE(w.updateSwitch()->presentation().isOn()) << "never asked shows off";

    QTest::mouseClick(w.pinRecorder(), Qt::LeftButton);
    w.pinRecorder()->accept(ShortcutSpec{0, 0x300, QStringLiteral("Ctrl+Shift+A")});
    w.format()->setCurrentIndex(1);
    EXPECT_TRUE(w.hasUnsavedChanges());

    // Opening again keeps the open session's edits.
    w.present();
    EXPECT_EQ(w.draft().pinShortcut.label, QStringLiteral("Ctrl+Shift+A"));

    w.saveSettings();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.sessionOpen());
    EXPECT_EQ(f.saved, 1);
    EXPECT_EQ(f.closed, 1);
    EXPECT_EQ(f.updates.applied, 1);
    EXPECT_EQ(f.store->current().pinShortcut, (ShortcutSpec{0, 0x300, QStringLiteral("Ctrl+Shift+A")}));
    EXPECT_EQ(f.store->current().format, ImageFormat::jpeg);
    EXPECT_EQ(f.store->current().automaticUpdateChecks, std::nullopt) << "untouched stays absent";
    EXPECT_EQ(f.shortcuts.bindings().at(ShortcutAction::pin).keyCode, 0u);
    EXPECT_TRUE(loadedFile(f.settingsPath()).contains(QStringLiteral("Ctrl+Shift+A")));
}

TEST(SettingsWindowSession, FlagsResetAndFolders)
{
    SettingsWindowFixture f;
    SettingsWindowController& w = *f.window;
    w.present();

    // A switch flipped and flipped back still counts until the session ends.
    QTest::mouseClick(w.updateSwitch(), Qt::LeftButton);
    QTest::mouseClick(w.updateSwitch(), Qt::LeftButton);
    EXPECT_EQ(w.draft().automaticUpdateChecks, false);
    EXPECT_TRUE(w.hasUnsavedChanges());
    w.cancelSettings();
    EXPECT_FALSE(w.hasUnsavedChanges());
    w.present();
    EXPECT_FALSE(w.hasUnsavedChanges());
    EXPECT_EQ(w.draft().automaticUpdateChecks, std::nullopt) << "the draft is dropped";

    // Reset puts F1 / F2 in the draft only.
    QTest::mouseClick(w.recorder(), Qt::LeftButton);
    w.recorder()->accept(ShortcutSpec{96, 0, QStringLiteral("F5")});
    const QStringList callsBefore = f.registrar->calls;
    w.resetKey();
    EXPECT_EQ(w.draft().shortcut, ShortcutSpec::defaultCapture());
    EXPECT_EQ(w.draft().pinShortcut, ShortcutSpec::defaultPin());
    EXPECT_EQ(w.recorder()->text(), QStringLiteral("F1"));
    EXPECT_EQ(f.registrar->calls, callsBefore);

    // With bookmarks: each choice makes a fresh one; a refused bookmark changes nothing.
    const QString other = f.dir.filePath(QStringLiteral("other"));
    QDir().mkpath(other);
    chooseInDialog(w, other);
    EXPECT_EQ(w.draft().directory.toLocalFile(), other);
    EXPECT_EQ(w.draft().directoryBookmark, QByteArray("bookmark:") + other.toUtf8());
    EXPECT_EQ(w.directory()->text(), QStringLiteral("other"));
    EXPECT_TRUE(f.folders->open().isEmpty());
    f.folders->bookmarksWork = false;
    chooseInDialog(w, f.folder);
    EXPECT_EQ(w.draft().directory.toLocalFile(), other);
    EXPECT_EQ(w.feedback()->text(), QStringLiteral("无法保留此目录的访问授权，请重新选择。"));
    EXPECT_EQ(w.feedback()->palette().color(QPalette::WindowText), InterfaceColors::error());
    EXPECT_TRUE(f.folders->open().isEmpty());
}

TEST(SettingsWindowSession, LocalFoldersDropTheOldBookmark)
{
    SettingsWindowFixture f({.bookmarks = false});
    SettingsWindowController& w = *f.window;
    w.present();
    const QString other = f.dir.filePath(QStringLiteral("other"));
    QDir().mkpath(other);
    chooseInDialog(w, other);
    EXPECT_EQ(w.draft().directory.toLocalFile(), other);
    EXPECT_EQ(w.draft().directoryBookmark, std::nullopt);
    w.saveSettings();
    EXPECT_EQ(f.store->current().directory.toLocalFile(), other);
}

TEST(SettingsWindowSession, FailuresKeepTheWindowDraftAndFlags)
{
    SettingsWindowFixture f;
    SettingsWindowController& w = *f.window;
    w.present();
    QTest::mouseClick(w.updateSwitch(), Qt::LeftButton);
    f.registrar->taken.insert({0, 0x100});
    QTest::mouseClick(w.recorder(), Qt::LeftButton);
    w.recorder()->accept(ShortcutSpec{0, 0x100, QStringLiteral("Ctrl+A")});
    const QByteArray before = loadedFile(f.settingsPath()).toUtf8();

    w.saveSettings();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.feedback()->isVisibleTo(&w));
    EXPECT_TRUE(w.feedback()->text().startsWith(QStringLiteral("无法注册该快捷键"))) << w.feedback()->text().toStdString();
    EXPECT_EQ(w.feedback()->palette().color(QPalette::WindowText), InterfaceColors::error());
    EXPECT_EQ(w.draft().shortcut.label, QStringLiteral("Ctrl+A"));
    EXPECT_TRUE(w.hasUnsavedChanges());
    EXPECT_EQ(f.saved, 0);
    EXPECT_EQ(f.updates.applied, 0);
    EXPECT_EQ(loadedFile(f.settingsPath()).toUtf8(), before);
}

TEST(SettingsWindowSession, LoadAndRegistrationErrorsShowWhenOpened)
{
    SettingsWindowFixture f;
    f.registrar->taken.insert({120, 0});
    EXPECT_ANY_THROW(f.shortcuts.registerActions({{ShortcutAction::capture, ShortcutSpec::defaultCapture()},
                                                  {ShortcutAction::pin, ShortcutSpec::defaultPin()}}));
    f.window->present();
    ASSERT_TRUE(f.shortcuts.registrationError());
    EXPECT_EQ(f.window->feedback()->text(), *f.shortcuts.registrationError());
    EXPECT_EQ(f.window->feedback()->palette().color(QPalette::WindowText), InterfaceColors::error());
}

TEST(SettingsWindowSession, LoginStatusesAndServices)
{
    struct Row {
        LoginItemStatus status;
        bool shown;
        const char* retry; // empty: hidden
    };
    const Row rows[] = {
        {LoginItemStatus::enabled, false, ""},
        {LoginItemStatus::requiresApproval, true, "去允许"},
        {LoginItemStatus::notRegistered, false, ""},
        {LoginItemStatus::unavailable, true, "重试"},
    };
    SettingsWindowFixture f;
    for (const Row& row : rows) {
        f.login.current = row.status;
        f.window->present();
        EXPECT_EQ(f.window->loginSwitch()->presentation().isOn(), row.status == LoginItemStatus::enabled);
        EXPECT_EQ(f.window->loginStatus()->text(), loginItemStatusDescription(row.status));
        EXPECT_EQ(f.window->loginStatus()->isVisibleTo(f.window.get()), row.shown);
        EXPECT_EQ(f.window->loginNoticeExpanded(), row.shown);
        EXPECT_EQ(f.window->loginRetry()->isVisibleTo(f.window.get()), *row.retry != 0);
        if (*row.retry) {
            EXPECT_EQ(f.window->loginRetry()->text(), QString::fromUtf8(row.retry));
        }
        f.window->close();
    }

    // Retry switches it on for the next save, even where the fake asks for approval.
    f.login.current = LoginItemStatus::unavailable;
    f.window->present();
    f.window->retryLogin();
    EXPECT_TRUE(f.window->draft().launchAtLogin);
    EXPECT_TRUE(f.window->loginSwitch()->presentation().isOn());
    EXPECT_EQ(f.window->loginStatus()->text(), QStringLiteral("保存设置时重试；若系统需要批准，将显示真实状态。"));

    // Saved while the system has not enabled it: the window stays, with the status.
    f.login.statusesAfterSet.push_back(LoginItemStatus::requiresApproval);
    f.window->saveSettings();
    EXPECT_TRUE(f.window->isVisible());
    EXPECT_EQ(f.saved, 1);
    EXPECT_EQ(f.window->feedback()->text(),
              QStringLiteral("设置已保存；") + loginItemStatusDescription(LoginItemStatus::requiresApproval));
    EXPECT_EQ(f.window->feedback()->palette().color(QPalette::WindowText), InterfaceColors::secondary());
    EXPECT_EQ(f.window->loginRetry()->text(), QStringLiteral("去允许"));
    EXPECT_FALSE(f.window->hasUnsavedChanges());
}

TEST(SettingsWindowSession, WithoutLoginOrUpdateServices)
{
    SettingsWindowFixture f({.loginService = false, .updateService = false});
    SettingsWindowController& w = *f.window;
    w.present();
    EXPECT_FALSE(w.loginSwitch()->isEnabled());
    EXPECT_FALSE(w.loginSwitch()->acceptsUserChanges);
    EXPECT_FALSE(w.loginRetry()->isEnabled());
    EXPECT_FALSE(w.loginRetry()->isVisibleTo(&w));
    EXPECT_EQ(w.loginStatus()->text(), QStringLiteral("登录项服务未装配。"));
    EXPECT_TRUE(w.loginStatus()->isVisibleTo(&w));

    QTest::mouseClick(w.updateSwitch(), Qt::LeftButton);
    w.saveSettings();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(f.store->current().automaticUpdateChecks, true);
}

TEST(SettingsWindowKeys, RegisteredChordsReturnEscapeAndResigning)
{
    SettingsWindowFixture f;
    SettingsWindowController& w = *f.window;
    w.present();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(runUntil([&] { return w.isActiveWindow(); }));

    // Tab goes by rows (the hidden retry button skipped), then Cancel and Save.
    w.recorder()->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> visited;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
        visited.push_back(w.focusWidget());
    }
    EXPECT_EQ(visited, (std::vector<QWidget*>{w.pinRecorder(), w.resetButton(), w.format(), w.directory(),
                                              w.loginSwitch(), w.updateSwitch(), w.cancelButton(), w.saveButton()}));

    // Not recording: the coordinator runs the hot key as usual.
    EXPECT_FALSE(w.consumeRegisteredShortcut(ShortcutSpec::defaultCapture()));
    // The capture chord pressed while the pin recorder records: the pin recorder takes it.
    QTest::mouseClick(w.pinRecorder(), Qt::LeftButton);
    EXPECT_TRUE(w.consumeRegisteredShortcut(ShortcutSpec::defaultCapture()));
    EXPECT_EQ(w.draft().pinShortcut, ShortcutSpec::defaultCapture());

    // Escape while recording stays in the recorder; Escape then closes.
    QTest::mouseClick(w.recorder(), Qt::LeftButton);
    EXPECT_TRUE(sendRecorderKey(w.recorder(), Qt::Key_Escape, Qt::NoModifier, 53));
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.recorder()->recording());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());

    // Return saves; the window stops being key: recorders end.
    w.present();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(runUntil([&] { return w.isActiveWindow(); }));
    QTest::mouseClick(w.recorder(), Qt::LeftButton);
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    EXPECT_TRUE(runUntil([&] { return !w.isActiveWindow() && !w.recorder()->recording(); }));
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(runUntil([&] { return w.isActiveWindow(); }));
    w.saveButton()->setFocus();
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(f.saved, 1);
}

// The settings window as a user meets it under a real X server and openbox: the real store in
// a private XDG_CONFIG_HOME, the real hot keys and autostart entry, presses of registered
// chords offered to the window first (as the coordinator routes them), driven with xdotool.
// Screens are saved as build/test-output/settings-window-x11-*.png.
#include "app/base/panel/BrandSwitch.h"
#include "app/base/panel/PanelPrimaryButton.h"
#include "app/base/panel/PanelSecondaryButton.h"
#include "app/settings/SettingsStore.h"
#include "app/settings/SettingsWindowController.h"
#include "app/settings/ShortcutRecorder.h"
#include "app/settings/ShortcutService.h"
#include "editor/Xdotool.h"
#include "platform/LocalFolderAccess.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/xdg/LoginItemService.h"
#include "settings/OtherKeyGrabber.h"
#include "support/MemoryLogSink.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

struct Stage {
    ScopedLogCapture log;
    QTemporaryDir config;
    QString folder;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<ShortcutService> shortcuts;
    std::unique_ptr<LoginItemService> login;
    std::unique_ptr<SettingsWindowController> window;
    std::vector<ShortcutAction> actions;

    Stage()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        folder = config.filePath(QStringLiteral("pictures"));
        QDir().mkpath(folder);
        AppSettings stored;
        stored.directory = QUrl::fromLocalFile(folder);
        stored.launchAtLogin = false;
        stored.loginItemInitialized = true;
        SettingsStore::defaultWriteData(stored.encoded(), SettingsStore::defaultFileURL());

        store = std::make_unique<SettingsStore>();
        shortcuts = std::make_unique<ShortcutService>(X11HotKeyRegistrar::open());
        shortcuts->registerActions({{ShortcutAction::capture, store->current().shortcut},
                                    {ShortcutAction::pin, store->current().pinShortcut}});
        // As the coordinator routes a press: the settings window first.
        shortcuts->onActionPressed = [this](ShortcutAction action) {
            const ShortcutSpec chord = shortcuts->bindings().at(action);
            if (!window->consumeRegisteredShortcut(chord))
                actions.push_back(action);
        };
        login = std::make_unique<LoginItemService>(
            LoginItemService::systemConfiguration(QStringLiteral("app.vorlith.Vorlith"), QStringLiteral("Vorlith")),
            &SettingsStore::defaultWriteData);
        window = std::make_unique<SettingsWindowController>(*store, *shortcuts, login.get(), nullptr,
                                                            std::make_shared<LocalFolderAccess>());
    }
    ~Stage() { qunsetenv("XDG_CONFIG_HOME"); }

    void open()
    {
        window->present();
        ASSERT_TRUE(runUntil([&] { return window->isActiveWindow(); }));
        spin(100ms);
    }
    void click(QWidget* w)
    {
        ASSERT_EQ(xdotool(at(w->mapToGlobal(w->rect().center())) << QStringLiteral("click") << QStringLiteral("1")), 0);
    }
    // Clicks a recorder and waits until it records.
    void startRecording(ShortcutRecorder* recorder)
    {
        click(recorder);
        ASSERT_TRUE(runUntil([&] { return recorder->recording(); }));
    }
    void key(const QString& chord) { ASSERT_EQ(xdotool({QStringLiteral("key"), chord}), 0); }
    QJsonObject file() const
    {
        QFile f(SettingsStore::defaultFileURL());
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
    }
    void screen(const QString& name)
    {
        saveTestImage(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), QStringLiteral("settings-window-x11-") + name);
    }
};

} // namespace

TEST(SettingsWindowX11, RecordSaveAndTheChordReachesTheService)
{
    Stage s;
    s.open();
    s.startRecording(s.window->recorder());
    s.screen(QStringLiteral("recording"));
    s.key(QStringLiteral("ctrl+shift+a"));
    ASSERT_TRUE(runUntil([&] { return s.window->recorder()->text() == QStringLiteral("Ctrl+Shift+A"); }));
    s.screen(QStringLiteral("recorded"));
    s.click(s.window->saveButton());
    ASSERT_TRUE(runUntil([&] { return !s.window->isVisible(); }));

    const QJsonObject shortcut = s.file().value(QStringLiteral("shortcut")).toObject();
    EXPECT_EQ(shortcut.value(QStringLiteral("keyCode")).toInt(), 0);
    EXPECT_EQ(shortcut.value(QStringLiteral("modifiers")).toInt(), 768);
    EXPECT_EQ(shortcut.value(QStringLiteral("label")).toString(), QStringLiteral("Ctrl+Shift+A"));
    s.key(QStringLiteral("ctrl+shift+a"));
    ASSERT_TRUE(runUntil([&] { return !s.actions.empty(); }));
    EXPECT_EQ(s.actions.back(), ShortcutAction::capture);

    // Reopened, the window shows the stored chord.
    s.open();
    EXPECT_EQ(s.window->recorder()->text(), QStringLiteral("Ctrl+Shift+A"));
}

TEST(SettingsWindowX11, ChordHeldByAnotherClientIsRefusedAndF2StillWorks)
{
    Stage s;
    s.open();
    s.startRecording(s.window->recorder());
    s.key(QStringLiteral("F6"));
    ASSERT_TRUE(runUntil([&] { return s.window->recorder()->text() == QStringLiteral("F6"); }));
    // Another program takes F6 before the save.
    OtherKeyGrabber other;
    ASSERT_EQ(other.grab(72, 0), 0);
    const QJsonObject before = s.file();
    s.click(s.window->saveButton());
    ASSERT_TRUE(runUntil([&] { return s.window->feedbackExpanded(); }));
    EXPECT_TRUE(s.window->isVisible());
    EXPECT_TRUE(s.window->feedback()->text().startsWith(QStringLiteral("无法注册该快捷键"))) << s.window->feedback()->text().toStdString();
    EXPECT_EQ(s.file(), before);
    s.screen(QStringLiteral("refused"));
    s.key(QStringLiteral("F2"));
    ASSERT_TRUE(runUntil([&] { return !s.actions.empty(); }));
    EXPECT_EQ(s.actions.back(), ShortcutAction::pin);
}

TEST(SettingsWindowX11, PinRecorderTakesTheCaptureChordAndEscapeCloses)
{
    Stage s;
    s.open();
    s.startRecording(s.window->pinRecorder());
    // F1 is grabbed by our own service: the press never reaches Qt as a key, the window
    // (still active although the grab sent it a FocusOut) takes it from the service.
    s.key(QStringLiteral("F1"));
    ASSERT_TRUE(runUntil([&] { return !s.window->pinRecorder()->recording(); }));
    EXPECT_EQ(s.window->pinRecorder()->text(), QStringLiteral("F1"));
    EXPECT_TRUE(s.actions.empty()) << "no capture started";
    s.click(s.window->saveButton());
    ASSERT_TRUE(runUntil([&] { return s.window->feedbackExpanded(); }));
    EXPECT_EQ(s.window->feedback()->text(), QStringLiteral("截图和图片置顶不能使用相同快捷键，请修改其中一项。"));

    // Esc while recording keeps the window; Esc then closes it and drops the draft.
    s.startRecording(s.window->recorder());
    s.key(QStringLiteral("Escape"));
    ASSERT_TRUE(runUntil([&] { return !s.window->recorder()->recording(); }));
    spin(100ms);
    EXPECT_TRUE(s.window->isVisible());
    s.key(QStringLiteral("Escape"));
    ASSERT_TRUE(runUntil([&] { return !s.window->isVisible(); }));
    s.open();
    EXPECT_EQ(s.window->pinRecorder()->text(), QStringLiteral("F2"));
}

TEST(SettingsWindowX11, LoginEntryAndATypedFolderAreSaved)
{
    Stage s;
    s.open();
    s.click(s.window->loginSwitch());
    ASSERT_TRUE(runUntil([&] { return s.window->loginSwitch()->presentation().isOn(); }));

    const QString typed = s.config.filePath(QStringLiteral("typed"));
    QDir().mkpath(typed);
    s.click(s.window->directory());
    ASSERT_TRUE(runUntil([&] { return s.window->hasAttachedSheet() && s.window->folderDialog()->isActiveWindow(); }));
    spin(200ms);
    s.screen(QStringLiteral("folder-dialog"));
    ASSERT_EQ(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), typed}), 0);
    s.key(QStringLiteral("Return"));
    ASSERT_TRUE(runUntil([&] { return !s.window->hasAttachedSheet(); }));
    EXPECT_EQ(s.window->directory()->text(), QStringLiteral("typed"));
    ASSERT_TRUE(runUntil([&] { return s.window->isActiveWindow(); }));

    s.click(s.window->saveButton());
    ASSERT_TRUE(runUntil([&] { return !s.window->isVisible(); }));
    EXPECT_TRUE(QFile::exists(s.login->entryPath()));
    EXPECT_EQ(s.login->status(), LoginItemStatus::enabled);
    EXPECT_EQ(QUrl(s.file().value(QStringLiteral("directory")).toString()).toLocalFile(), typed);
    EXPECT_TRUE(s.file().value(QStringLiteral("launchAtLogin")).toBool());
}

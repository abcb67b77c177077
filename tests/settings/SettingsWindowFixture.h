#pragma once

#include "app/settings/SettingsStore.h"
#include "app/settings/SettingsWindowController.h"
#include "app/settings/ShortcutService.h"
#include "app/settings/UpdateSettingsProviding.h"
#include "platform/LocalFolderAccess.h"
#include "support/FakeFolderAccess.h"
#include "support/FakeHotKeyRegistrar.h"
#include "support/FakeLoginItemService.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace vorlith::test {

struct CountingUpdateSettings final : UpdateSettingsProviding {
    int applied = 0;
    void applyAutomaticUpdateChecks() override { ++applied; }
};

// A settings window over a store in a temporary folder, hot keys on the fake registrar (F1
// and F2 registered), the fake login item and update provider; each optional.
struct SettingsWindowFixture {
    struct Options {
        bool loginService = true;
        bool updateService = true;
        bool bookmarks = true; // the fake folder access; else the local one
    };

    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("pictures"));
    std::shared_ptr<FakeHotKeyRegistrar> registrar = std::make_shared<FakeHotKeyRegistrar>();
    ShortcutService shortcuts{registrar};
    FakeLoginItemService login;
    CountingUpdateSettings updates;
    std::shared_ptr<FakeFolderAccess> folders = std::make_shared<FakeFolderAccess>();
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<SettingsWindowController> window;
    int saved = 0;
    int closed = 0;

    SettingsWindowFixture() : SettingsWindowFixture(Options{}) {}
    QString settingsPath() const { return dir.filePath(QStringLiteral("Tolvane/settings.json")); }
    explicit SettingsWindowFixture(Options options)
    {
        QDir().mkpath(folder);
        // A stored file whose folder exists and that does not launch at login.
        AppSettings stored;
        stored.directory = QUrl::fromLocalFile(folder);
        stored.launchAtLogin = false;
        stored.loginItemInitialized = true;
        SettingsStore::defaultWriteData(stored.encoded(), settingsPath());
        std::shared_ptr<FolderAccess> access = folders;
        if (!options.bookmarks)
            access = nullptr;
        store = std::make_unique<SettingsStore>(settingsPath(),
                                                SettingsStore::WriteData{}, access);
        shortcuts.registerActions({{ShortcutAction::capture, store->current().shortcut},
                                   {ShortcutAction::pin, store->current().pinShortcut}});
        window = std::make_unique<SettingsWindowController>(
            *store, shortcuts, options.loginService ? &login : nullptr, options.updateService ? &updates : nullptr,
            access ? access : std::make_shared<LocalFolderAccess>());
        window->setContentHeight(SettingsWindowController::fullHeight);
        window->onSaved = [this] { ++saved; };
        window->onClosed = [this] { ++closed; };
    }
};

} // namespace vorlith::test

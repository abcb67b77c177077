#pragma once

#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/settings/ShortcutAction.h"
#include "app/shell/AppCoordinator.h"
#include "output/ToastFixture.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeApplicationFocus.h"
#include "support/FakeFileManagerEndpoint.h"
#include "support/FakeCapturePlatform.h"
#include "support/FakeCoordinatorPins.h"
#include "support/FakeFolderAccess.h"
#include "support/FakeHotKeyRegistrar.h"
#include "support/FakeLoginItemService.h"
#include "support/FakePasteboard.h"
#include "support/FakeStatusItemHost.h"
#include "support/ScriptedUpdateEngine.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace vorlith::test {

// A coordinator over fakes: a settings file in a temporary folder, scripted hot keys, tray,
// alerts, pins and update engine, toasts on scripted screens.
struct CoordinatorFixture {
    QTemporaryDir folder;
    ToastFixture toastScreens;
    std::shared_ptr<FakeHotKeyRegistrar> hotKeys = std::make_shared<FakeHotKeyRegistrar>();
    std::shared_ptr<FakeLoginItemService> loginItem = std::make_shared<FakeLoginItemService>();
    std::shared_ptr<FakeStatusItemHost> statusItem = std::make_shared<FakeStatusItemHost>();
    std::shared_ptr<FakeAlertPresenter> alerts = std::make_shared<FakeAlertPresenter>();
    std::shared_ptr<FakeCoordinatorPins> pins = std::make_shared<FakeCoordinatorPins>();
    std::shared_ptr<FakeFileManagerEndpoint> fileManager = std::make_shared<FakeFileManagerEndpoint>();
    std::shared_ptr<FakeApplicationFocus> focus = std::make_shared<FakeApplicationFocus>();
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeCapturePlatform> capture = std::make_shared<FakeCapturePlatform>();
    bool active = false;
    bool withEngine = true;
    bool warmStart = false;
    std::optional<qint64> memoryLimit;
    std::unique_ptr<AppCoordinator> coordinator;
    std::vector<std::optional<FrontApplication>> restored;

    QString settingsPath() const { return folder.filePath(QStringLiteral("Tolvane/settings.json")); }

    void writeSettings(const QByteArray& bytes) const
    {
        QDir().mkpath(folder.filePath(QStringLiteral("Tolvane")));
        QFile file(settingsPath());
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }

    AppCoordinator& make()
    {
        CoordinatorServices services;
        services.capturePlatform = capture;
        services.hotKeys = hotKeys;
        services.settingsFile = settingsPath();
        services.loginItem = loginItem;
        services.folderAccess = std::make_shared<FakeFolderAccess>();
        services.pasteboard = pasteboard;
        services.floatingWindows = toastScreens.windows;
        services.statusItem = statusItem;
        services.alerts = alerts;
        services.pins = pins;
        services.fileManager = fileManager;
        services.applicationFocus = focus;
        services.memoryLimit = memoryLimit;
        services.toasts = toastScreens.environment();
        services.pointer = [] { return ToastFixture::left; };
        services.isApplicationActive = [this] { return active; };
        services.warmStart = warmStart;
        if (withEngine) {
            services.makeEngine = [](UpdateService& service) -> std::unique_ptr<UpdateEngine> {
                return std::make_unique<ScriptedUpdateEngine>(service.bundle(), service);
            };
        } else {
            services.makeEngine = [](UpdateService&) -> std::unique_ptr<UpdateEngine> {
                throw UpdateError(QStringLiteral("未配置更新。"));
            };
        }
        coordinator = std::make_unique<AppCoordinator>(std::move(services));
        coordinator->environment.restoreApplication = [this](const std::optional<FrontApplication>& app) {
            restored.push_back(app);
        };
        coordinator->environment.frontApplication = [] {
            return std::optional<FrontApplication>(FrontApplication{4242, 77, QStringLiteral("Gedit")});
        };
        coordinator->configurePins();
        return *coordinator;
    }

    AppCoordinator& launch()
    {
        make();
        coordinator->applicationDidFinishLaunching();
        return *coordinator;
    }

    QStringList alertMessages() const
    {
        QStringList messages;
        for (const Alert& alert : alerts->shown)
            messages << alert.message;
        return messages;
    }

    bool suspended(ShortcutAction action) const
    {
        return coordinator->shortcut().suspendedActions().contains(action);
    }
};

} // namespace vorlith::test

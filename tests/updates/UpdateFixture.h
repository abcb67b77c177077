#pragma once

#include "app/base/BundleInfo.h"
#include "app/settings/SettingsStore.h"
#include "app/updates/UpdateService.h"
#include "app/updates/UpdateWindowController.h"
#include "support/ScriptedUpdateEngine.h"

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>
#include <vector>

namespace vorlith::test {

// What the engine's replies received, each reply counted: a reply that runs twice shows up
// as a second entry, never silently.
struct ReplyLog {
    std::vector<UserUpdateChoice> choices;
    int acknowledgements = 0;
    int cancellations = 0;

    OnceCallback<UserUpdateChoice> choice()
    {
        return OnceCallback<UserUpdateChoice>([this](UserUpdateChoice c) { choices.push_back(c); });
    }
    OnceCallback<> acknowledgement()
    {
        return OnceCallback<>([this] { ++acknowledgements; });
    }
    OnceCallback<> cancellation()
    {
        return OnceCallback<>([this] { ++cancellations; });
    }
};

// A service over a settings file in a temporary folder, with the coordinator played by the
// test: the gate is a flag, installation requests wait until the test answers them (or are
// answered at once), releases are counted.
struct UpdateFixture {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("Tolvane/settings.json"))};
    bool gateOpen = true;
    std::optional<bool> answerAtOnce;
    std::vector<std::function<void(bool)>> pendingAnswers;
    int installationRequests = 0;
    int releases = 0;
    QList<QUrl> opened;
    QStringList statuses;
    QVariantMap bundle{{BundleInfo::versionKey, QStringLiteral("1.0.0")}};
    ScriptedUpdateEngine* engine = nullptr;
    int enginesMade = 0;
    std::unique_ptr<UpdateService> service;

    explicit UpdateFixture(UpdateService::MakeEngine makeEngine = {})
    {
        if (!makeEngine) {
            makeEngine = [this](UpdateService& s) -> std::unique_ptr<UpdateEngine> {
                ++enginesMade;
                auto made = std::make_unique<ScriptedUpdateEngine>(s.bundle(), s);
                engine = made.get();
                return made;
            };
        }
        service = std::make_unique<UpdateService>(
            store, bundle, [this] { return gateOpen; },
            [this](std::function<void(bool)> reply) {
                ++installationRequests;
                if (answerAtOnce)
                    reply(*answerAtOnce);
                else
                    pendingAnswers.push_back(std::move(reply));
            },
            [this] { ++releases; }, std::move(makeEngine));
        service->openURL = [this](const QUrl& url) { opened << url; };
        service->onStatus = [this](const QString& status) { statuses << status; };
    }

    GatedUpdateDriver& driver() { return engine->driver(); }
    UpdateWindowController& window() { return service->updateWindow(); }
    bool shown() { return window().window()->isVisible(); }
    QString heading() { return window().heading()->text(); }
    QString detail() { return window().detail()->text(); }
    // The started service with a user-initiated cycle begun, as the engine does for a check.
    void startCycle(bool userInitiated = true)
    {
        service->start();
        engine->delegate().mayPerformUpdateCheck(userInitiated ? UpdateEngineDelegate::CheckKind::userInitiated
                                                               : UpdateEngineDelegate::CheckKind::background);
    }
};

} // namespace vorlith::test

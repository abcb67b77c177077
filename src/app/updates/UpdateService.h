#pragma once

#include "app/settings/UpdateSettingsProviding.h"
#include "app/updates/UpdateEngine.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace vorlith {

class SettingsStore;
class UpdateWindowController;

// The application's one update facade. It makes and starts the update engine when the bundle
// carries a usable release configuration, keeps the presentation gate (no update step,
// progress or bring-to-front while the coordinator says the application is busy: each waits
// in one slot and is replayed when a busy state ends), runs the install-permission handshake
// with the coordinator and owns the update window. Main thread only.
class UpdateService : public QObject, public UpdateSettingsProviding {
public:
    using CanPresent = std::function<bool()>;
    using RequestInstallation = std::function<void(std::function<void(bool)> reply)>;
    using ReleaseInstallation = std::function<void()>;
    // May throw; the error's description becomes the configuration error.
    using MakeEngine = std::function<std::unique_ptr<UpdateEngine>(UpdateService&)>;

    static constexpr const char* deferredCheckStatus = "完成当前操作后检查更新。";

    UpdateService(SettingsStore& store, QVariantMap bundle, CanPresent canPresent,
                  RequestInstallation requestInstallation, ReleaseInstallation releaseInstallation,
                  MakeEngine makeEngine = {});
    ~UpdateService() override;

    // Checks the release configuration, then makes a FeedUpdateEngine for the bundle.
    [[nodiscard]] static std::unique_ptr<UpdateEngine> defaultMakeEngine(UpdateService& service);

    void start();
    void checkForUpdates();
    void applyAutomaticUpdateChecks() override;
    void resumeDeferredPresentation();
    void finishUpdateSession();
    void requestInstallationPermission(std::function<void(bool granted)> completion);
    // Made on first use and kept.
    UpdateWindowController& updateWindow();
    bool hasUpdateWindow() const { return m_updateWindow != nullptr; }

    UpdateEngine* engine() const { return m_engine.get(); }
    const std::optional<QString>& configurationError() const { return m_configurationError; }
    const QVariantMap& bundle() const { return m_bundle; }
    bool canPresent() const { return m_canPresent && m_canPresent(); }
    bool hasInstallationRequest() const { return m_installationRequest.has_value(); }

    // The gate's three slots: each holds at most one piece of parked work, the latest.
    std::function<void()> deferredPresentation;
    std::function<void()> deferredProgress;
    std::function<void()> deferredFocus;
    bool manualCheckPending = false;
    // The engine has announced that it will install (the quit review then says so).
    bool installationScheduled = false;
    // Observer of status messages; the application leaves it unset.
    std::function<void(const QString&)> onStatus;
    // Opens a release's web page (the desktop's browser by default; tests record it).
    std::function<void(const QUrl&)> openURL;

private:
    struct InstallationRequest {
        QUuid id;
        std::function<void(bool)> reply;
    };

    void showStatusWindow(const QString& message);
    void answerInstallation(const QUuid& id, bool granted);
    bool automaticChecksWanted() const;

    SettingsStore& m_store;
    QVariantMap m_bundle;
    CanPresent m_canPresent;
    RequestInstallation m_requestInstallation;
    ReleaseInstallation m_releaseInstallation;
    MakeEngine m_makeEngine;
    std::unique_ptr<UpdateWindowController> m_updateWindow;
    std::unique_ptr<UpdateEngine> m_engine; // destroyed before the window it shows steps in
    std::optional<InstallationRequest> m_installationRequest;
    std::optional<QString> m_configurationError;
    // The coordinator granted an installation and holds its freeze until we hand it back.
    bool m_holdsApproval = false;
};

} // namespace vorlith

#pragma once

#include "app/updates/UpdateUserDriver.h"
#include "app/updates/UpdateWindowStep.h"

#include <QObject>
#include <QPointer>
#include <QUuid>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace vorlith {

class UpdateService;

// Shows every step of an update cycle in the update window, but only through the service's
// presentation gate: while the application is busy a step waits in the service and is shown
// when it is idle again. Each cycle has a generation; a step of a cycle that has ended is
// dropped, and the reply or acknowledgement the engine waits for is given in its place.
class GatedUpdateDriver : public QObject, public UpdateUserDriver {
public:
    enum class ProgressStage { download, extraction };

    // `bundle` gives the running version the found step shows.
    GatedUpdateDriver(const QVariantMap& bundle, UpdateService* service);

    const QUuid& generation() const { return m_generation; }
    bool cycleActive() const { return m_cycleActive; }
    bool userInitiated() const { return m_userInitiated; }
    std::optional<ProgressStage> progressStage() const { return m_progressStage; }
    std::uint64_t expectedLength() const { return m_expectedLength; }
    std::uint64_t receivedLength() const { return m_receivedLength; }

    void beginCycle(bool userInitiated);
    // The cycle is over: inactive, no progress stage, a new generation.
    void endCycle();
    // Ends the cycle and the service's update session.
    void cancelCycle();
    // Shows a window step through the gate; `whenDropped` answers for it when its cycle ended.
    void present(std::optional<ProgressStage> stage, std::function<void()> whenDropped, std::function<void()> body);
    // A progress update through the gate: only the latest waits.
    void presentProgress(std::function<void()> update);
    void choose(UserUpdateChoice choice, bool installationStage, bool installerPrepared,
                OnceCallback<UserUpdateChoice> reply);

    // UpdateUserDriver
    void showUpdatePermissionRequest(OnceCallback<bool> reply) override;
    void showUserInitiatedUpdateCheck(OnceCallback<> cancellation) override;
    void showUpdateFound(const AppcastItem& item, UserUpdateState state, OnceCallback<UserUpdateChoice> reply) override;
    void showUpdateReleaseNotes(const QByteArray&) override {}
    void showUpdateReleaseNotesFailedToDownload(const UpdateError&) override {}
    void showUpdateNotFound(const UpdateError& error, OnceCallback<> acknowledgement) override;
    void showUpdaterError(const UpdateError& error, OnceCallback<> acknowledgement) override;
    void showDownloadInitiated(OnceCallback<> cancellation) override;
    void showDownloadDidReceiveExpectedContentLength(std::uint64_t expectedContentLength) override;
    void showDownloadDidReceiveDataOfLength(std::uint64_t length) override;
    void showDownloadDidStartExtractingUpdate() override;
    void showExtractionReceivedProgress(double progress) override;
    void showReadyToInstallAndRelaunch(OnceCallback<UserUpdateChoice> reply) override;
    void showInstallingUpdate(bool applicationTerminated, OnceCallback<> retryTerminatingApplication) override;
    void showUpdateInstalledAndRelaunched(bool relaunched, OnceCallback<> acknowledgement) override;
    void dismissUpdateInstallation() override;
    void showUpdateInFocus() override;

private:
    // Fills the update window with `step` and shows it (nothing once the service is gone).
    void showStep(UpdateWindowStep step);
    // Runs `body` on this driver if it still exists.
    std::function<void()> weakly(std::function<void(GatedUpdateDriver&)> body);
    void showFoundStep(const AppcastItem& item, UserUpdateState state, OnceCallback<UserUpdateChoice> reply);
    void updateDownloadProgress();
    static std::optional<double> downloadFraction(std::uint64_t received, std::uint64_t expected);

    QString m_currentVersion;
    QPointer<UpdateService> m_service;
    QUuid m_generation = QUuid::createUuid();
    bool m_cycleActive = false;
    bool m_userInitiated = false;
    std::optional<ProgressStage> m_progressStage;
    std::uint64_t m_expectedLength = 0;
    std::uint64_t m_receivedLength = 0;
};

} // namespace vorlith

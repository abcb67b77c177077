#pragma once

#include "app/updates/OnceCallback.h"
#include "app/updates/UpdateError.h"

#include <QPointer>
#include <QStringList>

#include <optional>

namespace vorlith {

class GatedUpdateDriver;
class UpdateService;

// The answers every update engine gets from the application, whatever engine it is: checks
// begin a cycle in the driver, an installation waits for the coordinator's permission, and
// the end of a cycle ends the service's update session.
class UpdateEngineDelegate {
public:
    enum class CheckKind { userInitiated = 0, background = 1 };

    UpdateEngineDelegate(UpdateService* service, GatedUpdateDriver* driver);

    // Nobody is asked on the engine's behalf: the launch question is the application's own.
    bool shouldPromptForPermissionToCheckForUpdates() const { return false; }
    QStringList allowedSystemProfileKeys() const { return {}; }
    // A check may always run; it begins a new cycle in the driver.
    bool mayPerformUpdateCheck(CheckKind kind);
    // Installing waits: `proceed` runs only when the coordinator grants it. Always true.
    bool shouldPostponeRelaunch(OnceCallback<> proceed);
    void willInstallUpdate();
    void didAbortWithError(const UpdateError& error);
    void didFinishUpdateCycle(const std::optional<UpdateError>& error);

private:
    QPointer<UpdateService> m_service;
    QPointer<GatedUpdateDriver> m_driver;
};

} // namespace vorlith

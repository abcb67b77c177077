#include "app/updates/UpdateEngineDelegate.h"

#include "app/updates/GatedUpdateDriver.h"
#include "app/updates/UpdateService.h"

namespace vorlith {

UpdateEngineDelegate::UpdateEngineDelegate(UpdateService* service, GatedUpdateDriver* driver)
    : m_service(service), m_driver(driver)
{
}

bool UpdateEngineDelegate::mayPerformUpdateCheck(CheckKind kind)
{
    if (m_driver)
        m_driver->beginCycle(kind == CheckKind::userInitiated);
    return true;
}

bool UpdateEngineDelegate::shouldPostponeRelaunch(OnceCallback<> proceed)
{
    if (m_service) {
        m_service->requestInstallationPermission([proceed](bool granted) {
            if (granted)
                proceed();
        });
    }
    return true;
}

void UpdateEngineDelegate::willInstallUpdate()
{
    if (m_service)
        m_service->installationScheduled = true;
}

void UpdateEngineDelegate::didAbortWithError(const UpdateError&)
{
    if (!m_service)
        return;
    m_service->installationScheduled = false;
    m_service->finishUpdateSession();
}

void UpdateEngineDelegate::didFinishUpdateCycle(const std::optional<UpdateError>&)
{
    if (m_driver)
        m_driver->endCycle();
    if (m_service)
        m_service->finishUpdateSession();
}

} // namespace vorlith

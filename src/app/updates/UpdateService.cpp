#include "app/updates/UpdateService.h"

#include "app/settings/SettingsStore.h"
#include "app/updates/FeedUpdateEngine.h"
#include "app/updates/UpdateConfiguration.h"
#include "app/updates/UpdateWindowController.h"

#include <QDesktopServices>

namespace vorlith {

namespace {

QString descriptionOf(const std::exception& error)
{
    if (const auto* update = dynamic_cast<const UpdateError*>(&error))
        return update->description();
    return QString::fromUtf8(error.what());
}

} // namespace

UpdateService::UpdateService(SettingsStore& store, QVariantMap bundle, CanPresent canPresent,
                             RequestInstallation requestInstallation, ReleaseInstallation releaseInstallation,
                             MakeEngine makeEngine)
    : openURL([](const QUrl& url) { QDesktopServices::openUrl(url); }),
      m_store(store),
      m_bundle(std::move(bundle)),
      m_canPresent(std::move(canPresent)),
      m_requestInstallation(std::move(requestInstallation)),
      m_releaseInstallation(std::move(releaseInstallation)),
      m_makeEngine(makeEngine ? std::move(makeEngine) : MakeEngine(&UpdateService::defaultMakeEngine))
{
}

UpdateService::~UpdateService()
{
    m_engine.reset();
}

std::unique_ptr<UpdateEngine> UpdateService::defaultMakeEngine(UpdateService& service)
{
    (void)UpdateConfiguration::fromBundle(service.bundle());
    return std::make_unique<FeedUpdateEngine>(service.bundle(), service);
}

bool UpdateService::automaticChecksWanted() const
{
    return m_store.current().automaticUpdateChecks.value_or(false);
}

void UpdateService::start()
{
    if (m_engine)
        return;
    std::unique_ptr<UpdateEngine> engine;
    try {
        engine = m_makeEngine(*this);
        if (!engine)
            throw UpdateConfigurationError();
        engine->setAutomaticallyChecksForUpdates(automaticChecksWanted());
        engine->start();
    } catch (const std::exception& error) {
        m_configurationError = descriptionOf(error);
        return;
    }
    m_engine = std::move(engine);
    m_configurationError.reset();
}

void UpdateService::checkForUpdates()
{
    if (!m_engine) {
        showStatusWindow(m_configurationError.value_or(
            QString::fromUtf8(UpdateConfigurationError::missingReleaseConfigurationMessage)));
        return;
    }
    if (!canPresent()) {
        manualCheckPending = true;
        if (onStatus)
            onStatus(QString::fromUtf8(deferredCheckStatus));
        return;
    }
    if (m_engine->canCheckForUpdates()) {
        manualCheckPending = false;
        m_engine->checkForUpdates();
    }
}

void UpdateService::applyAutomaticUpdateChecks()
{
    if (m_engine)
        m_engine->setAutomaticallyChecksForUpdates(automaticChecksWanted());
}

void UpdateService::showStatusWindow(const QString& message)
{
    if (onStatus)
        onStatus(message);
    deferredProgress = nullptr;
    deferredPresentation = nullptr;
    auto step = [self = QPointer(this), message] {
        if (!self)
            return;
        self->updateWindow().apply({QStringLiteral("暂时无法检查更新"), message, QStringLiteral("重试"), true,
                                    [self] {
                                        if (self)
                                            self->checkForUpdates();
                                    },
                                    QStringLiteral("关闭"),
                                    [self] {
                                        if (self)
                                            self->manualCheckPending = false;
                                    },
                                    UpdateProgress::hidden()});
    };
    if (canPresent())
        step();
    else
        deferredPresentation = std::move(step);
}

void UpdateService::resumeDeferredPresentation()
{
    if (!canPresent())
        return;
    if (deferredPresentation) {
        std::function<void()> presentation = std::move(deferredPresentation);
        std::function<void()> progress = std::move(deferredProgress);
        deferredPresentation = nullptr;
        deferredProgress = nullptr;
        presentation();
        if (progress)
            progress();
    } else if (deferredProgress) {
        std::function<void()> progress = std::move(deferredProgress);
        deferredProgress = nullptr;
        progress();
    } else if (manualCheckPending) {
        checkForUpdates();
    }
    if (deferredFocus) {
        std::function<void()> focus = std::move(deferredFocus);
        deferredFocus = nullptr;
        focus();
    }
}

void UpdateService::requestInstallationPermission(std::function<void(bool)> completion)
{
    if (m_installationRequest) {
        completion(false);
        return;
    }
    const QUuid id = QUuid::createUuid();
    m_installationRequest = InstallationRequest{id, std::move(completion)};
    if (!m_requestInstallation) {
        answerInstallation(id, false);
        return;
    }
    m_requestInstallation([self = QPointer(this), id](bool granted) {
        if (self)
            self->answerInstallation(id, granted);
    });
}

void UpdateService::answerInstallation(const QUuid& id, bool granted)
{
    if (!m_installationRequest || m_installationRequest->id != id)
        return;
    std::function<void(bool)> completion = std::move(m_installationRequest->reply);
    m_installationRequest.reset();
    // A refusal has already given the coordinator's freeze back: releasing it again could
    // lift the freeze of a quit review that has begun since. Only an approval is held.
    if (granted)
        m_holdsApproval = true;
    if (completion)
        completion(granted);
}

void UpdateService::finishUpdateSession()
{
    deferredPresentation = nullptr;
    deferredProgress = nullptr;
    deferredFocus = nullptr;
    manualCheckPending = false;
    std::optional<InstallationRequest> request = std::move(m_installationRequest);
    m_installationRequest.reset();
    if (request && request->reply)
        request->reply(false);
    // Hand back only what we hold: an approval, or a request the coordinator may still be
    // answering. A plain end of a daily check must not lift a freeze someone else holds.
    if (request || m_holdsApproval) {
        m_holdsApproval = false;
        if (m_releaseInstallation)
            m_releaseInstallation();
    }
}

UpdateWindowController& UpdateService::updateWindow()
{
    if (!m_updateWindow)
        m_updateWindow = std::make_unique<UpdateWindowController>();
    return *m_updateWindow;
}

} // namespace vorlith

#include "app/updates/GatedUpdateDriver.h"

#include "app/base/ApplicationVersionInfo.h"
#include "app/updates/UpdateService.h"
#include "app/updates/UpdateWindowController.h"
#include "app/updates/WebAddress.h"

#include <QTimer>

#include <limits>

namespace vorlith {

GatedUpdateDriver::GatedUpdateDriver(const QVariantMap& bundle, UpdateService* service)
    : m_currentVersion(ApplicationVersionInfo::fromBundle(bundle).version), m_service(service)
{
}

void GatedUpdateDriver::beginCycle(bool userInitiated)
{
    m_generation = QUuid::createUuid();
    m_cycleActive = true;
    m_userInitiated = userInitiated;
    m_expectedLength = 0;
    m_receivedLength = 0;
    m_progressStage.reset();
}

void GatedUpdateDriver::endCycle()
{
    m_cycleActive = false;
    m_progressStage.reset();
    m_generation = QUuid::createUuid();
}

void GatedUpdateDriver::cancelCycle()
{
    endCycle();
    if (m_service)
        m_service->finishUpdateSession();
}

std::function<void()> GatedUpdateDriver::weakly(std::function<void(GatedUpdateDriver&)> body)
{
    return [self = QPointer(this), body = std::move(body)] {
        if (self)
            body(*self);
    };
}

void GatedUpdateDriver::present(std::optional<ProgressStage> stage, std::function<void()> whenDropped,
                                std::function<void()> body)
{
    if (!m_cycleActive) {
        if (whenDropped)
            whenDropped();
        return;
    }
    m_progressStage = stage;
    const QUuid generation = m_generation;
    if (!m_service)
        return;
    auto guarded = [self = QPointer(this), generation, whenDropped = std::move(whenDropped), body = std::move(body)] {
        if (self && self->m_cycleActive && self->m_generation == generation)
            body();
        else if (whenDropped)
            whenDropped();
    };
    m_service->deferredProgress = nullptr;
    m_service->deferredPresentation = nullptr;
    if (m_service->canPresent())
        guarded();
    else
        m_service->deferredPresentation = std::move(guarded);
}

void GatedUpdateDriver::presentProgress(std::function<void()> update)
{
    if (!m_cycleActive)
        return;
    const QUuid generation = m_generation;
    if (!m_service)
        return;
    m_service->deferredProgress = [self = QPointer(this), generation, update = std::move(update)] {
        if (self && self->m_cycleActive && self->m_generation == generation)
            update();
    };
    if (m_service->canPresent())
        m_service->resumeDeferredPresentation();
}

void GatedUpdateDriver::showStep(UpdateWindowStep step)
{
    if (!m_service)
        return;
    m_service->updateWindow().apply(std::move(step));
}

void GatedUpdateDriver::choose(UserUpdateChoice choice, bool installationStage, bool installerPrepared,
                               OnceCallback<UserUpdateChoice> reply)
{
    if (!m_cycleActive) {
        reply(UserUpdateChoice::skip);
        return;
    }
    if (choice != UserUpdateChoice::install) {
        endCycle();
        if (installationStage && installerPrepared) {
            if (m_service) {
                m_service->installationScheduled = false;
                m_service->finishUpdateSession();
            }
            reply(UserUpdateChoice::skip);
        } else {
            reply(choice);
        }
        return;
    }
    if (!installationStage) {
        reply(UserUpdateChoice::install);
        return;
    }
    auto decide = [self = QPointer(this), installerPrepared, reply](bool granted) {
        if (granted) {
            reply(UserUpdateChoice::install);
            return;
        }
        if (self && self->m_service) {
            self->m_service->installationScheduled = false;
            self->m_service->finishUpdateSession();
        }
        reply(installerPrepared ? UserUpdateChoice::skip : UserUpdateChoice::dismiss);
    };
    if (m_service)
        m_service->requestInstallationPermission(std::move(decide));
    else
        decide(false);
}

void GatedUpdateDriver::showUpdatePermissionRequest(OnceCallback<bool> reply)
{
    // The application asks its own launch question; an engine's request is answered "no
    // automatic checks" so nothing turns them on behind the user's answer.
    reply(false);
}

void GatedUpdateDriver::showUserInitiatedUpdateCheck(OnceCallback<> cancellation)
{
    present(std::nullopt, nullptr, [this, cancellation] {
        showStep({QStringLiteral("正在检查更新"), QStringLiteral("正在获取 Vorlith 的最新版本信息。"), {}, false, nullptr,
                  QStringLiteral("取消"), weakly([cancellation](GatedUpdateDriver& d) {
                      d.cancelCycle();
                      cancellation();
                  }),
                  UpdateProgress::indeterminate()});
    });
}

void GatedUpdateDriver::showUpdateFound(const AppcastItem& item, UserUpdateState state,
                                        OnceCallback<UserUpdateChoice> reply)
{
    present(std::nullopt, [reply] { reply(UserUpdateChoice::skip); },
            [this, item, state, reply] { showFoundStep(item, state, reply); });
}

void GatedUpdateDriver::showFoundStep(const AppcastItem& item, UserUpdateState state,
                                      OnceCallback<UserUpdateChoice> reply)
{
    const bool installationStage = state.stage != UserUpdateState::Stage::notDownloaded;
    const bool installerPrepared = state.stage == UserUpdateState::Stage::installing;
    UpdateWindowStep step{QStringLiteral("发现新版本"),
                          QStringLiteral("当前版本 ") + m_currentVersion + QStringLiteral(" · 新版本 ") +
                              item.displayVersionString,
                          {}, true, nullptr, QStringLiteral("稍后"), nullptr, UpdateProgress::hidden()};
    if (item.isInformationOnlyUpdate) {
        step.primaryTitle = QStringLiteral("查看详情");
        const QUrl infoURL = item.infoURL;
        step.primaryAction = [self = QPointer(this), infoURL, reply] {
            // Only a web page is opened: a feed could name any scheme the desktop would run.
            if (self && self->m_service && isWebAddress(infoURL) && self->m_service->openURL)
                self->m_service->openURL(infoURL);
            if (self)
                self->endCycle();
            reply(UserUpdateChoice::dismiss);
        };
    } else {
        step.primaryTitle = installationStage ? QStringLiteral("安装并重启") : QStringLiteral("下载更新");
        step.primaryAction = weakly([installationStage, installerPrepared, reply](GatedUpdateDriver& d) {
            d.choose(UserUpdateChoice::install, installationStage, installerPrepared, reply);
        });
    }
    step.closeAction = weakly([installationStage, installerPrepared, reply](GatedUpdateDriver& d) {
        d.choose(UserUpdateChoice::dismiss, installationStage, installerPrepared, reply);
    });
    showStep(std::move(step));
}

void GatedUpdateDriver::showUpdateNotFound(const UpdateError& error, OnceCallback<> acknowledgement)
{
    if (!m_userInitiated) {
        // A background check that found nothing has nothing to say.
        m_progressStage.reset();
        acknowledgement();
        return;
    }
    const QString detail = error.description();
    present(std::nullopt, [acknowledgement] { acknowledgement(); }, [this, detail, acknowledgement] {
        showStep({QStringLiteral("没有可用更新"), detail, {}, false, nullptr, QStringLiteral("关闭"),
                  [acknowledgement] { acknowledgement(); }, UpdateProgress::hidden()});
    });
}

void GatedUpdateDriver::showUpdaterError(const UpdateError& error, OnceCallback<> acknowledgement)
{
    const QString detail = error.description();
    present(std::nullopt, [acknowledgement] { acknowledgement(); }, [this, detail, acknowledgement] {
        auto retry = weakly([acknowledgement](GatedUpdateDriver& d) {
            acknowledgement();
            // After the acknowledgement has returned: the engine ends its cycle first.
            QTimer::singleShot(0, d.m_service, [service = d.m_service] {
                if (service)
                    service->checkForUpdates();
            });
        });
        showStep({QStringLiteral("暂时无法更新"), detail, QStringLiteral("重试"), true, std::move(retry),
                  QStringLiteral("关闭"), [acknowledgement] { acknowledgement(); }, UpdateProgress::hidden()});
    });
}

void GatedUpdateDriver::showDownloadInitiated(OnceCallback<> cancellation)
{
    if (!m_cycleActive) {
        cancellation();
        return;
    }
    m_expectedLength = 0;
    m_receivedLength = 0;
    present(ProgressStage::download, nullptr, [this, cancellation] {
        showStep({QStringLiteral("正在下载更新"), QStringLiteral("下载完成后会验证更新包，再由你确认安装。"), {}, false,
                  nullptr, QStringLiteral("取消"), weakly([cancellation](GatedUpdateDriver& d) {
                      d.cancelCycle();
                      cancellation();
                  }),
                  UpdateProgress::indeterminate()});
    });
}

std::optional<double> GatedUpdateDriver::downloadFraction(std::uint64_t received, std::uint64_t expected)
{
    if (expected == 0)
        return std::nullopt;
    return static_cast<double>(received) / static_cast<double>(expected);
}

void GatedUpdateDriver::updateDownloadProgress()
{
    const std::optional<double> fraction = downloadFraction(m_receivedLength, m_expectedLength);
    const UpdateProgress progress = fraction ? UpdateProgress::determinate(*fraction) : UpdateProgress::indeterminate();
    presentProgress([self = QPointer(this), progress] {
        if (self && self->m_service)
            self->m_service->updateWindow().setProgress(progress);
    });
}

void GatedUpdateDriver::showDownloadDidReceiveExpectedContentLength(std::uint64_t expectedContentLength)
{
    if (!m_cycleActive || m_progressStage != ProgressStage::download)
        return;
    m_expectedLength = expectedContentLength;
    updateDownloadProgress();
}

void GatedUpdateDriver::showDownloadDidReceiveDataOfLength(std::uint64_t length)
{
    if (!m_cycleActive || m_progressStage != ProgressStage::download)
        return;
    const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - m_receivedLength;
    m_receivedLength += std::min(length, room);
    updateDownloadProgress();
}

void GatedUpdateDriver::showDownloadDidStartExtractingUpdate()
{
    present(ProgressStage::extraction, nullptr, [this] {
        showStep({QStringLiteral("正在准备更新"), QStringLiteral("正在解压并验证更新包，完成后可安装并重启。"), {}, false,
                  nullptr, QStringLiteral("关闭"), nullptr, UpdateProgress::indeterminate()});
    });
}

void GatedUpdateDriver::showExtractionReceivedProgress(double progress)
{
    if (m_progressStage != ProgressStage::extraction)
        return;
    const UpdateProgress bar = UpdateProgress::determinate(progress);
    presentProgress([self = QPointer(this), bar] {
        if (self && self->m_service)
            self->m_service->updateWindow().setProgress(bar);
    });
}

void GatedUpdateDriver::showReadyToInstallAndRelaunch(OnceCallback<UserUpdateChoice> reply)
{
    present(std::nullopt, [reply] { reply(UserUpdateChoice::skip); }, [this, reply] {
        showStep({QStringLiteral("更新已准备好"), QStringLiteral("安装前会检查尚未输出的截图、贴图及未保存设置。"),
                  QStringLiteral("安装并重启"), true,
                  weakly([reply](GatedUpdateDriver& d) { d.choose(UserUpdateChoice::install, true, true, reply); }),
                  QStringLiteral("稍后"),
                  weakly([reply](GatedUpdateDriver& d) { d.choose(UserUpdateChoice::dismiss, true, true, reply); }),
                  UpdateProgress::hidden()});
    });
}

void GatedUpdateDriver::showInstallingUpdate(bool applicationTerminated, OnceCallback<> retryTerminatingApplication)
{
    present(std::nullopt, nullptr, [this, applicationTerminated, retryTerminatingApplication] {
        auto retry = weakly([retryTerminatingApplication](GatedUpdateDriver& d) {
            if (!d.m_service)
                return;
            d.m_service->requestInstallationPermission([retryTerminatingApplication](bool granted) {
                if (granted)
                    retryTerminatingApplication();
            });
        });
        showStep({QStringLiteral("正在安装更新"), QStringLiteral("Vorlith 将在安装完成后重新打开。"),
                  applicationTerminated ? QString() : QStringLiteral("重试重启"), !applicationTerminated,
                  std::move(retry), QStringLiteral("关闭"), nullptr, UpdateProgress::indeterminate()});
    });
}

void GatedUpdateDriver::showUpdateInstalledAndRelaunched(bool relaunched, OnceCallback<> acknowledgement)
{
    present(std::nullopt, [acknowledgement] { acknowledgement(); }, [this, relaunched, acknowledgement] {
        showStep({QStringLiteral("更新已安装"),
                  relaunched ? QStringLiteral("Vorlith 已重新打开。") : QStringLiteral("下次打开时将使用新版本。"), {},
                  false, nullptr, QStringLiteral("关闭"), [acknowledgement] { acknowledgement(); },
                  UpdateProgress::hidden()});
    });
}

void GatedUpdateDriver::dismissUpdateInstallation()
{
    endCycle();
    if (m_service) {
        m_service->updateWindow().dismiss();
        m_service->finishUpdateSession();
    }
}

void GatedUpdateDriver::showUpdateInFocus()
{
    if (!m_cycleActive)
        return;
    const QUuid generation = m_generation;
    if (!m_service)
        return;
    m_service->deferredFocus = [self = QPointer(this), generation] {
        if (self && self->m_cycleActive && self->m_generation == generation && self->m_service)
            self->m_service->updateWindow().bringToFront();
    };
    m_service->resumeDeferredPresentation();
}

} // namespace vorlith

#include "app/updates/FeedUpdateEngine.h"

#include "app/base/ApplicationVersionInfo.h"
#include "app/base/BundleInfo.h"
#include "app/base/Diagnostics.h"
#include "app/updates/AppcastFeed.h"
#include "app/updates/GatedUpdateDriver.h"
#include "app/updates/UpdateService.h"

#include <QNetworkProxyFactory>
#include <QSslSocket>

#include <memory>

namespace vorlith {

namespace {

// The desktop's proxy settings (the proxy environment variables on Linux), asked per request.
class SystemProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override { return systemProxyForQuery(query); }
};

} // namespace

FeedUpdateEngine::FeedUpdateEngine(const QVariantMap& bundle, UpdateService& service)
    : FeedUpdateEngine(bundle, service, Options())
{
}

FeedUpdateEngine::FeedUpdateEngine(const QVariantMap& bundle, UpdateService& service, Options options)
    : m_bundle(bundle),
      m_options(std::move(options)),
      m_versionText(ApplicationVersionInfo::fromBundle(bundle).version),
      m_runningVersion(ReleaseVersion::parse(m_versionText)),
      m_driver(std::make_unique<GatedUpdateDriver>(bundle, &service)),
      m_delegate(&service, m_driver.get())
{
    if (m_options.feedURL.isEmpty())
        m_options.feedURL = QUrl(bundle.value(QString::fromLatin1(BundleInfo::feedURLKey)).toString());
    if (m_options.systemProxy)
        m_network.setProxyFactory(new SystemProxyFactory);
    else
        m_network.setProxy(QNetworkProxy::NoProxy);
    m_network.setAutoDeleteReplies(false);
    m_schedule.setSingleShot(true);
    connect(&m_schedule, &QTimer::timeout, this, [this] {
        if (m_phase == Phase::idle)
            runCheck(UpdateEngineDelegate::CheckKind::background);
    });
}

FeedUpdateEngine::~FeedUpdateEngine()
{
    stopFetch();
}

bool FeedUpdateEngine::canCheckForUpdates() const
{
    if (!m_started)
        return false;
    switch (m_phase) {
    case Phase::idle:
        return true;
    case Phase::fetching:
        // A silent background fetch gives way to the user's check.
        return !m_userCheck;
    case Phase::answering:
        // A step whose answer can no longer come (its cycle was ended elsewhere) holds nothing.
        return !m_driver->cycleActive();
    }
    return false;
}

void FeedUpdateEngine::start()
{
    if (!QSslSocket::supportsSsl())
        throw UpdateError(QStringLiteral("系统缺少安全连接（TLS）支持，暂时无法检查更新。"));
    if (!m_runningVersion)
        throw UpdateError(QStringLiteral("当前版本号“%1”无法识别，暂时无法检查更新。").arg(m_versionText));
    if (m_started)
        return;
    m_started = true;
    if (m_automatic)
        scheduleNext(m_options.firstCheckDelay);
}

void FeedUpdateEngine::setAutomaticallyChecksForUpdates(bool enabled)
{
    const bool switchedOn = enabled && !m_automatic;
    m_automatic = enabled;
    if (!m_started)
        return;
    if (!enabled)
        m_schedule.stop();
    else if (switchedOn && m_phase == Phase::idle)
        scheduleNext(m_options.firstCheckDelay);
}

void FeedUpdateEngine::checkForUpdates()
{
    if (!canCheckForUpdates())
        return;
    runCheck(UpdateEngineDelegate::CheckKind::userInitiated);
}

void FeedUpdateEngine::scheduleNext(std::chrono::milliseconds delay)
{
    if (m_automatic && m_started)
        m_schedule.start(delay);
    else
        m_schedule.stop();
}

void FeedUpdateEngine::stopFetch()
{
    if (!m_fetch)
        return;
    // Never called from inside the fetch's own callback (fetched() lets it go later).
    m_fetch->abort();
    delete m_fetch;
    m_fetch = nullptr;
}

void FeedUpdateEngine::runCheck(UpdateEngineDelegate::CheckKind kind)
{
    // A background fetch the user overtakes is dropped silently and begins again as theirs.
    stopFetch();
    m_schedule.stop();
    const quint64 check = ++m_check;
    m_userCheck = kind == UpdateEngineDelegate::CheckKind::userInitiated;
    m_phase = Phase::fetching;
    m_delegate.mayPerformUpdateCheck(kind);
    if (m_userCheck) {
        m_driver->showUserInitiatedUpdateCheck(OnceCallback<>([self = QPointer(this), check] {
            if (self)
                self->cancelled(check);
        }));
        if (check != m_check)
            return;
    }
    const QString userAgent = QStringLiteral("Vorlith/") + m_versionText;
    m_fetch = new FeedFetch(m_network, m_options.feedURL, m_options.tls, userAgent, m_options.limits,
                            [self = QPointer(this), check](FeedFetch::Result result) {
                                if (self)
                                    self->fetched(check, std::move(result));
                            });
}

void FeedUpdateEngine::cancelled(quint64 check)
{
    if (check != m_check || m_phase != Phase::fetching)
        return;
    // The driver has already ended the cycle and the session; nothing more is shown.
    stopFetch();
    m_phase = Phase::idle;
    scheduleNext(m_options.checkInterval);
}

void FeedUpdateEngine::fetched(quint64 check, FeedFetch::Result result)
{
    if (check != m_check || m_phase != Phase::fetching)
        return;
    if (m_fetch) {
        m_fetch->deleteLater();
        m_fetch = nullptr;
    }
    if (const auto* failure = std::get_if<FeedFailure>(&result))
        fail(check, *failure);
    else
        answer(check, std::get<QByteArray>(result));
}

namespace {

// Notices an answer dropped unanswered: its destructor runs when the last copy goes.
struct AnswerWatch {
    QPointer<FeedUpdateEngine> engine;
    std::function<void()> onDropped;
    bool answered = false;
    ~AnswerWatch()
    {
        if (!answered && engine)
            QTimer::singleShot(0, engine.data(), std::move(onDropped));
    }
};

} // namespace

template<class... Args>
OnceCallback<Args...> FeedUpdateEngine::endingAnswer(quint64 check, const std::optional<UpdateError>& error)
{
    auto watch = std::make_shared<AnswerWatch>();
    watch->engine = this;
    watch->onDropped = [self = QPointer(this), check, error] {
        if (self)
            self->finishCycle(check, error);
    };
    return OnceCallback<Args...>([watch, check, error](Args...) {
        watch->answered = true;
        if (watch->engine)
            watch->engine->finishCycle(check, error);
    });
}

void FeedUpdateEngine::fail(quint64 check, const FeedFailure& failure)
{
    Diagnostics::event(QStringLiteral("update.check.failed=") + failure.logCode());
    const UpdateError error(failure.description());
    if (!m_userCheck) {
        finishCycle(check, error);
        return;
    }
    m_phase = Phase::answering;
    m_driver->showUpdaterError(error, endingAnswer<>(check, error));
}

void FeedUpdateEngine::answer(quint64 check, const QByteArray& feed)
{
    const std::optional<std::vector<AppcastFeed::Item>> items = AppcastFeed::parse(feed);
    if (!items) {
        fail(check, FeedFailure{FeedFailure::Kind::malformed});
        return;
    }
    m_phase = Phase::answering;
    if (const std::optional<AppcastItem> item = AppcastFeed::newestAbove(*items, *m_runningVersion)) {
        // Every answer ends the offer: skipping and dismissing alike, and "查看详情" opens
        // the page itself.
        m_driver->showUpdateFound(*item, UserUpdateState{}, endingAnswer<UserUpdateChoice>(check));
        return;
    }
    m_driver->showUpdateNotFound(UpdateError(QStringLiteral("当前版本 %1 已是最新版本。").arg(m_versionText)),
                                 endingAnswer<>(check));
}

void FeedUpdateEngine::finishCycle(quint64 check, const std::optional<UpdateError>& error)
{
    if (check != m_check || m_phase == Phase::idle)
        return;
    m_phase = Phase::idle;
    m_driver->dismissUpdateInstallation();
    m_delegate.didFinishUpdateCycle(error);
    scheduleNext(m_options.checkInterval);
}

} // namespace vorlith

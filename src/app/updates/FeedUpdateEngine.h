#pragma once

#include "app/updates/FeedFetch.h"
#include "app/updates/ReleaseVersion.h"
#include "app/updates/UpdateEngine.h"
#include "app/updates/UpdateEngineDelegate.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include <chrono>
#include <memory>
#include <optional>

namespace vorlith {

class GatedUpdateDriver;
class UpdateService;

// The Linux update engine. It only checks: the package manager installs, so a newer release
// is offered for information, with its web page; nothing is downloaded and the feed's key
// verifies nothing. While automatic checks are on it checks in the background a minute after
// it starts (or after they are switched on), then a day after each finished check.
class FeedUpdateEngine : public QObject, public UpdateEngine {
public:
    struct Options {
        QUrl feedURL; // empty: the bundle's
        // Fixed for the engine's life: Qt reuses a connection's TLS settings per host and port.
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        bool systemProxy = true;
        FeedFetch::Limits limits;
        std::chrono::milliseconds firstCheckDelay{60'000};
        std::chrono::milliseconds checkInterval{24LL * 60 * 60 * 1000};
    };

    FeedUpdateEngine(const QVariantMap& bundle, UpdateService& service);
    FeedUpdateEngine(const QVariantMap& bundle, UpdateService& service, Options options);
    ~FeedUpdateEngine() override;

    GatedUpdateDriver& driver() { return *m_driver; }
    UpdateEngineDelegate& delegate() { return m_delegate; }

    bool canCheckForUpdates() const override;
    void start() override;
    void checkForUpdates() override;
    void setAutomaticallyChecksForUpdates(bool enabled) override;

    // Automatic checks on and a background check waiting.
    bool backgroundCheckScheduled() const { return m_schedule.isActive(); }

private:
    enum class Phase { idle, fetching, answering };

    void runCheck(UpdateEngineDelegate::CheckKind kind);
    void fetched(quint64 check, FeedFetch::Result result);
    void answer(quint64 check, const QByteArray& feed);
    void fail(quint64 check, const FeedFailure& failure);
    // After the user's answer: the window dismissed, then the cycle over.
    void finishCycle(quint64 check, const std::optional<UpdateError>& error = std::nullopt);
    void cancelled(quint64 check);
    void stopFetch();
    void scheduleNext(std::chrono::milliseconds delay);
    // A reply or acknowledgement that ends check `check` (if it is still the current one).
    // Should every copy of it be dropped unanswered (a parked step discarded), the check
    // ends on a later turn all the same: the engine never waits for an answer that cannot come.
    template<class... Args>
    OnceCallback<Args...> endingAnswer(quint64 check, const std::optional<UpdateError>& error = std::nullopt);

    QVariantMap m_bundle;
    Options m_options;
    QString m_versionText;
    std::optional<ReleaseVersion> m_runningVersion;
    std::unique_ptr<GatedUpdateDriver> m_driver;
    UpdateEngineDelegate m_delegate;
    QNetworkAccessManager m_network;
    FeedFetch* m_fetch = nullptr;
    QTimer m_schedule;
    bool m_started = false;
    bool m_automatic = false;
    Phase m_phase = Phase::idle;
    bool m_userCheck = false;
    quint64 m_check = 0; // the current check; answers of older ones are ignored
};

} // namespace vorlith

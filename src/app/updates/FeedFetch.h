#pragma once

#include "app/updates/FeedFailure.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <variant>

class QNetworkAccessManager;
class QNetworkReply;

namespace vorlith {

// One GET of the feed, bounded every way a server could hold us: HTTPS with the given TLS
// configuration, redirects only to equally safe addresses (5 at most), no compression, a
// transfer timeout (no bytes for that long), an overall deadline (a server that drips a byte
// now and then never trips the first), and a size cap by Content-Length and by bytes read.
class FeedFetch : public QObject {
public:
    struct Limits {
        std::chrono::milliseconds transferTimeout{15'000};
        std::chrono::milliseconds deadline{30'000};
        qint64 maximumBytes = 1 << 20;
    };
    using Result = std::variant<QByteArray, FeedFailure>;

    // Starts at once; `onFinished` is called exactly once unless abort() comes first.
    FeedFetch(QNetworkAccessManager& network, const QUrl& url, const QSslConfiguration& tls, const QString& userAgent,
              const Limits& limits, std::function<void(Result)> onFinished);
    ~FeedFetch() override;

    // Stops without a result.
    void abort();

private:
    void readAvailable();
    void checkDeclaredLength();
    void complete();
    void finish(Result result);
    void dropReply();

    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    bool m_deadlinePassed = false;
    Limits m_limits;
    QByteArray m_body;
    std::function<void(Result)> m_onFinished;
};

} // namespace vorlith

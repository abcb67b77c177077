#include "app/updates/FeedFetch.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace vorlith {

namespace {

FeedFailure failureOf(QNetworkReply::NetworkError error, int status, bool deadlinePassed)
{
    using K = FeedFailure::Kind;
    switch (error) {
    case QNetworkReply::OperationCanceledError: // Qt reports its transfer timeout so, and our deadline aborts
    case QNetworkReply::TimeoutError:
        return {K::timeout};
    case QNetworkReply::SslHandshakeFailedError:
        return {K::certificate};
    case QNetworkReply::InsecureRedirectError:
        return {K::insecureRedirect};
    case QNetworkReply::TooManyRedirectsError:
        return {K::tooManyRedirects};
    default:
        break;
    }
    if (deadlinePassed)
        return {K::timeout};
    if (status != 0 && (status < 200 || status > 299))
        return {K::httpStatus, status};
    return {K::noConnection};
}

} // namespace

FeedFetch::FeedFetch(QNetworkAccessManager& network, const QUrl& url, const QSslConfiguration& tls,
                     const QString& userAgent, const Limits& limits, std::function<void(Result)> onFinished)
    : m_limits(limits), m_onFinished(std::move(onFinished))
{
    QNetworkRequest request(url);
    request.setSslConfiguration(tls);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    // Our own header turns Qt's transparent decompression off: what arrives is what is read
    // and counted, and a compressed answer is simply not a feed.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(static_cast<int>(limits.transferTimeout.count()));

    m_reply = network.get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &FeedFetch::checkDeclaredLength);
    connect(m_reply, &QNetworkReply::readyRead, this, &FeedFetch::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &FeedFetch::complete);

    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_deadlinePassed = true;
        finish(FeedFailure{FeedFailure::Kind::timeout});
    });
    m_deadline.start(limits.deadline);
}

FeedFetch::~FeedFetch()
{
    dropReply();
}

void FeedFetch::abort()
{
    m_onFinished = nullptr;
    m_deadline.stop();
    dropReply();
}

void FeedFetch::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void FeedFetch::checkDeclaredLength()
{
    if (!m_reply)
        return;
    // A redirect's own headers say nothing about the feed.
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400)
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > m_limits.maximumBytes)
        finish(FeedFailure{FeedFailure::Kind::tooLarge});
}

void FeedFetch::readAvailable()
{
    if (!m_reply || !m_reply->isOpen())
        return;
    m_body += m_reply->read(m_limits.maximumBytes + 1 - m_body.size());
    if (m_body.size() > m_limits.maximumBytes)
        finish(FeedFailure{FeedFailure::Kind::tooLarge});
}

void FeedFetch::complete()
{
    if (!m_reply)
        return;
    readAvailable();
    if (!m_reply)
        return;
    const QNetworkReply::NetworkError error = m_reply->error();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (error != QNetworkReply::NoError || status < 200 || status > 299)
        finish(failureOf(error, status, m_deadlinePassed));
    else
        finish(m_body);
}

void FeedFetch::finish(Result result)
{
    m_deadline.stop();
    dropReply();
    std::function<void(Result)> onFinished = std::move(m_onFinished);
    m_onFinished = nullptr;
    // Last: the receiver may delete this fetch.
    if (onFinished)
        onFinished(std::move(result));
}

} // namespace vorlith

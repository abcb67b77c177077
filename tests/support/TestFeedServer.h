#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTcpServer>
#include <QUrl>

#include <memory>

class QSslSocket;

namespace vorlith::test {

// An HTTPS server on 127.0.0.1 that answers each path as the test scripted it, including the
// ways a real server misbehaves: never answering, dripping a byte at a time, sending without
// end. Certificates come from tests/support/tls.
class TestFeedServer : public QObject {
public:
    struct Response {
        enum class Mode { complete, silent, drip, endless };
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        Mode mode = Mode::complete;
        bool declareLength = true; // for endless: Content-Length of `endlessBytes`
        int delayMs = 0;           // for complete: wait this long before answering
    };
    static constexpr qint64 endlessBytes = 100LL * 1024 * 1024;

    // `certificate` names a pair in tests/support/tls: "localhost" (trusted by the tests) or
    // "untrusted".
    explicit TestFeedServer(const QString& certificate = QStringLiteral("localhost"));
    ~TestFeedServer() override;

    // The trusted test certificate, for the engine's TLS configuration.
    static QSslConfiguration trustingConfiguration();

    QUrl url(const QString& path) const;
    void respond(const QString& path, Response response) { m_responses.insert(path, std::move(response)); }
    // Sends a redirect to `location`.
    void redirect(const QString& path, const QUrl& location);

    int requests() const { return m_requests; }
    QList<QByteArray> requestHeads() const { return m_heads; }
    qint64 bytesSent() const { return m_bytesSent; }
    int openConnections() const;

private:
    void accept();
    void serve(QSslSocket* socket);
    void pump(QSslSocket* socket);

    QSslServer m_server;
    QHash<QString, Response> m_responses;
    QList<QByteArray> m_heads;
    int m_requests = 0;
    qint64 m_bytesSent = 0;
};

// A plain-text listener that only counts who connects (the target of an insecure redirect).
class PlainListener : public QObject {
public:
    PlainListener();
    QUrl url(const QString& path) const;
    int connections() const { return m_connections; }

private:
    QTcpServer m_server;
    int m_connections = 0;
};

} // namespace vorlith::test

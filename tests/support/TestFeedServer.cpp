#include "support/TestFeedServer.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

namespace vorlith::test {

namespace {

QByteArray readTls(const QString& name)
{
    QFile file(QStringLiteral(VORLITH_TEST_TLS_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray reasonOf(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

} // namespace

TestFeedServer::TestFeedServer(const QString& certificate)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(readTls(certificate + QStringLiteral("-cert.pem"))));
    tls.setPrivateKey(QSslKey(readTls(certificate + QStringLiteral("-key.pem")), QSsl::Ec));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(tls);
    connect(&m_server, &QSslServer::pendingConnectionAvailable, this, &TestFeedServer::accept);
    m_server.listen(QHostAddress::LocalHost, 0);
}

TestFeedServer::~TestFeedServer() = default;

QSslConfiguration TestFeedServer::trustingConfiguration()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({QSslCertificate(readTls(QStringLiteral("localhost-cert.pem")))});
    return tls;
}

QUrl TestFeedServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void TestFeedServer::redirect(const QString& path, const QUrl& location)
{
    Response response;
    response.status = 302;
    response.headers = {{"Location", location.toEncoded()}};
    respond(path, response);
}

int TestFeedServer::openConnections() const
{
    int open = 0;
    for (QSslSocket* socket : findChildren<QSslSocket*>())
        open += socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
    return open;
}

void TestFeedServer::accept()
{
    while (QTcpSocket* next = m_server.nextPendingConnection()) {
        auto* socket = static_cast<QSslSocket*>(next);
        socket->setParent(this);
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestFeedServer::serve(QSslSocket* socket)
{
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    ++m_requests;
    m_heads << head;
    const QString path = QString::fromLatin1(head.split(' ').value(1));
    const Response response = m_responses.value(path, Response{404, "missing"});
    if (response.mode == Response::Mode::silent)
        return;

    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonOf(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    switch (response.mode) {
    case Response::Mode::complete:
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n\r\n" + response.body;
        QTimer::singleShot(response.delayMs, socket, [this, socket, out] {
            m_bytesSent += socket->write(out);
            connect(socket, &QSslSocket::encryptedBytesWritten, socket, [socket] {
                if (socket->bytesToWrite() == 0 && socket->encryptedBytesToWrite() == 0)
                    socket->disconnectFromHost();
            });
        });
        return;
    case Response::Mode::drip: {
        out += "Content-Length: 100000\r\nConnection: close\r\n\r\n";
        socket->write(out);
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [this, socket] { m_bytesSent += socket->write("<"); });
        timer->start(50);
        return;
    }
    case Response::Mode::endless:
        if (response.declareLength)
            out += "Content-Length: " + QByteArray::number(endlessBytes) + "\r\n";
        out += "Connection: close\r\n\r\n";
        socket->write(out);
        socket->setProperty("remaining", endlessBytes);
        connect(socket, &QSslSocket::encryptedBytesWritten, socket, [this, socket] { pump(socket); });
        pump(socket);
        return;
    case Response::Mode::silent:
        return;
    }
}

void TestFeedServer::pump(QSslSocket* socket)
{
    qint64 remaining = socket->property("remaining").toLongLong();
    // Keep a little queued, never all 100 MB: what was sent is what the client read or refused.
    while (remaining > 0 && socket->encryptedBytesToWrite() + socket->bytesToWrite() < 256 * 1024 &&
           socket->state() == QAbstractSocket::ConnectedState) {
        const qint64 piece = std::min<qint64>(remaining, 64 * 1024);
        const qint64 written = socket->write(QByteArray(piece, 'x'));
        if (written <= 0)
            break;
        remaining -= written;
        m_bytesSent += written;
    }
    socket->setProperty("remaining", remaining);
    if (remaining == 0)
        socket->disconnectFromHost();
}

PlainListener::PlainListener()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_connections;
            socket->setParent(this);
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl PlainListener::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

} // namespace vorlith::test

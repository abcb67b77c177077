#include "app/shell/InstanceServer.h"

#include "app/base/Diagnostics.h"
#include "app/shell/InstanceChannel.h"

#include <QLocalServer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <unistd.h>

namespace vorlith {

InstanceServer::InstanceServer(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection())
            accept(socket);
    });
}

InstanceServer::~InstanceServer()
{
    m_server->close();
}

InstanceServer::Start InstanceServer::listen()
{
    // With access options Qt makes the socket elsewhere and renames it over the path, which
    // would take a live instance's socket away. The instance holds a lock beside it instead
    // (a lock whose process has died is taken over), and only its holder touches the socket.
    m_lock = std::make_unique<QLockFile>(m_socketPath + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return Start::otherInstance;
    }
    if (QFileInfo::exists(m_socketPath)) {
        // Left by a run that ended without closing it.
        Diagnostics::event(QStringLiteral("instance.socket.stale"));
        QLocalServer::removeServer(m_socketPath);
    }
    if (m_server->listen(m_socketPath))
        return Start::listening;
    m_lock.reset();
    return Start::failed;
}

void InstanceServer::setHandler(const QString& kind, Handler handler)
{
    m_handlers[kind] = std::move(handler);
}

void InstanceServer::accept(QLocalSocket* socket)
{
    const std::optional<uint> uid = InstanceChannel::peerUid(socket->socketDescriptor());
    if (!uid || *uid != uint(::getuid())) {
        Diagnostics::event(QStringLiteral("instance.request.dropped reason=peer"));
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_connections[socket] = {};
    // Qt would otherwise take in all a client sends before we see it.
    socket->setReadBufferSize(InstanceChannel::maxRequestBytes + 1);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        m_connections.erase(socket);
        socket->deleteLater();
    });
    QTimer::singleShot(InstanceChannel::requestDeadline, socket, [this, socket] {
        if (m_connections.count(socket))
            drop(socket, "deadline");
    });
    if (socket->bytesAvailable() > 0)
        read(socket);
}

void InstanceServer::read(QLocalSocket* socket)
{
    const auto connection = m_connections.find(socket);
    if (connection == m_connections.end())
        return;
    QByteArray& buffer = connection->second;
    const qint64 room = InstanceChannel::maxRequestBytes + 1 - buffer.size();
    buffer += socket->read(room);
    const qsizetype end = buffer.indexOf('\n');
    if (end < 0) {
        if (buffer.size() > InstanceChannel::maxRequestBytes)
            drop(socket, "size");
        return;
    }
    const QByteArray line = buffer.left(end);
    m_connections.erase(connection);
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    answer(socket, line);
}

void InstanceServer::answer(QLocalSocket* socket, const QByteArray& line)
{
    const std::optional<QJsonObject> request = InstanceChannel::decode(line);
    const QString kind = request ? request->value(QStringLiteral("request")).toString() : QString();
    const auto handler = m_handlers.find(kind);
    if (!request || handler == m_handlers.end()) {
        Diagnostics::event(request ? QStringLiteral("instance.request.refused reason=unknown")
                                   : QStringLiteral("instance.request.refused reason=malformed"));
        reply(socket, InstanceChannel::refused({}));
        return;
    }
    Diagnostics::event(QStringLiteral("instance.request.received kind=%1").arg(kind));
    reply(socket, handler->second(*request));
}

void InstanceServer::reply(QLocalSocket* socket, const QJsonObject& message)
{
    socket->write(InstanceChannel::encode(message));
    socket->flush();
    socket->disconnectFromServer(); // after what was written has gone
}

void InstanceServer::drop(QLocalSocket* socket, const char* reason)
{
    Diagnostics::event(QStringLiteral("instance.request.dropped reason=%1").arg(QLatin1String(reason)));
    m_connections.erase(socket);
    socket->abort();
}

} // namespace vorlith

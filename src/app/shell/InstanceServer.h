#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>

class QLocalServer;
class QLockFile;
class QLocalSocket;

namespace vorlith {

// The program's one single-instance server: later starts of the program connect to it and
// hand over their request (see InstanceChannel). Only the same user's processes are heard; a
// request is read as it arrives, never by waiting, and a client that has not sent one whole
// line within the deadline, or sends more than the size limit, is dropped. Malformed and
// unknown requests are refused and logged. Main thread only.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    enum class Start { listening, otherInstance, failed };
    // Answers a request of one kind with InstanceChannel::accepted() or refused(…).
    using Handler = std::function<QJsonObject(const QJsonObject& request)>;

    explicit InstanceServer(QString socketPath, QObject* parent = nullptr);
    ~InstanceServer() override;

    // Listens; a socket left by an instance that no longer runs is replaced, a live
    // instance's is left alone (`otherInstance`).
    Start listen();
    void setHandler(const QString& kind, Handler handler);
    const QString& socketPath() const { return m_socketPath; }
    int connectionCount() const { return int(m_connections.size()); }

private:
    struct Connection;

    void accept(QLocalSocket* socket);
    void read(QLocalSocket* socket);
    void answer(QLocalSocket* socket, const QByteArray& line);
    void drop(QLocalSocket* socket, const char* reason);
    void reply(QLocalSocket* socket, const QJsonObject& message);

    QString m_socketPath;
    QLocalServer* m_server;
    std::unique_ptr<QLockFile> m_lock; // held while listening
    std::map<QString, Handler> m_handlers;
    std::map<QLocalSocket*, QByteArray> m_connections;
};

} // namespace vorlith

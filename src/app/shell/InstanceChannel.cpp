#include "app/shell/InstanceChannel.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <sys/socket.h>
#include <unistd.h>

namespace vorlith::InstanceChannel {

QString socketPath(const QString& display)
{
    QString name = display;
    // "host:1.0" and "host:1" are one display.
    static const QRegularExpression screen(QStringLiteral("^(.*:\\d+)\\.\\d+$"));
    const QRegularExpressionMatch match = screen.match(name);
    if (match.hasMatch())
        name = match.captured(1);
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    name.replace(unsafe, QStringLiteral("_"));
    if (name.isEmpty())
        name = QStringLiteral("none");

    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("vorlith-%1.socket").arg(name));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("vorlith-%1-%2.socket").arg(::getuid()).arg(name));
}

QString socketPath()
{
    return socketPath(qEnvironmentVariable("DISPLAY"));
}

QByteArray encode(const QJsonObject& message)
{
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> decode(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QJsonObject menuRequestOf()
{
    return {{QStringLiteral("request"), menuRequest}};
}

QJsonObject pinRequestOf(const QStringList& files)
{
    return QJsonObject{{QStringLiteral("request"), pinRequest}, {QStringLiteral("files"), QJsonArray::fromStringList(files)}};
}

std::optional<QStringList> pinFiles(const QJsonObject& request)
{
    const QJsonValue value = request.value(QStringLiteral("files"));
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    if (array.size() > maxEntries)
        return std::nullopt;
    QStringList files;
    files.reserve(array.size());
    for (const QJsonValue& entry : array) {
        if (!entry.isString())
            return std::nullopt;
        files << entry.toString();
    }
    return files;
}

QJsonObject accepted()
{
    return QJsonObject{{QStringLiteral("accepted"), true}};
}

QJsonObject refused(const QString& message)
{
    return QJsonObject{{QStringLiteral("accepted"), false}, {QStringLiteral("message"), message}};
}

std::optional<uint> peerUid(qintptr socketDescriptor)
{
    if (socketDescriptor < 0)
        return std::nullopt;
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0
        || length != sizeof credentials)
        return std::nullopt;
    return uint(credentials.uid);
}

} // namespace vorlith::InstanceChannel

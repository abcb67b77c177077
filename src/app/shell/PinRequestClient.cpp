#include "app/shell/PinRequestClient.h"

#include "app/shell/InstanceChannel.h"
#include "app/shell/PinServiceProvider.h"

#include <QCoreApplication>
#include <cstdio>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QUrl>

#include <unistd.h>

namespace vorlith {

QStringList PinRequestClient::entriesFrom(const QStringList& arguments, const QString& workingDirectory)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    const QDir base(workingDirectory);
    QStringList entries;
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
            const QUrl url(argument, QUrl::StrictMode);
            if (url.isValid() && url.isLocalFile())
                entries << QDir::cleanPath(url.toLocalFile());
            continue;
        }
        // A web address is no file; a relative name that merely holds a colon is.
        if (scheme.match(argument).hasMatch() && !QFileInfo::exists(base.filePath(argument)))
            continue;
        entries << QDir::cleanPath(base.absoluteFilePath(argument));
    }
    return entries;
}

PinRequestClient::Outcome PinRequestClient::send(const QString& socketPath, const QStringList& entries,
                                                 std::chrono::milliseconds wait)
{
    return sendRequest(socketPath, InstanceChannel::pinRequestOf(entries), wait);
}

PinRequestClient::Outcome PinRequestClient::sendRequest(const QString& socketPath, const QJsonObject& request,
                                                        std::chrono::milliseconds wait)
{
    const QDeadlineTimer deadline(wait);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
        return {Outcome::Kind::noInstance, {}};
    // Requests go only to our own user's instance.
    const std::optional<uint> uid = InstanceChannel::peerUid(socket.socketDescriptor());
    if (!uid || *uid != uint(::getuid()))
        return {Outcome::Kind::noInstance, {}};
    socket.write(InstanceChannel::encode(request));
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.bytesToWrite() && !socket.bytesAvailable()
            && socket.state() != QLocalSocket::ConnectedState)
            break;
        if (deadline.hasExpired())
            return {Outcome::Kind::noAnswer, {}};
        if (socket.bytesToWrite())
            socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime())));
        else
            socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        answer += socket.readAll();
        if (answer.size() > InstanceChannel::maxRequestBytes)
            break;
    }
    const qsizetype end = answer.indexOf('\n');
    const std::optional<QJsonObject> reply = end < 0 ? std::nullopt : InstanceChannel::decode(answer.left(end));
    if (!reply)
        return {Outcome::Kind::noAnswer, {}};
    if (reply->value(QStringLiteral("accepted")).toBool())
        return {Outcome::Kind::accepted, {}};
    return {Outcome::Kind::refused, reply->value(QStringLiteral("message")).toString()};
}

std::optional<int> PinRequestClient::runFromCommandLine(int argc, char** argv, QStringList& entries)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(2);
    entries = entriesFrom(arguments, QDir::currentPath());
    const Outcome outcome = send(InstanceChannel::socketPath(), entries, InstanceChannel::clientWait);
    if (outcome.kind == Outcome::Kind::accepted)
        return 0;
    if (outcome.kind == Outcome::Kind::noInstance && !PinServiceProvider::files(entries).isEmpty())
        return std::nullopt;
    const QString sentence =
        outcome.kind == Outcome::Kind::noInstance ? PinServiceProvider::noFilesMessage() : sentenceFor(outcome);
    std::fputs((sentence + QLatin1Char('\n')).toUtf8().constData(), stderr);
    return 1;
}

QString PinRequestClient::sentenceFor(const Outcome& outcome)
{
    switch (outcome.kind) {
    case Outcome::Kind::accepted:
        return {};
    case Outcome::Kind::refused:
        return outcome.message.isEmpty() ? refusedFallback() : outcome.message;
    case Outcome::Kind::noInstance:
    case Outcome::Kind::noAnswer:
        break;
    }
    return noAnswerMessage();
}

QString PinRequestClient::noAnswerMessage() { return QStringLiteral("Vorlith 没有响应，请稍后再置顶图片。"); }
QString PinRequestClient::refusedFallback() { return QStringLiteral("Vorlith 未能处理置顶请求。"); }

} // namespace vorlith

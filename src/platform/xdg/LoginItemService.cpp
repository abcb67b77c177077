#include "platform/xdg/LoginItemService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <unistd.h>

namespace vorlith {

namespace {

// Whether the entry's [Desktop Entry] group switches it off.
bool switchedOff(const QByteArray& text)
{
    bool inMainGroup = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return true;
    }
    return false;
}

bool isTemporaryFolder(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (const QString& temporary : {QDir::tempPath(), QStringLiteral("/tmp"), QStringLiteral("/var/tmp")}) {
        const QString root = QFileInfo(temporary).canonicalFilePath();
        if (!root.isEmpty() && (canonical == root || canonical.startsWith(root + QLatin1Char('/'))))
            return true;
    }
    return false;
}

} // namespace

LoginItemService::LoginItemService(Configuration configuration, WriteFile writeFile)
    : m_configuration(std::move(configuration)), m_writeFile(std::move(writeFile))
{
    Q_ASSERT(m_writeFile);
}

LoginItemService::Configuration LoginItemService::systemConfiguration(const QString& applicationId,
                                                                     const QString& displayName)
{
    Configuration configuration;
    configuration.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    configuration.applicationId = applicationId;
    configuration.displayName = displayName;
    const QString image = qEnvironmentVariable("APPIMAGE");
    configuration.program = image.isEmpty() ? QCoreApplication::applicationFilePath() : image;
    return configuration;
}

QString LoginItemService::entryPath() const
{
    return m_configuration.configHome + QStringLiteral("/autostart/") + m_configuration.applicationId +
           QStringLiteral(".desktop");
}

QString LoginItemService::quotedExec(const QString& program)
{
    // Inside double quotes the format escapes " ` $ and \ with a backslash, and a string value
    // escapes each backslash once more; a literal % is written %%.
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            quoted += QStringLiteral("\\\\") + c;
        else if (c == QLatin1Char('\\'))
            quoted += QStringLiteral("\\\\\\\\");
        else if (c == QLatin1Char('%'))
            quoted += QStringLiteral("%%");
        else
            quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray LoginItemService::entry() const
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=") + m_configuration.displayName + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + quotedExec(m_configuration.program) + QLatin1Char('\n');
    text += QStringLiteral("NoDisplay=true\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

bool LoginItemService::programAvailable() const
{
    const QString& program = m_configuration.program;
    return !program.isEmpty() && QFileInfo(program).isAbsolute() && QFileInfo(program).isExecutable() &&
           !isTemporaryFolder(program);
}

LoginItemStatus LoginItemService::status()
{
    if (!programAvailable())
        return LoginItemStatus::unavailable;
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return LoginItemStatus::notRegistered;
    return switchedOff(file.read(64 * 1024)) ? LoginItemStatus::notRegistered : LoginItemStatus::enabled;
}

void LoginItemService::setEnabled(bool enabled)
{
    const LoginItemStatus now = status();
    if (enabled) {
        if (now == LoginItemStatus::enabled || now == LoginItemStatus::requiresApproval)
            return;
        if (now == LoginItemStatus::unavailable)
            throw LoginItemError(LoginItemError::Reason::unavailable, 0);
        if (!QDir().mkpath(QFileInfo(entryPath()).absolutePath()))
            throw LoginItemError(LoginItemError::Reason::system, errno ? errno : EACCES);
        m_writeFile(entry(), entryPath());
        return;
    }
    if (now == LoginItemStatus::notRegistered)
        return;
    if (::unlink(QFile::encodeName(entryPath()).constData()) != 0 && errno != ENOENT)
        throw LoginItemError(LoginItemError::Reason::system, errno);
}

} // namespace vorlith

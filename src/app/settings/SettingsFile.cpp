#include "app/settings/SettingsFile.h"

#include "app/output/FileWriteError.h"

#include <QCryptographicHash>
#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vorlith::settingsFile {

namespace {

QString withBackupExtension(const QString& settingsPath, const char* extension)
{
    const QFileInfo info(settingsPath);
    QString stem = info.fileName();
    const qsizetype dot = stem.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        stem.truncate(dot);
    return info.dir().filePath(stem + QLatin1Char('.') + QLatin1String(extension));
}

// The schema an older file names: its integer "schemaVersion", 0 when absent or not an integer.
std::int64_t sourceSchemaOf(const PlainJson& object)
{
    const auto it = object.find("schemaVersion");
    if (it == object.end())
        return 0;
    try {
        return json::toInteger(*it, "schemaVersion");
    } catch (const JsonDecodeError&) {
        return 0;
    }
}

} // namespace

std::optional<QByteArray> readBytes(const QString& path, qint64 limit)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw FileWriteError::fromErrno(errno);
    }
    QByteArray bytes;
    char buffer[64 * 1024];
    while (bytes.size() <= limit) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            throw FileWriteError::fromErrno(error);
        }
        if (got == 0)
            break;
        bytes.append(buffer, qsizetype(qMin<qint64>(got, limit + 1 - bytes.size())));
    }
    ::close(fd);
    return bytes;
}

SettingsFileRead read(const QString& path)
{
    SettingsFileRead result;
    std::optional<QByteArray> bytes;
    try {
        bytes = readBytes(path);
    } catch (const FileWriteError&) {
        result.outcome = SettingsFileRead::Outcome::unreadable;
        return result;
    }
    if (!bytes)
        return result; // no file
    // JSON text holds no raw NUL, and the parser would take one for the end of the input.
    if (bytes->size() > maximumSize || bytes->contains('\0')) {
        result.outcome = SettingsFileRead::Outcome::unreadable;
        return result;
    }
    try {
        // Parsed once and read twice: the typed record, then the schema it came from.
        const PlainJson object = json::parsePlain(bytes->toStdString());
        result.settings = AppSettings::fromJson(object);
        const std::int64_t source = sourceSchemaOf(object);
        if (source == AppSettings::schemaVersion) {
            result.outcome = SettingsFileRead::Outcome::current;
        } else {
            result.outcome = SettingsFileRead::Outcome::older;
            result.bytes = *bytes;
            result.sourceSchema = source;
        }
    } catch (const AppSettings::MigrationError&) {
        result.outcome = SettingsFileRead::Outcome::newer;
        result.settings = {};
    } catch (const JsonDecodeError&) {
        result.outcome = SettingsFileRead::Outcome::unreadable;
        result.settings = {};
    }
    return result;
}

QString backupPath(const QString& settingsPath)
{
    return withBackupExtension(settingsPath, "pre-schema3.json");
}

QString backupInfoPath(const QString& settingsPath)
{
    return withBackupExtension(settingsPath, "pre-schema3-info.json");
}

QString sha256Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace vorlith::settingsFile

namespace vorlith {

QByteArray BackupInfo::encoded() const
{
    const PlainJson object{{"sourceSchemaVersion", sourceSchemaVersion}, {"sha256", sha256.toStdString()}};
    return QByteArray::fromStdString(object.dump());
}

} // namespace vorlith

#include "app/settings/SettingsFile.h"

#include "app/output/FileWriteError.h"
#include "app/settings/SettingsFileHandle.h"
#include "app/settings/SettingsSchemaScan.h"

#include <QCryptographicHash>
#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <istream>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlith::settingsFile {

namespace {

QString withBackupExtension(const QString& settingsPath, const QByteArray& extension)
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

// How far into a file over the size limit its schema is looked for.
constexpr qint64 largeFileScanLimit = qint64(16) << 20;

} // namespace

std::optional<QByteArray> readBytes(const QString& path, qint64 limit)
{
    SettingsFileHandle file(path);
    if (!file.exists())
        return std::nullopt;
    return file.read(limit);
}

SettingsFileRead decode(const QByteArray& bytes)
{
    SettingsFileRead result;
    // JSON text holds no raw NUL, and the parser would take one for the end of the input.
    if (bytes.size() > maximumSize || bytes.contains('\0')) {
        result.outcome = SettingsFileRead::Outcome::unreadable;
        return result;
    }
    try {
        // Parsed once and read twice: the typed record, then the schema it came from.
        const PlainJson object = json::parsePlain(bytes.toStdString());
        result.settings = AppSettings::fromJson(object);
        const std::int64_t source = sourceSchemaOf(object);
        if (source == AppSettings::schemaVersion) {
            result.outcome = SettingsFileRead::Outcome::current;
        } else {
            result.outcome = SettingsFileRead::Outcome::older;
            result.bytes = bytes;
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

SettingsFileRead read(const QString& path)
{
    SettingsFileRead result;
    try {
        SettingsFileHandle file(path);
        if (!file.exists())
            return result; // no file
        const QByteArray bytes = file.read(maximumSize);
        if (bytes.size() <= maximumSize)
            return decode(bytes);
        // Too large to read, yet a newer version's file must still be left alone: its schema
        // is looked for without reading it whole.
        std::istream text(&file.stream(largeFileScanLimit));
        if (declaresNewerSchema(text, AppSettings::schemaVersion))
            result.outcome = SettingsFileRead::Outcome::newer;
        else
            result.outcome = SettingsFileRead::Outcome::unreadable;
    } catch (const FileWriteError&) {
        result.outcome = SettingsFileRead::Outcome::unreadable;
    }
    return result;
}

QString keepUnreadableCopy(const QString& settingsPath)
{
    const QByteArray source = QFile::encodeName(settingsPath);
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString copy = unreadableCopyPath(settingsPath, attempt);
        const QByteArray target = QFile::encodeName(copy);
        // A second name for the same file: nothing is read, so it works for a file we may not
        // read or a FIFO, and the settings file itself stays until the new one replaces it.
        if (::link(source.constData(), target.constData()) == 0)
            return copy;
        const int error = errno;
        if (error == ENOENT)
            return {}; // gone meanwhile: nothing left to keep
        if (error == EEXIST)
            continue;
        // No hard links on this file system: move it aside instead.
        struct stat existing {};
        if (::lstat(target.constData(), &existing) != 0 && ::rename(source.constData(), target.constData()) == 0)
            return copy;
        throw FileWriteError::fromErrno(error);
    }
    throw FileWriteError::fromErrno(EEXIST);
}

QString unreadableCopyPath(const QString& settingsPath, int number)
{
    return withBackupExtension(settingsPath, number == 1 ? QByteArray("unreadable.json")
                                                        : "unreadable-" + QByteArray::number(number) + ".json");
}

QString backupPath(const QString& settingsPath)
{
    return withBackupExtension(settingsPath, QByteArrayLiteral("pre-schema3.json"));
}

QString backupInfoPath(const QString& settingsPath)
{
    return withBackupExtension(settingsPath, QByteArrayLiteral("pre-schema3-info.json"));
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

#pragma once

#include "app/settings/AppSettings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace vorlith {

// What reading the settings file found. Reading never changes the file.
struct SettingsFileRead {
    enum class Outcome { noFile, current, older, newer, unreadable };
    Outcome outcome = Outcome::noFile;
    // The decoded record (current and older only).
    AppSettings settings;
    // The bytes as read (older only), kept for the migration backups.
    QByteArray bytes;
    // The schema an older file was written in, 0 when it named none.
    std::int64_t sourceSchema = 0;
};

// The record of the info backup: which schema the preserved bytes were, and their digest.
struct BackupInfo {
    std::int64_t sourceSchemaVersion = 0;
    // SHA-256 of the preserved bytes, 64 lowercase hexadecimal digits.
    QString sha256;

    // {"sha256":…,"sourceSchemaVersion":…}, compact.
    QByteArray encoded() const;
};

namespace settingsFile {

// No settings file comes near this; a larger one is refused as unreadable unparsed.
inline constexpr qint64 maximumSize = qint64(1) << 20;

// Never blocks: anything but a regular file (a FIFO, a folder, a device) is unreadable. A file
// over the size limit is unreadable too, unless it declares a newer schema: such a file is
// never written over, whatever its size.
SettingsFileRead read(const QString& path);
// What the bytes of a settings file hold (the part of `read` after the bytes are had).
SettingsFileRead decode(const QByteArray& bytes);

// Reads a whole regular file of at most `limit` bytes, without blocking. Absent when there
// is no file; a larger file gives its first limit + 1 bytes. Throws FileWriteError with the
// system's reason when the file is there but cannot be read or is no regular file.
std::optional<QByteArray> readBytes(const QString& path, qint64 limit = maximumSize);

// Keeps a settings file that could not be read under a name of its own beside it
// (settings.unreadable.json, then settings.unreadable-2.json, …), before a save replaces it:
// the user may still need its bytes. Returns the name used, or nothing when the file is gone.
// Throws FileWriteError when it cannot be kept.
QString keepUnreadableCopy(const QString& settingsPath);
QString unreadableCopyPath(const QString& settingsPath, int number);

// The backups beside the settings file: its extension replaced by "pre-schema3.json" and by
// "pre-schema3-info.json".
QString backupPath(const QString& settingsPath);
QString backupInfoPath(const QString& settingsPath);

QString sha256Hex(const QByteArray& bytes);

} // namespace settingsFile
} // namespace vorlith

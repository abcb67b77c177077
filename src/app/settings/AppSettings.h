#pragma once

#include "app/output/ImageFormat.h"
#include "core/Json.h"
#include "core/ShortcutSpec.h"

#include <QByteArray>
#include <QUrl>

#include <optional>
#include <stdexcept>

namespace vorlith {

// Every persistent preference of the application: the record the settings file holds. The
// settings window compares two records to find unsaved changes, so equality covers every
// field, the chords' labels and the bookmark bytes included.
struct AppSettings {
    static constexpr std::int64_t schemaVersion = 3;

    // The file holds a newer schema than this version reads (any number above 3 compared
    // without sign, so every negative one too).
    struct MigrationError : std::runtime_error {
        explicit MigrationError(std::int64_t version);
        std::int64_t unsupportedVersion;
    };

    ShortcutSpec shortcut = ShortcutSpec::defaultCapture();
    ShortcutSpec pinShortcut = ShortcutSpec::defaultPin();
    ImageFormat format = ImageFormat::png;
    // The default save folder as a URL; a local folder unless the file said otherwise.
    QUrl directory = defaultDirectory();
    // Access data of `directory` that survives a restart (on Linux, when present, its path).
    std::optional<QByteArray> directoryBookmark;
    bool launchAtLogin = true;
    // The first-run login-item step has been taken.
    bool loginItemInitialized = false;
    // Absent: the user has not been asked; only true is consent.
    std::optional<bool> automaticUpdateChecks;

    friend bool operator==(const AppSettings&, const AppSettings&) = default;

    // The user's Downloads folder, as a folder URL.
    static QUrl defaultDirectory();

    // Reads a record by name from a JSON object; unknown keys are ignored, absent and null
    // ones take their defaults. Throws MigrationError for a newer schema (before any other
    // key is looked at) and JsonDecodeError for a value of the wrong type or range.
    static AppSettings fromJson(const PlainJson& object);
    // The object at schema 3; "directoryBookmark" and "automaticUpdateChecks" only when set.
    PlainJson toJson() const;

    // The compact bytes of toJson().
    QByteArray encoded() const;
    // Parses and reads; a syntax error is a JsonDecodeError.
    static AppSettings decoded(const QByteArray& bytes);
};

} // namespace vorlith

#pragma once

#include "platform/LoginItemManaging.h"

#include <QString>

#include <exception>
#include <stdexcept>

namespace vorlith {

// A failure of the settings store, with its code and the sentence the user reads.
class SettingsError : public std::runtime_error {
public:
    static constexpr const char* domain = "Tolvane.Settings";
    enum Code {
        folderUnavailable = 1,  // the chosen folder is gone or is no folder
        readOnly = 2,           // the file has a newer schema
        loginItemRestore = 3,   // a failed save could not put the login item back
        loginItemMismatch = 4,  // putting it back reported success, yet its status differs
        backupMismatch = 5,     // the migration backup differs from the old file
    };

    SettingsError(Code code, const QString& description);

    static SettingsError folderUnavailableError();
    // The store's load error when it has one.
    static SettingsError readOnlyError(const QString& loadError);
    static SettingsError loginItemRestoreError(LoginItemStatus status, const QString& innerDescription);
    static SettingsError loginItemMismatchError();
    static SettingsError backupMismatchError();

    Code code() const { return m_code; }
    QString description() const { return QString::fromUtf8(what()); }

private:
    Code m_code;
};

// The fixed sentence of a login item's status.
QString loginItemStatusDescription(LoginItemStatus status);

// The sentence the user reads for any error a settings operation passes on: settings,
// hot-key, file, login-item and decoding errors each have theirs.
QString settingsErrorDescription(const std::exception& error);
QString settingsErrorDescription(const std::exception_ptr& error);

} // namespace vorlith

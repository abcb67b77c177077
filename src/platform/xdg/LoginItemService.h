#pragma once

#include "platform/LoginItemManaging.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace vorlith {

// Launch at login as an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<id>.desktop. The
// entry is ours when present; one the desktop's autostart settings switched off (Hidden=true,
// X-GNOME-Autostart-enabled=false) counts as not registered, and enabling again writes it
// afresh. A program run from a temporary folder (a build tree in /tmp, a mounted image
// without its $APPIMAGE) cannot be started at login: such a program is `unavailable`.
class LoginItemService final : public LoginItemManaging {
public:
    // Writes bytes to a path atomically; throws on failure.
    using WriteFile = std::function<void(const QByteArray& bytes, const QString& path)>;

    struct Configuration {
        QString configHome;    // $XDG_CONFIG_HOME, or ~/.config
        QString applicationId; // the entry's file name without ".desktop"
        QString displayName;   // Name= of the entry
        QString program;       // the executable to start
    };

    LoginItemService(Configuration configuration, WriteFile writeFile);

    // The configuration of the running program: the XDG config home and this executable
    // ($APPIMAGE when set).
    static Configuration systemConfiguration(const QString& applicationId, const QString& displayName);

    LoginItemStatus status() override;
    void setEnabled(bool enabled) override;

    QString entryPath() const;
    // The entry's text: an application started with no arguments.
    QByteArray entry() const;
    // Exec= quoting of the desktop entry format.
    static QString quotedExec(const QString& program);

private:
    bool programAvailable() const;

    Configuration m_configuration;
    WriteFile m_writeFile;
};

} // namespace vorlith

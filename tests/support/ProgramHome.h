#pragma once

// A private home for a run of the vorlith program: settings that capture with F1, pin with F2
// and have answered the first-run question about update checks, so no alert waits at launch.

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace vorlith::test {

struct ProgramHome {
    QTemporaryDir dir;

    ProgramHome()
    {
        QDir().mkpath(dir.filePath(QStringLiteral("config/Tolvane")));
        QFile settings(dir.filePath(QStringLiteral("config/Tolvane/settings.json")));
        if (settings.open(QIODevice::WriteOnly))
            settings.write(R"({"schemaVersion":3,"shortcut":{"keyCode":122,"modifiers":0,"label":"F1"},)"
                           R"("pinShortcut":{"keyCode":120,"modifiers":0,"label":"F2"},"format":"PNG",)"
                           R"("launchAtLogin":false,"loginItemInitialized":true,"automaticUpdateChecks":false})");
    }

    // The process environment with this home; `display` set when given.
    QProcessEnvironment environment(const QString& display = QString()) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!display.isEmpty())
            environment.insert(QStringLiteral("DISPLAY"), display);
        environment.insert(QStringLiteral("HOME"), dir.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return environment;
    }
};

} // namespace vorlith::test

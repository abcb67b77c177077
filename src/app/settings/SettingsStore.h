#pragma once

#include "app/output/SaveDraft.h"
#include "app/settings/AppSettings.h"
#include "app/settings/ShortcutRegistration.h"
#include "platform/FolderAccess.h"
#include "platform/LoginItemManaging.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vorlith {

// The owner of the settings in force and the only reader and writer of the settings file.
// It reads the file once, when made, and never fails: what went wrong is kept in `loadError`.
// A save (`commit`) is one transaction over the file, the hot keys and the login item. Main
// thread only.
class SettingsStore {
public:
    // Writes bytes to a path; throws on failure (FileWriteError by default).
    using WriteData = std::function<void(const QByteArray& bytes, const QString& path)>;

    static constexpr const char* newerSchemaMessage =
        "设置来自较新版本，当前版本无法修改。请使用较新版本打开，原设置文件已保留。";
    static constexpr const char* unreadableMessage = "设置读取失败，暂时使用默认值。原设置文件未被修改。";
    static constexpr const char* loginItemFailurePrefix = "登录启动未开启：";

    // Absent arguments: the default file ("Tolvane/settings.json" in the XDG config folder),
    // the default write (folders made, then an atomic replace), folders reached by their paths.
    explicit SettingsStore(std::optional<QString> fileURL = std::nullopt, WriteData writeData = {},
                           std::shared_ptr<FolderAccess> folderAccess = {});

    // $XDG_CONFIG_HOME/Tolvane/settings.json.
    static QString defaultFileURL();
    // Makes the file's folder with every missing parent, then writes atomically: a staging
    // file beside the target that replaces it in one rename.
    static void defaultWriteData(const QByteArray& bytes, const QString& path);

    const AppSettings& current() const { return m_current; }
    const std::optional<QString>& loadError() const { return m_loadError; }
    const QString& fileURL() const { return m_fileURL; }
    bool unsupportedSchema() const { return m_unsupportedSchema; }
    bool legacyBackupWritten() const { return m_legacyBackupWritten; }

    // Saves a draft: the folder checked, the hot keys prepared, the login item switched when
    // asked or changed, the file written; then the hot keys committed and `current` replaced.
    // On failure the hot keys are rolled back and the login item is put back. Throws.
    void commit(const AppSettings& draft, ShortcutRegistration& shortcutService, LoginItemManaging* loginItemService,
                bool applyLoginItemChange);
    // Stores the answer to the automatic-update question. Throws; refused (read-only, with the
    // load error) while the file has a newer schema, or could not be read and no save has
    // replaced it since.
    void setAutomaticUpdateChecks(bool enabled);
    // The first-run step: record it as taken, then switch launch at login on when chosen. Throws.
    void initializeLoginItemIfNeeded(LoginItemManaging& loginItemService);
    // A draft for a new image: "截图 " and the time, with the format and folder of `current`.
    SaveDraft makeSaveDraft() const;

    // The clock of makeSaveDraft (tests fix it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

private:
    void persist(const AppSettings& settings);
    void preserveLegacySettingsIfNeeded();
    static void makeDefaultFolderIfMissing(const AppSettings& draft);
    // The login item after a failed save; rethrows the first error or a code 3 error.
    [[noreturn]] void failAfterLoginItemChange(std::exception_ptr first, LoginItemManaging* service, bool touched,
                                               std::optional<LoginItemStatus> snapshot);

    AppSettings m_current;
    std::optional<QString> m_loadError;
    QString m_fileURL;
    bool m_unsupportedSchema = false;
    bool m_unreadable = false;
    std::optional<QByteArray> m_legacyBytes;
    std::int64_t m_legacySchema = 0;
    bool m_legacyBackupWritten = false;
    // The file was there but unreadable at start, and no copy of it has been kept yet.
    bool m_unreadableFileToKeep = false;
    WriteData m_writeData;
    std::shared_ptr<FolderAccess> m_folderAccess;
};

} // namespace vorlith

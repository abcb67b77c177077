#include "app/settings/SettingsStore.h"

#include "app/output/FileWriteError.h"
#include "app/output/PreparedFile.h"
#include "app/settings/SettingsError.h"
#include "app/settings/SettingsFile.h"
#include "platform/LocalFolderAccess.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace vorlith {

namespace {

// Stops the folder access a save started, on every way out.
class FolderAccessScope {
public:
    FolderAccessScope(FolderAccess& access) : m_access(access) {}
    ~FolderAccessScope()
    {
        if (m_started)
            m_access.stopAccess(m_path);
    }
    void start(const QString& path)
    {
        m_path = path;
        m_started = m_access.startAccess(path);
    }

private:
    FolderAccess& m_access;
    QString m_path;
    bool m_started = false;
};

} // namespace

SettingsStore::SettingsStore(std::optional<QString> fileURL, WriteData writeData,
                             std::shared_ptr<FolderAccess> folderAccess)
    : m_fileURL(fileURL ? *fileURL : defaultFileURL()),
      m_writeData(writeData ? std::move(writeData) : WriteData(&SettingsStore::defaultWriteData)),
      m_folderAccess(folderAccess ? std::move(folderAccess) : std::make_shared<LocalFolderAccess>())
{
    SettingsFileRead read = settingsFile::read(m_fileURL);
    switch (read.outcome) {
    case SettingsFileRead::Outcome::noFile:
        break;
    case SettingsFileRead::Outcome::current:
        m_current = read.settings;
        break;
    case SettingsFileRead::Outcome::older:
        m_current = read.settings;
        m_legacyBytes = read.bytes;
        m_legacySchema = read.sourceSchema;
        break;
    case SettingsFileRead::Outcome::newer:
        m_unsupportedSchema = true;
        m_loadError = QString::fromUtf8(newerSchemaMessage);
        break;
    case SettingsFileRead::Outcome::unreadable:
        m_unreadable = true;
        m_loadError = QString::fromUtf8(unreadableMessage);
        m_unreadableFileToKeep = true;
        break;
    }
}

QString SettingsStore::defaultFileURL()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tolvane/settings.json");
}

void SettingsStore::defaultWriteData(const QByteArray& bytes, const QString& path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(QFileInfo(path).absolutePath()).toStdString()),
                                        error);
    if (error)
        throw FileWriteError::fromErrno(error.value());
    PreparedFile staged(bytes, path, nullptr);
    // The file is ours whatever mode an earlier one had: the next start must be able to read
    // it (a file left at 000 would be "saved" and unreadable again).
    const QByteArray temporary = QFile::encodeName(staged.temporary());
    struct stat status {};
    if (::stat(temporary.constData(), &status) != 0 || ::chmod(temporary.constData(), (status.st_mode & 07777) | S_IRUSR | S_IWUSR) != 0)
        throw FileWriteError::fromErrno(errno);
    staged.place();
}

void SettingsStore::preserveLegacySettingsIfNeeded()
{
    if (!m_legacyBytes || m_legacyBackupWritten)
        return;
    const QString backup = settingsFile::backupPath(m_fileURL);
    // An earlier run may have left the backup: it must be these very bytes, or the user has
    // two different old files and we keep both untouched.
    const std::optional<QByteArray> existing = settingsFile::readBytes(backup);
    if (existing) {
        if (*existing != *m_legacyBytes)
            throw SettingsError::backupMismatchError();
    } else {
        m_writeData(*m_legacyBytes, backup);
    }
    const BackupInfo info{m_legacySchema, settingsFile::sha256Hex(*m_legacyBytes)};
    m_writeData(info.encoded(), settingsFile::backupInfoPath(m_fileURL));
    m_legacyBackupWritten = true;
}

void SettingsStore::persist(const AppSettings& settings)
{
    const QByteArray bytes = settings.encoded();
    // What is written must read back: a record that would not is never put on disk.
    (void)AppSettings::decoded(bytes);
    preserveLegacySettingsIfNeeded();
    // A file that could not be read is replaced by a save, but its bytes stay beside it.
    if (m_unreadableFileToKeep) {
        settingsFile::keepUnreadableCopy(m_fileURL);
        m_unreadableFileToKeep = false;
    }
    m_writeData(bytes, m_fileURL);
}

void SettingsStore::makeDefaultFolderIfMissing(const AppSettings& draft)
{
    // The download folder is where saves go unless the user chose otherwise; a user who has
    // none gets one at the first save that needs it, rather than a refusal of a choice never made.
    const QString path = draft.directory.toLocalFile();
    if (!draft.directory.isLocalFile() || draft.directoryBookmark ||
        QDir::cleanPath(path) != QDir::cleanPath(AppSettings::defaultDirectory().toLocalFile()))
        return;
    if (!QFileInfo::exists(path))
        QDir().mkpath(path); // a failure leaves the folder missing: the check below refuses then
}

void SettingsStore::commit(const AppSettings& draft, ShortcutRegistration& shortcutService,
                           LoginItemManaging* loginItemService, bool applyLoginItemChange)
{
    if (m_unsupportedSchema)
        throw SettingsError::readOnlyError(m_loadError.value_or(QString()));
    AppSettings copy = draft;

    FolderAccessScope access(*m_folderAccess);
    if (copy.directoryBookmark) {
        const std::optional<QString> resolved = m_folderAccess->resolveBookmark(*copy.directoryBookmark);
        if (!resolved)
            throw SettingsError::folderUnavailableError();
        copy.directory = QUrl::fromLocalFile(*resolved);
        access.start(*resolved);
    }
    makeDefaultFolderIfMissing(copy);
    const QFileInfo folder(copy.directory.toLocalFile());
    if (!copy.directory.isLocalFile() || !folder.isDir())
        throw SettingsError::folderUnavailableError();

    const ShortcutBindings bindings{{ShortcutAction::capture, copy.shortcut}, {ShortcutAction::pin, copy.pinShortcut}};
    shortcutService.prepareActions(bindings);

    std::optional<LoginItemStatus> snapshot;
    bool touched = false;
    try {
        if (loginItemService) {
            const bool wanted = applyLoginItemChange || copy.launchAtLogin != m_current.launchAtLogin;
            snapshot = loginItemService->status();
            if (wanted) {
                touched = true;
                loginItemService->setEnabled(copy.launchAtLogin);
                copy.loginItemInitialized = true;
            }
        }
        persist(copy);
    } catch (...) {
        shortcutService.rollbackPrepared();
        failAfterLoginItemChange(std::current_exception(), loginItemService, touched, snapshot);
    }
    shortcutService.commitPreparedActions(bindings);
    m_current = copy;
    m_loadError.reset();
    m_unreadable = false;
}

void SettingsStore::failAfterLoginItemChange(std::exception_ptr first, LoginItemManaging* service, bool touched,
                                             std::optional<LoginItemStatus> snapshot)
{
    if (!service || !touched || !snapshot || service->status() == *snapshot)
        std::rethrow_exception(first);
    const bool wasOn = *snapshot == LoginItemStatus::enabled || *snapshot == LoginItemStatus::requiresApproval;
    QString inner;
    try {
        service->setEnabled(wasOn);
    } catch (const std::exception& restoreError) {
        inner = settingsErrorDescription(restoreError);
    }
    if (inner.isEmpty()) {
        if (service->status() == *snapshot)
            std::rethrow_exception(first); // the item is back
        inner = SettingsError::loginItemMismatchError().description();
    }
    const SettingsError error = SettingsError::loginItemRestoreError(service->status(), inner);
    m_loadError = error.description();
    throw error;
}

void SettingsStore::setAutomaticUpdateChecks(bool enabled)
{
    // An unreadable file stays as it is until the user saves the settings on purpose: the
    // answer alone would replace everything in it with the defaults.
    if (m_unsupportedSchema || m_unreadable)
        throw SettingsError::readOnlyError(m_loadError.value_or(QString()));
    AppSettings copy = m_current;
    copy.automaticUpdateChecks = enabled;
    persist(copy);
    m_current = copy;
}

void SettingsStore::initializeLoginItemIfNeeded(LoginItemManaging& loginItemService)
{
    if (m_unsupportedSchema || m_loadError || m_current.loginItemInitialized)
        return;
    AppSettings copy = m_current;
    copy.loginItemInitialized = true;
    persist(copy);
    m_current = copy;
    if (!copy.launchAtLogin)
        return;
    try {
        loginItemService.setEnabled(true);
    } catch (const std::exception& error) {
        m_loadError = QString::fromUtf8(loginItemFailurePrefix) + settingsErrorDescription(error);
        throw;
    }
}

SaveDraft SettingsStore::makeSaveDraft() const
{
    SaveDraft draft;
    // The user's own locale, as the rest of the interface; no fixed one.
    draft.name = QStringLiteral("截图 ") + QLocale::system().toString(now(), QStringLiteral("yyyy-MM-dd HH.mm.ss"));
    draft.format = m_current.format;
    draft.directory = m_current.directory.toLocalFile();
    draft.directoryBookmark = m_current.directoryBookmark;
    return draft;
}

} // namespace vorlith

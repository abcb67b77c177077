#include "app/settings/SettingsWindowController.h"

#include "app/base/InterfaceColors.h"
#include "app/base/panel/BrandSwitch.h"
#include "app/base/panel/PanelPopUpButton.h"
#include "app/base/panel/PanelSecondaryButton.h"
#include "app/output/ImageFormat.h"
#include "app/settings/SettingsError.h"
#include "app/settings/SettingsStore.h"
#include "app/settings/ShortcutRecorder.h"
#include "app/settings/ShortcutService.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

namespace vorlith {

SettingsWindowController::SettingsWindowController(SettingsStore& store, ShortcutService& shortcutService,
                                                   LoginItemManaging* loginItemService,
                                                   UpdateSettingsProviding* updateService,
                                                   std::shared_ptr<FolderAccess> folderAccess)
    : QWidget(nullptr), m_store(store), m_shortcutService(shortcutService), m_draft(store.current()),
      m_loginService(loginItemService), m_updateService(updateService), m_folderAccess(std::move(folderAccess))
{
    Q_ASSERT(m_folderAccess);
    buildWindow();
}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::present()
{
    if (!m_sessionOpen)
        openSession();
    show();
    raise();
    activateWindow();
}

void SettingsWindowController::openSession()
{
    m_sessionOpen = true;
    cancelRecorders();
    m_draft = m_store.current();
    m_recorder->setSpec(m_draft.shortcut);
    m_pinRecorder->setSpec(m_draft.pinShortcut);
    m_loginChanged = false;
    m_updatesChanged = false;
    refreshLoginStatus();
    m_updateSwitch->presentation().setOn(m_draft.automaticUpdateChecks == true);
    m_format->setCurrentIndex(m_format->findText(rawValue(m_draft.format)));
    refreshDirectoryLabel();
    if (m_store.loadError())
        setFeedback(*m_store.loadError(), true);
    else if (const std::optional<QString> error = m_shortcutService.registrationError())
        setFeedback(*error, true);
    else
        setFeedback(QString(), false);
    m_scrollView->verticalScrollBar()->setValue(0);
}

bool SettingsWindowController::hasUnsavedChanges() const
{
    if (!m_sessionOpen)
        return false;
    return m_draft != m_store.current() || m_loginChanged || m_updatesChanged;
}

bool SettingsWindowController::consumeRegisteredShortcut(const ShortcutSpec& spec)
{
    // The grab that delivered the chord made the server send this window a FocusOut of the
    // grab kind, which Qt does not treat as a deactivation: the window is still active here.
    if (!isVisible() || !isActiveWindow())
        return false;
    for (ShortcutRecorder* candidate : {m_recorder, m_pinRecorder}) {
        if (focusWidget() == candidate && candidate->recording()) {
            candidate->accept(spec);
            return true;
        }
    }
    return false;
}

bool SettingsWindowController::hasAttachedSheet() const
{
    return m_folderDialog && m_folderDialog->isVisible();
}

void SettingsWindowController::refreshLoginStatus()
{
    const std::optional<LoginItemStatus> status =
        m_loginService ? std::optional<LoginItemStatus>(m_loginService->status()) : std::nullopt;
    m_loginSwitch->presentation().setOn(status == LoginItemStatus::enabled);

    QString text = QStringLiteral("登录项服务未装配。");
    bool statusShown = true;
    std::optional<QString> retryTitle;
    if (status) {
        text = loginItemStatusDescription(*status);
        switch (*status) {
        case LoginItemStatus::enabled:
        case LoginItemStatus::notRegistered:
            statusShown = false;
            break;
        case LoginItemStatus::requiresApproval:
            retryTitle = QStringLiteral("去允许");
            break;
        case LoginItemStatus::unavailable:
            retryTitle = QStringLiteral("重试");
            break;
        }
    }
    m_loginStatus->setText(text);
    m_loginStatus->setVisible(statusShown);
    m_loginRetry->setVisible(retryTitle.has_value());
    if (retryTitle)
        m_loginRetry->setText(*retryTitle);
    layoutLoginNotice(statusShown);
    alignLoginStatus();
}

void SettingsWindowController::refreshDirectoryLabel()
{
    const QString path = m_draft.directory.isLocalFile() ? m_draft.directory.toLocalFile() : m_draft.directory.path();
    const bool started = !path.isEmpty() && m_folderAccess->startAccess(path);
    QString name = QFileInfo(path).fileName();
    if (name.isEmpty())
        name = path; // the root folder, or none
    m_directory->setText(name);
    m_directory->setToolTip(QStringLiteral("选择默认保存文件夹\n") + path);
    if (started)
        m_folderAccess->stopAccess(path);
}

void SettingsWindowController::setFeedback(const QString& text, bool isError)
{
    QPalette palette = m_feedback->palette();
    palette.setColor(QPalette::WindowText, isError ? InterfaceColors::error() : InterfaceColors::secondary());
    m_feedback->setPalette(palette);
    m_feedback->setText(text);
    const bool visible = !text.isEmpty();
    m_feedback->setVisible(visible);
    if (visible != m_feedbackExpanded) {
        m_feedbackExpanded = visible;
        resizeForNotices();
    }
}

void SettingsWindowController::cancelRecorders()
{
    m_recorder->endRecording();
    m_pinRecorder->endRecording();
}

void SettingsWindowController::showLoginNote(const QString& text)
{
    m_loginStatus->setText(text);
    m_loginStatus->show();
    layoutLoginNotice(true);
    alignLoginStatus();
}

void SettingsWindowController::changeLogin()
{
    m_loginChanged = true;
    m_draft.launchAtLogin = m_loginSwitch->presentation().isOn();
    m_loginRetry->hide();
    showLoginNote(QStringLiteral("保存设置后生效。"));
}

void SettingsWindowController::retryLogin()
{
    // No desktop asks the user to approve an autostart entry, so there is no settings page
    // to open: a retry always means "switch it on with the next save".
    m_loginChanged = true;
    m_draft.launchAtLogin = true;
    m_loginSwitch->presentation().setOn(true);
    showLoginNote(QStringLiteral("保存设置时重试；若系统需要批准，将显示真实状态。"));
}

void SettingsWindowController::changeUpdates()
{
    m_updatesChanged = true;
    m_draft.automaticUpdateChecks = m_updateSwitch->presentation().isOn();
}

void SettingsWindowController::changeFormat()
{
    m_draft.format = imageFormatFromRawValue(m_format->currentText()).value_or(ImageFormat::png);
}

void SettingsWindowController::resetKey()
{
    cancelRecorders();
    m_draft.shortcut = ShortcutSpec::defaultCapture();
    m_draft.pinShortcut = ShortcutSpec::defaultPin();
    m_recorder->setSpec(m_draft.shortcut);
    m_pinRecorder->setSpec(m_draft.pinShortcut);
}

void SettingsWindowController::chooseFolder()
{
    cancelRecorders();
    if (hasAttachedSheet())
        return;
    const QString start = m_draft.directory.toLocalFile();
    auto* dialog = new QFileDialog(this, QStringLiteral("选择默认保存位置"), start);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setWindowModality(Qt::WindowModal);
    m_folderDialog = dialog;
    connect(dialog, &QDialog::finished, this, [self = QPointer(this), dialog] {
        if (self && self->m_folderDialog == dialog)
            self->m_folderDialog = nullptr;
    });
    connect(dialog, &QFileDialog::accepted, this, [self = QPointer(this), dialog] {
        if (!self)
            return;
        const QList<QUrl> urls = dialog->selectedUrls();
        if (!urls.isEmpty())
            self->folderChosen(urls.first());
    });
    dialog->open();
}

void SettingsWindowController::folderChosen(const QUrl& url)
{
    const QString path = url.toLocalFile();
    if (!m_folderAccess->usesBookmarks()) {
        // Kept by its path: an old bookmark would otherwise win over the new folder when the
        // store resolves it.
        m_draft.directory = url;
        m_draft.directoryBookmark.reset();
        refreshDirectoryLabel();
        return;
    }
    const bool started = m_folderAccess->startAccess(path);
    const std::optional<QByteArray> bookmark = m_folderAccess->makeBookmark(path);
    if (!bookmark) {
        if (started)
            m_folderAccess->stopAccess(path);
        setFeedback(QStringLiteral("无法保留此目录的访问授权，请重新选择。"), true);
        return;
    }
    m_draft.directory = url;
    m_draft.directoryBookmark = bookmark;
    refreshDirectoryLabel();
    if (started)
        m_folderAccess->stopAccess(path);
}

void SettingsWindowController::saveSettings()
{
    cancelRecorders();
    changeFormat();
    try {
        const AppSettings draft = m_draft;
        m_store.commit(draft, m_shortcutService, m_loginService, m_loginChanged);
    } catch (const std::exception& error) {
        refreshLoginStatus();
        setFeedback(settingsErrorDescription(error), true);
        return;
    }
    if (m_updateService)
        m_updateService->applyAutomaticUpdateChecks();
    m_loginChanged = false;
    m_updatesChanged = false;
    m_draft = m_store.current();
    if (onSaved)
        onSaved();
    if (m_draft.launchAtLogin && m_loginService && m_loginService->status() != LoginItemStatus::enabled) {
        refreshLoginStatus();
        setFeedback(QStringLiteral("设置已保存；") + loginItemStatusDescription(m_loginService->status()), false);
        return;
    }
    close();
}

void SettingsWindowController::cancelSettings()
{
    cancelRecorders();
    close();
}

void SettingsWindowController::closeEvent(QCloseEvent* event)
{
    m_sessionOpen = false;
    cancelRecorders();
    if (m_folderDialog)
        m_folderDialog->reject();
    event->accept();
    if (onClosed)
        onClosed();
}

void SettingsWindowController::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        cancelRecorders();
    QWidget::changeEvent(event);
}

} // namespace vorlith

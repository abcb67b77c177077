// Launch, the status and editing menus, hot-key availability and the small menu actions.
#include "app/shell/AppCoordinator.h"

#include "app/base/Diagnostics.h"
#include "app/output/feedback/OutputToast.h"
#include "app/settings/SettingsWindowController.h"
#include "app/settings/ShortcutRecorder.h"
#include "app/shell/AboutWindowController.h"
#include "app/shell/PinRequestRoad.h"
#include "app/updates/UpdateService.h"
#include "platform/AlertPresenter.h"
#include "platform/ApplicationFocus.h"
#include "platform/StatusItemHost.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>

namespace vorlith {

QString AppCoordinator::hotKeyAlertMessage() { return QStringLiteral("部分快捷键暂时无法使用"); }
QString AppCoordinator::hotKeyAlertDetail()
{
    return QStringLiteral("快捷键可能已被其他应用占用。你仍可使用菜单入口，并在设置中更换相应快捷键。");
}
QString AppCoordinator::settingsAlertMessage() { return QStringLiteral("设置需要检查"); }
QString AppCoordinator::unavailableSuffix() { return QStringLiteral("（快捷键不可用）"); }
// No selection of the file manager is read on Linux: only the clipboard counts.
QString AppCoordinator::pinItemToolTip() { return QStringLiteral("先复制图片，或在文件管理器中复制图片文件"); }

void AppCoordinator::applicationDidFinishLaunching()
{
    Diagnostics::event(QStringLiteral("app.started"));
    installEditingMenu();
    // The last other application: ours is never the one to go back to.
    if (std::optional<FrontApplication> front = environment.frontApplication();
        !front || !front->pid || *front->pid != qint32(QCoreApplication::applicationPid()))
        m_previousApplication = front;
    observeFrontApplication();
    observeScreens();

    buildStatusMenu();
    QPointer<AppCoordinator> self(this);
    if (StatusItemHost* item = m_services.statusItem.get()) {
        item->onActivated = [self] {
            if (self)
                self->showStatusMenu();
        };
        item->install(QStringLiteral("Vorlith"));
        if (!item->isAvailable())
            Diagnostics::event(QStringLiteral("statusItem.unavailable"));
    }

    m_shortcut->onActionPressed = [self](ShortcutAction action) {
        if (!self)
            return;
        const auto bound = self->m_shortcut->bindings().find(action);
        // Only an open settings window can be recording a chord.
        if (bound != self->m_shortcut->bindings().end() && self->m_settingsWindow
            && self->m_settingsWindow->consumeRegisteredShortcut(bound->second))
            return;
        if (action == ShortcutAction::pin) {
            self->m_pinRoad->beginSmartPin(std::nullopt);
            return;
        }
        self->startCapture(self->m_shortcut->activationKey());
    };
    m_shortcut->onResumeFailure = [self](const std::exception_ptr&) {
        if (!self)
            return;
        self->refreshMenu();
        self->postNotice(QStringLiteral("快捷键不可用，请在设置中更换"));
    };

    refreshMenu();
    updateShortcutAvailability();

    try {
        m_shortcut->registerActions({{ShortcutAction::capture, m_settings->current().shortcut},
                                     {ShortcutAction::pin, m_settings->current().pinShortcut}});
    } catch (...) {
        showError(hotKeyAlertMessage(), hotKeyAlertDetail(), false);
        if (!self)
            return;
    }
    // The registration changed which items are marked unavailable.
    refreshMenu();
    if (m_settings->loadError()) {
        showError(settingsAlertMessage(), *m_settings->loadError(), false);
        if (!self)
            return;
    }
    if (m_services.loginItem) {
        try {
            m_settings->initializeLoginItemIfNeeded(*m_services.loginItem);
        } catch (...) {
            postNotice(QStringLiteral("登录启动未能开启，请在设置中查看。"));
        }
    }
    updater().start();
    requestAutomaticUpdatePermissionIfNeeded();
    if (self)
        warmUp();
}

void AppCoordinator::connectSettingsWindow(SettingsWindowController& settingsWindow)
{
    QPointer<AppCoordinator> self(this);
    settingsWindow.onSaved = [self] {
        if (!self)
            return;
        self->refreshMenu();
        self->updateShortcutAvailability();
    };
    settingsWindow.onClosed = [self] {
        if (!self)
            return;
        const bool aboutVisible = self->m_aboutWindow && self->m_aboutWindow->window()->isVisible();
        if (!aboutVisible && !self->activePinEditor())
            self->environment.restoreApplication(self->m_previousApplication);
        QTimer::singleShot(0, self, [self] {
            if (self)
                self->updateShortcutAvailability();
        });
    };
}

void AppCoordinator::installEditingMenu()
{
    if (m_applicationMenu)
        return;
    // There is no global menu bar on X11: these menus are never shown. Text fields take
    // Ctrl+Z, C, V themselves; the quit review's freeze switches the Edit actions off.
    m_applicationMenu = new QMenu(QStringLiteral("Vorlith"));
    connect(m_applicationMenu->addAction(QStringLiteral("关于 Vorlith")), &QAction::triggered, this, &AppCoordinator::showAbout);
    connect(m_applicationMenu->addAction(QStringLiteral("检查更新…")), &QAction::triggered, this, &AppCoordinator::checkUpdates);
    m_applicationMenu->addSeparator();
    connect(m_applicationMenu->addAction(QStringLiteral("设置…")), &QAction::triggered, this, &AppCoordinator::openSettings);
    m_applicationMenu->addSeparator();
    connect(m_applicationMenu->addAction(QStringLiteral("退出 Vorlith")), &QAction::triggered, this,
            &AppCoordinator::quitApplication);

    m_editingMenu = new QMenu(QStringLiteral("编辑"));
    const std::pair<const char*, QKeySequence> items[] = {
        {"撤销", QKeySequence::Undo}, {"重做", QKeySequence(QStringLiteral("Ctrl+Shift+Z"))},
        {"剪切", QKeySequence::Cut},  {"复制", QKeySequence::Copy},
        {"粘贴", QKeySequence::Paste}, {"全选", QKeySequence::SelectAll},
    };
    for (const auto& [title, keys] : items) {
        QAction* action = m_editingMenu->addAction(QString::fromUtf8(title));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
    }
}

void AppCoordinator::buildStatusMenu()
{
    if (m_statusMenu)
        return;
    m_statusMenu = new QMenu;
    m_statusMenu->setToolTipsVisible(true);
    connect(m_statusMenu, &QMenu::aboutToShow, this, &AppCoordinator::menuWillOpen);
    connect(m_statusMenu, &QMenu::aboutToHide, this, &AppCoordinator::menuDidClose);
    auto add = [this](const QString& title, void (AppCoordinator::*action)()) {
        QAction* item = m_statusMenu->addAction(title);
        // Runs while the menu's loop is still on the stack (the menu has hidden): the pin
        // item claims the request the menu was opened for; a capture and a quit wait for the
        // loop's end themselves.
        connect(item, &QAction::triggered, this, action);
        return item;
    };
    m_captureMenuItem = add(QStringLiteral("截图"), &AppCoordinator::startFromMenu);
    m_recoveryMenuItem = add(QStringLiteral("继续上次截图"), &AppCoordinator::recoverCapture);
    m_recoveryMenuItem->setVisible(false);
    m_statusMenu->addSeparator();
    QAction* pin = add(QStringLiteral("置顶图片"), &AppCoordinator::pasteAsPin);
    pin->setToolTip(pinItemToolTip());
    m_pinMenuItems = {pin, add(QStringLiteral("打开图片并置顶…"), &AppCoordinator::openAsPin),
                      add(QStringLiteral("隐藏／显示置顶图片"), &AppCoordinator::togglePins)};
    m_statusMenu->addSeparator();
    m_settingsMenuItem = add(QStringLiteral("设置…"), &AppCoordinator::openSettings);
    // The keys are shown as reminders and act only while the menu has the keyboard.
    m_settingsMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    m_settingsMenuItem->setShortcutContext(Qt::WidgetShortcut);
    m_checkUpdatesItem = add(QStringLiteral("检查更新…"), &AppCoordinator::checkUpdates);
    m_aboutItem = add(QStringLiteral("关于 Vorlith"), &AppCoordinator::showAbout);
    m_statusMenu->addSeparator();
    m_quitItem = add(QStringLiteral("退出 Vorlith"), &AppCoordinator::quitApplication);
    m_quitItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    m_quitItem->setShortcutContext(Qt::WidgetShortcut);
}

QString AppCoordinator::itemTitle(const QString& title, const ShortcutSpec& spec, ShortcutAction action) const
{
    QString text = title + QStringLiteral("    ") + spec.label;
    if (m_shortcut->registrationErrors().contains(action))
        text += unavailableSuffix();
    return text;
}

bool AppCoordinator::settingsSheetAttached() const
{
    return m_settingsWindow && m_settingsWindow->hasAttachedSheet();
}

bool AppCoordinator::isBusy() const
{
    return captureRunning() || hasOverlays() || settingsSheetAttached() || m_presentingAlert || m_terminationFrozen
        || hasImportTask() || hasPinRequestTask();
}

void AppCoordinator::refreshMenu()
{
    if (m_captureMenuItem)
        m_captureMenuItem->setText(itemTitle(QStringLiteral("截图"), m_settings->current().shortcut, ShortcutAction::capture));
    if (!m_pinMenuItems.empty())
        m_pinMenuItems.front()->setText(
            itemTitle(QStringLiteral("置顶图片"), m_settings->current().pinShortcut, ShortcutAction::pin));
    if (m_recoveryMenuItem)
        m_recoveryMenuItem->setVisible(m_recoveryStore->current().has_value());
    const bool busy = isBusy();
    for (QAction* item : {m_captureMenuItem, m_recoveryMenuItem, m_settingsMenuItem}) {
        if (item)
            item->setEnabled(!busy);
    }
    for (QAction* item : m_pinMenuItems)
        item->setEnabled(!busy);
    if (m_pinMenuItems.size() == 3) {
        const std::vector<CoordinatorPins::PinState> pins = pinStates();
        const bool anyVisible = std::any_of(pins.begin(), pins.end(), [](const auto& pin) { return pin.visible; });
        QAction* toggle = m_pinMenuItems.back();
        toggle->setEnabled(!busy && !pins.empty());
        toggle->setText(anyVisible ? QStringLiteral("隐藏置顶图片") : QStringLiteral("显示置顶图片"));
    }
}

bool AppCoordinator::applicationActive() const
{
    if (m_services.isApplicationActive)
        return m_services.isApplicationActive();
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void AppCoordinator::updateShortcutAvailability()
{
    bool capture = true;
    bool pin = true;
    if (!isBusy()) {
        capture = applicationActive() && !m_settings->current().shortcut.isFunctionKey();
        pin = protectsGlobalPinShortcut();
    }
    m_shortcut->setSuspended(capture, {ShortcutAction::capture});
    m_shortcut->setSuspended(pin, {ShortcutAction::pin});
}

bool AppCoordinator::textFieldHasKeyboard() const
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !focus->isActiveWindow())
        return false;
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        return !line->isReadOnly();
    if (auto* text = qobject_cast<QTextEdit*>(focus))
        return !text->isReadOnly();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        return !plain->isReadOnly();
    return qobject_cast<QAbstractSpinBox*>(focus) != nullptr;
}

bool AppCoordinator::protectsGlobalPinShortcut() const
{
    if (m_settingsWindow) {
        const bool recording = (m_settingsWindow->recorder() && m_settingsWindow->recorder()->recording())
            || (m_settingsWindow->pinRecorder() && m_settingsWindow->pinRecorder()->recording());
        if (recording || m_settingsWindow->hasAttachedSheet())
            return true;
    }
    if (textFieldHasKeyboard())
        return true;
    if (m_pins && m_pins->hasGesture())
        return true;
    const std::vector<CoordinatorPins::PinState> pins = pinStates();
    return std::any_of(pins.begin(), pins.end(), [](const auto& pin) { return pin.holdsKeyboardWork; });
}

bool AppCoordinator::canPresentUpdate() const
{
    return !(m_terminationFrozen || m_presentingAlert || captureRunning() || hasOverlays() || hasImportTask()
             || hasPinRequestTask() || m_outputs->isBusy() || activePinEditor() || settingsSheetAttached());
}

void AppCoordinator::requestAutomaticUpdatePermissionIfNeeded()
{
    if (!canPresentUpdate() || !updater().engine() || m_settings->current().automaticUpdateChecks.has_value())
        return;
    m_presentingAlert = true;
    QPointer<AppCoordinator> self(this);
    const int answer = m_services.alerts ? m_services.alerts->run({QStringLiteral("允许自动检查 Vorlith 更新？"),
                                                                   QStringLiteral("只检查新版本，不会自动安装。你也可以随时从菜单检查更新。"),
                                                                   {QStringLiteral("允许"), QStringLiteral("手动检查")}})
                                         : Alert::secondButton;
    if (!self)
        return;
    m_presentingAlert = false;
    const bool allowed = answer == Alert::firstButton;
    try {
        m_settings->setAutomaticUpdateChecks(allowed);
        if (UpdateEngine* engine = updater().engine())
            engine->setAutomaticallyChecksForUpdates(m_settings->current().automaticUpdateChecks.value_or(false));
    } catch (...) {
        postNotice(QStringLiteral("更新检查偏好未能保存，请在设置中重试。"));
    }
    updateShortcutAvailability();
}

void AppCoordinator::showStatusMenu()
{
    // The road prepares its request (the file manager's selection is read before the menu
    // takes the keyboard), then has the menu run.
    m_pinRoad->showStatusMenu();
}

void AppCoordinator::showStatusMenuAtPointer()
{
    m_menuAtPointer = true;
    showStatusMenu();
}

void AppCoordinator::runStatusMenu()
{
    if (!m_statusMenu || m_menuOpen)
        return;
    m_menuOpen = true;
    const bool atPointer = std::exchange(m_menuAtPointer, false);
    QPointer<AppCoordinator> self(this);
    if (m_services.statusItem && !atPointer)
        m_services.statusItem->runMenu(*m_statusMenu);
    else
        m_statusMenu->exec(QCursor::pos());
    if (self)
        m_menuOpen = false;
}

void AppCoordinator::menuWillOpen()
{
    Diagnostics::event(QStringLiteral("pin.menu.willOpen"));
    refreshMenu();
}

void AppCoordinator::menuDidClose()
{
    Diagnostics::event(QStringLiteral("pin.menu.didClose"));
}

void AppCoordinator::pasteAsPin()
{
    m_pinRoad->pasteAsPin();
}

void AppCoordinator::openAsPin()
{
    m_pinRoad->openAsPin();
}

void AppCoordinator::togglePins()
{
    m_pinRoad->togglePins();
}

void AppCoordinator::startFromMenu()
{
    Diagnostics::event(QStringLiteral("menu.capture"));
    QPointer<AppCoordinator> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self)
            self->startCapture(std::nullopt);
    });
}

void AppCoordinator::openSettings()
{
    if (hasOverlays() || captureRunning() || m_presentingAlert || m_terminationFrozen || hasImportTask()
        || hasPinRequestTask())
        return;
    if (m_pins && !m_pins->settleForCapture())
        return;
    settingsWindow().present();
    updateShortcutAvailability();
}

void AppCoordinator::showAbout()
{
    if (m_terminationFrozen || hasOverlays() || captureRunning() || m_presentingAlert)
        return;
    aboutWindow().showWindow();
}

void AppCoordinator::checkUpdates()
{
    updater().checkForUpdates();
}

void AppCoordinator::applicationDidBecomeActive()
{
    updateShortcutAvailability();
}

void AppCoordinator::applicationDidResignActive()
{
    updateShortcutAvailability();
}

void AppCoordinator::observeFrontApplication()
{
    ApplicationFocus* focus = m_services.applicationFocus.get();
    if (!focus)
        return;
    QPointer<AppCoordinator> self(this);
    focus->onChanged = [self](const std::optional<FrontApplication>& front) {
        if (!self || !front)
            return;
        if (front->pid && *front->pid == qint32(QCoreApplication::applicationPid()))
            return;
        self->m_previousApplication = front;
    };
    focus->watchChanges();
}

void AppCoordinator::observeScreens()
{
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!application)
        return;
    connect(application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            applicationDidBecomeActive();
        else
            applicationDidResignActive();
    });
    // Several signals come for one change (a monitor added resizes the others): one
    // handling per turn of the event loop.
    auto changed = [this] {
        if (m_screensChangePending)
            return;
        m_screensChangePending = true;
        QTimer::singleShot(0, this, [this] {
            m_screensChangePending = false;
            screensChanged();
        });
    };
    auto watch = [this, changed](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, this, changed);
        connect(screen, &QScreen::logicalDotsPerInchChanged, this, changed);
        connect(screen, &QScreen::physicalDotsPerInchChanged, this, changed);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    connect(application, &QGuiApplication::screenAdded, this, [watch, changed](QScreen* screen) {
        watch(screen);
        changed();
    });
    connect(application, &QGuiApplication::screenRemoved, this, changed);
}

void AppCoordinator::screensChanged()
{
    if (captureRunning() || hasOverlays()) {
        QPointer<AppCoordinator> self(this);
        captureDisplaysChanged();
        if (!self)
            return;
    }
    if (m_pins)
        m_pins->constrainToAvailableScreens();
    // The overlays and grabs prepared for the old displays no longer fit.
    warmUp();
}

} // namespace vorlith

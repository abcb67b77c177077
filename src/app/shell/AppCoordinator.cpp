#include "app/shell/AppCoordinator.h"

#include "app/base/ApplicationVersionInfo.h"
#include "app/base/Diagnostics.h"
#include "app/base/ImageResourceStore.h"
#include "app/base/ScreenLookup.h"
#include "app/capture/CaptureService.h"
#include "app/capture/UtilityWindowCaptureLease.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/CaptureOverlayWindow.h"
#include "app/output/FileDialogSavePanel.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/output/feedback/OutputToast.h"
#include "app/settings/SettingsWindowController.h"
#include "app/shell/AboutWindowController.h"
#include "app/shell/FinderSelectionReader.h"
#include "app/shell/ImageOpenPanel.h"
#include "app/shell/PinRequestCoordinator.h"
#include "app/shell/PinRequestRoad.h"
#include "app/shell/WarmStart.h"
#include "app/shell/WorkspacePins.h"
#include "app/editor/EditorHostView.h"
#include "app/import/ImageImportService.h"
#include "app/pins/PinWorkspace.h"
#include "app/updates/UpdateService.h"
#include "platform/AlertPresenter.h"
#include "platform/ApplicationFocus.h"
#include "platform/FloatingWindows.h"
#include "platform/Pasteboard.h"
#include "platform/StatusItemHost.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>

namespace vorlith {

AppCoordinator::AppCoordinator(CoordinatorServices services, QObject* parent)
    : QObject(parent),
      m_services(std::move(services)),
      m_captureService(std::make_shared<CaptureService>(m_services.capturePlatform)),
      m_outputs(std::make_shared<OutputCoordinator>()),
      m_pins(m_services.pins),
      m_recoveryStore(std::make_unique<RecoveryStore>())
{
    // The collaborators in the order the program depends on them: hot keys, then the
    // settings (read at once; a load error waits for launch to report it), then the side
    // effects, then the budget.
    m_shortcut = std::make_unique<ShortcutService>(m_services.hotKeys);
    m_settings = std::make_unique<SettingsStore>(m_services.settingsFile, m_services.writeSettings,
                                                 m_services.folderAccess);
    installDefaultEnvironment();
    m_resources = std::make_shared<ImageResourceStore>(m_services.memoryLimit);
    if (!m_pins && m_services.pinEnvironment) {
        QPointer<AppCoordinator> self(this);
        m_pins = std::make_shared<WorkspacePins>(
            std::make_shared<PinWorkspace>(*m_services.pinEnvironment),
            [self](std::shared_ptr<EditorDocument> document) -> EditorHostView* {
                if (!self)
                    return new EditorHostView(std::move(document), true);
                return self->makePinHost(std::move(document));
            });
    }
    makePinRoad();
    observeSessionEnd();
}

void AppCoordinator::makePinRoad()
{
    const ScreenLookup screens =
        m_services.toasts ? m_services.toasts->screens : ScreenLookup::system(m_services.capturePlatform);
    std::function<Point()> pointer = m_services.pointer ? m_services.pointer : [] {
        const QPoint at = QCursor::pos();
        return Point{double(at.x()), double(at.y())};
    };
    auto reader = std::make_shared<FinderSelectionReader>(
        m_services.fileManager, FinderSelectionReader::focusIdentity(m_services.applicationFocus),
        [] { return !QGuiApplication::screens().isEmpty(); });
    m_pinRoad = std::make_unique<PinRequestRoad>(
        *this, PinRequestRoad::Services{std::make_shared<ImageImportService>(m_resources, m_services.folderAccess),
                                        m_services.pasteboard, std::make_shared<PinRequestCoordinator>(reader),
                                        PinOriginEnvironment{m_services.applicationFocus, pointer, screens},
                                        m_services.folderAccess});
}

EditorHostView* AppCoordinator::makePinHost(std::shared_ptr<EditorDocument> document)
{
    std::shared_ptr<OutputService> output = environment.makeOutput();
    feedbackCoordinator();
    return new EditorHostView(std::move(document), true, output, m_outputs, m_feedbackCoordinator);
}

AppCoordinator::~AppCoordinator()
{
    // The road's tasks and file access end before what they call into goes.
    m_pinRoad.reset();
    m_warmStart.reset(); // before the overlay windows it prepares
    // Callbacks into a coordinator being destroyed must not run.
    if (m_resources)
        m_resources->onReclaimCaches = {};
    if (m_pins)
        m_pins->connect({});
    if (m_settingsWindow) {
        m_settingsWindow->onSaved = {};
        m_settingsWindow->onClosed = {};
    }
    m_shortcut->onActionPressed = {};
    m_shortcut->onResumeFailure = {};
    if (m_services.statusItem)
        m_services.statusItem->onActivated = {};
    if (m_services.applicationFocus)
        m_services.applicationFocus->onChanged = {};
    delete m_statusMenu;
    delete m_applicationMenu;
    delete m_editingMenu;
    m_settingsWindow.reset(); // holds references to the updater and the store
    m_updater.reset();
}

void AppCoordinator::installDefaultEnvironment()
{
    QPointer<AppCoordinator> self(this);
    std::shared_ptr<ApplicationFocus> focus = m_services.applicationFocus;
    environment.frontApplication = [focus]() -> std::optional<FrontApplication> {
        if (!focus)
            return std::nullopt;
        // Ours included: a capture asks whether the focus was in one of our windows.
        return focus->frontApplication();
    };
    environment.restoreApplication = [focus](const std::optional<FrontApplication>& application) {
        if (focus && application)
            focus->restore(*application);
    };
    environment.makeOutput = [self]() {
        Q_ASSERT(self);
        auto output = std::make_shared<OutputService>(self->m_services.pasteboard);
        output->setResources(self->m_resources);
        output->setFolderAccess(self->m_services.folderAccess);
        std::shared_ptr<FloatingWindows> windows = self->m_services.floatingWindows;
        output->setSavePanelFactory([windows] { return new FileDialogSavePanel(nullptr, windows); });
        return output;
    };
    // There is no system pane to send the user to on X11: every error has the one button.
    environment.showError = [self](const QString& message, const QString& detail, bool) {
        if (!self || !self->m_services.alerts)
            return false;
        self->m_services.alerts->run({message, detail, {QStringLiteral("知道了")}});
        return false;
    };
    environment.discardAfterRecoveryFailure = [self](const QString& message) {
        if (!self || !self->m_services.alerts)
            return false;
        const int answer = self->m_services.alerts->run(
            {QStringLiteral("暂时无法保留最近截图"),
             message + QStringLiteral("\n当前截图仍在编辑器中，你可以返回后复制、保存，或明确丢弃。"),
             {QStringLiteral("返回编辑"), QStringLiteral("丢弃并退出")}});
        return answer == Alert::secondButton;
    };
}

void AppCoordinator::configurePins()
{
    QPointer<AppCoordinator> self(this);
    if (m_pins) {
        CoordinatorPins::Callbacks callbacks;
        callbacks.onChanged = [self] {
            if (self)
                self->refreshAfterChange();
        };
        callbacks.onDisplayFailure = [self](const QString& message) {
            if (self)
                self->postNotice(message);
        };
        callbacks.onClosed = [self](const QUuid& documentID) {
            if (!self)
                return;
            self->m_documents.remove(documentID);
            self->refreshAfterChange();
        };
        callbacks.onOutputSuccess = [self](const QString& message) {
            if (self && self->environment.toast)
                self->environment.toast(message);
        };
        m_pins->connect(std::move(callbacks));
    }
    m_resources->onReclaimCaches = [self] {
        if (self)
            self->reclaimCaches();
    };
}

FeedbackCoordinator& AppCoordinator::feedbackCoordinator()
{
    if (!m_feedbackCoordinator)
        m_feedbackCoordinator = std::make_shared<FeedbackCoordinator>(
            m_resources, m_services.toasts ? *m_services.toasts
                                           : ToastEnvironment{m_services.floatingWindows,
                                                              ScreenLookup::system(m_services.capturePlatform), {}});
    return *m_feedbackCoordinator;
}

OutputToast& AppCoordinator::generalToast()
{
    if (!m_generalToast) {
        feedbackCoordinator();
        m_generalToast = std::make_unique<OutputToast>(m_feedbackCoordinator);
    }
    return *m_generalToast;
}

UpdateService& AppCoordinator::updater()
{
    if (!m_updater) {
        QPointer<AppCoordinator> self(this);
        m_updater = std::make_unique<UpdateService>(
            *m_settings, m_services.bundle, [self] { return self && self->canPresentUpdate(); },
            [self](std::function<void(bool)> reply) {
                reply(self && self->authorizeTermination(TerminationIntent::installUpdate));
            },
            [self] {
                if (self)
                    self->releaseTerminationFreeze();
            },
            m_services.makeEngine);
    }
    return *m_updater;
}

AboutWindowController& AppCoordinator::aboutWindow()
{
    if (!m_aboutWindow)
        m_aboutWindow = std::make_unique<AboutWindowController>(ApplicationVersionInfo::fromBundle(m_services.bundle));
    return *m_aboutWindow;
}

SettingsWindowController& AppCoordinator::settingsWindow()
{
    if (!m_settingsWindow) {
        UpdateService& update = updater();
        // Made when first needed, not at launch: until it is open nothing in it can record a
        // chord or hold a sheet, and building it would hold back the tray icon.
        m_settingsWindow = std::make_unique<SettingsWindowController>(
            *m_settings, *m_shortcut, m_services.loginItem.get(), &update, m_services.folderAccess);
        connectSettingsWindow(*m_settingsWindow);
    }
    return *m_settingsWindow;
}

void AppCoordinator::refreshAfterChange()
{
    ++m_workEpoch;
    refreshResources();
    refreshMenu();
    updateShortcutAvailability();
    updater().resumeDeferredPresentation();
}

void AppCoordinator::postNotice(const QString& message)
{
    if (environment.toast) {
        environment.toast(message);
        return;
    }
    const Point at = m_services.pointer ? m_services.pointer() : Point{double(QCursor::pos().x()), double(QCursor::pos().y())};
    OutputToast& toast = generalToast();
    const QUuid id = QUuid::createUuid();
    if (!toast.coordinator->begin(id, toast.owner, at, message, [] {}))
        return;
    toast.current = id;
    toast.coordinator->success(id, message, true);
}

void AppCoordinator::showError(const QString& message, const QString& detail, bool offerSettings)
{
    const std::optional<FrontApplication> target =
        m_captureRestoresPinFocus ? std::nullopt : (m_frontApplication ? m_frontApplication : m_previousApplication);
    m_presentingAlert = true;
    m_shortcut->setSuspended(true, {ShortcutAction::capture, ShortcutAction::pin});
    QPointer<AppCoordinator> self(this);
    const bool opened = environment.showError(message, detail, offerSettings);
    // The alert ran a nested event loop: anything may have happened meanwhile.
    if (!self)
        return;
    m_presentingAlert = false;
    m_frontApplication.reset();
    if (!opened)
        environment.restoreApplication(target);
    updateShortcutAvailability();
}

bool AppCoordinator::hasOverlays() const
{
    // The overlay windows stay made between captures: only a shown set counts.
    return m_overlaySet && m_overlaySet->isShown();
}

std::vector<CoordinatorPins::PinState> AppCoordinator::pinStates() const
{
    return m_pins ? m_pins->pins() : std::vector<CoordinatorPins::PinState>{};
}

std::optional<QUuid> AppCoordinator::activePinEditor() const
{
    return m_pins ? m_pins->activeEditor() : std::nullopt;
}

bool AppCoordinator::hasImportTask() const
{
    return m_importRunning || (m_pinRoad && m_pinRoad->hasImportTask());
}

bool AppCoordinator::hasPinRequestTask() const
{
    return m_pinRequestRunning || (m_pinRoad && m_pinRoad->hasPinRequestTask());
}

bool AppCoordinator::pinsRestoringVisibility() const
{
    const std::vector<CoordinatorPins::PinState> pins = pinStates();
    return std::any_of(pins.begin(), pins.end(), [](const auto& pin) { return pin.restoringVisibility; });
}

bool AppCoordinator::addPin(std::shared_ptr<EditorDocument> document, const Point& near)
{
    return m_pins && m_pins->add(std::move(document), near);
}

void AppCoordinator::togglePinVisibility()
{
    if (m_pins)
        m_pins->toggleVisibility();
}

void AppCoordinator::presentOpenPanel(std::function<void(std::optional<QList<QUrl>>)> finished)
{
    ImageOpenPanel::open(m_services.floatingWindows, nullptr, std::move(finished));
}

} // namespace vorlith

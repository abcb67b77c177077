#pragma once

#include "app/base/ImageResourceStore.h"
#include "app/editor/DocumentRegistry.h"
#include "app/editor/EditorOutputSuccess.h"
#include "app/output/OutputCoordinator.h"
#include "app/settings/SettingsStore.h"
#include "app/settings/ShortcutService.h"
#include "app/shell/CoordinatorEnvironment.h"
#include "app/shell/CoordinatorPins.h"
#include "app/shell/CoordinatorServices.h"
#include "app/shell/PinRoadHost.h"
#include "app/shell/RecoveryStore.h"
#include "app/shell/TerminationReviewView.h"
#include "app/shell/TerminationSnapshot.h"
#include "core/TaskHandle.h"

#include <QObject>
#include <QPointer>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMenu;

namespace vorlith {

class AboutWindowController;
class CaptureOverlaySet;
class CaptureOverlayWindow;
class CaptureService;
class OverlayView;
class UtilityWindowCaptureLease;
class WarmStart;
class EditorHostView;
class FeedbackCoordinator;
class ImageResourceStore;
class OutputToast;
class PinRequestRoad;
class SettingsWindowController;
class UpdateService;

// The program's one long-lived controller: it owns every service for the life of the
// process, starts the program (tray icon, menus, hot keys, first-run steps), keeps the menus
// and the hot keys in step with what is going on, tells the memory budget about every live
// image and answers the quit. Main thread only.
//
// Files by concern: AppCoordinator.cpp (assembly, lazy collaborators, the shared steps, the
// error alert), AppCoordinatorLaunch.cpp (launch, menus, hot-key availability, the small
// actions), AppCoordinatorResources.cpp (documents and the budget), AppCoordinatorQuit.cpp
// (quit requests and shut-down), AppCoordinatorCapture.cpp (the capture road: start, the
// capture task, the editors, ending), AppCoordinatorRecovery.cpp (reopening the kept capture).
class AppCoordinator : public QObject, public PinRoadHost {
    Q_OBJECT
public:
    // What a quit request is answered: quit now, stay, or wait for an answer that comes later.
    enum class TerminateReply { now, cancel, later };

    explicit AppCoordinator(CoordinatorServices services, QObject* parent = nullptr);
    ~AppCoordinator() override;

    // --- Platform messages: menu items, the tray icon, application state.
    void showStatusMenu();
    // The menu opened at the pointer, not at the tray icon (a second start of the program).
    void showStatusMenuAtPointer();
    void pasteAsPin();
    void openAsPin();
    void togglePins();
    void showAbout();
    void checkUpdates();
    void applicationDidFinishLaunching();
    void startFromMenu();
    void menuWillOpen();
    void menuDidClose();
    void openSettings();
    void recoverCapture();
    void quitApplication();
    TerminateReply applicationShouldTerminate();
    void applicationWillTerminate();
    void applicationDidBecomeActive();
    void applicationDidResignActive();

    // --- Assembly and shared steps.
    void configurePins();
    void refreshAfterChange() override;
    void postNotice(const QString& message) override;
    // The coordinator's only modal error.
    void showError(const QString& message, const QString& detail, bool offerSettings);

    // --- Launch, menus and hot keys.
    void installEditingMenu();
    void refreshMenu();
    void updateShortcutAvailability() override;
    bool protectsGlobalPinShortcut() const override;
    bool canPresentUpdate() const;
    void requestAutomaticUpdatePermissionIfNeeded();
    // --- The capture road (AppCoordinatorCapture.cpp, AppCoordinatorRecovery.cpp).
    // Starts a capture: the capture hot key (its X key code) or the menu (none).
    void startCapture(std::optional<quint16> activationKey);
    // One editor per frozen display on the overlays; `restoring` reopens a kept capture.
    void showOverlays(std::vector<FrozenDisplay> frames, const std::optional<RecoveredCapture>& restoring);
    // Ends the open capture from any of its exits; `preserve` keeps a recoverable capture.
    void finishCapture(bool preserve);
    // Gives back the memory reservation and the leases a capture took.
    void releaseCapturePreparation();
    // The screens changed: a capture in progress ends, keeping what can be reopened.
    void captureDisplaysChanged();
    // Prepares the next capture while idle (after launch, a display change, a kept capture).
    void warmUp();
    static QString displaysChangedMessage();     // "显示器配置已改变"
    static QString displaysChangedDetail();      // "当前截图已退出，请重新开始截图。"
    static QString captureFailedMessage();       // "无法开始截图"
    static QString captureIncompleteDetail();    // "屏幕捕获暂时未完成，请稍后重试。"
    static QString recoveryMismatchMessage();    // "原截图的显示器已改变"
    static QString recoveryMismatchDetail();
    static QString outputKeptNoneMessage();      // the output stood, nothing is kept
    static QString outputKeptEarlierMessage();   // the output stood, the earlier capture stays

    // --- Documents and the budget.
    void registerDocument(std::shared_ptr<EditorDocument> document) override;
    void pruneDocuments();
    void refreshResources() override;
    // Called by the budget when a reservation does not fit: hidden, idle pins give up their
    // cached previews.
    void reclaimCaches();
    // Document bytes of a committed document: what it retains, and its content once more while
    // it has output pending.
    [[nodiscard]] static qint64 documentBytes(const CaptureDocument& document);

    // --- Quit.
    // A quit request (the menu, a signal, the session): answered once no nested event loop
    // runs; "now" ends the program with exit code 0.
    void requestTermination();
    // The quit and update-install gate (AppCoordinatorTermination.cpp).
    [[nodiscard]] TerminationSnapshot terminationSnapshot() const;
    bool authorizeTermination(TerminationIntent intent);
    void freezeForTermination();
    void releaseTerminationFreeze();
    [[nodiscard]] QList<TerminationReviewView::Entry> terminationReviewEntries(const QSet<QUuid>& ids) const;
    void locateDocument(const QUuid& id);
    const std::optional<TerminationApproval>& approvedTermination() const { return m_approvedTermination; }

    // --- Lazy collaborators: made on first use and kept.
    FeedbackCoordinator& feedbackCoordinator();
    OutputToast& generalToast() override;
    UpdateService& updater();
    AboutWindowController& aboutWindow();
    SettingsWindowController& settingsWindow();

    // --- State, for the platform glue and the tests.
    CoordinatorEnvironment environment;
    SettingsStore& settings() { return *m_settings; }
    ShortcutService& shortcut() { return *m_shortcut; }
    DocumentRegistry& documents() { return m_documents; }
    OutputCoordinator& outputs() { return *m_outputs; }
    const std::shared_ptr<ImageResourceStore>& resources() const { return m_resources; }
    RecoveryStore& recoveryStore() { return *m_recoveryStore; }
    QMenu* statusMenu() const { return m_statusMenu; }
    QMenu* editingMenu() const { return m_editingMenu; }
    QMenu* applicationMenu() const { return m_applicationMenu; }
    QAction* captureMenuItem() const { return m_captureMenuItem; }
    QAction* recoveryMenuItem() const { return m_recoveryMenuItem; }
    QAction* settingsMenuItem() const { return m_settingsMenuItem; }
    const std::vector<QAction*>& pinMenuItems() const { return m_pinMenuItems; }
    bool presentingAlert() const override { return m_presentingAlert; }
    bool terminationFrozen() const override { return m_terminationFrozen; }
    void setTerminationFrozen(bool frozen) { m_terminationFrozen = frozen; }
    quint64 workEpoch() const { return m_workEpoch; }
    const std::optional<FrontApplication>& previousApplication() const { return m_previousApplication; }
    bool hasAboutWindow() const { return m_aboutWindow != nullptr; }
    // The overlays of an open capture, in the frames' order; empty otherwise.
    std::vector<CaptureOverlayWindow*> overlays() const;
    CaptureOverlaySet& overlaySet();
    std::vector<FrozenDisplay>& frames() { return m_frames; }
    CaptureService& captureService() { return *m_captureService; }
    // Absent until launch, and when the services switch it off.
    WarmStart* warmStart() const { return m_warmStart.get(); }
    const std::optional<quint32>& selectedDisplay() const { return m_selectedDisplay; }
    const std::optional<quint16>& captureActivationKey() const { return m_captureActivationKey; }
    bool captureRestoresPinFocus() const { return m_captureRestoresPinFocus; }
    const std::optional<FrontApplication>& frontApplication() const { return m_frontApplication; }
    const QUuid& generation() const { return m_generation; }
    bool holdsCaptureReservation() const { return m_captureReservation.has_value(); }
    bool holdsCaptureLeases() const { return m_captureLease || m_utilityCaptureLease; }
    // Busy states of the roads, set by them (the tests set them too).
    bool captureRunning() const { return m_captureTask.isRunning() || m_captureRunning; }
    void setCaptureRunning(bool running) { m_captureRunning = running; }
    void setImportRunning(bool running) { m_importRunning = running; }
    void setPinRequestRunning(bool running) { m_pinRequestRunning = running; }
    void setRegisteringImportedImage(bool registering) { m_isRegisteringImportedImage = registering; }

    // --- The pin request road's host.
    bool hasCaptureTask() const override { return captureRunning(); }
    bool hasOverlays() const override;
    void setPresentingAlert(bool presenting) override { m_presentingAlert = presenting; }
    bool settingsSheetAttached() const override;
    bool outputsBusy() const override { return m_outputs->isBusy(); }
    bool pinsRestoringVisibility() const override;
    bool settlePinsForCapture() override { return !m_pins || m_pins->settleForCapture(); }
    bool addPin(std::shared_ptr<EditorDocument> document, const Point& near) override;
    int pinCount() const override { return int(pinStates().size()); }
    int pinLimit() const override { return m_pins ? m_pins->limit() : 0; }
    void togglePinVisibility() override;
    SaveDraft makeSaveDraft() override { return m_settings->makeSaveDraft(); }
    bool canShowStatusMenu() const override { return m_statusMenu != nullptr; }
    void runStatusMenu() override;
    void presentOpenPanel(std::function<void(std::optional<QList<QUrl>>)> finished) override;
    PinRequestRoad& pinRoad() { return *m_pinRoad; }
    const std::shared_ptr<CoordinatorPins>& pins() const { return m_pins; }

    static QString hotKeyAlertMessage();    // "部分快捷键暂时无法使用"
    static QString hotKeyAlertDetail();
    static QString settingsAlertMessage();  // "设置需要检查"
    static QString unavailableSuffix();     // "（快捷键不可用）"
    static QString pinItemToolTip();

private:
    void buildStatusMenu();
    void connectSettingsWindow(SettingsWindowController& settingsWindow);
    QString itemTitle(const QString& title, const ShortcutSpec& spec, ShortcutAction action) const;
    // The states that disable the menu's items and suspend both hot keys.
    bool isBusy() const;
    bool textFieldHasKeyboard() const;
    bool applicationActive() const;
    void observeFrontApplication();
    void observeScreens();
    void screensChanged();
    void installDefaultEnvironment();
    bool canCommit(EditorDocument& document, const EditorSession& session);
    std::vector<CoordinatorPins::PinState> pinStates() const;
    std::optional<QUuid> activePinEditor() const;
    bool hasImportTask() const;
    bool hasPinRequestTask() const;
    void makePinRoad();
    EditorHostView* makePinHost(std::shared_ptr<EditorDocument> document);
    void answerTermination();
    bool anyEditorDragging() const;
    [[nodiscard]] TerminationIntent pendingTerminationIntent() const;
    // A logout asks the same gate (AppCoordinatorTermination.cpp).
    void observeSessionEnd();
    // The capture road's parts.
    bool captureStartBusy();
    void rememberFrontApplication();
    void takeCaptureLeases();
    [[nodiscard]] QList<Size> displayPixelSizes() const;
    QCoro::Task<> runCapture(QUuid generation, std::stop_token stop);
    void captureFailed(std::exception_ptr error);
    OverlayView* makeOverlayView(const FrozenDisplay& frame, const std::optional<RecoveredCapture>& restoring);
    void wireOverlayView(OverlayView& view);
    void commitSelection(quint32 displayID);
    bool pinFromCapture(OverlayView& view, EditorDocument& document);
    void outputCompleted(OverlayView& view, const EditorOutputSuccess& success);
    std::vector<OverlayView*> overlayViews() const;
    // Reserves room for a recovery and keeps it; the refusal's message when it does not fit.
    std::optional<QString> keepRecovery(const RecoveredCapture& recovery);
    bool recoveryAlreadyKept(const RecoveredCapture& candidate) const;
    void closeOverlays();
    bool displaysMatch(const RecoveredCapture& recovery) const;
    void showRecoveryMismatch();

    CoordinatorServices m_services;
    std::shared_ptr<CaptureService> m_captureService;
    std::unique_ptr<CaptureOverlaySet> m_overlaySet; // kept for the process: windows are reused
    std::unique_ptr<WarmStart> m_warmStart;
    TaskHandle m_captureTask;
    std::optional<ImageResourceStore::CaptureReservation> m_captureReservation;
    std::unique_ptr<CoordinatorPins::CaptureLease> m_captureLease;
    std::unique_ptr<UtilityWindowCaptureLease> m_utilityCaptureLease;
    std::optional<quint16> m_captureActivationKey;
    // finishCapture waits in the discard alert: a call meanwhile does nothing.
    bool m_finishingCapture = false;
    std::optional<FrontApplication> m_frontApplication;
    std::optional<FrontApplication> m_previousApplication;
    QUuid m_generation = QUuid::createUuid();
    std::optional<quint32> m_selectedDisplay;
    bool m_presentingAlert = false;
    std::unique_ptr<ShortcutService> m_shortcut;
    std::unique_ptr<SettingsStore> m_settings;
    DocumentRegistry m_documents;
    std::shared_ptr<OutputCoordinator> m_outputs;
    std::shared_ptr<ImageResourceStore> m_resources;
    std::shared_ptr<CoordinatorPins> m_pins;
    std::unique_ptr<RecoveryStore> m_recoveryStore;
    std::unique_ptr<PinRequestRoad> m_pinRoad;
    std::vector<FrozenDisplay> m_frames;
    bool m_captureRunning = false;
    bool m_importRunning = false;
    bool m_pinRequestRunning = false;
    bool m_isRegisteringImportedImage = false;
    bool m_captureRestoresPinFocus = false;
    quint64 m_workEpoch = 0;
    bool m_terminationFrozen = false;
    bool m_terminationPending = false;
    std::optional<TerminationApproval> m_approvedTermination;
    std::vector<QPointer<QAction>> m_frozenEditingActions; // disabled by the freeze, enabled at release
    bool m_screensChangePending = false;
    bool m_menuOpen = false;
    bool m_menuAtPointer = false;

    std::shared_ptr<FeedbackCoordinator> m_feedbackCoordinator;
    std::unique_ptr<OutputToast> m_generalToast;
    std::unique_ptr<UpdateService> m_updater;
    std::unique_ptr<AboutWindowController> m_aboutWindow;
    std::unique_ptr<SettingsWindowController> m_settingsWindow;

    QMenu* m_statusMenu = nullptr;       // owned: deleted with the coordinator
    QMenu* m_applicationMenu = nullptr;
    QMenu* m_editingMenu = nullptr;
    QAction* m_captureMenuItem = nullptr;
    QAction* m_recoveryMenuItem = nullptr;
    QAction* m_settingsMenuItem = nullptr;
    std::vector<QAction*> m_pinMenuItems;
    QAction* m_checkUpdatesItem = nullptr;
    QAction* m_aboutItem = nullptr;
    QAction* m_quitItem = nullptr;
};

} // namespace vorlith

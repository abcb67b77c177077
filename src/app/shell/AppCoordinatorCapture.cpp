// The capture road: from the capture hot key or the menu to one frozen editor per display, and
// back, keeping what can be reopened.
#include "app/shell/AppCoordinator.h"

#include "app/base/Diagnostics.h"
#include "app/base/ImageResourceStore.h"
#include "app/capture/CaptureFailure.h"
#include "app/capture/CaptureService.h"
#include "app/capture/UtilityWindowCaptureLease.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/CaptureOverlayWindow.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/OverlayView.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/output/feedback/OutputToast.h"
#include "app/settings/SettingsWindowController.h"
#include "app/shell/AboutWindowController.h"
#include "app/shell/PinRequestRoad.h"
#include "app/shell/WarmStart.h"
#include "app/updates/UpdateService.h"
#include "app/updates/UpdateWindowController.h"
#include "core/Async.h"
#include "platform/CapturePlatform.h"
#include "platform/HotKeyRegistering.h"

#include <QApplication>
#include <QCursor>

#include <unistd.h>

namespace vorlith {

QString AppCoordinator::displaysChangedMessage() { return QStringLiteral("显示器配置已改变"); }
QString AppCoordinator::displaysChangedDetail() { return QStringLiteral("当前截图已退出，请重新开始截图。"); }
QString AppCoordinator::captureFailedMessage() { return QStringLiteral("无法开始截图"); }
QString AppCoordinator::captureIncompleteDetail() { return QStringLiteral("屏幕捕获暂时未完成，请稍后重试。"); }
QString AppCoordinator::outputKeptNoneMessage()
{
    return QStringLiteral("图片已成功输出，但本次未能保留为最近截图，无法从菜单继续编辑。");
}
QString AppCoordinator::outputKeptEarlierMessage()
{
    return QStringLiteral("图片已成功输出，但本次未能保留为最近截图；上一张仍保留。");
}

CaptureOverlaySet& AppCoordinator::overlaySet()
{
    if (!m_overlaySet)
        m_overlaySet = std::make_unique<CaptureOverlaySet>(m_services.floatingWindows);
    return *m_overlaySet;
}

std::vector<CaptureOverlayWindow*> AppCoordinator::overlays() const
{
    if (!hasOverlays())
        return {};
    return m_overlaySet->windows();
}

std::vector<OverlayView*> AppCoordinator::overlayViews() const
{
    std::vector<OverlayView*> views;
    for (CaptureOverlayWindow* window : overlays()) {
        if (auto* view = qobject_cast<OverlayView*>(window->content()))
            views.push_back(view);
    }
    return views;
}

// --- Starting ------------------------------------------------------------------------------

bool AppCoordinator::captureStartBusy()
{
    // In the order the checks are asked; settling the pins comes last, since it acts.
    return captureRunning() || hasOverlays() || m_presentingAlert || m_terminationFrozen || hasImportTask()
        || hasPinRequestTask() || m_outputs->isBusy() || settingsSheetAttached() || (m_pins && !m_pins->settleForCapture());
}

void AppCoordinator::rememberFrontApplication()
{
    const std::optional<FrontApplication> front = environment.frontApplication();
    if (front && front->pid && *front->pid == qint32(::getpid())) {
        // Our own window is in front: the focus goes back to it, not to another program.
        bool pinKey = false;
        if (m_pins) {
            if (const QWidget* active = QApplication::activeWindow())
                pinKey = m_pins->contentWindowIDs().contains(quint32(active->internalWinId()));
        }
        m_captureRestoresPinFocus = activePinEditor().has_value() || pinKey;
        m_frontApplication = m_previousApplication;
        return;
    }
    m_captureRestoresPinFocus = false;
    m_frontApplication = front;
}

void AppCoordinator::takeCaptureLeases()
{
    // A window not made yet cannot be on screen: none is made for a capture (the first
    // capture would pay for it).
    QWidget* update = updater().hasUpdateWindow() ? updater().updateWindow().window() : nullptr;
    m_utilityCaptureLease = std::make_unique<UtilityWindowCaptureLease>(std::vector<QWidget*>{
        m_settingsWindow.get(), m_aboutWindow ? m_aboutWindow->window() : nullptr, update});
    if (m_utilityCaptureLease->keyWindow())
        m_captureRestoresPinFocus = true;
    if (m_pins)
        m_captureLease = m_pins->beginCaptureLease();
}

QList<Size> AppCoordinator::displayPixelSizes() const
{
    // The monitors the capture grabs, each at its own native size: a frame multiplied by a
    // fractional scale can fall a pixel short of the image the grab returns.
    QList<Size> sizes;
    CapturePlatform& platform = *m_services.capturePlatform;
    for (const ScreenInfo& screen : platform.screens()) {
        if (screen.displayID)
            sizes.push_back(platform.displayBounds(*screen.displayID).size);
    }
    return sizes;
}

void AppCoordinator::startCapture(std::optional<quint16> activationKey)
{
    if (!m_pinRoad->mayStartNewImage())
        return;
    if (captureStartBusy()) {
        Diagnostics::event(QStringLiteral("capture.ignored.busy"));
        return;
    }
    Diagnostics::event(QStringLiteral("capture.begin"));
    m_captureActivationKey = activationKey;
    m_shortcut->setSuspended(true, {ShortcutAction::capture, ShortcutAction::pin});
    rememberFrontApplication();
    m_generation = QUuid::createUuid();
    m_selectedDisplay.reset();
    refreshResources();

    try {
        m_captureReservation = m_resources->preflightCapture(displayPixelSizes());
    } catch (const ImageResourceStore::Failure& failure) {
        QPointer<AppCoordinator> self(this);
        showError(QStringLiteral("暂时无法添加截图"), failure.description(), false);
        if (!self)
            return;
        // Nothing of this attempt may steer the next alert's reactivation.
        m_captureActivationKey.reset();
        m_captureRestoresPinFocus = false;
        updateShortcutAvailability();
        return;
    }

    takeCaptureLeases();
    m_captureService->setOwnWindowsJustHidden(m_captureLease && m_captureLease->hidVisibleWindow());
    m_captureService->setIncludedOwnWindowIDs(m_pins ? m_pins->contentWindowIDs() : QSet<quint32>{});

    QPointer<AppCoordinator> self(this);
    const QUuid generation = m_generation;
    m_captureTask = TaskHandle::spawn([self, generation](std::stop_token stop) -> QCoro::Task<> {
        // The handle is stored before a capture that fails at once clears it.
        auto turn = nextTurn();
        co_await turn;
        if (stop.stop_requested() || !self || self->m_generation != generation)
            co_return;
        const std::shared_ptr<CaptureService> service = self->m_captureService;
        std::vector<FrozenDisplay> frames;
        std::exception_ptr error;
        try {
            auto capture = service->capture();
            frames = co_await capture;
        } catch (...) {
            error = std::current_exception();
        }
        // A result of a capture that was finished or restarted meanwhile goes without a trace.
        if (stop.stop_requested() || !self || self->m_generation != generation)
            co_return;
        if (!error && self->m_captureReservation) {
            QList<ImageResourceStore::SourceImage> sources;
            for (const FrozenDisplay& frame : frames)
                sources.push_back({frame.sourceID, frame.image.bytesPerLine(), frame.image.size().height()});
            try {
                self->m_resources->commitCapture(*self->m_captureReservation, sources);
                self->m_captureReservation.reset();
            } catch (...) {
                error = std::current_exception();
            }
        }
        if (error) {
            self->captureFailed(error);
            co_return;
        }
        self->m_captureTask = TaskHandle();
        Diagnostics::event(QStringLiteral("capture.ready"));
        self->showOverlays(std::move(frames), std::nullopt);
    });
}

void AppCoordinator::captureFailed(std::exception_ptr error)
{
    m_captureTask = TaskHandle();
    Diagnostics::event(QStringLiteral("capture.failed"));
    releaseCapturePreparation();
    QString detail = captureIncompleteDetail();
    bool offerSettings = false;
    try {
        std::rethrow_exception(error);
    } catch (const CaptureFailure& failure) {
        detail = failure.description();
        offerSettings = failure.value() == CaptureFailure::permission;
    } catch (...) {
    }
    QPointer<AppCoordinator> self(this);
    showError(captureFailedMessage(), detail, offerSettings);
    if (!self)
        return;
    m_captureActivationKey.reset();
    m_captureRestoresPinFocus = false;
    updateShortcutAvailability();
}

// --- The editors ---------------------------------------------------------------------------

OverlayView* AppCoordinator::makeOverlayView(const FrozenDisplay& frame, const std::optional<RecoveredCapture>& restoring)
{
    const std::optional<qint32> frontPID = m_frontApplication ? m_frontApplication->pid : std::nullopt;
    std::shared_ptr<OutputService> output = environment.makeOutput();
    feedbackCoordinator();
    EditorHostEnvironment editorEnvironment = EditorHostEnvironment::standard();
    editorEnvironment.windows = m_services.floatingWindows;
    const std::optional<RecoveredCapture>& mine =
        restoring && restoring->displayID == frame.id ? restoring : std::optional<RecoveredCapture>{};
    return new OverlayView(frame, frontPID, m_settings->makeSaveDraft(), std::move(output), m_outputs, mine,
                           m_feedbackCoordinator, std::move(editorEnvironment));
}

void AppCoordinator::showOverlays(std::vector<FrozenDisplay> frames, const std::optional<RecoveredCapture>& restoring)
{
    m_shortcut->setSuspended(true, {ShortcutAction::capture, ShortcutAction::pin});
    m_frames = std::move(frames);
    if (restoring)
        m_selectedDisplay = restoring->displayID;

    std::vector<OverlayDisplay> displays;
    for (const FrozenDisplay& frame : m_frames)
        displays.push_back(OverlayDisplay::of(frame));
    const std::vector<CaptureOverlayWindow*>& windows = overlaySet().prepare(displays);
    const std::optional<quint32> chordKey =
        m_captureActivationKey ? std::optional<quint32>(m_settings->current().shortcut.keyCode) : std::nullopt;
    const bool keyStillDown = chordKey && m_services.hotKeys && m_services.hotKeys->isKeyDown(*chordKey);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        OverlayView* view = makeOverlayView(m_frames[i], restoring);
        // The hot key that started the capture does nothing in the editor until it is up.
        if (keyStillDown)
            view->suppressKeyUntilRelease(*m_captureActivationKey);
        registerDocument(view->sharedRecord());
        wireOverlayView(*view);
        windows[i]->setAcceptsCaptureInput(!m_selectedDisplay || *m_selectedDisplay == m_frames[i].id);
        windows[i]->setContent(view);
    }
    overlaySet().present(restoring ? std::optional<quint32>(restoring->displayID) : std::nullopt);
    refreshAfterChange();
    Diagnostics::event(QStringLiteral("overlay.shown"));
}

void AppCoordinator::wireOverlayView(OverlayView& view)
{
    QPointer<AppCoordinator> self(this);
    QPointer<OverlayView> editor(&view);
    const quint32 displayID = view.capture().id;
    view.onContentChanged = [self] {
        if (self)
            self->refreshAfterChange();
    };
    view.onExit = [self] {
        if (self)
            self->finishCapture(true);
    };
    view.canInteract = [self, displayID] {
        if (!self || self->m_terminationFrozen)
            return false;
        return !self->m_selectedDisplay || *self->m_selectedDisplay == displayID;
    };
    view.onCommit = [self, displayID] {
        if (self)
            self->commitSelection(displayID);
    };
    view.onPin = [self, editor](EditorDocument& document) {
        return self && editor && self->pinFromCapture(*editor, document);
    };
    view.onOutputCompleted = [self, editor](const EditorOutputSuccess& success) {
        if (self && editor)
            self->outputCompleted(*editor, success);
    };
}

void AppCoordinator::commitSelection(quint32 displayID)
{
    m_selectedDisplay = displayID;
    for (CaptureOverlayWindow* window : overlays()) {
        window->setAcceptsCaptureInput(window->displayID() == displayID);
        if (QWidget* content = window->content())
            content->update();
    }
}

bool AppCoordinator::pinFromCapture(OverlayView& view, EditorDocument& document)
{
    if (m_terminationFrozen || !m_pins || pinCount() > m_pins->limit() - 1)
        return false;
    const std::optional<Rect> selection = document.session.selection();
    const Rect area = selection ? *selection : view.bounds();
    const QPointF centre = view.documentToView().map(QPointF(area.origin.x + area.size.width / 2,
                                                             area.origin.y + area.size.height / 2));
    const QPointF global = view.window() ? QPointF(view.mapToGlobal(centre)) : QPointF(QCursor::pos());
    std::shared_ptr<EditorDocument> shared = view.sharedRecord();
    if (!m_pins->add(shared, Point{global.x(), global.y()}))
        return false;
    m_recoveryStore->transferToPin(shared->id());
    finishCapture(false);
    return true;
}

void AppCoordinator::outputCompleted(OverlayView& view, const EditorOutputSuccess& success)
{
    if (success.isPinned)
        return;
    const std::optional<CaptureDocument>& committed = view.record().session.document();
    if (!committed || committed->id() != success.document.id())
        return;
    const std::optional<RecoveredCapture> recovery = view.recovery(m_frames, true);
    if (!recovery)
        return;
    if (keepRecovery(*recovery)) {
        // The output stands; only keeping it for later failed.
        const QString text = m_recoveryStore->current() ? outputKeptEarlierMessage() : outputKeptNoneMessage();
        OutputToast& toast = generalToast();
        const QUuid id = QUuid::createUuid();
        if (toast.coordinator->begin(id, toast.owner, success.anchor, QString(), [] {})) {
            toast.current = id;
            toast.coordinator->failure(id, text);
        }
    }
    QPointer<AppCoordinator> self(this);
    finishCapture(false);
    if (self && environment.toast)
        environment.toast(success.message);
}

// --- Keeping a recovery --------------------------------------------------------------------

std::optional<QString> AppCoordinator::keepRecovery(const RecoveredCapture& recovery)
{
    refreshResources();
    qint64 workspace = 0;
    for (const FrozenDisplay& frame : recovery.frames) {
        if (frame.id == recovery.displayID)
            workspace = CompositeRenderer::estimatedOutputWorkspaceBytes(frame.image.pixels(), frame.geometry.size,
                                                                         recovery.document.content().annotations);
    }
    try {
        const ImageResourceStore::WorkReservation reservation = m_resources->reserveWork(
            documentBytes(recovery.document), ImageResourceStore::WorkKind::editing, workspace);
        m_recoveryStore->invalidateCompaction();
        m_recoveryStore->setCurrent(recovery);
        m_recoveryStore->compactBackgroundDisplays(recovery, m_resources);
        m_resources->finishWork(reservation);
        refreshResources();
        // The kept frame holds its grab's memory: another is prepared for the next capture.
        warmUp();
        return std::nullopt;
    } catch (const ImageResourceStore::Failure& failure) {
        return failure.description();
    }
}

bool AppCoordinator::recoveryAlreadyKept(const RecoveredCapture& candidate) const
{
    const std::optional<RecoveredCapture>& kept = m_recoveryStore->current();
    if (!kept)
        return false;
    const CaptureDocument& a = kept->document;
    const CaptureDocument& b = candidate.document;
    return a.id() == b.id() && a.content() == b.content() && a.undoStack() == b.undoStack()
        && a.redoStack() == b.redoStack() && a.outputCount() == b.outputCount();
}

// --- Ending --------------------------------------------------------------------------------

void AppCoordinator::finishCapture(bool preserve)
{
    // A second exit (a display change, another Esc) while the discard alert asks does
    // nothing: the alert's answer decides.
    if (m_finishingCapture)
        return;
    QSet<QUuid> pinned;
    for (const CoordinatorPins::PinState& pin : pinStates())
        pinned.insert(pin.documentID);
    for (OverlayView* view : overlayViews()) {
        if (pinned.contains(view->record().id()))
            continue;
        view->cancelOutput();
        view->record().compositor().cancelPreview();
    }
    if (preserve) {
        std::vector<QPointer<OverlayView>> views;
        for (OverlayView* view : overlayViews())
            views.emplace_back(view);
        for (const QPointer<OverlayView>& view : views) {
            if (!view)
                continue;
            const std::optional<RecoveredCapture> candidate = view->recovery(m_frames, false);
            if (!candidate || recoveryAlreadyKept(*candidate))
                continue;
            const std::optional<QString> refused = keepRecovery(*candidate);
            if (!refused)
                continue;
            m_finishingCapture = true;
            QPointer<AppCoordinator> self(this);
            const bool discard = environment.discardAfterRecoveryFailure(*refused);
            if (!self)
                return;
            m_finishingCapture = false;
            if (!discard) {
                // Back to the editor: the capture stays as it is.
                refreshAfterChange();
                return;
            }
            // The alert ran a nested loop: the capture may have ended meanwhile.
            if (!hasOverlays() && !captureRunning())
                return;
        }
    }

    Diagnostics::event(QStringLiteral("capture.exit"));
    m_generation = QUuid::createUuid();
    m_captureTask.cancel();
    m_captureTask = TaskHandle();
    closeOverlays();
    m_frames.clear();
    refreshMenu();
    releaseCapturePreparation();
    pruneDocuments();
    m_selectedDisplay.reset();
    m_captureActivationKey.reset();
    if (!m_captureRestoresPinFocus)
        environment.restoreApplication(m_frontApplication);
    m_captureRestoresPinFocus = false;
    m_frontApplication.reset();
    updateShortcutAvailability();
    refreshAfterChange();
}

void AppCoordinator::closeOverlays()
{
    if (!hasOverlays())
        return;
    // Never deleted here: this runs inside an editor's own callbacks.
    for (QWidget* content : m_overlaySet->finish())
        content->deleteLater();
}

void AppCoordinator::releaseCapturePreparation()
{
    if (m_captureReservation) {
        m_resources->cancelCapture(*m_captureReservation);
        m_captureReservation.reset();
    }
    if (m_captureLease) {
        m_captureLease->restore();
        m_captureLease.reset();
    }
    if (m_utilityCaptureLease) {
        m_utilityCaptureLease->restore();
        m_utilityCaptureLease.reset();
    }
    m_captureService->setIncludedOwnWindowIDs({});
    m_captureService->setOwnWindowsJustHidden(false);
}

void AppCoordinator::warmUp()
{
    // Nothing to warm without the screens to grab and the windows to show them in.
    if (!m_services.warmStart || !m_services.capturePlatform || !m_services.floatingWindows)
        return;
    if (!m_warmStart) {
        QPointer<AppCoordinator> self(this);
        m_warmStart = std::make_unique<WarmStart>(overlaySet(), m_services.capturePlatform,
                                                  [self] { return self && !self->hasOverlays() && !self->captureRunning(); });
    }
    m_warmStart->start();
}

void AppCoordinator::captureDisplaysChanged()
{
    if (!captureRunning() && !hasOverlays())
        return;
    QPointer<AppCoordinator> self(this);
    finishCapture(true);
    if (!self)
        return;
    // "返回编辑" keeps the capture open: then it has not exited, and saying so would be false.
    if (!hasOverlays() && !captureRunning())
        showError(displaysChangedMessage(), displaysChangedDetail(), false);
}

} // namespace vorlith

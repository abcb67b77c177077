// The quit and update-install gate: the reviewed state, the freeze, the review alert and going
// back to an image instead of quitting.
#include "app/shell/AppCoordinator.h"

#include "app/capture/FrozenDisplay.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/CaptureOverlayWindow.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/OverlayView.h"
#include "app/output/OutputService.h"
#include "app/settings/SettingsWindowController.h"
#include "app/shell/PinRequestRoad.h"
#include "app/shell/TerminationPolicy.h"
#include "app/updates/UpdateService.h"
#include "platform/AlertPresenter.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QSessionManager>

namespace vorlith {

// Every editor: the overlays' in window order, then the pins'. Nothing here may count as a
// change (no `refreshAfterChange()`): the epoch is part of what is compared.
TerminationSnapshot AppCoordinator::terminationSnapshot() const
{
    TerminationSnapshot snapshot;
    const std::vector<OverlayView*> editors = hasOverlays() ? overlayViews() : std::vector<OverlayView*>{};
    const std::vector<CoordinatorPins::PinState> pins = pinStates();

    QSet<QUuid> shown;
    for (const OverlayView* view : editors) {
        shown.insert(view->record().id());
        if (view->hasPendingTerminationWork())
            snapshot.pendingImageIDs.insert(view->record().id());
    }
    for (const CoordinatorPins::PinState& pin : pins) {
        shown.insert(pin.documentID);
        if (pin.pendingTerminationWork)
            snapshot.pendingImageIDs.insert(pin.documentID);
    }
    if (const std::optional<RecoveredCapture>& kept = m_recoveryStore->current();
        kept && kept->document.isPendingOutput() && !shown.contains(kept->document.id()))
        snapshot.pendingImageIDs.insert(kept->document.id());

    snapshot.epoch = m_workEpoch;
    for (const CoordinatorPins::PinState& pin : pins)
        snapshot.openPinIDs.insert(pin.documentID);
    snapshot.captureActive = captureRunning() || hasOverlays() || hasImportTask() || hasPinRequestTask();

    bool outputBusy = m_outputs->isBusy();
    for (const OverlayView* view : editors)
        outputBusy = outputBusy || view->output().isBusy() || view->record().session.isOutputLocked();
    for (const CoordinatorPins::PinState& pin : pins)
        outputBusy = outputBusy || pin.outputBusy || pin.outputLocked;
    snapshot.outputBusy = outputBusy;
    snapshot.settingsDirty = m_settingsWindow && m_settingsWindow->hasUnsavedChanges();
    return snapshot;
}

bool AppCoordinator::anyEditorDragging() const
{
    if (m_pins && m_pins->hasGesture())
        return true;
    if (hasOverlays()) {
        for (const OverlayView* view : overlayViews()) {
            if (view->hasGesture() || view->isDraggingToolbar())
                return true;
        }
    }
    const std::vector<CoordinatorPins::PinState> pins = pinStates();
    return std::any_of(pins.begin(), pins.end(), [](const CoordinatorPins::PinState& pin) { return pin.dragging; });
}

bool AppCoordinator::authorizeTermination(TerminationIntent intent)
{
    if (TerminationPolicy::standingApprovalHolds(m_approvedTermination, intent, terminationSnapshot(),
                                                 m_terminationFrozen))
        return true;
    if (anyEditorDragging()) {
        postNotice(QString::fromUtf8(TerminationPolicy::dragNotice));
        return false;
    }
    freezeForTermination();
    const TerminationSnapshot reviewed = terminationSnapshot();
    if (const std::optional<QString> refused = TerminationPolicy::refusal(intent, reviewed)) {
        releaseTerminationFreeze();
        postNotice(*refused);
        return false;
    }
    if (!TerminationPolicy::needsReview(reviewed)) {
        if (terminationSnapshot() != reviewed) {
            releaseTerminationFreeze();
            return false;
        }
        m_approvedTermination = TerminationApproval{intent, reviewed};
        return true;
    }

    Alert alert = TerminationPolicy::reviewAlert(intent, reviewed);
    std::unique_ptr<TerminationReviewView> review;
    if (!reviewed.pendingImageIDs.isEmpty()) {
        review = std::make_unique<TerminationReviewView>(terminationReviewEntries(reviewed.pendingImageIDs));
        alert.accessory = review.get();
    }
    QPointer<AppCoordinator> self(this);
    m_presentingAlert = true;
    const int response = m_services.alerts ? m_services.alerts->run(alert) : Alert::firstButton;
    if (!self)
        return false;
    m_presentingAlert = false;

    if (TerminationPolicy::approvedAfterReview(response, reviewed, terminationSnapshot())) {
        m_approvedTermination = TerminationApproval{intent, reviewed};
        return true; // the freeze stays on until the program ends or the update is abandoned
    }
    releaseTerminationFreeze();
    const std::optional<QUuid> target = TerminationPolicy::locateTarget(
        review ? review->selectedID() : std::optional<QUuid>(), reviewed.pendingImageIDs);
    if (target)
        locateDocument(*target);
    return false;
}

void AppCoordinator::freezeForTermination()
{
    if (m_terminationFrozen)
        return;
    m_terminationFrozen = true;
    if (m_pins)
        m_pins->setTerminationSuspended(true);
    // The overlays keep the pointer (click-through would hand clicks to the windows hidden
    // under the frozen picture); their editors take no input while `canInteract` says no.
    if (hasOverlays()) {
        for (OverlayView* view : overlayViews())
            view->setInputSuspended(true);
    }
    m_frozenEditingActions.clear();
    if (m_editingMenu) {
        for (QAction* action : m_editingMenu->actions()) {
            if (!action->isEnabled())
                continue;
            action->setEnabled(false);
            m_frozenEditingActions.emplace_back(action);
        }
    }
    updateShortcutAvailability();
}

void AppCoordinator::releaseTerminationFreeze()
{
    m_terminationFrozen = false;
    m_approvedTermination.reset();
    if (m_pins)
        m_pins->setTerminationSuspended(false);
    if (hasOverlays()) {
        for (OverlayView* view : overlayViews())
            view->setInputSuspended(false);
    }
    for (const QPointer<QAction>& action : m_frozenEditingActions) {
        if (action)
            action->setEnabled(true);
    }
    m_frozenEditingActions.clear();
    updateShortcutAvailability();
}

QList<TerminationReviewView::Entry> AppCoordinator::terminationReviewEntries(const QSet<QUuid>& ids) const
{
    QSet<QUuid> pinned;
    for (const CoordinatorPins::PinState& pin : pinStates())
        pinned.insert(pin.documentID);
    const std::optional<RecoveredCapture>& kept = m_recoveryStore->current();

    QList<TerminationReviewView::Entry> entries;
    for (const QUuid& id : TerminationPolicy::sortedByUuidString(ids)) {
        const std::shared_ptr<EditorDocument> document = m_documents.document(id);
        if (document) {
            if (const std::optional<Rect> selection = document->session.selection()) {
                entries.append({id,
                                QString::fromUtf8(pinned.contains(id) ? TerminationReviewView::pinnedImageTitle
                                                                      : TerminationReviewView::currentCaptureTitle),
                                document->compositor().cachedImage(), *selection, document->source().geometry.size});
                continue;
            }
        }
        if (!kept || kept->document.id() != id)
            continue;
        const auto frame = std::find_if(kept->frames.begin(), kept->frames.end(),
                                        [&](const FrozenDisplay& display) { return display.id == kept->displayID; });
        if (frame == kept->frames.end())
            continue;
        entries.append({id, QString::fromUtf8(TerminationReviewView::lastCaptureTitle), frame->image.pixels(),
                        kept->document.content().selection, frame->geometry.size});
    }
    return entries;
}

void AppCoordinator::locateDocument(const QUuid& id)
{
    if (m_pins && m_pins->locate(id))
        return;
    if (hasOverlays()) {
        for (CaptureOverlayWindow* window : overlays()) {
            auto* view = qobject_cast<OverlayView*>(window->content());
            if (view && view->record().id() == id) {
                window->makeKey();
                return;
            }
        }
    }
    const std::optional<RecoveredCapture>& kept = m_recoveryStore->current();
    if (!kept || kept->document.id() != id)
        return;
    if (hasOverlays()) {
        postNotice(QString::fromUtf8(TerminationPolicy::recoveryBlockedNotice));
        return;
    }
    recoverCapture();
}

TerminationIntent AppCoordinator::pendingTerminationIntent() const
{
    // The updater is made on first use; without it no installation can be scheduled.
    return m_updater && m_updater->installationScheduled ? TerminationIntent::installUpdate : TerminationIntent::quit;
}

void AppCoordinator::observeSessionEnd()
{
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!application)
        return;
    // The session manager's logout: reviewed like any quit once the user may be asked; a
    // refusal cancels the logout. Qt closes none of our windows here; the quit that follows
    // an approval finds the standing approval and needs no second alert.
    QPointer<AppCoordinator> self(this);
    connect(application, &QGuiApplication::commitDataRequest, this, [self](QSessionManager& manager) {
        if (!self || !manager.allowsInteraction())
            return;
        const bool allowed = self && self->authorizeTermination(self->pendingTerminationIntent());
        manager.release();
        if (!allowed)
            manager.cancel();
    });
}

AppCoordinator::TerminateReply AppCoordinator::applicationShouldTerminate()
{
    const TerminationIntent intent = pendingTerminationIntent();
    QPointer<AppCoordinator> self(this);
    const bool allowed = authorizeTermination(intent);
    if (!self || !allowed)
        return TerminateReply::cancel;
    // Nothing is written at quit: the capture, the kept recovery and the pins go as they are.
    finishCapture(false);
    m_recoveryStore->setCurrent(std::nullopt);
    m_recoveryStore->invalidateCompaction();
    if (m_pins) {
        std::vector<QUuid> ids;
        for (const CoordinatorPins::PinState& pin : pinStates())
            ids.push_back(pin.documentID);
        for (const QUuid& id : ids)
            m_pins->remove(id);
    }
    // The import, pin-request and menu-preparation tasks end with the pin road.
    m_pinRoad->shutdown();
    return TerminateReply::now;
}

} // namespace vorlith

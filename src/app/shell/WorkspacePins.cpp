#include "app/shell/WorkspacePins.h"

#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/output/OutputService.h"
#include "app/pins/CapturePreparationLease.h"
#include "app/pins/PinWindowController.h"
#include "app/pins/PinWorkspace.h"

namespace vorlith {

namespace {

class WorkspaceCaptureLease final : public CoordinatorPins::CaptureLease {
public:
    explicit WorkspaceCaptureLease(PinWorkspace& workspace) : m_lease(workspace) {}
    void restore() override { m_lease.restore(); }
    bool hidVisibleWindow() const override { return m_lease.hidVisibleWindow(); }

private:
    CapturePreparationLease m_lease;
};

} // namespace

WorkspacePins::WorkspacePins(std::shared_ptr<PinWorkspace> workspace, MakeHost makeHost)
    : m_workspace(std::move(workspace)), m_makeHost(std::move(makeHost))
{
    m_workspace->makeHost = m_makeHost;
}

WorkspacePins::~WorkspacePins() = default;

void WorkspacePins::connect(Callbacks callbacks)
{
    m_workspace->onChanged = callbacks.onChanged;
    m_workspace->onDisplayFailure = callbacks.onDisplayFailure;
    auto closed = callbacks.onClosed;
    m_workspace->onClosed = [closed](std::shared_ptr<EditorDocument> document) {
        if (closed && document)
            closed(document->id());
    };
    auto success = callbacks.onOutputSuccess;
    m_workspace->onOutputSuccess = [success](const QString& message, EditorHostView*) {
        if (success)
            success(message);
    };
}

bool WorkspacePins::add(std::shared_ptr<EditorDocument> document, const Point& near)
{
    return m_workspace->add(std::move(document), near);
}

int WorkspacePins::limit() const
{
    return PinWorkspace::maximumPins;
}

bool WorkspacePins::holdsKeyboardWork(const EditorHostView& host)
{
    const ToolProperties* strip = host.properties();
    return host.inputSuspended() || host.output().isBusy() || host.record().session.isOutputLocked() || host.hasGesture()
        || host.isDraggingToolbar() || host.hasActiveTextInput() || (strip && strip->hasInvalidInput());
}

std::vector<CoordinatorPins::PinState> WorkspacePins::pins() const
{
    std::vector<PinState> states;
    for (const PinWorkspace::Entry& entry : m_workspace->windows()) {
        const PinWindowController* pin = entry.controller;
        if (!pin)
            continue;
        PinState state;
        state.documentID = entry.id;
        state.visible = pin->contentWindow() && pin->contentWindow()->isVisible();
        state.restoringVisibility = pin->isRestoringVisibility();
        state.outputLocked = pin->document().session.isOutputLocked();
        if (const EditorHostView* host = pin->host()) {
            state.outputBusy = host->output().isBusy();
            state.holdsKeyboardWork = holdsKeyboardWork(*host);
            state.pendingTerminationWork = host->hasPendingTerminationWork();
            state.dragging = host->hasGesture() || host->isDraggingToolbar();
        }
        states.push_back(state);
    }
    return states;
}

std::optional<QUuid> WorkspacePins::activeEditor() const
{
    return m_workspace->activeEditor();
}

bool WorkspacePins::hasGesture() const
{
    return m_workspace->hasGesture();
}

bool WorkspacePins::settleForCapture()
{
    return m_workspace->settleForCapture();
}

void WorkspacePins::toggleVisibility()
{
    m_workspace->toggleVisibility();
}

void WorkspacePins::constrainToAvailableScreens()
{
    for (const PinWorkspace::Entry& entry : m_workspace->windows()) {
        if (entry.controller)
            entry.controller->constrainToAvailableScreens();
    }
}

QSet<quint32> WorkspacePins::contentWindowIDs() const
{
    return m_workspace->contentWindowIDs();
}

std::unique_ptr<CoordinatorPins::CaptureLease> WorkspacePins::beginCaptureLease()
{
    return std::make_unique<WorkspaceCaptureLease>(*m_workspace);
}

void WorkspacePins::setTerminationSuspended(bool suspended)
{
    for (const PinWorkspace::Entry& entry : m_workspace->windows()) {
        if (entry.controller)
            entry.controller->setTerminationSuspended(suspended);
    }
}

void WorkspacePins::remove(const QUuid& documentID)
{
    m_workspace->remove(documentID);
}

bool WorkspacePins::locate(const QUuid& documentID)
{
    PinWindowController* pin = m_workspace->pin(documentID);
    if (!pin)
        return false;
    if (!pin->isDisposed())
        pin->show(); // show() also records the pin as requested visible
    pin->bringToFront();
    return true;
}

} // namespace vorlith

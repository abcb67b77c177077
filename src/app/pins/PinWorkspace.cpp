#include "app/pins/PinWorkspace.h"

#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/pins/PinContentView.h"
#include "app/pins/PinWindowController.h"

#include <algorithm>

namespace vorlith {

PinWorkspace::PinWorkspace(PinEnvironment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment))
{
}

PinWorkspace::~PinWorkspace()
{
    for (const Entry& entry : m_windows)
        entry.controller->dispose();
}

PinWindowController* PinWorkspace::pin(const QUuid& id) const
{
    const auto found = std::find_if(m_windows.begin(), m_windows.end(), [&](const Entry& e) { return e.id == id; });
    return found == m_windows.end() ? nullptr : found->controller;
}

void PinWorkspace::changed()
{
    if (onChanged)
        onChanged();
}

bool PinWorkspace::add(std::shared_ptr<EditorDocument> document, std::optional<Point> near)
{
    if (!document || int(m_windows.size()) >= maximumPins || pin(document->id()) || !makeHost)
        return false;
    EditorHostView* host = makeHost(document);
    if (!host)
        return false;
    const std::optional<Rect> selection = document->session.selection();
    std::unique_ptr<PinWindowController> made =
        selection ? PinWindowController::make(document, host, *selection, near, m_environment) : nullptr;
    if (!made) {
        host->deleteLater();
        return false;
    }
    PinWindowController* controller = made.release();
    controller->setParent(this);
    wire(controller);
    const QUuid id = document->id();
    m_windows.push_back({id, controller});
    setActivePin(id);
    controller->show();
    changed();
    return true;
}

void PinWorkspace::wire(PinWindowController* controller)
{
    const QPointer<PinWorkspace> self(this);
    controller->onRequestActivation = [self](const QUuid& id) { return self && self->prepareForActivation(id); };
    controller->onRequestEdit = [self](const QUuid& id) { return self && self->edit(id); };
    controller->onFinishEdit = [self](const QUuid& id) {
        if (!self)
            return;
        if (self->m_activeEditor == id)
            self->m_activeEditor.reset();
        self->changed();
    };
    controller->onClose = [self](const QUuid& id) {
        if (self)
            self->remove(id);
    };
    controller->onDisplayFailure = [self](const QString& message) {
        if (self && self->onDisplayFailure)
            self->onDisplayFailure(message);
    };
    controller->onVisibilityChanged = [self] {
        if (self)
            self->changed();
    };
    EditorHostView* host = controller->host();
    const QPointer<EditorHostView> weakHost(host);
    host->onOutputSuccess = [self, weakHost](const QString& message) {
        if (!self || !weakHost)
            return;
        if (self->onOutputSuccess)
            self->onOutputSuccess(message, weakHost);
        if (self)
            self->changed();
    };
    const QPointer<PinWindowController> weakController(controller);
    host->onContentChanged = [self, weakController] {
        if (!weakController)
            return;
        PinWindowController& pin = *weakController;
        DocumentViewport viewport = pin.viewport();
        if (const std::optional<Rect> selection = pin.document().session.selection();
            selection && *selection != viewport.documentRect())
            if (const std::optional<DocumentViewport> replaced = viewport.replacingDocumentRect(*selection))
                viewport = *replaced;
        pin.apply(viewport);
        if (self)
            self->changed();
    };
}

void PinWorkspace::remove(const QUuid& id)
{
    const auto found = std::find_if(m_windows.begin(), m_windows.end(), [&](const Entry& e) { return e.id == id; });
    if (found == m_windows.end())
        return;
    PinWindowController* controller = found->controller;
    if (controller->outputBusy())
        return;
    controller->dispose();
    m_windows.erase(found);
    if (m_activeEditor == id)
        m_activeEditor.reset();
    if (m_activePin == id)
        setActivePin(std::nullopt);
    const std::shared_ptr<EditorDocument> document = controller->sharedDocument();
    controller->deleteLater();
    const QPointer<PinWorkspace> self(this);
    if (onClosed)
        onClosed(document);
    if (self)
        changed();
}

void PinWorkspace::setActivePin(const std::optional<QUuid>& id)
{
    if (id == m_activePin)
        return;
    m_activePin = id;
    for (const Entry& entry : m_windows)
        entry.controller->isActive = id && entry.id == *id;
    for (const Entry& entry : m_windows)
        entry.controller->activateControls();
}

bool PinWorkspace::hasGesture() const
{
    return std::any_of(m_windows.begin(), m_windows.end(), [](const Entry& entry) {
        const EditorHostView* host = entry.controller->host();
        return entry.controller->content()->hasGesture()
            || (host && (host->hasGesture() || host->isDraggingToolbar()));
    });
}

bool PinWorkspace::hasOutput() const
{
    return std::any_of(m_windows.begin(), m_windows.end(),
                       [](const Entry& entry) { return entry.controller->outputBusy(); });
}

QSet<quint32> PinWorkspace::contentWindowIDs() const
{
    QSet<quint32> ids;
    for (const Entry& entry : m_windows)
        if (QWidget* window = entry.controller->contentWindow(); window->isVisible())
            ids.insert(quint32(window->winId()));
    return ids;
}

bool PinWorkspace::prepareForActivation(const QUuid& id)
{
    if (hasGesture())
        return false;
    PinWindowController* controller = pin(id);
    if (!controller || controller->isBlocked())
        return false;
    if (m_activeEditor && *m_activeEditor != id)
        if (PinWindowController* editor = pin(*m_activeEditor); editor && !editor->outputBusy()) {
            const QPointer<PinWorkspace> self(this);
            const bool prepared = editor->host() && editor->host()->prepareForExternalAction();
            if (!self || !prepared)
                return false;
        }
    setActivePin(id);
    return true;
}

bool PinWorkspace::edit(const QUuid& id)
{
    if (hasGesture())
        return false;
    PinWindowController* controller = pin(id);
    if (!controller || controller->isBlocked() || controller->outputBusy())
        return false;
    if (m_activeEditor && *m_activeEditor != id)
        if (PinWindowController* editor = pin(*m_activeEditor)) {
            const QPointer<PinWorkspace> self(this);
            const bool gaveUp = editor->finishEditingForSwitch();
            if (!self || !gaveUp)
                return false;
        }
    m_activeEditor = id;
    setActivePin(id);
    controller->beginEditing();
    changed();
    return true;
}

bool PinWorkspace::toggleVisibility()
{
    if (hasOutput() || hasGesture())
        return false;
    if (std::any_of(m_windows.begin(), m_windows.end(), [](const Entry& entry) {
            return entry.controller->captureSuspended || entry.controller->terminationSuspended;
        }))
        return false;
    if (m_activeEditor)
        if (PinWindowController* editor = pin(*m_activeEditor)) {
            const QPointer<PinWorkspace> self(this);
            const bool prepared = editor->host() && editor->host()->prepareForExternalAction();
            if (!self || !prepared)
                return false;
        }
    const bool anyVisible = std::any_of(m_windows.begin(), m_windows.end(), [](const Entry& entry) {
        return entry.controller->contentWindow()->isVisible();
    });
    // Copied: showing or hiding calls back into this object.
    const std::vector<Entry> pins = m_windows;
    for (const Entry& entry : pins)
        entry.controller->setVisible(!anyVisible);
    changed();
    return true;
}

bool PinWorkspace::settleForCapture()
{
    if (hasOutput())
        return false;
    if (std::any_of(m_windows.begin(), m_windows.end(),
                    [](const Entry& entry) { return entry.controller->isRestoringVisibility(); }))
        return false;
    if (hasGesture())
        return false;
    PinWindowController* editor = m_activeEditor ? pin(*m_activeEditor) : nullptr;
    if (!editor || !editor->host())
        return true;
    return editor->host()->prepareForExternalAction();
}

} // namespace vorlith

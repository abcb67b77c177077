// PinWindowController: edit mode, the output actions, moving the pin from its editor, and the
// freeze while the quit review is open.
#include "app/pins/PinWindowController.h"

#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/pins/PinActionButton.h"
#include "app/pins/PinContentView.h"
#include "app/pins/PinDecorationView.h"
#include "platform/FloatingWindows.h"

#include <QLineEdit>

#include <algorithm>

namespace vorlith {

const QString PinWindowController::closeDuringOutputMessage =
    QStringLiteral("请先完成或取消当前输出，再关闭贴图。");

void PinWindowController::setEditButton(bool editing)
{
    const QString name = editing ? QStringLiteral("Done") : QStringLiteral("编辑贴图");
    m_editButton->setIcon(editing ? QStringLiteral("check") : QStringLiteral("edit"));
    m_editButton->setText(name);
    m_editButton->setToolTip(name);
    m_editButton->setAccessibleName(name);
    m_editButton->update();
}

void PinWindowController::updateMouseTransparency()
{
    // In edit mode the editor takes the pointer; otherwise the content view does.
    m_host->setAttribute(Qt::WA_TransparentForMouseEvents, !isEditing);
}

// --- Entering and leaving edit mode ---

void PinWindowController::beginEditing()
{
    if (isBlocked() || outputBusy() || !m_host)
        return;
    isEditing = true;
    updateMouseTransparency();
    m_host->setEditingEnabled(true);
    setEditButton(true);
    const QPointer<PinWindowController> self(this);
    bringToFront();
    if (!self || m_isDisposed || !m_host)
        return;
    windows().activate(m_contentWindow.get());
    m_host->setFocus(Qt::OtherFocusReason);
    m_document->compositor().requestPreview(m_host->visibleMarks(), m_host->previewCompletion());
    m_host->update();
    if (!m_host->refresh() || !self)
        return;
    positionChrome();
}

void PinWindowController::endEditingPresentation()
{
    isEditing = false;
    if (m_host) {
        m_host->setEditingEnabled(false);
        updateMouseTransparency();
    }
    m_suspendedChrome = {};
    setEditButton(false);
    m_chromeWindow->hide();
    if (m_host) {
        m_host->update();
        m_host->unsetCursor();
    }
    m_content->setFocus(Qt::OtherFocusReason);
    m_content->setCursor(Qt::ArrowCursor);
    activateControls();
    if (onFinishEdit)
        onFinishEdit(m_document->id());
}

bool PinWindowController::finishEditing()
{
    if (isBlocked() || outputBusy() || !m_host)
        return false;
    const QPointer<PinWindowController> self(this);
    const bool prepared = m_host->prepareForExternalAction();
    if (!self || !prepared || m_isDisposed)
        return false;
    endEditingPresentation();
    return true;
}

bool PinWindowController::finishEditingForSwitch()
{
    if (isBlocked())
        return false;
    if (outputBusy()) {
        // The output keeps running; its pin simply stops being edited.
        endEditingPresentation();
        return true;
    }
    return finishEditing();
}

void PinWindowController::leaveEditing()
{
    finishEditing();
}

void PinWindowController::toggleEdit()
{
    if (isEditing) {
        leaveEditing();
        return;
    }
    if (isBlocked() || outputBusy())
        return;
    if (onRequestEdit)
        onRequestEdit(m_document->id());
}

// --- Moving the pin from its editor ---

bool PinWindowController::beginMovingImage()
{
    if (isBlocked() || outputBusy() || m_moveStart || !m_host)
        return false;
    m_moveStart = MoveStart{m_viewport, m_document->toolbarPlacement};
    if (!m_host->toolbarPlacementContext) {
        m_moveStart.reset();
        return false;
    }
    const EditorHostView::PlacementContext context = m_host->toolbarPlacementContext();
    m_document->toolbarPlacement.beginGeometry(ToolbarPlacementModel::GeometryGesture::move, context.selection,
                                               context.frame);
    return true;
}

void PinWindowController::pinMoved(const Size& offset)
{
    if (!m_moveStart)
        return;
    // Offsets are y down, measured from the press: the saved origin plus the offset.
    const DocumentViewport& saved = m_moveStart->viewport;
    if (const std::optional<DocumentViewport> moved = DocumentViewport::make(
            saved.documentRect(), saved.screenOrigin() + Point{offset.width, offset.height}, saved.scale()))
        apply(*moved);
}

void PinWindowController::pinMoveEnded(bool cancelled)
{
    if (!m_moveStart)
        return;
    const MoveStart saved = *m_moveStart;
    m_moveStart.reset();
    if (cancelled) {
        m_document->toolbarPlacement = saved.placement;
        apply(saved.viewport);
        return;
    }
    if (m_host && m_host->toolbarPlacementContext) {
        const EditorHostView::PlacementContext context = m_host->toolbarPlacementContext();
        m_document->toolbarPlacement.commit(context.selection, context.frame);
        positionChrome();
    }
}

// --- Output actions ---

void PinWindowController::copyPin()
{
    performOutput(QStringLiteral("copy"));
}

void PinWindowController::savePin()
{
    performOutput(QStringLiteral("save"));
}

void PinWindowController::performOutput(const QString& command)
{
    if (isBlocked() || outputBusy() || !m_host)
        return;
    if (onRequestActivation && !onRequestActivation(m_document->id()))
        return;
    if (!m_isDisposed && m_host)
        m_host->performTool(command);
}

void PinWindowController::hidePin()
{
    if (isBlocked() || !m_host)
        return;
    const QPointer<PinWindowController> self(this);
    if (onRequestActivation && !onRequestActivation(m_document->id()))
        return;
    if (!self || m_isDisposed || outputBusy())
        return;
    const bool prepared = m_host->prepareForExternalAction();
    if (self && prepared && !m_isDisposed)
        setVisible(false);
}

void PinWindowController::closePin()
{
    if (isBlocked())
        return;
    if (outputBusy()) {
        if (m_host)
            m_host->showFeedback(closeDuringOutputMessage);
        return;
    }
    if (onClose)
        onClose(m_document->id());
}

// --- The quit review's freeze ---

void PinWindowController::setTerminationSuspended(bool suspended)
{
    if (m_isDisposed || terminationSuspended == suspended)
        return;
    terminationSuspended = suspended;
    if (suspended)
        freezeChrome();
    const QPointer<PinWindowController> self(this);
    if (m_host) {
        m_host->setInputSuspended(suspended);
        if (!self || !m_host)
            return;
        m_host->setEditingEnabled(isEditing && !suspended && !captureSuspended);
        if (!self || !m_host)
            return;
    }
    // A frozen pin stays opaque to the pointer and ignores what reaches it: letting clicks
    // through would hand them to windows its image hides. Only a capture lets them through.
    for (QWidget* window : {m_contentWindow.get(), m_chromeWindow.get(), m_controlsWindow.get()})
        windows().setClickThrough(window, captureSuspended);
    if (!suspended)
        thawChrome();
    if (m_host)
        m_host->update();
    if (suspended)
        activateControls(); // the resize panels go
}

void PinWindowController::freezeChrome()
{
    SuspendedChrome saved;
    saved.responder = m_chromeWindow->focusWidget();
    if (ToolProperties* strip = m_host ? m_host->properties() : nullptr)
        for (StripField* field : strip->findChildren<StripField*>())
            if (field->isVisible() && field->window()->focusWidget() == field) {
                saved.field = field;
                break;
            }
    // Qt's field is its own editor.
    QLineEdit* editor = saved.field ? saved.field.data() : qobject_cast<QLineEdit*>(saved.responder.data());
    saved.editor = editor;
    if (editor) {
        saved.editable = !editor->isReadOnly();
        saved.text = editor->text();
        saved.selection = editor->hasSelectedText()
            ? std::pair(editor->selectionStart(), int(editor->selectedText().size()))
            : std::pair(editor->cursorPosition(), 0);
        // Read-only, its losing the keyboard to the review applies nothing.
        editor->setReadOnly(true);
    }
    m_suspendedChrome = saved;
}

void PinWindowController::thawChrome()
{
    SuspendedChrome saved = std::exchange(m_suspendedChrome, {});
    if (saved.editor)
        saved.editor->setReadOnly(!saved.editable);
    if (saved.field && saved.text) {
        QLineEdit* field = saved.field;
        field->selectAll();
        field->setText(*saved.text);
        const int length = int(field->text().size());
        const int start = std::min(saved.selection.first, length);
        const int count = std::min(saved.selection.second, length - start);
        if (count > 0)
            field->setSelection(start, count);
        else
            field->setCursorPosition(start);
        field->setFocus(Qt::OtherFocusReason);
    } else if (saved.responder) {
        saved.responder->setFocus(Qt::OtherFocusReason);
    }
}

} // namespace vorlith

// EditorHostView: keys, scrolling and leaving the editor.
//
// Keys are read by the symbol the active layout gives the key, not by text: Ctrl turns "z"
// into a control character and caps lock changes the text, while the editor's shortcuts mean
// the letters printed on the keys. A layout without Latin letters reads the US position.
// Modifiers map onto the key policy's as Ctrl → command, Super → control, Alt → option,
// Shift → shift.
#include "app/editor/EditorHostView.h"

#include "app/editor/CaptureTextView.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/WheelZoom.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/output/OutputService.h"
#include "platform/x11/X11KeyCodes.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QWheelEvent>

#include <cmath>

namespace vorlith {

namespace {

using Modifier = EditorInputPolicy::Modifier;
using Modifiers = EditorInputPolicy::Modifiers;

Modifiers policyModifiers(Qt::KeyboardModifiers flags)
{
    Modifiers modifiers;
    if (flags & Qt::ControlModifier)
        modifiers = modifiers | Modifier::command;
    if (flags & Qt::MetaModifier)
        modifiers = modifiers | Modifier::control;
    if (flags & Qt::AltModifier)
        modifiers = modifiers | Modifier::option;
    if (flags & Qt::ShiftModifier)
        modifiers = modifiers | Modifier::shift;
    return modifiers;
}

quint16 keyID(const QKeyEvent* event)
{
    return quint16(std::min<quint32>(event->nativeScanCode(), 0xFFFF));
}

bool isEscape(const QKeyEvent* event)
{
    return event->nativeScanCode() == X11KeyCodes::escape
        || (event->nativeScanCode() == 0 && event->key() == Qt::Key_Escape);
}

// The letter of the key in the active layout, lower case, whatever the modifiers and caps lock.
QString keyLetter(const QKeyEvent* event)
{
    return X11KeyCodes::editorCharacters(keyID(event), event->nativeVirtualKey());
}

// A text view with input-method text not yet committed.
bool hasMarkedText(const QWidget* widget)
{
    const auto* textView = qobject_cast<const CaptureTextView*>(widget);
    return textView && textView->hasMarkedText();
}

bool isCommandShortcut(const QString& letter)
{
    return letter == QLatin1String("z") || letter == QLatin1String("c") || letter == QLatin1String("s");
}

} // namespace

Shape EditorHostView::inputShape() const
{
    return m_record->shapeKind;
}

void EditorHostView::keyPressEvent(QKeyEvent* event)
{
    keyDown(event);
}

void EditorHostView::keyReleaseEvent(QKeyEvent* event)
{
    // An auto-repeated key sends a release before each repeat: the key is still held.
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    keyUp(event);
}

void EditorHostView::wheelEvent(QWheelEvent* event)
{
    scrollWheel(event);
}

void EditorHostView::cancelToolbarDrag()
{
    m_chrome.toolbarDragStart.reset();
    m_record->toolbarPlacement.cancel();
    if (!positionControls())
        return;
    startToolbarReturnMonitor();
    returnToCanvas();
}

void EditorHostView::keyDown(QKeyEvent* event)
{
    event->accept();
    if (m_suspension.inputSuspended || !mayInteract())
        return;
    if (isDraggingToolbar()) {
        if (isEscape(event))
            cancelToolbarDrag();
        return;
    }
    if (isEscape(event)) {
        exitCapture();
        return;
    }
    if (outputBusy() || m_record->session.isOutputLocked())
        return;

    const Modifiers modifiers = policyModifiers(event->modifiers());
    const QString letter = keyLetter(event);
    if (modifiers.contains(Modifier::command)) {
        if (letter == QLatin1String("z")) {
            performTool(modifiers.contains(Modifier::shift) ? QStringLiteral("redo") : QStringLiteral("undo"));
            return;
        }
        if (letter == QLatin1String("c")) {
            beginOutput(false);
            return;
        }
        if (letter == QLatin1String("s")) {
            beginOutput(true);
            return;
        }
    }

    const std::optional<EditorInputPolicy::Action> action =
        m_inputPolicy.keyDown(keyID(event), letter, modifiers, event->isAutoRepeat(), inputContext());
    if (!action) {
        event->ignore();
        QWidget::keyPressEvent(event);
        return;
    }
    switch (action->kind()) {
    case EditorInputPolicy::Action::Kind::selectTool:
        selectToolFromKeyboard(*action->tool());
        break;
    case EditorInputPolicy::Action::Kind::copyColor:
        copySampledColor();
        break;
    case EditorInputPolicy::Action::Kind::copyImage:
        beginOutput(false);
        break;
    case EditorInputPolicy::Action::Kind::deleteSelection:
        deleteSelectedMark();
        break;
    }
}

EditorInputPolicy::Context EditorHostView::inputContext() const
{
    using Phase = EditorInputPolicy::Phase;
    using Focus = EditorInputPolicy::Focus;
    using Tool = EditorInputPolicy::Tool;
    const EditorDocument& record = *m_record;
    EditorInputPolicy::Context context(hasDocument() ? Phase::editing
                                           : hasGesture() ? Phase::selecting
                                                          : Phase::preselection);
    const QWidget* responder = window()->focusWidget();
    // A strip field with the keyboard, in this window or (in a pin) in the toolbar's.
    context.focus = m_text.textEditor ? Focus::text : hasActiveTextInput() ? Focus::property : Focus::canvas;
    context.currentTool = record.tool == CaptureTool::shape ? Tool::shape(inputShape()) : Tool::of(record.tool);
    context.recentShape = inputShape();
    context.hasMarkedText = hasMarkedText(responder);
    context.hasModal = m_environment.modalWindowShown();
    context.isOutputLocked = outputBusy() || record.session.isOutputLocked();
    context.isGesturing = hasGesture();
    context.hasInvalidInput = m_chrome.properties->hasInvalidInput();
    context.hasValidSample = m_loupe.sampledHex.has_value() && m_loupe.pointerPoint.has_value();
    return context;
}

void EditorHostView::deleteSelectedMark()
{
    EditorDocument& record = *m_record;
    if (!record.selectedMarkID)
        return;
    const QUuid id = *record.selectedMarkID;
    std::vector<Annotation> marks = record.session.annotations();
    std::erase_if(marks, [&](const Annotation& a) { return a.id == id; });
    record.session.setAnnotations(std::move(marks));
    record.selectedMarkID.reset();
    commitContent();
}

void EditorHostView::selectToolFromKeyboard(EditorInputPolicy::Tool tool)
{
    if (!m_chrome.properties->flushPendingInputs())
        return;
    EditorDocument& record = *m_record;
    record.tool = tool.kind();
    if (const std::optional<Shape> s = tool.drawnShape())
        record.shapeKind = *s;
    record.selectedMarkID.reset();
    m_pointer.hoveredID.reset();
    m_pointer.hoveredEndpoint.reset();
    m_chrome.propertiesOpen = tool.kind() != CaptureTool::select;
    m_chrome.returnOutsideSince.reset();
    refresh();
}

void EditorHostView::keyUp(QKeyEvent* event)
{
    m_inputPolicy.keyUp(keyID(event));
    QWidget::keyReleaseEvent(event);
}

bool EditorHostView::performKeyEquivalent(QKeyEvent* event)
{
    if (m_suspension.inputSuspended) {
        event->accept();
        return true;
    }
    // Only while the canvas has the keyboard: in a text box or a strip field Ctrl+Z and
    // Ctrl+C stay the field's own.
    if (!m_text.textEditor && window()->focusWidget() == this && (event->modifiers() & Qt::ControlModifier)
        && isCommandShortcut(keyLetter(event))) {
        // Accepting the override delivers the key to keyPressEvent instead of a shortcut.
        event->accept();
        return true;
    }
    return false;
}

void EditorHostView::scrollWheel(QWheelEvent* event)
{
    const bool zooms = !m_suspension.inputSuspended && m_isPinned && m_isEditingEnabled && !outputBusy()
        && !m_record->session.isOutputLocked() && !hasGesture() && !isDraggingToolbar() && !m_text.textEditor
        && !m_chrome.properties->hasInvalidInput() && !hasActiveTextInput();
    if (!zooms) {
        QWidget::wheelEvent(event);
        return;
    }
    event->accept();
    const std::optional<double> factor = wheelZoom::factor(event->pixelDelta(), event->angleDelta());
    if (onScaleRequest && factor)
        notify(onScaleRequest, *factor, toPoint(m_environment.globalPointer()));
}

void EditorHostView::exitCapture()
{
    if (m_suspension.inputSuspended)
        return;
    if (outputBusy() || m_record->session.isOutputLocked()) {
        cancelOutput();
        return;
    }
    if (m_text.textEditor) {
        cancelText();
        return;
    }
    if (isDraggingToolbar()) {
        cancelToolbarDrag();
        return;
    }
    ToolProperties* strip = m_chrome.properties;
    if (strip->hasInvalidInput()) {
        strip->cancelPendingInputs();
        refresh();
        return;
    }
    if (!strip->flushPendingInputs())
        return;
    if (!m_pointer.gesture) {
        stopTimers();
        orderOutDiscoveryPanel();
        notify(onExit);
        return;
    }
    if (std::holds_alternative<gesture::PinMove>(*m_pointer.gesture)) {
        cancelPinMove();
        return;
    }
    // A press still held: put back what it changed.
    const EditorGesture held = *m_pointer.gesture;
    m_pointer.gesture.reset();
    const std::optional<Rect> saved = m_record->toolbarPlacement.cancel();
    if (saved && !m_isPinned)
        m_record->session.setSelection(*saved);
    if (hasDocument()) {
        restoreContent();
        return;
    }
    if (const auto* select = std::get_if<gesture::Select>(&held))
        m_record->session.setSelection(select->selection);
    m_record->session.cancelEdit();
    refresh();
}

void EditorHostView::suppressKeyUntilRelease(quint16 keyID)
{
    m_inputPolicy.suppressUntilRelease({keyID});
}

} // namespace vorlith

#include "app/settings/ShortcutRecorder.h"

#include <QKeyEvent>

namespace vorlith {

ShortcutRecorder::ShortcutRecorder(QWidget* parent) : PanelSecondaryButton(QString(), parent)
{
    // Clicks give it the keyboard itself; Tab reaches it like any control.
    setFocusPolicy(Qt::TabFocus);
    showIdle();
}

void ShortcutRecorder::setSpec(const ShortcutSpec& spec)
{
    m_spec = spec;
    showIdle();
}

void ShortcutRecorder::accept(const ShortcutSpec& spec)
{
    if (!m_recording)
        return;
    m_spec = spec;
    m_recording = false;
    showIdle();
    if (onChange)
        onChange(m_spec);
}

void ShortcutRecorder::endRecording()
{
    m_recording = false;
    showIdle();
}

void ShortcutRecorder::showIdle()
{
    setText(m_spec.label);
    setToolTip(QString::fromUtf8(idleToolTip));
}

void ShortcutRecorder::startRecording()
{
    m_recording = true;
    setFocus(Qt::MouseFocusReason);
    setText(QString::fromUtf8(recordingTitle));
}

quint32 ShortcutRecorder::modifierBits(Qt::KeyboardModifiers modifiers)
{
    quint32 bits = 0;
    if (modifiers & Qt::ControlModifier)
        bits |= ShortcutSpec::command;
    if (modifiers & Qt::MetaModifier)
        bits |= ShortcutSpec::control;
    if (modifiers & Qt::AltModifier)
        bits |= ShortcutSpec::option;
    if (modifiers & Qt::ShiftModifier)
        bits |= ShortcutSpec::shift;
    return bits;
}

RecorderKeyPress ShortcutRecorder::readPress(const QKeyEvent& event) const
{
    const quint32 native = event.nativeScanCode();
    RecorderKeyPress press;
    press.isAutoRepeat = event.isAutoRepeat();
    press.modifiers = modifierBits(event.modifiers());
    if (native > 0 && native <= 0xffff) {
        const auto keyID = quint16(native);
        if (keyLookup.keyCode)
            press.keyCode = keyLookup.keyCode(keyID);
        if (keyLookup.characters)
            press.characters = keyLookup.characters(keyID);
    }
    return press;
}

void ShortcutRecorder::recordKey(const QKeyEvent& event)
{
    const RecorderKeyOutcome outcome = decideRecorderKey(readPress(event));
    switch (outcome.kind) {
    case RecorderKeyOutcome::Kind::ignore:
        return;
    case RecorderKeyOutcome::Kind::cancel:
        endRecording();
        return;
    case RecorderKeyOutcome::Kind::leave:
        endRecording();
        focusNextChild();
        return;
    case RecorderKeyOutcome::Kind::accept:
        accept(outcome.spec);
        return;
    }
}

bool ShortcutRecorder::event(QEvent* event)
{
    if (m_recording && event->type() == QEvent::ShortcutOverride) {
        // Claimed: the key comes as a press, and no window shortcut (Return, Escape) fires.
        event->accept();
        return true;
    }
    if (m_recording && event->type() == QEvent::KeyPress) {
        // Qt moves the focus on Tab and Backtab before keyPressEvent would see them.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            recordKey(*key);
            return true;
        }
    }
    return PanelSecondaryButton::event(event);
}

void ShortcutRecorder::keyPressEvent(QKeyEvent* event)
{
    if (!m_recording) {
        PanelSecondaryButton::keyPressEvent(event);
        return;
    }
    event->accept();
    recordKey(*event);
}

void ShortcutRecorder::mousePressEvent(QMouseEvent* event)
{
    // No press highlight and no click action: a click only starts recording.
    if (event->button() == Qt::LeftButton)
        startRecording();
    event->accept();
}

void ShortcutRecorder::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void ShortcutRecorder::focusOutEvent(QFocusEvent* event)
{
    if (m_recording)
        endRecording();
    PanelSecondaryButton::focusOutEvent(event);
}

} // namespace vorlith

#pragma once

#include <QApplication>
#include <QKeyEvent>

namespace vorlith::test {

// Sends a key press as the platform does, with the fake registrar's key id (key code + 1000)
// as its native scan code: ShortcutOverride first, then the press. Answers whether the
// override was claimed (a claimed override keeps window shortcuts from firing).
inline bool sendRecorderKey(QWidget* target, int qtKey, Qt::KeyboardModifiers modifiers, quint32 keyCode,
                            bool repeat = false)
{
    const quint32 native = keyCode + 1000;
    QKeyEvent override(QEvent::ShortcutOverride, qtKey, modifiers, native, 0, 0, QString(), repeat);
    override.ignore();
    QApplication::sendEvent(target, &override);
    QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, native, 0, 0, QString(), repeat);
    QApplication::sendEvent(target, &event);
    return override.isAccepted();
}

} // namespace vorlith::test

#include "app/editor/chrome/StripField.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

namespace vorlith {

StripField::StripField(int tag, QWidget* parent) : QLineEdit(parent), tag(tag)
{
    setFrame(false);
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setFocusPolicy(Qt::ClickFocus);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
}

bool StripField::mayEnd()
{
    return !canEndEditing || canEndEditing();
}

void StripField::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        if (onCancel)
            onCancel();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        if (onReturn)
            onReturn();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

bool StripField::focusNextPrevChild(bool next)
{
    if (!mayEnd())
        return true; // the keyboard stays here
    return QLineEdit::focusNextPrevChild(next);
}

void StripField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (onBeganEditing)
        onBeganEditing();
}

void StripField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A frozen field (read-only while a review holds the application) keeps what was typed
    // for later: losing the keyboard to the review neither applies it nor resets it.
    if (isReadOnly())
        return;
    const Qt::FocusReason reason = event->reason();
    // Losing the window (another window activated, a menu opened) is not the user moving on.
    const bool moved = reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
    if (moved && isVisible() && !mayEnd()) {
        // Taken back on the next turn: focus changes inside a focus-out are not reliable.
        QTimer::singleShot(0, this, [self = QPointer(this)] {
            if (self && self->isVisible())
                self->setFocus(Qt::OtherFocusReason);
        });
        return;
    }
    if (onEndedEditing)
        onEndedEditing();
}

} // namespace vorlith

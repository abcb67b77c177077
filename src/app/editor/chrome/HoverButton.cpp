#include "app/editor/chrome/HoverButton.h"

#include <QEvent>

namespace vorlith {

HoverButton::HoverButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

bool HoverButton::event(QEvent* event)
{
    if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave) {
        m_hovered = event->type() == QEvent::HoverEnter;
        update();
    }
    return QAbstractButton::event(event);
}

} // namespace vorlith

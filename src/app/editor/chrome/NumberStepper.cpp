#include "app/editor/chrome/NumberStepper.h"

#include "app/base/InterfaceColors.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <algorithm>

namespace vorlith {

NumberStepper::NumberStepper(QWidget* parent) : QWidget(parent)
{
    // Reached by Tab, never by a click: a click must not take the keyboard from a field.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
    connect(&m_repeat, &QTimer::timeout, this, [this] {
        m_repeat.setInterval(repeatIntervalMs);
        step();
    });
}

void NumberStepper::setValue(double value)
{
    m_value = std::clamp(value, minimum, maximum);
    update();
}

bool NumberStepper::allowed()
{
    if (!isEnabled())
        return false;
    if (!beforeInteraction)
        return true;
    QPointer self(this);
    const bool answer = beforeInteraction();
    return self && answer;
}

void NumberStepper::step()
{
    m_value = std::clamp(m_value + m_direction * increment, minimum, maximum);
    update();
    QPointer self(this);
    if (onAction)
        onAction();
    if (!self)
        return;
    if (!isVisible() || !isEnabled())
        m_repeat.stop();
}

void NumberStepper::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    QPointer self(this);
    if (!allowed())
        return;
    m_direction = event->position().y() < height() / 2.0 ? 1 : -1;
    if (autorepeat) {
        m_repeat.setInterval(repeatDelayMs);
        m_repeat.start();
    }
    step();
}

void NumberStepper::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    m_repeat.stop();
}

void NumberStepper::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Up && event->key() != Qt::Key_Down) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!allowed())
        return;
    m_direction = event->key() == Qt::Key_Up ? 1 : -1;
    step();
}

void NumberStepper::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (onFocusChanged)
        onFocusChanged();
}

void NumberStepper::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    if (onFocusChanged)
        onFocusChanged();
}

void NumberStepper::hideEvent(QHideEvent* event)
{
    m_repeat.stop();
    QWidget::hideEvent(event);
}

void NumberStepper::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    QPainterPath body;
    body.addRoundedRect(bounds, 2, 2);
    painter.fillPath(body, InterfaceColors::stepperBody());

    QColor ink = InterfaceColors::propertyLabel();
    ink.setAlphaF(isEnabled() ? 1.0f : 0.35f);
    const double h = bounds.height();
    const double mx = bounds.center().x();
    // Each triangle points away from the middle: up in the upper half, down in the lower.
    QPainterPath up;
    up.moveTo(mx - 3, 0.27 * h + 1.5);
    up.lineTo(mx + 3, 0.27 * h + 1.5);
    up.lineTo(mx, 0.27 * h - 2);
    up.closeSubpath();
    QPainterPath down;
    down.moveTo(mx - 3, 0.73 * h - 1.5);
    down.lineTo(mx + 3, 0.73 * h - 1.5);
    down.lineTo(mx, 0.73 * h + 2);
    down.closeSubpath();
    painter.fillPath(up, ink);
    painter.fillPath(down, ink);
}

} // namespace vorlith

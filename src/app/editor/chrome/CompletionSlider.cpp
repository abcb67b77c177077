#include "app/editor/chrome/CompletionSlider.h"

#include "app/base/InterfaceColors.h"
#include "app/editor/chrome/BrandSliderCell.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace vorlith {

CompletionSlider::CompletionSlider(QWidget* parent) : QAbstractSlider(parent)
{
    setOrientation(Qt::Horizontal);
    setTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

double CompletionSlider::knobMidX() const
{
    const double half = BrandSliderCell::knobWidth / 2;
    const double travel = std::max(0.0, width() - 2 * half);
    const double span = maximum() - minimum();
    const double t = span > 0 ? double(value() - minimum()) / span : 0;
    return half + t * travel;
}

void CompletionSlider::track(double x)
{
    const double half = BrandSliderCell::knobWidth / 2;
    const double travel = std::max(1.0, width() - 2 * half);
    const double t = std::clamp((x - half) / travel, 0.0, 1.0);
    setValue(minimum() + int(std::lround(t * (maximum() - minimum()))));
    update();
    if (onAction)
        onAction();
}

void CompletionSlider::finishGesture()
{
    if (!m_tracking)
        return;
    m_tracking = false;
    setSliderDown(false);
    if (onFinish)
        onFinish();
}

void CompletionSlider::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_tracking = true;
    setSliderDown(true);
    QPointer self(this);
    track(event->position().x());
    if (!self)
        return;
    event->accept();
}

void CompletionSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_tracking) {
        event->ignore();
        return;
    }
    track(event->position().x());
}

void CompletionSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_tracking) {
        event->ignore();
        return;
    }
    finishGesture();
}

void CompletionSlider::keyPressEvent(QKeyEvent* event)
{
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    const int key = event->key();
    const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    if (arrow) {
        if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
            event->ignore(); // a shortcut of someone else's
            return;
        }
        const int step = (key == Qt::Key_Left || key == Qt::Key_Down) ? -1 : 1;
        setValue(std::clamp(value() + step, minimum(), maximum()));
        update();
        QPointer self(this);
        if (onAction)
            onAction();
        if (self && onFinish)
            onFinish();
        return;
    }
    const int before = value();
    QAbstractSlider::keyPressEvent(event);
    if (value() != before && onAction)
        onAction();
}

bool CompletionSlider::event(QEvent* event)
{
    // A hover without the button held during a drag: the release went elsewhere.
    if ((event->type() == QEvent::HoverMove || event->type() == QEvent::HoverEnter || event->type() == QEvent::UngrabMouse)
        && m_tracking && !(QGuiApplication::mouseButtons() & Qt::LeftButton))
        finishGesture();
    return QAbstractSlider::event(event);
}

void CompletionSlider::hideEvent(QHideEvent* event)
{
    finishGesture();
    QAbstractSlider::hideEvent(event);
}

void CompletionSlider::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        finishGesture();
    QAbstractSlider::changeEvent(event);
}

void CompletionSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    const double midY = bounds.center().y();
    const double knob = knobMidX();
    BrandSliderCell::drawBar(painter, bounds, knob, midY, isEnabled());
    BrandSliderCell::drawKnob(painter, knob, midY, isEnabled(), m_shadows);
    if (hasFocus()) {
        QPainterPath ring;
        ring.addRoundedRect(bounds.adjusted(1, 1, -1, -1), 7, 7);
        painter.setPen(QPen(InterfaceColors::focus(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(ring);
    }
}

} // namespace vorlith

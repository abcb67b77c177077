#include "app/base/panel/BrandSwitch.h"

#include "app/base/InterfaceColors.h"
#include "app/base/panel/PanelControlDrawing.h"

#include <QPainter>
#include <QPainterPath>

namespace vorlith {

BrandSwitch::BrandSwitch(QWidget* parent) : QAbstractButton(parent)
{
    setFixedSize(fixedWidth, fixedHeight);
    setFocusPolicy(Qt::TabFocus);
    m_presentation.onChange = [this] { presentationChanged(); };
    // A click or Space proposes the other state; the switch decides in userChanged.
    connect(this, &QAbstractButton::clicked, this, [this] { userChanged(!m_presentation.isOn()); });
}

void BrandSwitch::setAccessibilityLabel(const QString& label)
{
    m_presentation.setLabel(label);
}

QSize BrandSwitch::sizeHint() const
{
    return {fixedWidth, fixedHeight};
}

void BrandSwitch::userChanged(bool on)
{
    // A refused change leaves the presentation alone, so the switch keeps showing the old
    // state.
    if (!acceptsUserChanges)
        return;
    m_presentation.setOn(on);
    if (onAction)
        onAction(*this);
}

void BrandSwitch::presentationChanged()
{
    setEnabled(m_presentation.isEnabled());
    setAccessibleName(m_presentation.label());
    update();
}

void BrandSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(panelControlDrawing::disabledOpacity);

    const QRectF track(0, 0, fixedWidth, fixedHeight);
    const double radius = fixedHeight / 2.0;
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, radius, radius);
    painter.fillPath(trackPath, m_presentation.isOn() ? InterfaceColors::brand() : InterfaceColors::sliderTrack());

    const double knob = fixedHeight - 4;
    const double x = m_presentation.isOn() ? fixedWidth - 2 - knob : 2;
    const QRectF knobRect(x, 2, knob, knob);
    painter.setPen(QPen(InterfaceColors::sliderShadow(), 0.5));
    painter.setBrush(InterfaceColors::white());
    painter.drawEllipse(knobRect);

    if (hasFocus()) {
        painter.setOpacity(1);
        panelControlDrawing::focusRing(painter, track, radius);
    }
}

} // namespace vorlith

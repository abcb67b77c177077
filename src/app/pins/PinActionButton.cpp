#include "app/pins/PinActionButton.h"

#include "app/base/InterfaceColors.h"
#include "app/editor/chrome/ToolIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace vorlith {

PinActionButton::PinActionButton(const QString& icon, const QString& name, QWidget* parent)
    : HoverButton(parent), m_icon(icon)
{
    setText(name);
    setToolTip(name);
    setAccessibleName(name);
}

void PinActionButton::setIcon(const QString& icon)
{
    if (icon == m_icon)
        return;
    m_icon = icon;
    update();
}

void PinActionButton::enterEvent(QEnterEvent* event)
{
    HoverButton::enterEvent(event);
    setCursor(Qt::ArrowCursor);
}

void PinActionButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    if (hovered() && isEnabled()) {
        QPainterPath fill;
        fill.addRoundedRect(bounds, 6, 6);
        painter.fillPath(fill, InterfaceColors::pinControlHover());
    }
    QColor ink = InterfaceColors::ink();
    ink.setAlphaF(isEnabled() ? 1.0f : 0.35f);
    const QRectF iconRect(bounds.center().x() - iconSize / 2, bounds.center().y() - iconSize / 2, iconSize, iconSize);
    ToolIcon::draw(painter, m_icon, iconRect, ink);
}

} // namespace vorlith

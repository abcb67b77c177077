#include "app/editor/chrome/ShapeOptionButton.h"

#include "app/base/InterfaceColors.h"
#include "app/editor/chrome/ToolIcon.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace vorlith {

ShapeOptionButton::ShapeOptionButton(Annotation::Kind kind, const QString& iconName, QWidget* parent)
    : HoverButton(parent), kind(kind), iconName(iconName)
{
}

void ShapeOptionButton::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void ShapeOptionButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    if (m_selected || hovered()) {
        QPainterPath background;
        background.addRoundedRect(bounds, 5, 5);
        painter.fillPath(background, m_selected ? InterfaceColors::selection() : InterfaceColors::hover());
    }
    QColor ink = InterfaceColors::ink();
    ink.setAlphaF(isEnabled() ? 1.0f : 0.35f);
    const QRectF box(bounds.center().x() - 10, bounds.center().y() - 10, 20, 20);
    ToolIcon::draw(painter, iconName, box, ink);
}

} // namespace vorlith

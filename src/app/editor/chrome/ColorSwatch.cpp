#include "app/editor/chrome/ColorSwatch.h"

#include "app/base/InterfaceColors.h"

#include <QPainter>
#include <QPainterPath>

namespace vorlith {

ColorSwatch::ColorSwatch(std::optional<RGBA> value, QWidget* parent) : QAbstractButton(parent), value(value)
{
    setFocusPolicy(Qt::NoFocus);
    resize(28, 28);
}

void ColorSwatch::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF c = QRectF(rect()).adjusted(4, 4, -4, -4);
    QPainterPath disc;
    disc.addEllipse(c);
    const QColor fill = value ? QColor::fromRgbF(float(value->red), float(value->green), float(value->blue),
                                                 float(value->alpha))
                              : InterfaceColors::white();
    painter.fillPath(disc, fill);
    if (!value) {
        // Bottom-left to top-right, clipped to the disc.
        painter.save();
        painter.setClipPath(disc);
        painter.setPen(QPen(InterfaceColors::swatchNone(), 2));
        painter.drawLine(QPointF(c.left(), c.bottom()), QPointF(c.right(), c.top()));
        painter.restore();
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(InterfaceColors::white(), 2));
    painter.drawEllipse(c.adjusted(1, 1, -1, -1));
    painter.setPen(QPen(InterfaceColors::swatchBorder(), 1));
    painter.drawEllipse(c.adjusted(-0.5, -0.5, 0.5, 0.5));
    if (m_selected) {
        painter.setPen(QPen(InterfaceColors::swatchSelection(), 2));
        painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

} // namespace vorlith

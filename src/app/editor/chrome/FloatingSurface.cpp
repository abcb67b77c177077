#include "app/editor/chrome/FloatingSurface.h"

#include "app/base/InterfaceColors.h"
#include "app/base/UnflippedFrame.h"

#include <QPainter>
#include <QPainterPath>

namespace vorlith {

FloatingSurface::FloatingSurface(QWidget* parent)
    : QWidget(parent), m_bodyColor(InterfaceColors::floatingBody()), m_borderColor(InterfaceColors::floatingBorder())
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void FloatingSurface::setBodyColor(const QColor& color)
{
    m_bodyColor = color;
    update();
}

void FloatingSurface::setBorderColor(const QColor& color)
{
    m_borderColor = color;
    update();
}

void FloatingSurface::setBorderWidth(double width)
{
    m_borderWidth = width;
    update();
}

void FloatingSurface::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    update();
}

void FloatingSurface::paintSurface(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    QPainterPath body;
    body.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
    painter.fillPath(body, m_bodyColor);
    if (m_borderWidth > 0) {
        // A layer border lies inside the bounds.
        const double inset = m_borderWidth / 2;
        QPainterPath edge;
        const double radius = std::max(0.0, m_cornerRadius - inset);
        edge.addRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), radius, radius);
        painter.setPen(QPen(m_borderColor, m_borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(edge);
    }
    painter.restore();
}

void FloatingSurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintSurface(painter);
}

void FloatingSurface::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UnflippedFrame::replaceChildren(this);
}

} // namespace vorlith

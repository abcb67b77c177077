#include "app/base/panel/PanelFooterView.h"

#include "app/base/InterfaceColors.h"

#include <QPainter>

namespace vorlith {

PanelFooterView::PanelFooterView(QWidget* parent) : QWidget(parent), m_fillColor(InterfaceColors::settingsFooter())
{
}

void PanelFooterView::setFillColor(const QColor& color)
{
    m_fillColor = color;
    update();
}

void PanelFooterView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), m_fillColor);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(QRectF(0, 0, width(), 0.5), InterfaceColors::groupBorder());
}

} // namespace vorlith

#include "app/base/panel/PanelPopUpButton.h"

#include "app/base/InterfaceFonts.h"
#include "app/base/panel/PanelControlDrawing.h"
#include "app/base/panel/PanelSymbols.h"

#include <QFontMetricsF>
#include <QPainter>

namespace vorlith {

PanelPopUpButton::PanelPopUpButton(QWidget* parent) : QComboBox(parent)
{
    setFont(InterfaceFonts::system(12));
    setFocusPolicy(Qt::TabFocus);
}

void PanelPopUpButton::showPopup()
{
    m_highlighted = true;
    update();
    QComboBox::showPopup();
}

void PanelPopUpButton::hidePopup()
{
    QComboBox::hidePopup();
    m_highlighted = false;
    update();
}

QRectF PanelPopUpButton::titleRect() const
{
    const double titleHeight = QFontMetricsF(font()).height();
    return QRectF(10, (height() - titleHeight) / 2, std::max(0, width() - 34), titleHeight);
}

QRectF PanelPopUpButton::chevronRect() const
{
    return QRectF(width() - 23, height() / 2.0 - 7, 14, 14);
}

QString PanelPopUpButton::displayedTitle() const
{
    return QFontMetricsF(font()).elidedText(currentText(), Qt::ElideMiddle, titleRect().width());
}

void PanelPopUpButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    panelControlDrawing::background(painter, rect(), m_highlighted);

    const QColor ink = panelControlDrawing::titleColor(isEnabled());
    painter.setFont(font());
    painter.setPen(ink);
    painter.drawText(titleRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, displayedTitle());

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(panelSymbols::chevronUpDown(chevronRect()));
    painter.restore();

    if (hasFocus())
        panelControlDrawing::focusRing(painter, rect(), 6);
}

} // namespace vorlith

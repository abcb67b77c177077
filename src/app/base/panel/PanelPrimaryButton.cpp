#include "app/base/panel/PanelPrimaryButton.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/panel/PanelControlDrawing.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace vorlith {

PanelPrimaryButton::PanelPrimaryButton(const QString& title, QWidget* parent) : QPushButton(title, parent)
{
    setFont(InterfaceFonts::system(12));
    setFlat(true);
    setFocusPolicy(Qt::TabFocus);
}

QColor PanelPrimaryButton::fillColor() const
{
    if (!isEnabled())
        return InterfaceColors::brandDisabled();
    return isDown() ? InterfaceColors::brandPressed() : InterfaceColors::brand();
}

void PanelPrimaryButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 7, 7);
    painter.fillPath(path, fillColor());

    const int size = font().pixelSize() > 0 ? font().pixelSize() : 12;
    const QFont title = InterfaceFonts::system(size, InterfaceFonts::Weight::semibold);
    const QFontMetricsF metrics(title);
    const QSizeF extent(metrics.horizontalAdvance(text()), metrics.height());
    painter.setFont(title);
    painter.setPen(panelControlDrawing::titleColor(isEnabled()));
    painter.drawText(QRectF(QPointF((width() - extent.width()) / 2, (height() - extent.height()) / 2), extent),
                     Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text());

    if (hasFocus())
        panelControlDrawing::focusRing(painter, rect(), 7);
}

} // namespace vorlith

#include "app/settings/PlainTextButton.h"

#include "app/base/panel/PanelControlDrawing.h"

#include <QPainter>

namespace vorlith {

PlainTextButton::PlainTextButton(const QString& title, const QColor& tint, QWidget* parent)
    : QPushButton(title, parent), m_tint(tint)
{
    setFlat(true);
    setFocusPolicy(Qt::TabFocus);
}

void PlainTextButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor ink = m_tint;
    if (!isEnabled())
        ink.setAlphaF(float(panelControlDrawing::disabledOpacity));
    else if (isDown())
        ink = ink.darker(140);
    painter.setFont(font());
    painter.setPen(ink);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    if (hasFocus())
        panelControlDrawing::focusRing(painter, rect(), 6);
}

} // namespace vorlith

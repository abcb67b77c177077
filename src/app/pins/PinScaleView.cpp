#include "app/pins/PinScaleView.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vorlith {

PinScaleView::PinScaleView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    m_percentage = -1;
    setPercentage(100);
}

QFont PinScaleView::font()
{
    return InterfaceFonts::system(10);
}

void PinScaleView::setPercentage(int percentage)
{
    if (percentage == m_percentage)
        return;
    m_percentage = percentage;
    m_text = QString::number(percentage) + QStringLiteral("%");
    const double width = QFontMetricsF(font()).horizontalAdvance(m_text);
    resize(int(std::ceil(width)) + 2 * int(textInset), int(badgeHeight));
    setAccessibleName(QStringLiteral("显示比例 ") + m_text);
    update();
}

void PinScaleView::paintEvent(QPaintEvent*)
{
    // The window is translucent: its backing store starts every paint cleared.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (translucent) {
        QPainterPath body;
        body.addRoundedRect(QRectF(rect()), 4, 4);
        painter.fillPath(body, InterfaceColors::pinScale());
    } else {
        QColor fill = InterfaceColors::pinScale();
        fill.setAlpha(255);
        painter.setClipRegion(bodyRegion());
        painter.fillRect(rect(), fill);
        painter.setClipping(false);
    }
    const QFont f = font();
    const QFontMetricsF metrics(f);
    painter.setFont(f);
    painter.setPen(InterfaceColors::white());
    const double top = (badgeHeight - metrics.height()) / 2;
    painter.drawText(QPointF(textInset, top + metrics.ascent()), m_text);
}

QRegion PinScaleView::bodyRegion() const
{
    QPainterPath body;
    body.addRoundedRect(QRectF(rect()), 4, 4);
    return QRegion(body.toFillPolygon().toPolygon());
}

} // namespace vorlith

#include "app/editor/chrome/StripLabel.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"

#include <QFontMetricsF>
#include <QPainter>

namespace vorlith {

StripLabel::StripLabel(const QString& text, const QFont& font, QWidget* parent)
    : QWidget(parent), m_text(text), m_font(font), m_color(InterfaceColors::propertyLabel())
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(text);
}

void StripLabel::setText(const QString& text)
{
    if (m_text == text)
        return;
    m_text = text;
    setAccessibleName(text);
    update();
}

void StripLabel::setAlignRight(bool right)
{
    m_alignRight = right;
    update();
}

void StripLabel::setMonospacedDigits(bool monospaced)
{
    m_monospacedDigits = monospaced;
    update();
}

double StripLabel::naturalWidth() const
{
    return m_monospacedDigits ? InterfaceFonts::monospacedDigitWidth(m_text, m_font)
                              : QFontMetricsF(m_font).horizontalAdvance(m_text);
}

void StripLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(m_color);
    painter.setFont(m_font);
    const QFontMetricsF metrics(m_font);
    // A label's text sits 2 in from its sides, centred on the line box.
    const double w = naturalWidth();
    const double x = m_alignRight ? width() - 2 - w : 2;
    const double baseline = (height() - (metrics.ascent() + metrics.descent())) / 2 + metrics.ascent();
    if (m_monospacedDigits)
        InterfaceFonts::drawMonospacedDigits(painter, QPointF(x, baseline), m_text, m_font);
    else
        painter.drawText(QPointF(x, baseline), m_text);
}

} // namespace vorlith

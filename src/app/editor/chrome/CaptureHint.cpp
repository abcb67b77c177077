#include "app/editor/chrome/CaptureHint.h"

#include "app/base/InterfaceFonts.h"
#include "app/editor/chrome/HintExitButton.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vorlith {

QFont CaptureHint::messageFont()
{
    return InterfaceFonts::system(11);
}

CaptureHint::CaptureHint(QWidget* parent) : QWidget(parent), m_exitButton(new HintExitButton(this))
{
    setObjectName(QStringLiteral("capture-guidance"));
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::ArrowCursor);
    configure(QStringLiteral("单击选取窗口 · 拖动自定义区域"), true);
}

void CaptureHint::configure(const QString& text, bool showExit)
{
    m_text = text;
    setAccessibleName(text);
    m_exitButton->setVisible(showExit);
    const QSizeF natural = QFontMetricsF(messageFont()).size(Qt::TextSingleLine, text);
    const double w = std::ceil(natural.width()) + 4;
    const double h = std::ceil(natural.height());
    const double width = 13 + w + 7 + (showExit ? 112 : 6);
    resize(int(width), int(pillHeight));
    m_messageFrame = QRectF(13, (pillHeight - h) / 2, w, h);
    m_exitButton->setGeometry(int(width) - 94, 5, 87, 24);
    update();
}

void CaptureHint::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void CaptureHint::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void CaptureHint::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    body.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(body, bodyColor());
    QPainterPath edge;
    edge.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
    painter.setPen(QPen(borderColor(), 1));
    painter.drawPath(edge);

    const QFont font = messageFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(textColor());
    // The text sits 2 in from its frame's left side, centred on the frame's height.
    const double baseline
        = m_messageFrame.top() + (m_messageFrame.height() - (metrics.ascent() + metrics.descent())) / 2 + metrics.ascent();
    painter.drawText(QPointF(m_messageFrame.left() + 2, baseline), m_text);

    if (m_exitButton->isVisibleTo(this))
        painter.fillRect(QRectF(m_exitButton->x() - 13, 11, 1, 12), QColor(255, 255, 255, 51)); // white at 0.2
}

} // namespace vorlith

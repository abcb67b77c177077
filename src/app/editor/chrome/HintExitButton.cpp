#include "app/editor/chrome/HintExitButton.h"

#include "app/base/InterfaceFonts.h"
#include "app/editor/chrome/CaptureHint.h"
#include "core/ChordLabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace vorlith {

namespace {

// Draws one line of text whose line box starts at the top-left point.
void drawTextAt(QPainter& painter, const QString& text, const QFont& font, const QPointF& topLeft)
{
    painter.setFont(font);
    painter.drawText(QPointF(topLeft.x(), topLeft.y() + QFontMetricsF(font).ascent()), text);
}

} // namespace

HintExitButton::HintExitButton(QWidget* parent) : HoverButton(parent)
{
    setText(QStringLiteral("退出截图"));
    setAccessibleName(QStringLiteral("退出截图"));
    setToolTip(QStringLiteral("退出截图（") + chordLabel(0, QStringLiteral("Esc")) + QStringLiteral("）"));
    setCursor(Qt::ArrowCursor);
}

void HintExitButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (hovered() || isDown()) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()), 4, 4);
        painter.fillPath(background, QColor(255, 255, 255, 32)); // white at 0.125
    }
    const QColor text = CaptureHint::textColor();
    painter.setPen(text);
    drawTextAt(painter, QStringLiteral("退出截图"), InterfaceFonts::system(11), QPointF(6, 4.5));

    QColor cap = text;
    cap.setAlphaF(0.27f);
    QPainterPath keyCap;
    keyCap.addRoundedRect(QRectF(55, 4, 26, 16), 3, 3);
    painter.setPen(QPen(cap, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(keyCap);
    painter.setPen(text);
    drawTextAt(painter, QStringLiteral("esc"), InterfaceFonts::system(10), QPointF(60, 5));
}

} // namespace vorlith

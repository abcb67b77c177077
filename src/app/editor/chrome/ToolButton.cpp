#include "app/editor/chrome/ToolButton.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/SystemColors.h"
#include "app/editor/chrome/DeviceScale.h"
#include "app/editor/chrome/ToolIcon.h"
#include "app/base/UnflippedFrame.h"
#include "core/CaptureTool.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vorlith {

namespace {

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

void fillRounded(QPainter& painter, const QRectF& rect, double radius, const QColor& color)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, color);
}

} // namespace

ToolButton::ToolButton(const QString& key, const QString& title, QWidget* parent)
    : HoverButton(parent), key(key)
{
    setText(title);
    setAccessibleName(title);
    setToolTip(title);
    setCursor(Qt::ArrowCursor);
}

void ToolButton::setChosen(bool chosen)
{
    if (m_chosen == chosen)
        return;
    m_chosen = chosen;
    update();
}

void ToolButton::setPrimary(bool primary)
{
    m_primary = primary;
    update();
}

QRectF ToolButton::iconBox(double pixelRatio) const
{
    // y-up (width − 20) / 2, 23, 20 × 20; its origin snapped to whole device pixels.
    const QRectF box = UnflippedFrame::toYDown(Rect((width() - 20) / 2.0, 23, 20, 20), buttonHeight);
    const double ratio = pixelRatio > 0 ? pixelRatio : 1;
    return QRectF(std::round(box.x() * ratio) / ratio, std::round(box.y() * ratio) / ratio, box.width(),
                  box.height());
}

void ToolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    const bool enabled = isEnabled();

    QColor background;
    if (m_primary && enabled)
        background = hovered() ? InterfaceColors::brandPressed() : InterfaceColors::brand();
    else if (m_primary)
        background = InterfaceColors::brandDisabled();
    else if (m_chosen)
        background = InterfaceColors::selection();
    else if (hovered())
        background = InterfaceColors::hover();
    if (background.isValid())
        fillRounded(painter, bounds, 7, background);

    if (m_chosen) {
        QPainterPath ring;
        ring.addRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), 6.5, 6.5);
        painter.setPen(QPen(InterfaceColors::chosenBorder(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(ring);
        painter.fillRect(UnflippedFrame::toYDown(Rect(bounds.center().x() - 1.5, 3, 3, 3), buttonHeight),
                         InterfaceColors::focus());
    }

    const double alpha = enabled ? 1 : 0.35;
    const QColor ink = withAlpha(m_chosen ? InterfaceColors::chosenInk() : InterfaceColors::ink(), alpha);
    ToolIcon::draw(painter, displayedIconName.value_or(key), iconBox(deviceScale(painter)), ink);
    paintTitle(painter, ink);

    if (captureTool::fromRawValue(key))
        paintShortcut(painter, alpha);
    if (key == QStringLiteral("shape")) {
        const double w = width();
        QPainterPath chevron;
        chevron.moveTo(UnflippedFrame::toYDown(Point{w - 9, 36}, buttonHeight));
        chevron.lineTo(UnflippedFrame::toYDown(Point{w - 6, 33}, buttonHeight));
        chevron.lineTo(UnflippedFrame::toYDown(Point{w - 3, 36}, buttonHeight));
        painter.setPen(QPen(systemColors::secondaryLabel(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(chevron);
    }
}

void ToolButton::paintTitle(QPainter& painter, const QColor& ink)
{
    const QFont font = InterfaceFonts::system(11);
    const double w = QFontMetricsF(font).horizontalAdvance(text());
    painter.setPen(ink);
    UnflippedFrame::drawText(painter, text(), font, Point{(width() - w) / 2, m_chosen ? 6.0 : 5.0}, buttonHeight);
}

void ToolButton::paintShortcut(QPainter& painter, double alpha)
{
    const auto tool = captureTool::fromRawValue(key);
    const QString letter(captureTool::shortcutLetter(*tool));
    const QFont font = InterfaceFonts::system(8);
    const double w = QFontMetricsF(font).horizontalAdvance(letter);
    painter.setPen(withAlpha(InterfaceColors::shortcut(), alpha));
    UnflippedFrame::drawText(painter, letter, font, Point{width() - w - 2, 36}, buttonHeight);
}

} // namespace vorlith

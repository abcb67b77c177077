#include "app/pins/PinDecorationView.h"

#include "app/base/InterfaceColors.h"

#include <QPainter>
#include <QPainterPath>

#include <array>

namespace vorlith {

namespace {

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

} // namespace

PinDecorationView::PinDecorationView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

ShadowPainter& PinDecorationView::shadowPainter()
{
    static ShadowPainter painter;
    return painter;
}

QRectF PinDecorationView::card() const
{
    return QRectF(rect()).adjusted(inset, inset, -inset, -inset);
}

QColor PinDecorationView::borderColor() const
{
    return hovered ? InterfaceColors::pinHoverBorder() : InterfaceColors::pinBorder();
}

void PinDecorationView::paintShadows(QPainter& painter)
{
    const QRectF c = card();
    // Nothing is painted inside the card: the shadows and the text backing only show outside.
    QPainterPath outside;
    outside.setFillRule(Qt::OddEvenFill);
    outside.addRect(QRectF(rect()));
    outside.addRoundedRect(c, cardRadius, cardRadius);
    painter.save();
    painter.setClipPath(outside);
    ShadowPainter& shadows = shadowPainter();
    if (textInputFrame) {
        const QRectF frame = toQRectF(*textInputFrame);
        shadows.paintStretched(painter, frame, 4, {{0, 4}, 10, QColor(0, 0, 0, 34)});
        QPainterPath backing;
        backing.addRoundedRect(frame, 4, 4);
        painter.fillPath(backing, InterfaceColors::white());
    }
    shadows.paintStretched(painter, c, cardRadius, {{0, 8}, 22, withAlpha(InterfaceColors::pinShadow(), 53 / 255.0)});
    shadows.paintStretched(painter, c, cardRadius, {{0, 1}, 4, withAlpha(InterfaceColors::pinShadow(), 48 / 255.0)});
    painter.restore();
}

void PinDecorationView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    if (shadowsShown)
        paintShadows(painter);
    if (!active && !editing)
        return;
    const QRectF c = card();
    const QColor border = borderColor();
    // A 1-point line centred on the card's edge, as the image's corners are rounded.
    painter.setPen(QPen(border, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(c, cardRadius, cardRadius);
    if (!active || editing)
        return;
    const std::array corners{c.topLeft(), c.topRight(), c.bottomLeft(), c.bottomRight()};
    painter.setBrush(InterfaceColors::white());
    for (const QPointF& corner : corners) {
        const QRectF square(corner.x() - handleSize / 2, corner.y() - handleSize / 2, handleSize, handleSize);
        painter.drawRoundedRect(square, 3, 3);
    }
}

QRegion PinDecorationView::solidRegion() const
{
    if (!active && !editing)
        return {};
    const QRect c = card().toAlignedRect();
    // The border's line and a pixel either side of it, for the antialiased edge.
    QRegion region = QRegion(c.adjusted(-1, -1, 1, 1)).subtracted(QRegion(c.adjusted(2, 2, -2, -2)));
    if (active && !editing) {
        const int half = int(handleSize / 2) + 1;
        for (const QPoint& corner : {c.topLeft(), c.topRight() + QPoint(1, 0), c.bottomLeft() + QPoint(0, 1),
                                     c.bottomRight() + QPoint(1, 1)})
            region += QRect(corner.x() - half, corner.y() - half, 2 * half, 2 * half);
    }
    return region;
}

} // namespace vorlith

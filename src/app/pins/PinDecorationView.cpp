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
    if (!shadowsShown) {
        paintSolid(painter);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
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
    painter.setBrush(InterfaceColors::white());
    for (const QRectF& square : handleSquares())
        painter.drawRoundedRect(square, 3, 3);
}

std::array<QRectF, 4> PinDecorationView::handleSquares() const
{
    const QRectF c = card();
    std::array<QRectF, 4> squares;
    const std::array corners{c.topLeft(), c.topRight(), c.bottomLeft(), c.bottomRight()};
    for (size_t i = 0; i < 4; ++i)
        squares[i] = QRectF(corners[i].x() - handleSize / 2, corners[i].y() - handleSize / 2, handleSize, handleSize);
    return squares;
}

namespace {

QRegion roundedRegion(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

} // namespace

void PinDecorationView::paintSolid(QPainter& painter)
{
    // Without a compositor every pixel the mask lets through is shown as it is, alpha
    // ignored: the border is a whole point just outside the image and the handles are plain
    // opaque squares, with no antialiased edge that would show dark.
    const QRegion band = outlineRegion();
    if (band.isEmpty())
        return;
    painter.setClipRegion(band);
    painter.fillRect(rect(), borderColor());
    painter.setClipping(false);
    if (!active || editing)
        return;
    for (const QRectF& square : handleSquares()) {
        const QRect r = square.toRect();
        painter.fillRect(r, borderColor());
        painter.fillRect(r.adjusted(1, 1, -1, -1), InterfaceColors::white());
    }
}

QRegion PinDecorationView::outlineRegion() const
{
    if (!active && !editing)
        return {};
    const QRectF c = card();
    return roundedRegion(c.adjusted(-1, -1, 1, 1), cardRadius + 1).subtracted(roundedRegion(c, cardRadius));
}

QRegion PinDecorationView::solidRegion() const
{
    QRegion region = outlineRegion();
    if (active && !editing)
        for (const QRectF& square : handleSquares())
            region += square.toRect();
    return region;
}

} // namespace vorlith

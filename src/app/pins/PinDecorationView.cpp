#include "app/pins/PinDecorationView.h"

#include "app/base/InterfaceColors.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

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
    ShadowPainter& shadows = shadowPainter();
    const ShadowPainter::Shadow wide{{0, 8}, 22, withAlpha(InterfaceColors::pinShadow(), 53 / 255.0)};
    const ShadowPainter::Shadow close{{0, 1}, 4, withAlpha(InterfaceColors::pinShadow(), 48 / 255.0)};
    if (textInputFrame) {
        const QRectF frame = toQRectF(*textInputFrame);
        shadows.paintStretched(painter, frame, 4, {{0, 4}, 10, QColor(0, 0, 0, 34)});
        QPainterPath backing;
        backing.addRoundedRect(frame, 4, 4);
        painter.fillPath(backing, InterfaceColors::white());
    }
    // Hollow: the middle of the card is never painted. Only a band inside its edge is, and
    // that is cleared again: the shadows and the text backing show only outside the card.
    // (A rounded clip path instead costs far more on a ring the size of the screen.)
    shadows.paintStretched(painter, c, cardRadius, wide, true);
    shadows.paintStretched(painter, c, cardRadius, close, true);
    const double band = ShadowPainter::stretchedReach(cardRadius, wide.blur) + std::abs(wide.offset.y()) + 1;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    QPainterPath inside;
    inside.addRoundedRect(c, cardRadius, cardRadius);
    // With a text box open its backing may reach deep into the card: all of it is cleared.
    const QRectF hole = c.adjusted(band, band, -band, -band);
    if (hole.isValid() && !textInputFrame)
        inside.addRect(hole); // the even-odd rule leaves the untouched middle out
    inside.setFillRule(Qt::OddEvenFill);
    painter.fillPath(inside, Qt::transparent);
    painter.restore();
}

void PinDecorationView::paintEvent(QPaintEvent*)
{
    // The window is translucent: its backing store starts every paint cleared.
    QPainter painter(this);
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

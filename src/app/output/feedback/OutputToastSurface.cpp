#include "app/output/feedback/OutputToastSurface.h"

#include "app/base/InterfaceColors.h"
#include "app/base/ShadowPainter.h"
#include "app/output/feedback/OutputToastLayout.h"

#include <QPainter>
#include <QPainterPath>

namespace vorlith {

namespace {

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

QPainterPath rounded(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// What a translucent colour looks like over an opaque one.
QColor over(const QColor& top, const QColor& below)
{
    const double a = top.alphaF();
    return QColor::fromRgbF(float(top.redF() * a + below.redF() * (1 - a)), float(top.greenF() * a + below.greenF() * (1 - a)),
                            float(top.blueF() * a + below.blueF() * (1 - a)));
}

} // namespace

QRegion OutputToastSurface::maskOutline(const QRectF& body)
{
    const double radius = OutputToastLayout::cornerRadius + 1;
    return QRegion(rounded(body.adjusted(-1, -1, 1, 1), radius).toFillPolygon().toPolygon());
}

void OutputToastSurface::paintWithoutCompositor(QPainter& painter)
{
    // Everything the mask keeps is opaque: the ring's colour first (as the ring looks over
    // white; a failure's edge is its border), then the body inside it.
    const QRectF body = bodyRect();
    const double radius = OutputToastLayout::cornerRadius;
    painter.fillRect(rect(), failed ? InterfaceColors::toastErrorBorder()
                                    : over(InterfaceColors::toastOuter(), InterfaceColors::white()));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(rounded(body, radius), InterfaceColors::toastBody());
    if (!failed) {
        // The white border inside the body, so the ring's pixels stay the ring's.
        painter.setPen(QPen(InterfaceColors::white(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(rounded(body.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5));
    }
}

OutputToastSurface::OutputToastSurface(std::shared_ptr<ShadowPainter> shadows, QWidget* parent)
    : QWidget(parent), m_shadows(std::move(shadows))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

QRectF OutputToastSurface::bodyRect() const
{
    const double m = OutputToastLayout::shadowMargin;
    return QRectF(rect()).adjusted(m, m, -m, -m);
}

void OutputToastSurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!drawsShadows) {
        paintWithoutCompositor(painter);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = bodyRect();
    const double radius = OutputToastLayout::cornerRadius;
    const QPainterPath outline = rounded(body, radius);
    const QColor shadow = InterfaceColors::pinShadow();

    // Two fills, each with its own shadow: a wide soft one 6 below, a tight one 1 below.
    const ShadowPainter::Shadow casts[] = {
        {QPointF(0, 6), 11, withAlpha(shadow, 0.14)},
        {QPointF(0, 1), 2, withAlpha(shadow, 0.07)},
    };
    for (const ShadowPainter::Shadow& cast : casts) {
        if (m_shadows)
            m_shadows->paint(painter, body, radius, cast);
        painter.fillPath(outline, InterfaceColors::toastBody());
    }

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(failed ? InterfaceColors::toastErrorBorder() : InterfaceColors::white(), 1));
    painter.drawPath(outline);
    if (!failed) {
        painter.setPen(QPen(InterfaceColors::toastOuter(), 1));
        painter.drawPath(rounded(body.adjusted(-1, -1, 1, 1), radius + 1));
    }
}

} // namespace vorlith

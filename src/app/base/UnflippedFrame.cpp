#include "app/base/UnflippedFrame.h"

#include "app/base/YUpSpace.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QVariant>
#include <QWidget>

#include <cmath>

namespace vorlith {

namespace {

constexpr const char* frameProperty = "vorlith.yUpFrame";

QRect pixelGeometry(const QRectF& exact)
{
    return QRect(int(std::lround(exact.x())), int(std::lround(exact.y())), int(std::lround(exact.width())),
                 int(std::lround(exact.height())));
}

} // namespace

void UnflippedFrame::place(QWidget* child, const Rect& frame)
{
    Q_ASSERT(child && child->parentWidget());
    if (!child || !child->parentWidget())
        return;
    const Rect r = frame.standardized();
    child->setProperty(frameProperty, QRectF(r.origin.x, r.origin.y, r.width(), r.height()));
    child->setGeometry(pixelGeometry(toYDown(r, child->parentWidget()->height())));
}

Rect UnflippedFrame::of(const QWidget* child)
{
    const QVariant stored = child->property(frameProperty);
    if (stored.isValid()) {
        const QRectF r = stored.toRectF();
        return Rect(r.x(), r.y(), r.width(), r.height());
    }
    const QRect g = child->geometry();
    const double parentHeight = child->parentWidget() ? child->parentWidget()->height() : g.height();
    return YUpSpace::ofView(parentHeight).toYUp(Rect(g.x(), g.y(), g.width(), g.height()));
}

void UnflippedFrame::replaceChildren(QWidget* parent)
{
    for (QObject* object : parent->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child && !child->isWindow() && child->property(frameProperty).isValid())
            place(child, of(child));
    }
}

QRectF UnflippedFrame::toYDown(const Rect& frame, double height)
{
    const Rect r = YUpSpace::ofView(height).toYDown(frame);
    return QRectF(r.origin.x, r.origin.y, r.width(), r.height());
}

QPointF UnflippedFrame::toYDown(const Point& point, double height)
{
    const Point p = YUpSpace::ofView(height).toYDown(point);
    return QPointF(p.x, p.y);
}

double UnflippedFrame::lineHeight(const QFont& font)
{
    const QFontMetricsF metrics(font);
    return metrics.ascent() + metrics.descent();
}

void UnflippedFrame::drawText(QPainter& painter, const QString& text, const QFont& font, const Point& origin,
                              double height)
{
    const QFontMetricsF metrics(font);
    const double top = height - origin.y - (metrics.ascent() + metrics.descent());
    painter.save();
    painter.setFont(font);
    painter.drawText(QPointF(origin.x, top + metrics.ascent()), text);
    painter.restore();
}

} // namespace vorlith

#include "app/editor/chrome/CaptureLoupeView.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/editor/chrome/LoupeSample.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vorlith {

CaptureLoupeView::CaptureLoupeView(QWidget* parent) : FloatingSurface(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(loupeWidth, loupeHeight);
}

void CaptureLoupeView::showSample(const LoupeSample& sample, bool dragging)
{
    patch = sample.patch;
    sampling = sample.sampling;
    hex = sample.hex;
    sampleColor = sample.color;
    isDragging = dragging;
    update();
}

void CaptureLoupeView::paintPatch(QPainter& painter) const
{
    const LoupeSampling& s = *sampling;
    const QRectF d = toQRectF(s.destination).translated(1, 1);
    const QRectF area = imageArea();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawImage(d, patch, QRectF(patch.rect()));

    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath grid;
    const double cellW = s.cellSize.width;
    const double cellH = s.cellSize.height;
    const int columns = int(std::lround(d.width() / cellW));
    const int rows = int(std::lround(d.height() / cellH));
    for (int i = 0; i <= columns; ++i) {
        grid.moveTo(d.left() + i * cellW, d.top());
        grid.lineTo(d.left() + i * cellW, d.bottom());
    }
    for (int j = 0; j <= rows; ++j) {
        grid.moveTo(d.left(), d.top() + j * cellH);
        grid.lineTo(d.right(), d.top() + j * cellH);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(InterfaceColors::loupeGridLight(), 0.75));
    painter.drawPath(grid);
    painter.setPen(QPen(InterfaceColors::loupeGridDark(), 0.25));
    painter.drawPath(grid);

    const QRectF t = toQRectF(s.targetCell).translated(1, 1);
    const QPointF c = t.center();
    const double g = std::max(t.width(), t.height()) / 2 + 5;
    QPainterPath cross;
    cross.moveTo(area.left(), c.y());
    cross.lineTo(c.x() - g, c.y());
    cross.moveTo(c.x() + g, c.y());
    cross.lineTo(area.right(), c.y());
    cross.moveTo(c.x(), area.top());
    cross.lineTo(c.x(), c.y() - g);
    cross.moveTo(c.x(), c.y() + g);
    cross.lineTo(c.x(), area.bottom());
    painter.setPen(QPen(InterfaceColors::loupeHalo(), 3));
    painter.drawPath(cross);
    painter.setPen(QPen(InterfaceColors::loupeCross(), 1));
    painter.drawPath(cross);

    const QRectF box = t.adjusted(-2, -2, 2, 2);
    painter.setPen(QPen(InterfaceColors::loupeCross(), 3));
    painter.drawRect(box);
    painter.setPen(QPen(InterfaceColors::loupeTarget(), 1));
    painter.drawRect(box);
}

void CaptureLoupeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintSurface(painter);
    const QRectF area = imageArea();
    painter.save();
    // The image area's top corners would otherwise cover the body's rounded corners.
    QPainterPath inside;
    inside.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), cornerRadius() - 1, cornerRadius() - 1);
    painter.setClipPath(inside);
    painter.setClipRect(area, Qt::IntersectClip);
    painter.fillRect(area, InterfaceColors::white());
    if (!patch.isNull() && sampling)
        paintPatch(painter);
    painter.restore();

    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath swatch;
    swatch.addRoundedRect(QRectF(10, 132, 13, 13), 3, 3);
    painter.fillPath(swatch, sampleColor);

    const QFont code = InterfaceFonts::system(11, InterfaceFonts::Weight::medium);
    painter.setPen(InterfaceColors::ink());
    InterfaceFonts::drawMonospacedDigits(painter, QPointF(29, 131 + QFontMetricsF(code).ascent()), hex, code);

    const QFont hintFont = InterfaceFonts::system(11);
    painter.setFont(hintFont);
    painter.setPen(InterfaceColors::muted());
    const QString hint = isDragging ? QStringLiteral("松开确定截图范围") : QStringLiteral("C 复制颜色并退出");
    painter.drawText(QPointF(10, 152 + QFontMetricsF(hintFont).ascent()), hint);
}

} // namespace vorlith

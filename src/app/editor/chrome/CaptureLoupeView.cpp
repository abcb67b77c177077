#include "app/editor/chrome/CaptureLoupeView.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/editor/chrome/DeviceScale.h"
#include "app/editor/chrome/LoupeSample.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vorlith {

namespace {

// The device-pixel rectangle of the patch that shows inside the area.
QRect visibleDevicePixels(const QRectF& destination, const QRectF& area, double ratio)
{
    const QRectF shown = destination.intersected(area);
    if (shown.isEmpty())
        return {};
    const int left = int(std::floor(shown.left() * ratio));
    const int top = int(std::floor(shown.top() * ratio));
    const int right = int(std::ceil(shown.right() * ratio));
    const int bottom = int(std::ceil(shown.bottom() * ratio));
    return QRect(left, top, right - left, bottom - top);
}

// How much of each device pixel along one axis the grid lines cover: lines `width` wide
// centred on start + i · cell, for i = 0…count, over the pixels first, first + 1, …
std::vector<double> lineCoverage(int first, int pixels, double ratio, double start, double cell, int count,
                                 double width)
{
    std::vector<double> coverage(size_t(pixels), 0.0);
    for (int i = 0; i <= count; ++i) {
        const double from = (start + i * cell - width / 2) * ratio;
        const double to = (start + i * cell + width / 2) * ratio;
        for (int p = std::max(int(std::floor(from)), first); p < std::min(int(std::ceil(to)), first + pixels); ++p) {
            const double overlap = std::min(to, p + 1.0) - std::max(from, double(p));
            if (overlap > 0)
                coverage[size_t(p - first)] = std::min(1.0, coverage[size_t(p - first)] + overlap);
        }
    }
    return coverage;
}

// Paints `color` over a premultiplied pixel with the given coverage.
QRgb over(QRgb pixel, const QColor& color, double coverage)
{
    const double a = color.alphaF() * coverage;
    if (a <= 0)
        return pixel;
    const auto mix = [a](int below, double above) { return int(std::lround(below * (1 - a) + above * a)); };
    return qRgba(mix(qRed(pixel), color.red()), mix(qGreen(pixel), color.green()), mix(qBlue(pixel), color.blue()),
                 mix(qAlpha(pixel), 255));
}

} // namespace

// The patch enlarged by nearest neighbour with its pixel grid, one output pixel per device
// pixel, drawn without any scaling. Qt's raster engine hands every fill of more than a few
// dozen spans to its thread pool: a scaled drawImage under a clip, or a hundred vertical grid
// lines, cost tens of milliseconds per pointer move on a busy machine. Here it is one pass.
QImage CaptureLoupeView::magnifiedPatch(const QImage& patch, const QRectF& destination, const QRectF& area,
                                        const Size& cell, double ratio)
{
    const QRect pixels = visibleDevicePixels(destination, area, ratio);
    if (pixels.isEmpty() || patch.isNull() || !(cell.width > 0) || !(cell.height > 0))
        return {};
    const QImage source = patch.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(pixels.size(), QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(ratio);
    std::vector<int> columns(size_t(pixels.width()));
    for (int x = 0; x < pixels.width(); ++x) {
        const double logical = (pixels.left() + x + 0.5) / ratio;
        columns[size_t(x)] = std::clamp(int(std::floor((logical - destination.left()) / cell.width)), 0, source.width() - 1);
    }
    // The grid: lines on every cell edge, first 0.75 wide and light, then 0.25 wide and dark.
    // A vertical and a horizontal line crossing cover a + b − a·b of a pixel, never twice.
    const int across = int(std::lround(destination.width() / cell.width));
    const int down = int(std::lround(destination.height() / cell.height));
    struct Lines {
        std::vector<double> x, y;
        QColor color;
    };
    const Lines grid[] = {
        {lineCoverage(pixels.left(), pixels.width(), ratio, destination.left(), cell.width, across, 0.75),
         lineCoverage(pixels.top(), pixels.height(), ratio, destination.top(), cell.height, down, 0.75),
         InterfaceColors::loupeGridLight()},
        {lineCoverage(pixels.left(), pixels.width(), ratio, destination.left(), cell.width, across, 0.25),
         lineCoverage(pixels.top(), pixels.height(), ratio, destination.top(), cell.height, down, 0.25),
         InterfaceColors::loupeGridDark()},
    };
    for (int y = 0; y < pixels.height(); ++y) {
        const double logical = (pixels.top() + y + 0.5) / ratio;
        const int row = std::clamp(int(std::floor((logical - destination.top()) / cell.height)), 0, source.height() - 1);
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(row));
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            QRgb pixel = in[columns[size_t(x)]];
            for (const Lines& lines : grid) {
                const double cx = lines.x[size_t(x)];
                const double cy = lines.y[size_t(y)];
                pixel = over(pixel, lines.color, cx + cy - cx * cy);
            }
            line[x] = pixel;
        }
    }
    return out;
}

QPointF CaptureLoupeView::enlargedOrigin(const QRectF& destination, const QRectF& area, double ratio)
{
    return QPointF(visibleDevicePixels(destination, area, ratio).topLeft()) / ratio;
}

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
    const double ratio = deviceScale(painter);
    const QImage magnified = magnifiedPatch(patch, d, area, s.cellSize, ratio);
    if (!magnified.isNull())
        painter.drawImage(enlargedOrigin(d, area, ratio), magnified);

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
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

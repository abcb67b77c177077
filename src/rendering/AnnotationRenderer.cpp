#include "rendering/AnnotationRenderer.h"

#include "core/CancellationError.h"
#include "core/CaptureContent.h"
#include "rendering/Bitmap.h"
#include "rendering/FontFactory.h"
#include "rendering/Mosaic.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace vorlith {

namespace {

using Kind = Annotation::Kind;

// Space between a text mark's box and its text.
constexpr double textInsetX = 6;
constexpr double textInsetY = 4;

struct Scales {
    double sx = 0;
    double sy = 0;
};

// Pixels per point on each axis. A logical size that is not finite and positive, or so small
// that the scale itself is not finite, cannot be drawn.
Scales scalesFor(const QImage& source, Size logicalSize)
{
    const double w = logicalSize.width;
    const double h = logicalSize.height;
    if (!std::isfinite(w) || !std::isfinite(h) || !(w > 0) || !(h > 0))
        throw AnnotationRenderError(AnnotationRenderError::invalidSize);
    const Scales scales{source.width() / w, source.height() / h};
    if (!std::isfinite(scales.sx) || !std::isfinite(scales.sy))
        throw AnnotationRenderError(AnnotationRenderError::invalidSize);
    return scales;
}

double clamp01(double component)
{
    return std::isnan(component) ? 0.0 : std::clamp(component, 0.0, 1.0);
}

QColor drawnColor(const RGBA& color, double alpha)
{
    return QColor::fromRgbF(float(clamp01(color.red)), float(clamp01(color.green)), float(clamp01(color.blue)),
                            float(clamp01(alpha)));
}

QColor drawnColor(const RGBA& color)
{
    return drawnColor(color, color.alpha);
}

double lineWidth(const AnnotationStyle& style)
{
    return std::isnan(style.width) ? 0.5 : std::clamp(style.width, 0.5, 100.0);
}

// One line of a text mark: ceil(1.35 × the clamped size).
double textLineHeight(double textSize)
{
    return std::ceil(textSize * 1.35);
}

QPainterPath roundedRectangle(const Rect& box)
{
    const double radius = std::min(0.25 * std::min(box.width(), box.height()), 10.0);
    QPainterPath path;
    path.addRoundedRect(toQRectF(box), radius, radius);
    return path;
}

// Starts painting on a bitmap of our own; a bitmap that cannot be drawn into is no image.
void beginPainting(QPainter& painter, QImage& bitmap)
{
    if (!painter.begin(&bitmap))
        throw AnnotationRenderError(AnnotationRenderError::imageFailed);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
}

void drawNumberBadge(const Annotation& mark, QPainter& painter)
{
    painter.save();
    const Rect box = mark.bounds();
    painter.setPen(Qt::NoPen);
    painter.setBrush(drawnColor(mark.style.color));
    painter.drawEllipse(toQRectF(box));

    const QString label = QString::number(mark.number);
    const double factor = mark.number < 10 ? 0.58 : mark.number < 100 ? 0.48 : 0.38;
    const double size = factor * box.width();
    if (std::isfinite(size) && size > 0) {
        const QFont font = FontFactory::markerFont(size, Bitmap::designDpi);
        const QFontMetricsF metrics = FontFactory::designMetrics(font);
        // Perceived brightness on the stored components: light badges get dark digits.
        const RGBA& c = mark.style.color;
        const double luminance = (299 * c.red + 587 * c.green + 114 * c.blue) * 255 / 1000;
        const QColor digits = luminance > 160 ? QColor(17, 24, 39) : QColor(Qt::white);
        // Digits stand on equal advances (the widest digit's), so 11 is as wide as 88 and a
        // number does not shift as it counts up.
        double cell = 0;
        for (char digit = '0'; digit <= '9'; ++digit)
            cell = std::max(cell, metrics.horizontalAdvance(QChar(QLatin1Char(digit))));
        const double width = cell * double(label.size());
        const double top = box.midY() - metrics.height() / 2;
        painter.setFont(font);
        painter.setPen(digits);
        for (qsizetype i = 0; i < label.size(); ++i) {
            const double advance = metrics.horizontalAdvance(label.at(i));
            const double x = box.midX() - width / 2 + cell * double(i) + (cell - advance) / 2;
            painter.drawText(QPointF(x, top + metrics.ascent()), QString(label.at(i)));
        }
    }
    painter.restore();
}

void drawText(const Annotation& mark, QPainter& painter)
{
    if (mark.points.empty())
        return;
    painter.save();
    const QString text = AnnotationRenderer::normalizedNewlines(mark.text);
    const Rect box = AnnotationRenderer::textBounds(text, mark.points.front(), mark.style.fontSize);
    if (mark.style.background) {
        QPainterPath background;
        background.addRoundedRect(toQRectF(box), 4, 4);
        painter.fillPath(background, drawnColor(*mark.style.background));
    }

    const double size = FontFactory::textSize(mark.style.fontSize);
    const QFont font = FontFactory::textFont(size, Bitmap::designDpi);
    const QFontMetricsF metrics = FontFactory::designMetrics(font);
    const double lineHeight = textLineHeight(size);
    const QRectF inner = toQRectF(box.insetBy(textInsetX, textInsetY));
    // Lines are not wrapped and the box holds every line, so the clip cuts only what leaves
    // the whole box. The insets are room for glyphs that reach past their advance (the tail
    // of a leading "j", the hook of a trailing "f"): clipping at the inner box cut them.
    painter.setClipRect(toQRectF(box), Qt::IntersectClip);
    painter.setFont(font);
    painter.setPen(drawnColor(mark.style.color));
    // Each line sits in the middle of its fixed-height slot.
    const double baselineOffset = (lineHeight - metrics.ascent() - metrics.descent()) / 2 + metrics.ascent();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const double top = inner.top() + double(i) * lineHeight;
        if (top >= inner.bottom())
            break;
        painter.drawText(QPointF(inner.left(), top + baselineOffset), lines[i]);
    }
    painter.restore();
}

void drawStroke(const Annotation& mark, QPainter& painter)
{
    const auto& points = mark.points;
    if (points.empty())
        return;
    // A single point is a dot as wide as the line. So is a stroke whose points all coincide
    // (a drawing drag that ends where it began): its round caps make that dot, but Qt's
    // stroker drops paths without length and would draw nothing at all.
    const bool hasLength =
        std::any_of(points.begin() + 1, points.end(), [&](const Point& p) { return p != points.front(); });
    if (!hasLength) {
        const double radius = lineWidth(mark.style) / 2;
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(toQPointF(points.front()), radius, radius);
        return;
    }
    QPainterPath path(toQPointF(points.front()));
    for (size_t i = 1; i < points.size(); ++i)
        path.lineTo(toQPointF(points[i]));
    painter.strokePath(path, painter.pen());

    if (mark.kind != Kind::arrow)
        return;
    const Point last = points.back();
    const Point prev = points[points.size() - 2];
    const double angle = std::atan2(last.y - prev.y, last.x - prev.x);
    const double length = distance(prev, last);
    const double head = std::min(std::max(4 * lineWidth(mark.style), 10.0), 0.6 * length);
    QPainterPath arrowHead(QPointF(last.x - head * std::cos(angle - 0.5), last.y - head * std::sin(angle - 0.5)));
    arrowHead.lineTo(toQPointF(last));
    arrowHead.lineTo(QPointF(last.x - head * std::cos(angle + 0.5), last.y - head * std::sin(angle + 0.5)));
    painter.strokePath(arrowHead, painter.pen());
}

// Shapes, arrows, highlights, lines and pens, in logical points.
void paintGeometry(const Annotation& mark, QPainter& painter)
{
    painter.save();
    const QColor color = drawnColor(mark.style.color);
    painter.setPen(QPen(color, lineWidth(mark.style), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(color);
    const Rect box = mark.bounds();
    switch (mark.kind) {
    case Kind::line:
    case Kind::arrow:
    case Kind::pen:
        drawStroke(mark, painter);
        break;
    case Kind::roundedRectangle:
        painter.strokePath(roundedRectangle(box), painter.pen());
        break;
    case Kind::highlight:
        painter.fillPath(roundedRectangle(box), drawnColor(mark.style.color, mark.style.color.alpha * mark.style.opacity));
        break;
    case Kind::ellipse:
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(toQRectF(box));
        break;
    case Kind::text:
    case Kind::mosaic:
    case Kind::number:
        break;
    }
    painter.restore();
}

// The mosaic block in points: clamp(size, 8, 32); 32 when the size is not a number.
double mosaicBlock(double mosaicSize)
{
    return std::isnan(mosaicSize) ? 32.0 : std::clamp(mosaicSize, 8.0, 32.0);
}

// Block side in pixels: at least 2, and never beyond the image (a larger block is cut at the
// box's edge anyway), so the arithmetic stays in range at any scale.
int mosaicBlockPixels(double scale, double block, int imageExtent)
{
    const double pixels = std::trunc(scale * block);
    return clampToInt(std::clamp(pixels, 2.0, double(std::max(imageExtent, 2))));
}

void drawMosaic(const Annotation& mark, const Scales& scales, QImage& bitmap, uchar* bits,
                const AnnotationRenderer::Checkpoint& checkpoint)
{
    const std::optional<QRect> box =
        AnnotationRenderer::pixelBox(mark.bounds(), scales.sx, scales.sy, bitmap.size());
    if (!box || !bits)
        return;
    const double block = mosaicBlock(mark.style.mosaicSize);
    const QSize blockPixels(mosaicBlockPixels(scales.sx, block, bitmap.width()),
                            mosaicBlockPixels(scales.sy, block, bitmap.height()));
    Mosaic::pixelate(bits, bitmap.bytesPerLine(), *box, blockPixels, checkpoint);
}

void drawPreparedText(const AnnotationRenderer::PreparedText& prepared, const Scales& scales, QPainter& painter)
{
    painter.save();
    painter.resetTransform();
    // The raster was made for exactly this pixel box: copy it without interpolation.
    const QPoint origin(clampToInt(std::round(prepared.rect.minX() * scales.sx)),
                        clampToInt(std::round(prepared.rect.minY() * scales.sy)));
    painter.drawImage(origin, prepared.image);
    painter.restore();
}

AnnotationRenderer::PreparedText rasterise(const Annotation& mark, const QRect& pixels, const Scales& scales)
{
    QImage raster = Bitmap::create(pixels.width(), pixels.height());
    if (raster.isNull())
        throw AnnotationRenderError(AnnotationRenderError::allocationFailed);
    {
        QPainter painter;
        beginPainting(painter, raster);
        painter.translate(-pixels.x(), -pixels.y());
        painter.scale(scales.sx, scales.sy);
        if (mark.kind == Kind::number)
            drawNumberBadge(mark, painter);
        else
            drawText(mark, painter);
    }
    const Rect rect(pixels.x() / scales.sx, pixels.y() / scales.sy, pixels.width() / scales.sx,
                    pixels.height() / scales.sy);
    return {raster, rect};
}

} // namespace

QString AnnotationRenderer::normalizedNewlines(const QString& text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

QColor AnnotationRenderer::drawnColor(const RGBA& color)
{
    return vorlith::drawnColor(color);
}

Rect AnnotationRenderer::textBounds(const QString& text, Point at, double fontSize)
{
    const double size = FontFactory::textSize(fontSize);
    const QFontMetricsF metrics = FontFactory::designMetrics(FontFactory::textFont(size, Bitmap::designDpi));
    const QStringList lines = normalizedNewlines(text).split(QLatin1Char('\n'));
    double widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const double width = std::max(std::ceil(widest) + 2 * textInsetX, 8.0);
    const double height =
        std::ceil(textLineHeight(size) * double(std::max<qsizetype>(lines.size(), 1))) + 2 * textInsetY;
    return Rect(at.x, at.y, width, height);
}

std::optional<Rect> AnnotationRenderer::rasterBox(const Annotation& mark)
{
    if (mark.kind == Kind::number)
        return mark.bounds();
    if (mark.kind == Kind::text && !mark.points.empty())
        return textBounds(mark.text, mark.points.front(), mark.style.fontSize);
    return std::nullopt;
}

std::optional<QRect> AnnotationRenderer::pixelBox(const Rect& logical, double sx, double sy, QSize pixels)
{
    const double x0 = std::floor(sx * logical.minX());
    const double y0 = std::floor(sy * logical.minY());
    const double x1 = std::ceil(sx * logical.maxX());
    const double y1 = std::ceil(sy * logical.maxY());
    if (std::isnan(x0) || std::isnan(y0) || std::isnan(x1) || std::isnan(y1))
        return std::nullopt;
    // Clipped to the image in double first, so any magnitude converts safely.
    const double w = std::max(pixels.width(), 0);
    const double h = std::max(pixels.height(), 0);
    const int left = clampToInt(std::clamp(x0, 0.0, w));
    const int top = clampToInt(std::clamp(y0, 0.0, h));
    const int right = clampToInt(std::clamp(x1, 0.0, w));
    const int bottom = clampToInt(std::clamp(y1, 0.0, h));
    if (right <= left || bottom <= top)
        return std::nullopt;
    return QRect(left, top, right - left, bottom - top);
}

AnnotationRenderer::PreparedRender AnnotationRenderer::prepare(const QImage& source, Size logicalSize,
                                                              std::vector<Annotation> annotations)
{
    const Scales scales = scalesFor(source, logicalSize);
    CaptureContent content{Rect(0, 0, logicalSize.width, logicalSize.height), std::move(annotations), 1};
    if (!content.isValid())
        throw AnnotationRenderError(AnnotationRenderError::invalidAnnotation);

    PreparedRender prepared{source, logicalSize, std::move(content.annotations), {}};
    for (const Annotation& mark : prepared.annotations) {
        const std::optional<Rect> box = rasterBox(mark);
        if (!box)
            continue;
        const std::optional<QRect> pixels = pixelBox(*box, scales.sx, scales.sy, source.size());
        if (!pixels)
            continue;
        prepared.texts.insert(mark.id, rasterise(mark, *pixels, scales));
    }
    return prepared;
}

QImage AnnotationRenderer::composite(const PreparedRender& render, std::stop_token stop)
{
    return composite(render, [&stop] {
        if (stop.stop_requested())
            throw CancellationError();
    });
}

QImage AnnotationRenderer::composite(const PreparedRender& render, const Checkpoint& checkpoint)
{
    checkpoint();
    const Scales scales = scalesFor(render.source, render.logicalSize);
    // The source drawn over nothing is the source itself: copy its pixels in one pass.
    QImage bitmap = Bitmap::copyOf(render.source);
    if (bitmap.isNull())
        throw AnnotationRenderError(AnnotationRenderError::allocationFailed);
    // The bitmap is ours alone, so its memory does not move while the painter is active;
    // the raster engine draws straight into it, which is all the mosaic's flush needs.
    uchar* bits = bitmap.bits();

    QPainter painter;
    beginPainting(painter, bitmap);
    painter.scale(scales.sx, scales.sy);
    for (const Annotation& mark : render.annotations) {
        checkpoint();
        switch (mark.kind) {
        case Kind::text:
        case Kind::number:
            if (const auto it = render.texts.constFind(mark.id); it != render.texts.cend())
                drawPreparedText(*it, scales, painter);
            break;
        case Kind::mosaic:
            drawMosaic(mark, scales, bitmap, bits, checkpoint);
            break;
        default:
            paintGeometry(mark, painter);
            break;
        }
    }
    painter.end();
    return bitmap;
}

void AnnotationRenderer::drawGeometry(const Annotation& mark, QPainter& painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintGeometry(mark, painter);
    painter.restore();
}

QImage AnnotationRenderer::render(const QImage& source, Size logicalSize, std::vector<Annotation> annotations)
{
    return composite(prepare(source, logicalSize, std::move(annotations)));
}

} // namespace vorlith

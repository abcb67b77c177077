#include "app/editor/EditorPicture.h"

#include "app/editor/DimmedRow.h"
#include "app/editor/chrome/DeviceScale.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vorlith {

namespace {

// A rectangle whose edges fall on the device's pixel grid, so the areas drawn from different
// pixmaps neither overlap nor leave a seam.
QRectF snapped(const Rect& rect, double scale)
{
    const auto snap = [scale](double v) { return std::round(v * scale) / scale; };
    const double x0 = snap(rect.minX());
    const double y0 = snap(rect.minY());
    return QRectF(QPointF(x0, y0), QPointF(snap(rect.maxX()), snap(rect.maxY())));
}

bool isFourBytePremultiplied(QImage::Format format)
{
    return format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB32;
}

} // namespace

EditorPicture::EditorPicture(QImage frozen, Size logicalSize, QColor dimColor)
    : m_frozen(std::move(frozen)), m_logicalSize(logicalSize), m_dimColor(dimColor)
{
    m_clear = toPixmap(m_frozen);
}

QPixmap EditorPicture::toPixmap(const QImage& image) const
{
    // Without a format conversion the pixmap shares the image's pixels: no copy at all, and
    // the premultiplied format draws as fast as an opaque one in Source mode.
    QPixmap pixmap = QPixmap::fromImage(image, Qt::NoFormatConversion);
    if (m_logicalSize.width > 0 && !pixmap.isNull())
        pixmap.setDevicePixelRatio(pixmap.width() / m_logicalSize.width);
    return pixmap;
}

const QPixmap& EditorPicture::marks(const QImage& composite)
{
    if (composite.cacheKey() != m_marksKey || m_marks.isNull()) {
        m_marks = toPixmap(composite);
        m_marksKey = composite.cacheKey();
    }
    return m_marks;
}

void EditorPicture::drawClipped(QPainter& painter, const QPixmap& pixmap, const QRectF& area) const
{
    if (area.isEmpty() || pixmap.isNull())
        return;
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    painter.drawPixmap(QPointF(0, 0), pixmap);
    painter.restore();
}

void EditorPicture::dim(QPainter& painter, const QRectF& area) const
{
    if (area.isEmpty())
        return;
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(area, m_dimColor);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
}

bool EditorPicture::copyDimmed(QPainter& painter, const QRectF& area, const std::optional<Cutout>& cutout) const
{
    QPaintEngine* engine = painter.paintEngine();
    if (!m_onePassDimming || !engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
        engine->paintDevice()->devType() != QInternal::Image)
        return false;
    auto& target = *static_cast<QImage*>(engine->paintDevice());
    if (!isFourBytePremultiplied(target.format()) || !isFourBytePremultiplied(m_frozen.format()) ||
        !target.isDetached() || painter.opacity() != 1.0 || m_logicalSize.width <= 0)
        return false;
    if (cutout && cutout->composite &&
        (cutout->composite->size() != m_frozen.size() || !isFourBytePremultiplied(cutout->composite->format())))
        return false;

    // Only a translation in whole device pixels at the picture's own density maps the
    // frozen pixels one to one onto the target's.
    const QTransform transform = painter.deviceTransform();
    const double scale = m_frozen.width() / m_logicalSize.width;
    if (transform.type() > QTransform::TxScale || std::abs(transform.m11() - scale) > 1e-9 ||
        std::abs(transform.m22() - scale) > 1e-9)
        return false;
    const double dx = std::round(transform.dx());
    const double dy = std::round(transform.dy());
    if (std::abs(dx - transform.dx()) > 1e-6 || std::abs(dy - transform.dy()) > 1e-6)
        return false;
    const QPoint offset{int(dx), int(dy)};
    const auto devicePixels = [&transform](const QRectF& rect) {
        const QRectF device = transform.mapRect(rect);
        return QRect(QPoint(qRound(device.left()), qRound(device.top())),
                     QPoint(qRound(device.right()) - 1, qRound(device.bottom()) - 1));
    };

    // Where this paint may write: what the painter would let a fill reach.
    QRegion region = QRegion(devicePixels(area)) & target.rect();
    if (!engine->systemClip().isEmpty())
        region &= engine->systemClip();
    if (painter.hasClipping())
        region &= transform.map(painter.clipRegion());
    if (!(region - m_frozen.rect().translated(offset)).isEmpty())
        return false; // a part the picture does not cover

    // Row by row, left to right, all of each row from the frozen image: the memory is walked
    // as a plain copy walks it. Reading another image for the selection in the same sweep,
    // or a band of short rows at a time, costs up to twice as much.
    const DimmedRow dimRow(m_dimColor, target.format() == QImage::Format_RGB32);
    const QRect clear = cutout ? devicePixels(cutout->area) : QRect();
    for (const QRect& rect : region) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            const auto* frozen = reinterpret_cast<const quint32*>(m_frozen.constScanLine(y - offset.y())) - offset.x();
            auto* row = reinterpret_cast<quint32*>(target.scanLine(y));
            int left = rect.left();
            const int right = rect.right() + 1;
            if (y >= clear.top() && y <= clear.bottom()) {
                const int from = std::clamp(clear.left(), left, right);
                const int to = std::clamp(clear.right() + 1, from, right);
                dimRow(frozen + left, row + left, from - left);
                std::memcpy(row + from, frozen + from, size_t(to - from) * sizeof(quint32));
                left = to;
            }
            dimRow(frozen + left, row + left, right - left);
        }
    }
    // Then the marks, where they changed the picture.
    if (cutout && cutout->composite) {
        for (const QRect& rect : cutout->changed.translated(offset) & clear & region) {
            for (int y = rect.top(); y <= rect.bottom(); ++y) {
                const auto* marks = reinterpret_cast<const quint32*>(cutout->composite->constScanLine(y - offset.y())) - offset.x();
                auto* row = reinterpret_cast<quint32*>(target.scanLine(y));
                std::memcpy(row + rect.left(), marks + rect.left(), size_t(rect.width()) * sizeof(quint32));
            }
        }
    }
    return true;
}

QRegion EditorPicture::changesOf(const Layers& layers)
{
    if (!layers.composite)
        return {};
    return layers.compositeChanges ? *layers.compositeChanges : QRegion(layers.composite->rect());
}

void EditorPicture::paint(QPainter& painter, const Layers& layers)
{
    const double scale = deviceScale(painter);
    const QRectF whole = snapped(Rect(0, 0, m_logicalSize.width, m_logicalSize.height), scale);
    const bool withMarks = layers.composite && !layers.composite->isNull();
    std::optional<QRectF> selection;
    if (layers.selection)
        selection = snapped(*layers.selection, scale).intersected(whole);
    if (selection && selection->isEmpty())
        selection.reset();

    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (selection && layers.cutOut && layers.dimmed &&
        copyDimmed(painter, whole, Cutout{*selection, withMarks ? layers.composite : nullptr, changesOf(layers)})) {
        // The whole picture in one pass: dimmed around the selection, inside it the
        // composite, which already holds the picture under the marks, or the clear image.
    } else if (selection && layers.cutOut) {
        // Four bands around the selection, each a plain rectangle clip; inside it the
        // composite or the clear image.
        const QRectF& s = *selection;
        const QRectF bands[] = {QRectF(whole.topLeft(), QPointF(whole.right(), s.top())),
                                QRectF(QPointF(whole.left(), s.bottom()), whole.bottomRight()),
                                QRectF(QPointF(whole.left(), s.top()), s.bottomLeft()),
                                QRectF(s.topRight(), QPointF(whole.right(), s.bottom()))};
        for (const QRectF& band : bands) {
            if (band.isEmpty() || (layers.dimmed && copyDimmed(painter, band)))
                continue;
            drawClipped(painter, m_clear, band);
            if (layers.dimmed)
                dim(painter, band);
        }
        drawClipped(painter, withMarks ? marks(*layers.composite) : m_clear, s);
    } else if (layers.dimmed && !(selection && withMarks) && copyDimmed(painter, whole)) {
        // The whole picture dimmed, in one pass.
    } else {
        drawClipped(painter, m_clear, whole);
        if (selection && withMarks)
            drawClipped(painter, marks(*layers.composite), *selection);
        if (layers.dimmed)
            dim(painter, whole);
    }
    painter.restore();
}

} // namespace vorlith

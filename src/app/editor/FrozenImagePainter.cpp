#include "app/editor/FrozenImagePainter.h"

#include <QPainter>

namespace vorlith {

namespace {

QImage opaqueView(const QImage& image)
{
    // Opaque premultiplied ARGB is RGB32 byte for byte; other formats are drawn as they are.
    if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_ARGB32)
        return image;
    // Read-only over the image's own memory (constBits never detaches). No colour space is
    // set on it: that could copy, and painting does not convert between colour spaces anyway.
    return QImage(image.constBits(), image.width(), image.height(), image.bytesPerLine(), QImage::Format_RGB32);
}

} // namespace

FrozenImagePainter::FrozenImagePainter(QImage image, double scale)
    : m_image(std::move(image)), m_view(opaqueView(m_image)), m_scale(scale > 0 ? scale : 1)
{
}

void FrozenImagePainter::paint(QPainter& painter, const QRect& exposed) const
{
    if (m_view.isNull())
        return;
    const QRectF source(exposed.x() * m_scale, exposed.y() * m_scale, exposed.width() * m_scale,
                        exposed.height() * m_scale);
    const QPainter::CompositionMode mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(exposed), m_view, source);
    painter.setCompositionMode(mode);
}

} // namespace vorlith

#include "app/capture/FrozenImage.h"

#include "app/base/PngDecoder.h"
#include "core/Saturating.h"

#include <QBuffer>
#include <QImageReader>

namespace vorlith {

FrozenImage::Layout FrozenImage::Layout::of(const QImage& image)
{
    if (image.isNull())
        return {};
    return Layout{image.size(),          image.format(),         image.bytesPerLine(),        image.colorSpace(),
                  image.dotsPerMeterX(), image.dotsPerMeterY(), image.devicePixelRatio()};
}

FrozenImage::FrozenImage(QImage bitmap) : m_bitmap(std::move(bitmap)), m_layout(Layout::of(m_bitmap)) {}

std::optional<FrozenImage> FrozenImage::compacted(QByteArray png, const QImage& bitmap)
{
    if (png.isEmpty() || bitmap.isNull())
        return std::nullopt;
    const Layout layout = Layout::of(bitmap);
    const QImage decoded = decode(png, layout);
    // Equal pixels, compared in the bitmap's own format; a decode that needed any other
    // conversion, or lost precision on the way, is refused.
    if (decoded.isNull() || decoded.size() != bitmap.size() || decoded != bitmap)
        return std::nullopt;
    FrozenImage image;
    image.m_png = std::move(png);
    image.m_layout = layout;
    return image;
}

qint64 FrozenImage::bitmapBytes() const
{
    return saturatingMultiply(m_layout.bytesPerLine, m_layout.size.height());
}

QImage FrozenImage::pixels() const
{
    if (!isCompacted())
        return m_bitmap;
    return decode(m_png, m_layout);
}

QImage FrozenImage::decode(const QByteArray& png, const Layout& layout)
{
    QImage image;
    if (std::optional<QImage> fast = PngDecoder::decode(png)) {
        image = std::move(*fast);
    } else {
        // Not the kind of file our writer makes: the general decoder.
        QByteArray data = png; // shared, never written: the buffer only reads it
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "png");
        reader.setAutoTransform(false);
        if (!reader.read(&image))
            return {};
    }
    // Our bitmaps are premultiplied ARGB already, so this rewrites nothing for them.
    image.convertTo(layout.format);
    if (image.isNull())
        return {};
    image.setColorSpace(layout.colorSpace);
    image.setDotsPerMeterX(layout.dotsPerMeterX);
    image.setDotsPerMeterY(layout.dotsPerMeterY);
    image.setDevicePixelRatio(layout.devicePixelRatio);
    return image;
}

} // namespace vorlith

#include "app/output/ImageEncoder.h"

#include "app/output/PngEncoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QPainter>

namespace vorlith {

ImageEncodingError::ImageEncodingError() : std::runtime_error("无法生成图片数据。") {}

namespace {

bool isEightBitRgb(QImage::Format format)
{
    return format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_ARGB32 ||
           format == QImage::Format_RGB32;
}

// The image in sRGB, converted at the depth it came in, so that a 16-bit wide-gamut image
// loses precision only once.
QImage inSrgb(const QImage& image)
{
    const QColorSpace srgb(QColorSpace::SRgb);
    const QColorSpace space = image.colorSpace();
    if (!space.isValid() || space == srgb)
        return image;
    QImage source = image;
    if (source.depth() < 32 || source.format() == QImage::Format_RGB888 || source.format() == QImage::Format_BGR888)
        source = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    return source.convertedToColorSpace(srgb);
}

} // namespace

QImage ImageEncoder::flattened(const QImage& image, ImageFormat format)
{
    if (image.isNull())
        return {};
    QImage source = inSrgb(image);
    if (source.isNull())
        return {};

    if (format == ImageFormat::jpeg) {
        QImage canvas(source.size(), QImage::Format_RGB32);
        if (canvas.isNull())
            return {};
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        // Pixel for pixel: drawn at a point, an image with a device pixel ratio above 1
        // would shrink into the corner.
        painter.drawImage(QRect(QPoint(0, 0), source.size()), source);
        painter.end();
        canvas.setColorSpace(QColorSpace(QColorSpace::SRgb));
        return canvas;
    }

    // Tagging the result would detach a shared bitmap for nothing: the PNG writer takes its
    // input as sRGB and says so in the file.
    if (!isEightBitRgb(source.format()))
        source = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return source;
}

QByteArray ImageEncoder::encode(const QImage& image, ImageFormat format)
{
    const QImage bitmap = flattened(image, format);
    if (bitmap.isNull())
        throw ImageEncodingError();

    if (format == ImageFormat::png) {
        std::optional<QByteArray> png = PngEncoder::encode(bitmap);
        if (!png)
            throw ImageEncodingError();
        return std::move(*png);
    }

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(jpegQuality);
    if (!writer.write(bitmap))
        throw ImageEncodingError();
    return bytes;
}

} // namespace vorlith

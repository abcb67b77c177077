#include "app/import/ImageProbe.h"

#include "app/base/ImageResourceStore.h"
#include "app/import/ImportError.h"
#include "app/import/ImportItemName.h"
#include "core/CancellationError.h"
#include "core/Saturating.h"
#include "rendering/Bitmap.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>

#include <limits>

namespace vorlith {

namespace {

constexpr qint64 largestPixelBytes = 8; // 16 bits for each of four channels

void throwIfStopped(const std::stop_token& stop)
{
    if (stop.stop_requested())
        throw CancellationError();
}

quint32 bigEndian32(const char* at)
{
    const auto* b = reinterpret_cast<const unsigned char*>(at);
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

bool swapsSides(QImageIOHandler::Transformations transformation)
{
    // EXIF orientations 5 to 8 are the ones that turn the image a quarter.
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

} // namespace

qint64 ImageProbe::metadataBytes(const QList<QUrl>& urls)
{
    qint64 total = 4'096;
    const auto add = [&total](qint64 bytes) {
        if (__builtin_add_overflow(total, bytes, &total))
            throw ImageResourceStore::Failure(ImageResourceStore::Failure::budget);
    };
    for (const QUrl& url : urls) {
        const qint64 absolute = url.toEncoded().size();
        const qint64 name = lastPathComponent(url).toUtf8().size();
        qint64 both = 0;
        if (__builtin_add_overflow(absolute, name, &both) || __builtin_mul_overflow(both, 2, &both))
            throw ImageResourceStore::Failure(ImageResourceStore::Failure::budget);
        add(both);
        add(1'536);
    }
    return total;
}

bool ImageProbe::isPng(const QByteArray& bytes)
{
    return bytes.startsWith(QByteArrayLiteral("\x89PNG\r\n\x1a\n"));
}

bool ImageProbe::isJpeg(const QByteArray& bytes)
{
    return bytes.startsWith(QByteArrayLiteral("\xFF\xD8\xFF"));
}

qint64 ImageProbe::pngFrameCount(const QByteArray& bytes)
{
    if (!isPng(bytes))
        return 0;
    // Chunks: length (4, big-endian), type (4), data, CRC (4). Animation control must come
    // before the first image data to count.
    qsizetype at = 8;
    while (at + 8 <= bytes.size()) {
        const qint64 length = bigEndian32(bytes.constData() + at);
        const QByteArray type = bytes.mid(at + 4, 4);
        const qsizetype data = at + 8;
        if (type == "IDAT" || type == "IEND")
            return 1;
        if (type == "acTL") {
            if (length < 8 || data + 8 > bytes.size())
                return 1;
            return bigEndian32(bytes.constData() + data);
        }
        if (length > bytes.size() - data - 4)
            return 1;
        at = data + length + 4;
    }
    return 1;
}

ImageMetadata ImageProbe::metadata(const QByteArray& bytes, bool allowedFileTypesOnly, std::stop_token stop)
{
    throwIfStopped(stop);
    QByteArray view = QByteArray::fromRawData(bytes.constData(), bytes.size());

    qint64 frames = 0;
    {
        QBuffer buffer(&view);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        if (!reader.canRead())
            throw ImportError(ImportError::corrupt);
        frames = reader.imageCount();
    }
    if (isPng(bytes))
        frames = std::max(frames, pngFrameCount(bytes));
    if (frames < 1)
        throw ImportError(ImportError::corrupt);
    if (frames > 1)
        throw ImportError(ImportError::animated);

    // The container found in the bytes decides, never the name they came under.
    if (allowedFileTypesOnly && !isPng(bytes) && !isJpeg(bytes))
        throw ImportError(ImportError::unsupported);

    QBuffer buffer(&view);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() < 1 || size.height() < 1)
        throw ImportError(ImportError::corrupt);
    ImageMetadata metadata{size.width(), size.height(), size.width(), size.height()};
    if (swapsSides(reader.transformation()))
        std::swap(metadata.orientedWidth, metadata.orientedHeight);
    return metadata;
}

QImage ImageProbe::decode(const QByteArray& bytes, const ImageMetadata& metadata, std::stop_token stop)
{
    throwIfStopped(stop);
    QByteArray view = QByteArray::fromRawData(bytes.constData(), bytes.size());
    QBuffer buffer(&view);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        throw ImportError(ImportError::corrupt);
    if (image.width() != metadata.orientedWidth || image.height() != metadata.orientedHeight)
        throw ImportError(ImportError::corrupt);
    Bitmap::conform(image);
    if (image.isNull())
        throw ImportError(ImportError::corrupt);
    throwIfStopped(stop);
    return image;
}

int ImageProbe::decoderAllocationLimitMegabytes()
{
    const qint64 bytes = saturatingMultiply(ImageResourceStore::maximumPixels, largestPixelBytes);
    // Qt checks each allocation on its own, so the largest single image decides.
    const qint64 megabytes = bytes / (1024 * 1024) + 1;
    return int(std::min<qint64>(megabytes, std::numeric_limits<int>::max()));
}

void ImageProbe::applyDecoderAllocationLimit()
{
    QImageReader::setAllocationLimit(decoderAllocationLimitMegabytes());
}

} // namespace vorlith

#include "app/import/ImageProbe.h"

#include "app/base/ImageResourceStore.h"
#include "app/base/PngChunks.h"
#include "app/import/ImportError.h"
#include "app/import/ImportItemName.h"
#include "app/import/JpegStructure.h"
#include "app/import/LongSidePngReader.h"
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

// A decoded image checked against the probed size and brought into the bitmap format.
QImage conformed(QImage image, const ImageMetadata& metadata, const std::stop_token& stop)
{
    if (image.isNull() || image.width() != metadata.orientedWidth || image.height() != metadata.orientedHeight)
        throw ImportError(ImportError::corrupt);
    Bitmap::conform(image);
    if (image.isNull())
        throw ImportError(ImportError::corrupt);
    throwIfStopped(stop);
    return image;
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
    return png::hasSignature(bytes);
}

bool ImageProbe::isJpeg(const QByteArray& bytes)
{
    return bytes.startsWith(QByteArrayLiteral("\xFF\xD8\xFF"));
}

bool ImageProbe::isOtherImage(const QByteArray& bytes)
{
    static const QByteArray prefixes[] = {
        QByteArrayLiteral("GIF87a"), QByteArrayLiteral("GIF89a"), QByteArrayLiteral("II*\0"),
        QByteArrayLiteral("MM\0*"), QByteArrayLiteral("BM"), QByteArrayLiteral("\xFF\x0A"), // JPEG XL
        QByteArrayLiteral("\0\0\0\x0CJXL \r\n\x87\n"), QByteArrayLiteral("8BPS"), QByteArrayLiteral("\0\0\1\0"), // ICO
    };
    for (const QByteArray& prefix : prefixes)
        if (bytes.startsWith(prefix))
            return true;
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return true;
    // ISO base media files (HEIF, AVIF): an "ftyp" box whose brands name a still-image kind.
    if (bytes.mid(4, 4) != "ftyp")
        return false;
    const qsizetype boxSize = qMin<qsizetype>(bigEndian32(bytes.constData()), bytes.size());
    static const QByteArray brands[] = {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs",
                                        "mif1", "msf1", "avif", "avis", "avio"};
    for (qsizetype at = 8; at + 4 <= boxSize; at += 4) // the major brand, a version, then the compatible brands
        for (const QByteArray& brand : brands)
            if (bytes.mid(at, 4) == brand)
                return true;
    return false;
}

ImageMetadata ImageProbe::metadata(const QByteArray& bytes, bool allowedFileTypesOnly, std::stop_token stop)
{
    throwIfStopped(stop);
    // A PNG is judged by its own chunks, never by a general reader: a chunk that claims more
    // than the file holds would have the reader wait and allocate for it. PNGs carry no
    // orientation the decoder applies.
    if (isPng(bytes)) {
        const std::optional<png::Layout> layout = png::walkChunks(bytes);
        if (!layout)
            throw ImportError(ImportError::corrupt);
        if (layout->frames > 1)
            throw ImportError(ImportError::animated);
        const qint64 width = layout->header.width, height = layout->header.height;
        return ImageMetadata{width, height, width, height};
    }
    if (isJpeg(bytes) && !jpeg::reachesEndOfImage(bytes))
        throw ImportError(ImportError::corrupt);

    QByteArray view = QByteArray::fromRawData(bytes.constData(), bytes.size());
    QBuffer buffer(&view);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const bool readable = reader.canRead();
    const qint64 frames = readable ? reader.imageCount() : 0;
    // Files must be JPEG by now. Another kind of image is unsupported whether or not a reader
    // knows it, but its frames are counted first: an animation is `animated` from any source.
    if (allowedFileTypesOnly && !isJpeg(bytes) && (readable || isOtherImage(bytes)))
        throw ImportError(frames > 1 ? ImportError::animated : ImportError::unsupported);
    if (!readable || frames < 1)
        throw ImportError(ImportError::corrupt);
    if (frames > 1)
        throw ImportError(ImportError::animated);
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
    // The structure is checked again: decode may be given bytes no probe has seen.
    std::optional<png::Layout> layout;
    if ((isPng(bytes) && !(layout = png::walkChunks(bytes))) || (isJpeg(bytes) && !jpeg::reachesEndOfImage(bytes)))
        throw ImportError(ImportError::corrupt);
    if (layout && LongSidePngReader::needed(layout->header.width, layout->header.height))
        return conformed(LongSidePngReader::read(bytes).value_or(QImage()), metadata, stop);
    QByteArray view = QByteArray::fromRawData(bytes.constData(), bytes.size());
    QBuffer buffer(&view);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image))
        throw ImportError(ImportError::corrupt);
    return conformed(std::move(image), metadata, stop);
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

#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QUrl>
#include <QtGlobal>

#include <stop_token>

namespace vorlith {

// What the probe learnt of one encoded image, before any pixel is decoded.
struct ImageMetadata {
    qint64 width = 0;  // stored pixel size of the first image
    qint64 height = 0;
    qint64 orientedWidth = 0; // the size once its orientation is applied
    qint64 orientedHeight = 0;
    friend bool operator==(const ImageMetadata&, const ImageMetadata&) = default;
};

// The three steps every imported image passes, on bytes already in memory: a cheap probe of
// the container's header, (the caller's memory reservation,) then one full decode into the
// application's bitmap format. Stateless; `metadata` and `decode` run on the import worker.
struct ImageProbe {
    // The memory a file batch reserves for its own bookkeeping (names and failure texts).
    // Throws ImageResourceStore::Failure::budget when the sum does not fit in 64 bits.
    static qint64 metadataBytes(const QList<QUrl>& urls);

    // Throws ImportError (corrupt, animated, or unsupported when `allowedFileTypesOnly` and
    // the bytes are neither PNG nor JPEG) or CancellationError. The frame count is tested
    // before the container type, so an animated file is `animated`, not `unsupported`.
    static ImageMetadata metadata(const QByteArray& bytes, bool allowedFileTypesOnly, std::stop_token stop = {});

    // The upright image of exactly the oriented size, in the bitmap format (8-bit,
    // premultiplied) and sRGB. Throws ImportError::corrupt or CancellationError.
    static QImage decode(const QByteArray& bytes, const ImageMetadata& metadata, std::stop_token stop = {});

    // Qt refuses by default to allocate images above 128 MB, which would refuse images the
    // memory budget admitted (up to 64 million pixels, decoded through 8-byte pixels for
    // 16-bit PNGs). The budget decides sizes: this lifts Qt's limit above what it can admit.
    // Process-wide; call once at start, before any decode (the entry point and the tests do).
    static void applyDecoderAllocationLimit();
    static int decoderAllocationLimitMegabytes();

    static bool isPng(const QByteArray& bytes);
    static bool isJpeg(const QByteArray& bytes);
    // Another still or animated image container known by its first bytes (GIF, TIFF, BMP,
    // WebP, HEIF, AVIF, JPEG XL, PSD, ICO): a file of it is unsupported, not damaged.
    static bool isOtherImage(const QByteArray& bytes);
};

} // namespace vorlith

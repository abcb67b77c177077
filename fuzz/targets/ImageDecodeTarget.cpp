#include "FuzzCheck.h"
#include "FuzzTargets.h"

#include "app/import/ImageProbe.h"
#include "app/import/ImportError.h"
#include "rendering/Bitmap.h"

#include <QByteArray>

namespace vorlith::fuzz {

namespace {

// The budget would reserve larger images first; the fuzzer keeps each run small and quick.
constexpr qint64 largestPixels = qint64(4) << 20;

} // namespace

void imageDecode(const std::uint8_t* data, std::size_t size)
{
    initialize();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    ImageMetadata metadata;
    try {
        metadata = ImageProbe::metadata(bytes, false);
    } catch (const ImportError&) {
        return;
    }
    if (metadata.width * metadata.height > largestPixels)
        return;
    try {
        const QImage image = ImageProbe::decode(bytes, metadata);
        VORLITH_FUZZ_CHECK(image.width() == metadata.orientedWidth && image.height() == metadata.orientedHeight);
        VORLITH_FUZZ_CHECK(image.format() == Bitmap::format);
    } catch (const ImportError& error) {
        VORLITH_FUZZ_CHECK(error.reason() == ImportError::corrupt);
    }
}

} // namespace vorlith::fuzz

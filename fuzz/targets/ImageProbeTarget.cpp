#include "FuzzCheck.h"
#include "FuzzTargets.h"

#include "app/import/ImageProbe.h"
#include "app/import/ImportError.h"

#include <QByteArray>

namespace vorlith::fuzz {

void imageProbe(const std::uint8_t* data, std::size_t size)
{
    initialize();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const bool filesOnly : {true, false}) {
        try {
            const ImageMetadata metadata = ImageProbe::metadata(bytes, filesOnly);
            VORLITH_FUZZ_CHECK(metadata.width >= 1 && metadata.height >= 1);
            const bool same = metadata.orientedWidth == metadata.width && metadata.orientedHeight == metadata.height;
            const bool turned = metadata.orientedWidth == metadata.height && metadata.orientedHeight == metadata.width;
            VORLITH_FUZZ_CHECK(same || turned);
            // Files pass only as PNG or JPEG.
            VORLITH_FUZZ_CHECK(!filesOnly || ImageProbe::isPng(bytes) || ImageProbe::isJpeg(bytes));
        } catch (const ImportError& error) {
            VORLITH_FUZZ_CHECK(error.reason() != ImportError::noImage);
        }
    }
}

} // namespace vorlith::fuzz

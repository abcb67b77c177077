#include "FuzzCheck.h"
#include "FuzzTargets.h"

#include "app/base/PngChunks.h"
#include "app/base/PngDecoder.h"

#include <QByteArray>

namespace vorlith::fuzz {

void pngChunks(const std::uint8_t* data, std::size_t size)
{
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype next = 8;
    bool sawEnd = false;
    const std::optional<png::Layout> layout = png::walkChunks(file, [&](const png::Chunk& chunk) {
        // Chunks follow one another without gaps, inside the file, and end with IEND.
        VORLITH_FUZZ_CHECK(!sawEnd);
        VORLITH_FUZZ_CHECK(chunk.type.data() == file.constData() + next + 4);
        VORLITH_FUZZ_CHECK(chunk.data.data() + chunk.data.size() + 4 <= file.constData() + file.size());
        VORLITH_FUZZ_CHECK(!chunk.ancillary() || chunk.data.size() <= qsizetype(png::maximumAncillaryLength));
        next += 12 + chunk.data.size();
        sawEnd = chunk.is("IEND");
        return true;
    });
    if (layout) {
        VORLITH_FUZZ_CHECK(sawEnd);
        VORLITH_FUZZ_CHECK(layout->header.width >= 1 && layout->header.height >= 1);
        VORLITH_FUZZ_CHECK(layout->frames >= 1);
    }
    // The fast decoder reads only what the walk accepts, at the size the header announces.
    if (const std::optional<QImage> image = PngDecoder::decode(file)) {
        VORLITH_FUZZ_CHECK(layout.has_value());
        VORLITH_FUZZ_CHECK(quint32(image->width()) == layout->header.width);
        VORLITH_FUZZ_CHECK(quint32(image->height()) == layout->header.height);
    }
}

} // namespace vorlith::fuzz

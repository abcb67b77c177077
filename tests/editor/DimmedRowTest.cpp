// Each build of the dimming kernel against the exact blend (every channel of the picture times
// the dim colour's remaining alpha / 255, rounded to nearest, plus the dim colour's), for every
// alpha of the dim colour, with row lengths that leave every possible tail after the vector
// steps, and pixels of many alphas.
#include "app/editor/DimmedRow.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>

using namespace vorlith;

namespace {

constexpr int rowLength = 37; // not a multiple of 4 or 8

QImage premultipliedRow()
{
    QImage row(rowLength, 1, QImage::Format_ARGB32_Premultiplied);
    auto* pixels = reinterpret_cast<QRgb*>(row.scanLine(0));
    for (int x = 0; x < rowLength; ++x)
        pixels[x] = qPremultiply(qRgba((x * 71) % 256, (x * 37 + 11) % 256, (x * 113 + 5) % 256, x == 0 ? 0 : 255 - x * 3));
    return row;
}

quint32 exactlyBlended(quint32 pixel, const DimmedRow& blend)
{
    quint32 result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const quint32 channel = (pixel >> shift) & 0xff;
        const auto kept = quint32(std::lround(channel * double(blend.keep) / 255));
        result |= (((blend.dim >> shift) & 0xff) + kept) << shift;
    }
    return result | blend.opaque;
}

} // namespace

TEST(DimmedRow, EveryBuildBlendsExactly)
{
    const QImage row = premultipliedRow();
    const auto* source = reinterpret_cast<const quint32*>(row.constScanLine(0));
    const std::vector<DimmedRow::Function> builds = DimmedRow::builds();
    ASSERT_FALSE(builds.empty());
    for (const bool opaque : {false, true}) {
        for (int alpha = 0; alpha <= 255; ++alpha) {
            const DimmedRow blend(QColor(30, 60, 90, alpha), opaque);
            for (size_t b = 0; b < builds.size(); ++b) {
                for (int count = 0; count <= rowLength; ++count) {
                    std::vector<quint32> got(size_t(rowLength), 0xdeadbeef);
                    builds[b](blend, source, got.data(), count);
                    for (int x = 0; x < rowLength; ++x) {
                        const quint32 expected = x < count ? exactlyBlended(source[x], blend) : 0xdeadbeef;
                        ASSERT_EQ(got[size_t(x)], expected) << "build " << b << " opaque " << opaque << " alpha "
                                                                 << alpha << " count " << count << " pixel " << x;
                    }
                }
            }
        }
    }
}

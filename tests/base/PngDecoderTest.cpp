#include "app/base/PngDecoder.h"
#include "app/output/PngEncoder.h"
#include "support/RenderingFixtures.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <libdeflate.h>
#include <png.h>

#include <cstring>
#include <vector>

namespace vorlith {
namespace {

using test::noiseImage;

// How libpng is asked to write a file.
struct Writing {
    int colorType = PNG_COLOR_TYPE_RGB;
    int filters = PNG_FILTER_NONE;
    int depth = 8;
    int interlace = PNG_INTERLACE_NONE;
    // Small buffers split the image data into many IDAT chunks.
    size_t bufferSize = 8192;
};

// Straight RGB(A) bytes of a premultiplied image, written by libpng as told.
QByteArray writeWithLibpng(const QImage& image, const Writing& how)
{
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), qsizetype(length));
        },
        nullptr);
    png_set_compression_buffer_size(png, how.bufferSize);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), how.depth, how.colorType,
                 how.interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, 0, how.filters);
    png_write_info(png, info);
    const int channels = how.colorType == PNG_COLOR_TYPE_RGBA ? 4 : how.colorType == PNG_COLOR_TYPE_RGB ? 3 : 1;
    const int bytesPerSample = how.depth / 8;
    std::vector<std::vector<png_byte>> rows(size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        rows[size_t(y)].resize(size_t(image.width() * channels * bytesPerSample));
        png_byte* out = rows[size_t(y)].data();
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = qUnpremultiply(image.pixel(x, y));
            const int samples[] = {qRed(p), qGreen(p), qBlue(p), qAlpha(p)};
            for (int c = 0; c < channels; ++c)
                for (int b = 0; b < bytesPerSample; ++b)
                    *out++ = png_byte(samples[c]);
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

QImage translucentNoise(QSize size)
{
    QImage image = noiseImage(size, 11);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            image.setPixel(x, y, qPremultiply(qRgba(qRed(p), qGreen(p), qBlue(p), (x * 37 + y * 11) % 256)));
        }
    return image;
}

// The bitmap a premultiplied image becomes after a round trip through straight 8-bit samples.
QImage roundTripped(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST(PngDecoder, ReadsEveryRowFilterOfRgbAndRgbaFiles)
{
    // Odd sizes, so no row is a multiple of anything convenient.
    const QImage opaque = noiseImage({37, 23}, 5);
    const QImage translucent = translucentNoise({29, 17});
    const struct {
        const char* name;
        int filters;
    } filters[] = {
        {"none", PNG_FILTER_NONE}, {"sub", PNG_FILTER_SUB},     {"up", PNG_FILTER_UP},
        {"average", PNG_FILTER_AVG}, {"paeth", PNG_FILTER_PAETH}, {"adaptive", PNG_ALL_FILTERS},
    };
    for (const auto& f : filters) {
        for (int colorType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGBA}) {
            SCOPED_TRACE(std::string(f.name) + (colorType == PNG_COLOR_TYPE_RGB ? " rgb" : " rgba"));
            const QImage& source = colorType == PNG_COLOR_TYPE_RGB ? opaque : translucent;
            // Tiny buffers: many IDAT chunks.
            const QByteArray file = writeWithLibpng(source, {colorType, f.filters, 8, PNG_INTERLACE_NONE, 64});
            ASSERT_FALSE(file.isEmpty());
            const std::optional<QImage> decoded = PngDecoder::decode(file);
            ASSERT_TRUE(decoded);
            EXPECT_EQ(decoded->format(), QImage::Format_ARGB32_Premultiplied);
            EXPECT_EQ(test::changedPixels(*decoded, roundTripped(source)), QRect());
        }
    }
}

// What our own writer makes comes back bit for bit, opaque (inflated into the bitmap itself)
// and translucent, at a width of one pixel too.
TEST(PngDecoder, ReadsOurOwnFilesExactly)
{
    for (const QImage& source : {noiseImage({1, 9}), noiseImage({640, 3}), translucentNoise({1, 1}), translucentNoise({300, 7})}) {
        SCOPED_TRACE(source.width());
        const std::optional<QByteArray> file = PngEncoder::encode(source);
        ASSERT_TRUE(file);
        const std::optional<QImage> decoded = PngDecoder::decode(*file);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(test::changedPixels(*decoded, source), QRect());
    }
}

// Files it does not read, and damaged ones, give nothing instead of a wrong picture.
TEST(PngDecoder, RefusesOtherKindsAndDamage)
{
    const QImage source = noiseImage({20, 10}, 2);
    const QByteArray good = *PngEncoder::encode(source);
    ASSERT_TRUE(PngDecoder::decode(good));

    QByteArray badCrc = good;
    badCrc[40] = char(badCrc[40] ^ 0x10); // inside the image data
    QByteArray truncated = good.left(good.size() - 12); // no IEND
    // A header claiming one row more than the data holds (its checksum made right again).
    QByteArray taller = good;
    qToBigEndian<quint32>(11, taller.data() + 16 + 4);
    const QByteArray header = taller.mid(12, 17);
    qToBigEndian<quint32>(quint32(libdeflate_crc32(0, header.constData(), size_t(header.size()))), taller.data() + 29);

    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"empty", QByteArray()},
        {"no signature", good.mid(8)},
        {"damaged data", badCrc},
        {"truncated", truncated},
        {"taller than its data", taller},
        {"16-bit", writeWithLibpng(source, {PNG_COLOR_TYPE_RGB, PNG_FILTER_NONE, 16})},
        {"interlaced", writeWithLibpng(source, {PNG_COLOR_TYPE_RGB, PNG_FILTER_NONE, 8, PNG_INTERLACE_ADAM7})},
        {"grey", writeWithLibpng(source, {PNG_COLOR_TYPE_GRAY, PNG_FILTER_NONE})},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(PngDecoder::decode(c.data)) << c.name;
}

} // namespace
} // namespace vorlith

#include "app/base/PngDecoder.h"
#include "app/output/ImageEncoder.h"
#include "app/output/PngEncoder.h"
#include "app/output/PngRowFilter.h"
#include "support/TestSupport.h"

#include "../../bench/ImageFixtures.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QtEndian>

#include <png.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using namespace vorlith;

namespace {

// Every premultiplied value a pixel can hold, several times over, plus a few opaque rows: the
// un-premultiplying must be exact for all of them.
QImage everyAlphaImage()
{
    QImage image(256, 260, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = y % 256;
            const int red = alpha == 0 ? 0 : x % (alpha + 1);
            const int green = alpha == 0 ? 0 : (x * 7 + 3) % (alpha + 1);
            const int blue = alpha == 0 ? 0 : (alpha - red);
            row[x] = qRgba(red, green, blue, alpha);
        }
    }
    return image;
}

QImage noisyOpaqueImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator random(3);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | (random.generate() & 0x00FFFFFFu);
    }
    return image;
}

// Rows that repeat every `period` rows, each of its own noise, so the compressor finds matches
// several rows back, across the seam into the band above. Alternating stretches of flat colour
// and noise make the bands differ in how they compress. Translucent when `alpha` is set.
QImage seamImage(int width, int height, int period, bool alpha)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        QRandomGenerator random(quint32(y % period));
        const bool flat = (y / 37) % 3 == 1;
        for (int x = 0; x < width; ++x) {
            const quint32 noise = flat ? 0x00406080u : random.generate();
            const int a = alpha ? int((noise >> 24) | 1) : 255;
            row[x] = qPremultiply(qRgba(int(noise & 0xFF), int((noise >> 8) & 0xFF), int((noise >> 16) & 0xFF), a));
        }
    }
    return image;
}

QImage withTranslucentPixel(QImage image, QPoint at)
{
    image.setPixel(at, qPremultiply(qRgba(200, 100, 50, 128)));
    return image;
}

QImage decodeWithQt(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.read();
}

// Straight BGRA (the byte order of QImage::Format_ARGB32 on little-endian machines) through
// libpng's own reader, which checks every CRC and the zlib stream.
QImage decodeWithLibpng(const QByteArray& bytes)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.constData(), size_t(bytes.size())))
        return {};
    image.format = PNG_FORMAT_BGRA;
    QImage out(int(image.width), int(image.height), QImage::Format_ARGB32);
    if (!png_image_finish_read(&image, nullptr, out.bits(), int(out.bytesPerLine()), nullptr)) {
        png_image_free(&image);
        return {};
    }
    return out;
}

// The colour type byte of IHDR: 2 for RGB, 6 for RGBA.
int pngColorType(const QByteArray& png)
{
    return png.size() > 25 ? int(quint8(png[25])) : -1;
}

// The first value of the first quantisation table of a JPEG (the DC step of luminance).
int jpegFirstQuantizer(const QByteArray& jpeg)
{
    const qsizetype marker = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    return marker < 0 ? -1 : int(quint8(jpeg[marker + 5]));
}

void expectSamePixels(const QImage& actual, const QImage& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < e.height(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* re = reinterpret_cast<const QRgb*>(e.constScanLine(y));
        for (int x = 0; x < e.width(); ++x)
            ASSERT_EQ(ra[x], re[x]) << "at " << x << "," << y;
    }
}

// Compares premultiplied pixels, where the encoder's rounding promises exactness.
void expectSameBitmap(const QImage& actual, const QImage& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < e.height(); ++y)
        ASSERT_EQ(0, memcmp(a.constScanLine(y), e.constScanLine(y), size_t(e.width()) * 4)) << "row " << y;
}

// The file with the last byte of the zlib stream's Adler-32 changed and IDAT's CRC made to
// match, so only the stream's own checksum is wrong. Our files have one IDAT, after IHDR and
// sRGB.
QByteArray withWrongAdler(QByteArray png)
{
    constexpr qsizetype idat = 8 + 25 + 13;
    const auto length = qsizetype(qFromBigEndian<quint32>(png.constData() + idat));
    auto* data = reinterpret_cast<uchar*>(png.data()) + idat;
    data[8 + length - 1] ^= 0x01;
    qToBigEndian(quint32(crc32(0, data + 4, uInt(length + 4))), data + 8 + length);
    return png;
}

} // namespace

TEST(PngEncoder, TranslucentPixelsRoundTripExactlyThroughQtAndLibpng)
{
    const QImage source = everyAlphaImage();
    const QByteArray png = ImageEncoder::encode(source, ImageFormat::png);
    EXPECT_EQ(pngColorType(png), 6);

    const QImage viaQt = decodeWithQt(png);
    const QImage viaLibpng = decodeWithLibpng(png);
    ASSERT_FALSE(viaQt.isNull());
    ASSERT_FALSE(viaLibpng.isNull());
    EXPECT_EQ(viaQt.colorSpace(), QColorSpace(QColorSpace::SRgb));
    // Both readers see the same straight pixels, and premultiplying them gives the input back.
    expectSamePixels(viaQt, viaLibpng);
    for (const QImage& decoded : {viaQt, viaLibpng}) {
        const QImage back = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < source.height(); ++y)
            ASSERT_EQ(0, memcmp(back.constScanLine(y), source.constScanLine(y), size_t(source.width()) * 4))
                << "row " << y;
    }
    // Fully transparent pixels are written as transparent black.
    EXPECT_EQ(viaLibpng.pixel(10, 0), 0u);
}

TEST(PngEncoder, OpaqueImagesAreWrittenAsRgbAndDecodeExactly)
{
    for (const QSize size : {QSize(1, 1), QSize(3, 5), QSize(641, 123)}) {
        const QImage source = noisyOpaqueImage(size.width(), size.height());
        const QByteArray png = ImageEncoder::encode(source, ImageFormat::png);
        EXPECT_EQ(pngColorType(png), 2) << size.width();
        expectSamePixels(decodeWithQt(png), source);
        expectSamePixels(decodeWithLibpng(png), source);
    }
    // RGB32 and straight ARGB32 go in as they are.
    const QImage rgb32 = noisyOpaqueImage(40, 30).convertToFormat(QImage::Format_RGB32);
    expectSamePixels(decodeWithLibpng(*PngEncoder::encode(rgb32)), rgb32);
    const QImage straight = everyAlphaImage().convertToFormat(QImage::Format_ARGB32);
    expectSamePixels(decodeWithLibpng(*PngEncoder::encode(straight)), straight);
}

// Every way into the encoder, one stream or bands side by side, must give one valid zlib stream:
// a band joined at the wrong place, a window primed with the wrong rows or a wrongly combined
// checksum make one of the three readers fail or differ.
TEST(PngEncoder, BandsJoinIntoOneStreamEveryReaderDecodesExactly)
{
    constexpr int rgb = 2;
    constexpr int rgba = 6;
    struct Case {
        const char* name;
        std::function<QImage()> image;
        int bands;
        int colorType;
    };
    const Case cases[] = {
        {"opaque in one stream", [] { return noisyOpaqueImage(641, 123); }, 1, rgb},
        {"opaque in bands", [] { return noisyOpaqueImage(641, 123); }, 7, rgb},
        {"every alpha in bands", [] { return everyAlphaImage(); }, 5, rgba},
        {"one pixel", [] { return noisyOpaqueImage(1, 1); }, 4, rgb},
        {"one row", [] { return seamImage(333, 1, 1, true); }, 8, rgba},
        {"more bands than rows", [] { return seamImage(97, 5, 2, false); }, 8, rgb},
        {"one row a band", [] { return seamImage(13, 9, 3, true); }, 9, rgba},
        {"matches across seams, opaque", [] { return seamImage(1021, 700, 7, false); }, 6, rgb},
        {"matches across seams, translucent", [] { return seamImage(1021, 700, 7, true); }, 11, rgba},
        {"rows wider than the window", [] { return seamImage(12007, 40, 2, false); }, 4, rgb},
        {"the encoder's own choice", [] { return seamImage(1500, 900, 5, false); }, PngEncoder::automaticBands, rgb},
        // Opacity is looked at in parts side by side too: one translucent pixel in the last
        // part, or the first, makes the whole RGBA.
        {"one translucent pixel at the end", [] { return withTranslucentPixel(seamImage(1500, 900, 5, false), {1499, 899}); },
         PngEncoder::automaticBands, rgba},
        {"one translucent pixel at the start", [] { return withTranslucentPixel(seamImage(1500, 900, 5, false), {0, 0}); },
         PngEncoder::automaticBands, rgba},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage source = c.image();
        const std::optional<QByteArray> png = PngEncoder::encode(source, c.bands);
        ASSERT_TRUE(png);
        EXPECT_EQ(pngColorType(*png), c.colorType);
        const std::optional<QImage> ours = PngDecoder::decode(*png);
        ASSERT_TRUE(ours);
        expectSameBitmap(*ours, source);
        expectSameBitmap(decodeWithQt(*png), source);
        expectSameBitmap(decodeWithLibpng(*png), source);
    }
}

// What makes the round trips above catch a wrongly combined checksum: every reader checks the
// Adler-32 of the image data (Qt's through libpng).
TEST(PngEncoder, AWrongChecksumOfTheJoinedStreamIsCaught)
{
    const QByteArray png = *PngEncoder::encode(seamImage(300, 200, 7, false), 4);
    ASSERT_TRUE(PngDecoder::decode(png));
    const QByteArray damaged = withWrongAdler(png);
    EXPECT_FALSE(PngDecoder::decode(damaged));
    EXPECT_TRUE(decodeWithLibpng(damaged).isNull());
    EXPECT_TRUE(decodeWithQt(damaged).isNull());
}

// A band filters its rows, and those that prime its window, on their own: any run of rows must
// come out as within the whole image, whether it starts a filter or continues another run.
TEST(PngRowFilter, AnyRunOfRowsIsFilteredAsWithinTheWholeImage)
{
    for (const bool rgba : {false, true}) {
        SCOPED_TRACE(rgba ? "rgba" : "rgb");
        const QImage image = seamImage(37, 12, 5, rgba);
        const qsizetype stride = PngRowFilter::rowBytes(image.width(), rgba);
        std::vector<std::uint8_t> whole(size_t(stride) * 12);
        PngRowFilter(image, rgba).filter(0, 12, whole.data());
        PngRowFilter continued(image, rgba);
        for (const auto& [top, rows] : {std::pair(1, 1), std::pair(2, 3), std::pair(0, 3), std::pair(3, 0),
                                       std::pair(3, 9), std::pair(7, 5), std::pair(6, 1)}) {
            std::vector<std::uint8_t> fresh(size_t(stride) * size_t(rows));
            std::vector<std::uint8_t> next(fresh.size());
            PngRowFilter(image, rgba).filter(top, rows, fresh.data());
            continued.filter(top, rows, next.data());
            EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), whole.begin() + stride * top)) << top << "+" << rows;
            EXPECT_EQ(next, fresh) << top << "+" << rows;
        }
    }
}

TEST(PngEncoder, BandsFollowTheImageSizeAndTheCores)
{
    constexpr qsizetype mebibyte = 1024 * 1024;
    const qsizetype uhdRgb = (1 + 3840 * 3) * qsizetype(2160);
    struct Case {
        qsizetype filteredBytes;
        int threads;
        int bands;
    };
    const Case cases[] = {
        {uhdRgb, 1, 1},           // one core: libdeflate's single stream is faster there
        {uhdRgb, 2, 8},           // a few bands a thread
        {uhdRgb, 8, 32},          //
        {2 * mebibyte, 8, 4},     // no band smaller than half a mebibyte
        {100 * 1024, 8, 1},       // a small image stays one stream
    };
    for (const Case& c : cases)
        EXPECT_EQ(PngEncoder::bandsFor(c.filteredBytes, c.threads), c.bands) << c.filteredBytes << " " << c.threads;
}

// Encodings on several threads at once share the band pool and still make the same file.
TEST(PngEncoder, ConcurrentEncodingsGiveTheSameFile)
{
    const QImage source = seamImage(900, 600, 7, true);
    const QByteArray expected = *PngEncoder::encode(source, 12);
    std::vector<std::optional<QByteArray>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&source, &result] { result = PngEncoder::encode(source, 12); });
    for (std::thread& t : threads)
        t.join();
    for (const auto& result : results)
        EXPECT_EQ(result, expected);
}

// Screenshots are pasted into chats and mail: whatever the content, the file must not be much
// larger than Qt's own writer makes it. The photographic desktop (soft grain everywhere) was
// 1.22 times Qt's size with the row above as the only prediction and the fastest matching.
TEST(PngEncoder, StaysWithinQtsSizeOnScreenshotsPhotographsAndGrainyDesktops)
{
    struct Case {
        const char* name;
        QImage (*image)();
    };
    const Case cases[] = {
        {"screenshot", &bench::screenshotLike},
        {"photograph", &bench::photoLike},
        {"photographic desktop", &bench::photographicDesktop},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage source = c.image();
        QByteArray qt;
        QBuffer buffer(&qt);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(QImageWriter(&buffer, "png").write(source));
        for (const int bands : {1, PngEncoder::automaticBands}) {
            SCOPED_TRACE(bands);
            const std::optional<QByteArray> ours = PngEncoder::encode(source, bands);
            ASSERT_TRUE(ours);
            EXPECT_LE(double(ours->size()), 1.05 * double(qt.size())) << ours->size() << " against " << qt.size();
            const std::optional<QImage> decoded = PngDecoder::decode(*ours);
            ASSERT_TRUE(decoded);
            expectSameBitmap(*decoded, source);
        }
    }
}

TEST(PngEncoder, RefusesWhatItCannotWrite)
{
    EXPECT_FALSE(PngEncoder::encode(QImage()));
    EXPECT_FALSE(PngEncoder::encode(QImage(4, 4, QImage::Format_RGB888)));
    EXPECT_THROW(ImageEncoder::encode(QImage(), ImageFormat::png), ImageEncodingError);
    EXPECT_THROW(ImageEncoder::encode(QImage(), ImageFormat::jpeg), ImageEncodingError);
}

TEST(ImageEncoder, JpegIsDrawnOverWhiteAtQuality92)
{
    QImage source(64, 32, QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::transparent);
    for (int y = 0; y < 32; ++y)
        for (int x = 32; x < 64; ++x)
            source.setPixel(x, y, qRgba(0, 0, 128, 128)); // half-transparent blue, premultiplied
    const QByteArray jpeg = ImageEncoder::encode(source, ImageFormat::jpeg);
    ASSERT_TRUE(jpeg.startsWith(QByteArray("\xFF\xD8", 2)));
    const QImage decoded = decodeWithQt(jpeg);
    ASSERT_EQ(decoded.size(), source.size());
    EXPECT_FALSE(decoded.hasAlphaChannel());
    const QColor transparentArea = decoded.pixelColor(8, 16);
    EXPECT_GE(transparentArea.red(), 250);
    EXPECT_GE(transparentArea.green(), 250);
    EXPECT_GE(transparentArea.blue(), 250);
    const QColor blueOverWhite = decoded.pixelColor(48, 16); // (127, 127, 255)
    EXPECT_NEAR(blueOverWhite.red(), 127, 4);
    EXPECT_NEAR(blueOverWhite.blue(), 255, 4);
    // libjpeg scales its base tables by 2 × (100 − quality) %: the luminance DC step 16 becomes
    // 3 at quality 92, where the default quality (75) would give 8.
    EXPECT_EQ(jpegFirstQuantizer(jpeg), 3);

    // In PNG the same pixels keep their transparency.
    const QImage png = decodeWithQt(ImageEncoder::encode(source, ImageFormat::png));
    EXPECT_EQ(qAlpha(png.pixel(8, 16)), 0);
    EXPECT_EQ(qAlpha(png.pixel(48, 16)), 128);
}

TEST(ImageEncoder, WideGamutAndDeepImagesComeOutAsEightBitSrgb)
{
    // A saturated Display P3 colour at 16 bits per channel.
    QImage deep(16, 16, QImage::Format_RGBA64);
    deep.fill(QColor::fromRgbF(0.9f, 0.3f, 0.2f));
    deep.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QColor expected = QColorSpace(QColorSpace::DisplayP3)
                                .transformationToColorSpace(QColorSpace::SRgb)
                                .map(QColor::fromRgbF(0.9f, 0.3f, 0.2f));

    for (ImageFormat format : allImageFormats) {
        const QByteArray bytes = ImageEncoder::encode(deep, format);
        if (format == ImageFormat::png) {
            EXPECT_EQ(int(quint8(bytes[24])), 8) << "bit depth";
            EXPECT_TRUE(bytes.contains("sRGB"));
        }
        const QImage decoded = decodeWithQt(bytes);
        ASSERT_EQ(decoded.depth(), 32);
        const QColor c = decoded.pixelColor(8, 8);
        const int tolerance = format == ImageFormat::png ? 1 : 4;
        EXPECT_NEAR(c.red(), expected.red(), tolerance) << rawValue(format).toStdString();
        EXPECT_NEAR(c.green(), expected.green(), tolerance);
        EXPECT_NEAR(c.blue(), expected.blue(), tolerance);
        // Unconverted, the P3 values would read 230, 77, 51.
        EXPECT_GT(std::abs(c.red() - 230) + std::abs(c.green() - 77) + std::abs(c.blue() - 51), 10);
    }
}

// An image read from a file named like "icon@2x.png" carries a device pixel ratio of 2. The
// file gets its pixels one to one whatever that ratio, in both formats.
TEST(ImageEncoder, DevicePixelRatioNeverScalesThePixels)
{
    QImage source(40, 20, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, x < 20 ? qRgba(220, 0, 0, 255) : qRgba(0, 0, 220, 255));
    source.setDevicePixelRatio(2);

    for (ImageFormat format : allImageFormats) {
        SCOPED_TRACE(rawValue(format).toStdString());
        const QImage decoded = decodeWithQt(ImageEncoder::encode(source, format));
        ASSERT_EQ(decoded.size(), source.size());
        for (const QPoint p : {QPoint(5, 5), QPoint(15, 15), QPoint(25, 5), QPoint(35, 15)}) {
            const QColor expected = source.pixelColor(p);
            const QColor c = decoded.pixelColor(p);
            EXPECT_NEAR(c.red(), expected.red(), 8) << p.x() << "," << p.y();
            EXPECT_NEAR(c.green(), expected.green(), 8) << p.x() << "," << p.y();
            EXPECT_NEAR(c.blue(), expected.blue(), 8) << p.x() << "," << p.y();
        }
    }
}

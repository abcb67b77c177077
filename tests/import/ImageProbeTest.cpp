#include "app/base/ImageResourceStore.h"
#include "app/import/ImageProbe.h"
#include "app/import/ImportError.h"
#include "core/CancellationError.h"
#include "import/ImportFixtures.h"
#include "rendering/Bitmap.h"
#include "support/RenderingFixtures.h"
#include "support/TestSupport.h"

#include <QColorSpace>
#include <QElapsedTimer>
#include <QImageReader>

#include <gtest/gtest.h>

#include <png.h>

#include <optional>

using namespace vorlith;
using namespace vorlith::test;

namespace {

std::optional<ImportError::Reason> probeError(const QByteArray& bytes, bool filesOnly)
{
    try {
        ImageProbe::metadata(bytes, filesOnly);
        return std::nullopt;
    } catch (const ImportError& error) {
        return error.reason();
    }
}

QImage probeAndDecode(const QByteArray& bytes, bool filesOnly = false)
{
    const ImageMetadata metadata = ImageProbe::metadata(bytes, filesOnly);
    return ImageProbe::decode(bytes, metadata);
}

// Channels of an unpremultiplied colour within a tolerance (JPEG blurs a little).
::testing::AssertionResult near(QRgb actual, QRgb expected, int tolerance)
{
    const int d = std::max({std::abs(qRed(actual) - qRed(expected)), std::abs(qGreen(actual) - qGreen(expected)),
                            std::abs(qBlue(actual) - qBlue(expected)), std::abs(qAlpha(actual) - qAlpha(expected))});
    if (d <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << QStringLiteral("got #%1, expected #%2")
                                                .arg(actual, 8, 16, QLatin1Char('0'))
                                                .arg(expected, 8, 16, QLatin1Char('0'))
                                                .toStdString();
}

void expectBitmapFormat(const QImage& image)
{
    EXPECT_EQ(image.format(), Bitmap::format);
    EXPECT_EQ(image.colorSpace(), QColorSpace(QColorSpace::SRgb));
}

} // namespace

TEST(ImageProbe, EveryExifOrientationProbesBothSizesAndDecodesUpright)
{
    const QByteArray stored = jpegBytes(orientationPattern());
    constexpr QRgb red = 0xffff0000, green = 0xff00ff00;
    enum Corner { topLeft, topRight, bottomLeft, bottomRight };
    // Where the stored top-left (red) and top-right (green) corners are seen.
    const struct {
        int orientation;
        Corner red, green;
    } cases[] = {
        {1, topLeft, topRight},     {2, topRight, topLeft},     {3, bottomRight, bottomLeft},
        {4, bottomLeft, bottomRight}, {5, topLeft, bottomLeft}, {6, topRight, bottomRight},
        {7, bottomRight, topRight}, {8, bottomLeft, topLeft},   {9, topLeft, topRight}, // 9 is no orientation
        {0, topLeft, topRight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        const QByteArray bytes = withExifOrientation(stored, c.orientation);
        const ImageMetadata metadata = ImageProbe::metadata(bytes, true);
        const bool turned = c.orientation >= 5 && c.orientation <= 8;
        EXPECT_EQ(metadata, (ImageMetadata{40, 20, turned ? 20 : 40, turned ? 40 : 20}));

        const QImage image = ImageProbe::decode(bytes, metadata);
        ASSERT_EQ(image.size(), QSize(int(metadata.orientedWidth), int(metadata.orientedHeight)));
        expectBitmapFormat(image);
        const int w = image.width(), h = image.height();
        const QPoint corners[] = {{4, 4}, {w - 5, 4}, {4, h - 5}, {w - 5, h - 5}};
        EXPECT_TRUE(near(image.pixel(corners[c.red]), red, 40));
        EXPECT_TRUE(near(image.pixel(corners[c.green]), green, 40));
        if (c.orientation == 6)
            saveTestImage(image, QStringLiteral("import-orientation-6"));
    }
}

TEST(ImageProbe, FrameCountAndContainerDecideWhatIsRefused)
{
    QImage still(6, 4, QImage::Format_RGB32);
    still.fill(Qt::darkCyan);
    const QByteArray png = pngBytes(still);
    const QByteArray tiff = twoPageTiff();
    ASSERT_FALSE(tiff.isEmpty()) << "ImageMagick's convert made no TIFF";

    const struct {
        const char* what;
        QByteArray bytes;
        std::optional<ImportError::Reason> asFile;
        std::optional<ImportError::Reason> fromClipboard;
    } cases[] = {
        {"PNG", png, {}, {}},
        {"JPEG", jpegBytes(still), {}, {}},
        {"one-frame GIF", gifBytes(1), ImportError::unsupported, {}},
        {"TIFF", tiffBytes(still), ImportError::unsupported, {}},
        {"animated GIF", gifBytes(3), ImportError::animated, ImportError::animated}, // frames before type
        {"animated PNG", apngBytes(png, 2), ImportError::animated, ImportError::animated},
        {"one-frame animated PNG", apngBytes(png, 1), {}, {}},
        {"two-page TIFF", tiff, ImportError::animated, ImportError::animated},
        {"text", QByteArray("just some words"), ImportError::corrupt, ImportError::corrupt},
        {"empty", QByteArray(), ImportError::corrupt, ImportError::corrupt},
        {"PNG signature only", png.left(8), ImportError::corrupt, ImportError::corrupt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(probeError(c.bytes, true), c.asFile) << c.what << " as a file";
        EXPECT_EQ(probeError(c.bytes, false), c.fromClipboard) << c.what << " from the clipboard";
    }
}

TEST(ImageProbe, StillImagesFromTheClipboardDecodeWhateverTheirContainer)
{
    QImage still(6, 4, QImage::Format_RGB32);
    still.fill(qRgb(10, 200, 30));
    for (const QByteArray& bytes : {tiffBytes(still), gifBytes(1)}) {
        const QImage image = probeAndDecode(bytes);
        expectBitmapFormat(image);
        EXPECT_FALSE(image.isNull());
    }
    EXPECT_TRUE(near(probeAndDecode(tiffBytes(still)).pixel(2, 2), qRgb(10, 200, 30), 0));
}

TEST(ImageProbe, DecodesToPremultipliedSrgbFromAlphaGreyDeepAndWideGamutPngs)
{
    QImage translucent(4, 4, QImage::Format_ARGB32);
    translucent.fill(qRgba(255, 0, 0, 128));
    const QImage fromAlpha = probeAndDecode(pngBytes(translucent));
    expectBitmapFormat(fromAlpha);
    // Stored premultiplied: the red channel is scaled by the alpha.
    const QRgb raw = reinterpret_cast<const QRgb*>(fromAlpha.constScanLine(1))[1];
    EXPECT_EQ(qAlpha(raw), 128);
    EXPECT_NEAR(qRed(raw), 128, 1);

    QImage grey(4, 4, QImage::Format_Grayscale8);
    grey.fill(qRgb(90, 90, 90));
    const QImage fromGrey = probeAndDecode(pngBytes(grey));
    expectBitmapFormat(fromGrey);
    EXPECT_TRUE(near(fromGrey.pixel(1, 1), qRgb(90, 90, 90), 0));

    QImage deep(4, 4, QImage::Format_RGBA64);
    deep.fill(QColor::fromRgba64(qRgba64(0xffff, 0x8000, 0x0000, 0xffff)));
    const QByteArray deepPng = pngBytes(deep);
    ASSERT_EQ(QImage::fromData(deepPng).depth(), 64) << "the fixture is not a 16-bit PNG";
    const QImage fromDeep = probeAndDecode(deepPng);
    expectBitmapFormat(fromDeep);
    EXPECT_TRUE(near(fromDeep.pixel(1, 1), qRgb(255, 128, 0), 1));

    QImage wide(4, 4, QImage::Format_RGB32);
    wide.fill(qRgb(200, 100, 50));
    wide.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QRgb inSrgb = QColorSpace(QColorSpace::DisplayP3)
                            .transformationToColorSpace(QColorSpace(QColorSpace::SRgb))
                            .map(qRgb(200, 100, 50));
    ASSERT_FALSE(near(inSrgb, qRgb(200, 100, 50), 5)) << "the fixture colour does not move between the spaces";
    const QImage fromWide = probeAndDecode(pngBytes(wide));
    expectBitmapFormat(fromWide);
    EXPECT_TRUE(near(fromWide.pixel(1, 1), inSrgb, 2));
}

TEST(ImageProbe, ADecodeThatDoesNotMatchTheProbedSizeIsCorrupt)
{
    QImage still(6, 4, QImage::Format_RGB32);
    still.fill(Qt::yellow);
    const QByteArray png = pngBytes(still);
    try {
        ImageProbe::decode(png, ImageMetadata{4, 6, 4, 6});
        FAIL() << "decoded against the wrong size";
    } catch (const ImportError& error) {
        EXPECT_EQ(error.reason(), ImportError::corrupt);
    }
}

TEST(ImageProbe, StopsWhenCancelled)
{
    QImage still(6, 4, QImage::Format_RGB32);
    still.fill(Qt::yellow);
    const QByteArray png = pngBytes(still);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(ImageProbe::metadata(png, true, stop.get_token()), CancellationError);
    EXPECT_THROW(ImageProbe::decode(png, ImageMetadata{6, 4, 6, 4}, stop.get_token()), CancellationError);
}

TEST(ImageProbe, AnImageOfTheLargestAdmittedSizeDecodes)
{
    // 8000 × 8000 is 64 million pixels: the budget's own limit, and twice Qt's default
    // allocation limit for 32-bit pixels.
    EXPECT_GE(qint64(QImageReader::allocationLimit()) * 1024 * 1024, ImageResourceStore::maximumPixels * 8);
    QImage big(8000, 8000, QImage::Format_RGB32);
    big.fill(qRgb(1, 2, 3));
    big.setPixel(7999, 7999, qRgb(250, 0, 0));
    const QByteArray png = pngBytes(big);
    big = QImage();

    ImageResourceStore store(qint64(4) << 30);
    const ImageMetadata metadata = ImageProbe::metadata(png, true);
    const QUuid id = QUuid::createUuid();
    const auto reservation = store.reserve(id, metadata.width, metadata.height, 2, 0);
    const QImage image = ImageProbe::decode(png, metadata);
    ASSERT_EQ(image.size(), QSize(8000, 8000));
    EXPECT_EQ(image.pixel(7999, 7999), qRgb(250, 0, 0));
    store.commit(reservation, ImageResourceStore::SourceImage::of(id, image));
    EXPECT_TRUE(store.sources().contains(id));
}

TEST(ImageProbe, BookkeepingEstimate)
{
    EXPECT_EQ(ImageProbe::metadataBytes({}), 4'096);
    // "file:///tmp/a.png" is 17 bytes, "a.png" 5: 4,096 + 2 × 22 + 1,536.
    EXPECT_EQ(ImageProbe::metadataBytes({QUrl(QStringLiteral("file:///tmp/a.png"))}), 5'676);
    // Names count in UTF-8 bytes; the URL in its percent-encoded form.
    const QUrl chinese = QUrl::fromLocalFile(QStringLiteral("/图.png")); // file:///%E5%9B%BE.png, 图.png
    EXPECT_EQ(ImageProbe::metadataBytes({chinese}), 4'096 + 2 * (21 + 7) + 1'536);
}

namespace {

// The error the probe and the decode together give, or none when the bytes decode.
std::optional<ImportError::Reason> importError(const QByteArray& bytes, bool filesOnly)
{
    try {
        probeAndDecode(bytes, filesOnly);
        return std::nullopt;
    } catch (const ImportError& error) {
        return error.reason();
    }
}

// A JPEG with an APP segment holding an end-of-image marker of its own, as EXIF thumbnails do.
QByteArray withThumbnailMarker(const QByteArray& jpeg)
{
    const QByteArray payload = QByteArray("Thumb\0", 6) + QByteArray("\xFF\xD8\xFF\xD9", 4);
    QByteArray segment("\xFF\xE2", 2);
    segment += char((payload.size() + 2) >> 8);
    segment += char((payload.size() + 2) & 0xFF);
    return jpeg.left(2) + segment + payload + jpeg.mid(2);
}

} // namespace

TEST(ImageProbe, DamagedBombedAndForeignBytesAreRefusedByTheirStructure)
{
    const QImage pattern = orientationPattern();
    const QByteArray png = pngBytes(pattern);
    const QByteArray jpeg = jpegBytes(pattern);
    const QByteArray thumbnailed = withThumbnailMarker(jpeg);
    const QByteArray noisy = pngBytes(noiseImage(QSize(300, 200)));
    ASSERT_FALSE(cutAfterImageChunk(noisy, 3).isEmpty()) << "the fixture has fewer than three IDAT chunks";
    using R = ImportError::Reason;
    const struct {
        const char* what;
        QByteArray bytes;
        std::optional<R> asFile;
        std::optional<R> fromClipboard;
    } cases[] = {
        {"PNG bomb before the image data", pngBomb(false), R::corrupt, R::corrupt},
        {"PNG bomb after the image data", pngBomb(true), R::corrupt, R::corrupt},
        {"PNG cut inside its image data", png.left(png.size() / 2), R::corrupt, R::corrupt},
        {"PNG cut after a whole IDAT chunk", cutAfterImageChunk(noisy, 3), R::corrupt, R::corrupt},
        {"PNG whose image data stops inside its only chunk", withShortImageData(png), R::corrupt, R::corrupt},
        {"PNG without its IEND", png.left(png.size() - 12), R::corrupt, R::corrupt},
        {"JPEG cut in its scan", jpeg.left(jpeg.size() * 2 / 3), R::corrupt, R::corrupt},
        {"JPEG without its end marker", jpeg.left(jpeg.size() - 2), R::corrupt, R::corrupt},
        {"JPEG whose thumbnail ends but whose image is cut", thumbnailed.left(thumbnailed.size() - 40), R::corrupt,
         R::corrupt},
        {"JPEG with a thumbnail", thumbnailed, {}, {}},
        {"JPEG with bytes after its end", jpeg + QByteArray(64, 'x'), {}, {}},
        {"progressive JPEG", jpegBytes(pattern, 90, true), {}, {}},
        {"HEIC", isoMediaImage("heic"), R::unsupported, R::corrupt},
        {"AVIF", isoMediaImage("avif"), R::unsupported, R::corrupt},
        {"an MP4 video", isoMediaImage("isom"), R::corrupt, R::corrupt},
        {"WebP", QByteArray("RIFF\x20\0\0\0WEBPVP8 ", 16) + QByteArray(20, 0), R::unsupported, R::corrupt},
    };
    for (const auto& c : cases) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(importError(c.bytes, true), c.asFile) << c.what << " as a file";
        EXPECT_EQ(importError(c.bytes, false), c.fromClipboard) << c.what << " from the clipboard";
        EXPECT_LT(clock.elapsed(), 100) << c.what;
    }
}

TEST(ImageProbe, PngsWithASideOverAMillionPixelsDecodeWithinThePixelLimit)
{
    const struct {
        const char* what;
        int width, height, colorType, depth;
        bool interlaced;
    } cases[] = {
        {"RGB 8-bit, 2 × 1,200,000", 2, 1'200'000, PNG_COLOR_TYPE_RGB, 8, false},
        {"RGBA 16-bit, 1,200,000 × 2", 1'200'000, 2, PNG_COLOR_TYPE_RGBA, 16, false},
        {"palette, interlaced, 3 × 1,000,001", 3, 1'000'001, PNG_COLOR_TYPE_PALETTE, 8, true},
        {"grey 8-bit, 1,500,000 × 1", 1'500'000, 1, PNG_COLOR_TYPE_GRAY, 8, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray png = libpngBytes(c.width, c.height, c.colorType, c.depth, c.interlaced);
        ASSERT_FALSE(png.isEmpty());
        const ImageMetadata metadata = ImageProbe::metadata(png, true);
        EXPECT_EQ(metadata, (ImageMetadata{c.width, c.height, c.width, c.height}));
        const QImage image = ImageProbe::decode(png, metadata);
        ASSERT_EQ(image.size(), QSize(c.width, c.height));
        expectBitmapFormat(image);
        for (const QPoint at : {QPoint(0, 0), QPoint(c.width - 1, c.height - 1), QPoint(c.width / 2, c.height / 3)}) {
            // Compared as stored, premultiplied: a transparent pixel keeps no colour.
            const QRgb stored = reinterpret_cast<const QRgb*>(image.constScanLine(at.y()))[at.x()];
            EXPECT_TRUE(near(stored, qPremultiply(libpngPixel(at.x(), at.y(), c.colorType)), 1)) << at.x() << "," << at.y();
        }
        // Cut short, the same file is damaged.
        EXPECT_THROW(ImageProbe::decode(withShortImageData(png), metadata), ImportError);
    }
}

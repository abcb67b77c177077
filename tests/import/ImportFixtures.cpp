#include "import/ImportFixtures.h"

#include "app/import/ImageProbe.h"

#include <QBuffer>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <png.h>

#include <cstring>
#include <vector>

namespace vorlith::test {

namespace {

// Qt refuses large images unless the decoder limit is lifted; every import test program
// lifts it as the application's entry point does.
class DecoderLimitEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ImageProbe::applyDecoderAllocationLimit(); }
};
[[maybe_unused]] const auto* const decoderLimit =
    ::testing::AddGlobalTestEnvironment(new DecoderLimitEnvironment);

QByteArray encode(const QImage& image, const char* format, int quality = -1, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return bytes;
}

QByteArray be32(quint32 value)
{
    QByteArray out(4, 0);
    out[0] = char(value >> 24);
    out[1] = char(value >> 16);
    out[2] = char(value >> 8);
    out[3] = char(value);
    return out;
}

QByteArray chunk(const QByteArray& type, const QByteArray& data)
{
    return be32(quint32(data.size())) + type + data + be32(crc32(type + data));
}

// Where the first chunk of this type starts, or -1.
qsizetype findChunk(const QByteArray& png, const QByteArray& type)
{
    qsizetype at = 8;
    while (at + 8 <= png.size()) {
        const quint32 length = quint32(uchar(png[at])) << 24 | quint32(uchar(png[at + 1])) << 16 |
                               quint32(uchar(png[at + 2])) << 8 | quint32(uchar(png[at + 3]));
        if (png.mid(at + 4, 4) == type)
            return at;
        at += 12 + qsizetype(length);
    }
    return -1;
}

QByteArray frameControl(quint32 sequence, quint32 width, quint32 height)
{
    QByteArray data = be32(sequence) + be32(width) + be32(height) + be32(0) + be32(0);
    data += QByteArray("\x00\x01\x00\x0a\x00\x00", 6); // delay 1/10 s, dispose none, blend source
    return chunk("fcTL", data);
}

} // namespace

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngBytes(const QImage& image)
{
    return encode(image, "png");
}

QByteArray jpegBytes(const QImage& image, int quality, bool progressive)
{
    return encode(image, "jpeg", quality, progressive);
}

QByteArray tiffBytes(const QImage& image)
{
    return encode(image, "tiff");
}

QByteArray withExifOrientation(const QByteArray& jpeg, int orientation)
{
    // TIFF header (little-endian), one IFD with the Orientation tag (0x0112, SHORT, 1).
    QByteArray tiff("II\x2a\x00\x08\x00\x00\x00", 8);
    tiff += QByteArray("\x01\x00", 2);                 // one entry
    tiff += QByteArray("\x12\x01\x03\x00\x01\x00\x00\x00", 8);
    tiff += char(orientation & 0xFF);
    tiff += char((orientation >> 8) & 0xFF);
    tiff += QByteArray(2, 0);                          // value padding
    tiff += QByteArray(4, 0);                          // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += payload;
    return jpeg.left(2) + segment + jpeg.mid(2); // right after SOI
}

QByteArray gifBytes(int frames)
{
    QByteArray gif("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13);
    gif += QByteArray("\x00\x00\x00\xff\xff\xff", 6); // two colours
    for (int i = 0; i < frames; ++i) {
        gif += QByteArray("\x21\xf9\x04\x00\x0a\x00\x00\x00", 8); // 1/10 s per frame
        gif += QByteArray("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
        gif += QByteArray("\x02\x02\x44\x01\x00", 5);
    }
    gif += '\x3b';
    return gif;
}

QByteArray apngBytes(const QByteArray& png, int frames)
{
    const qsizetype idat = findChunk(png, "IDAT");
    const qsizetype iend = findChunk(png, "IEND");
    if (idat < 0 || iend < 0)
        return {};
    const QImage image = QImage::fromData(png, "png");
    const quint32 w = quint32(image.width());
    const quint32 h = quint32(image.height());
    QByteArray out = png.left(idat);
    out += chunk("acTL", be32(quint32(frames)) + be32(0));
    out += frameControl(0, w, h);
    out += png.mid(idat, iend - idat); // the default image is frame one
    quint32 sequence = 1;
    const quint32 idatLength = quint32(uchar(png[idat])) << 24 | quint32(uchar(png[idat + 1])) << 16 |
                               quint32(uchar(png[idat + 2])) << 8 | quint32(uchar(png[idat + 3]));
    const QByteArray idatData = png.mid(idat + 8, idatLength);
    for (int frame = 1; frame < frames; ++frame) {
        out += frameControl(sequence++, w, h);
        out += chunk("fdAT", be32(sequence++) + idatData);
    }
    out += png.mid(iend);
    return out;
}

QByteArray pngAnnouncing(int width, int height)
{
    QImage one(1, 1, QImage::Format_RGB32);
    one.fill(Qt::white);
    QByteArray png = pngBytes(one);
    // IHDR is the first chunk: its data starts at 16; width and height are its first 8 bytes.
    QByteArray data = png.mid(16, 13);
    data.replace(0, 4, be32(quint32(width)));
    data.replace(4, 4, be32(quint32(height)));
    return png.left(8) + chunk("IHDR", data) + png.mid(8 + 25);
}

QByteArray pngBomb(bool afterImageData)
{
    QImage image(16, 12, QImage::Format_RGB32);
    image.fill(qRgb(200, 40, 40));
    const QByteArray png = pngBytes(image);
    const qsizetype at = findChunk(png, afterImageData ? "IEND" : "IDAT");
    const QByteArray claim = be32(0x7FFF'FFFFu) + QByteArray("tEXtComment\0", 12);
    return afterImageData ? png.left(at) + claim : png.left(at) + claim + png.mid(at);
}

QByteArray cutAfterImageChunk(const QByteArray& png, int n)
{
    qsizetype at = 8;
    int seen = 0;
    while (at + 8 <= png.size()) {
        const quint32 length = quint32(uchar(png[at])) << 24 | quint32(uchar(png[at + 1])) << 16 |
                               quint32(uchar(png[at + 2])) << 8 | quint32(uchar(png[at + 3]));
        const bool data = png.mid(at + 4, 4) == "IDAT";
        at += 12 + qsizetype(length);
        if (data && ++seen == n)
            return png.left(at);
    }
    return {};
}

QByteArray withShortImageData(const QByteArray& png)
{
    const qsizetype idat = findChunk(png, "IDAT");
    const qsizetype iend = findChunk(png, "IEND");
    if (idat < 0 || iend < 0)
        return {};
    const QByteArray data = png.mid(idat + 8, iend - idat - 12);
    return png.left(idat) + chunk("IDAT", data.left(data.size() / 2)) + png.mid(iend);
}

QByteArray isoMediaImage(const QByteArray& brand)
{
    QByteArray box = be32(20) + "ftyp" + brand + be32(0) + brand;
    return box + be32(33) + "meta" + QByteArray(25, '\0');
}

QByteArray libpngBytes(int width, int height, int colorType, int depth, bool interlaced)
{
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), qsizetype(length));
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), depth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        std::vector<png_color> ramp(256);
        for (int i = 0; i < 256; ++i)
            ramp[size_t(i)] = png_color{png_byte(i), png_byte(i), png_byte(i)};
        png_set_PLTE(png, info, ramp.data(), 256);
    }
    png_write_info(png, info);
    if (depth == 16)
        png_set_swap(png); // samples given in host order
    const int channels = colorType == PNG_COLOR_TYPE_RGBA ? 4 : colorType == PNG_COLOR_TYPE_RGB ? 3 : 1;
    const int bytes = depth / 8;
    row.resize(size_t(width * channels * bytes));
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y) {
            png_byte* at = row.data();
            for (int x = 0; x < width; ++x) {
                const QRgb p = libpngPixel(x, y, colorType);
                const int samples[] = {qRed(p), qGreen(p), qBlue(p), qAlpha(p)};
                for (int c = 0; c < channels; ++c) {
                    if (bytes == 2) { // the 8-bit value repeated, so 16 bits read back as it
                        const quint16 wide = quint16(samples[c] * 257);
                        std::memcpy(at, &wide, 2);
                    } else {
                        *at = png_byte(samples[c]);
                    }
                    at += bytes;
                }
            }
            png_write_row(png, row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

QRgb libpngPixel(int x, int y, int colorType)
{
    const int red = (x + 3 * y) % 256;
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_PALETTE)
        return qRgb(red, red, red);
    return qRgba(red, (7 * x + y) % 256, 200, colorType == PNG_COLOR_TYPE_RGBA ? (x + y) % 256 : 255);
}

QByteArray twoPageTiff()
{
    QTemporaryDir dir;
    QImage page(8, 6, QImage::Format_RGB32);
    page.fill(Qt::red);
    page.save(dir.filePath(QStringLiteral("a.png")));
    page.fill(Qt::blue);
    page.save(dir.filePath(QStringLiteral("b.png")));
    const QString out = dir.filePath(QStringLiteral("two.tiff"));
    const int code = QProcess::execute(QStringLiteral("convert"),
                                       {dir.filePath(QStringLiteral("a.png")), dir.filePath(QStringLiteral("b.png")), out});
    if (code != 0)
        return {};
    QFile file(out);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage orientationPattern()
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 40; ++x)
            image.setPixel(x, y, x < 20 ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
    return image;
}

} // namespace vorlith::test

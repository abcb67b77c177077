#include "app/import/LongSidePngReader.h"

#include "app/base/PngChunks.h"

#include <QColorSpace>
#include <QPointF>

#include <png.h>

#include <cstring>
#include <vector>

namespace vorlith {

namespace {

struct Source {
    const QByteArray& bytes;
    qsizetype at = 0;
};

void readFrom(png_structp png, png_bytep into, png_size_t length)
{
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (qsizetype(length) > source->bytes.size() - source->at)
        png_error(png, "file ends early"); // a short read is damage, never a partial image
    std::memcpy(into, source->bytes.constData() + source->at, length);
    source->at += qsizetype(length);
}

[[noreturn]] void fail(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

QColorSpace colorSpaceOf(png_structp png, png_infop info)
{
    if (png_get_valid(png, info, PNG_INFO_sRGB))
        return QColorSpace(QColorSpace::SRgb);
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileLength) == PNG_INFO_iCCP) {
        const QColorSpace space =
            QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(profile), qsizetype(profileLength)));
        if (space.isValid())
            return space;
    }
    double fileGamma = 0;
    if (!png_get_gAMA(png, info, &fileGamma) || fileGamma <= 0)
        return {};
    const float gamma = float(1.0 / fileGamma);
    double wx = 0, wy = 0, rx = 0, ry = 0, gx = 0, gy = 0, bx = 0, by = 0;
    if (png_get_cHRM(png, info, &wx, &wy, &rx, &ry, &gx, &gy, &bx, &by))
        return QColorSpace(QPointF(wx, wy), QPointF(rx, ry), QPointF(gx, gy), QPointF(bx, by),
                           QColorSpace::TransferFunction::Gamma, gamma);
    return QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma, gamma);
}

// Everything libpng allocates and the image it fills, released on every way out, the long
// jump of an error included (nothing here has a destructor that the jump would skip).
struct Reading {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Reading() { png_destroy_read_struct(&png, &info, nullptr); }
};

bool readInto(Reading& r, Source& source, QImage& image, std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_set_user_limits(r.png, 0x7FFF'FFFF, 0x7FFF'FFFF);
    png_set_chunk_malloc_max(r.png, png::maximumAncillaryLength + 1);
    png_set_read_fn(r.png, &source, readFrom);
    png_read_info(r.png, r.info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(r.png, r.info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(r.png, r.info, PNG_INFO_tRNS);
    png_set_expand(r.png); // palettes, low-bit grey and transparency to full samples
    png_set_gray_to_rgb(r.png);
    const bool deep = depth == 16;
    if (!alpha)
        png_set_add_alpha(r.png, deep ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
    if (deep && QSysInfo::ByteOrder == QSysInfo::LittleEndian)
        png_set_swap(r.png);
    png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);

    image = QImage(int(width), int(height), deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    if (image.isNull() || png_get_rowbytes(r.png, r.info) != size_t(image.bytesPerLine()))
        return false;
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = image.scanLine(int(y));
    png_read_image(r.png, rows.data());
    png_read_end(r.png, nullptr);
    const QColorSpace space = colorSpaceOf(r.png, r.info);
    if (space.isValid())
        image.setColorSpace(space);
    return true;
}

} // namespace

bool LongSidePngReader::needed(quint32 width, quint32 height)
{
    return width > PNG_USER_WIDTH_MAX || height > PNG_USER_HEIGHT_MAX;
}

std::optional<QImage> LongSidePngReader::read(const QByteArray& bytes)
{
    Reading r;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignoreWarning);
    if (!r.png)
        return std::nullopt;
    r.info = png_create_info_struct(r.png);
    if (!r.info)
        return std::nullopt;
    Source source{bytes};
    QImage image;
    std::vector<png_bytep> rows;
    if (!readInto(r, source, image, rows))
        return std::nullopt;
    return image;
}

} // namespace vorlith

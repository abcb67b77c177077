#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vorlith::test {

// Small encoded images the import tests make themselves.
QByteArray pngBytes(const QImage& image);
QByteArray jpegBytes(const QImage& image, int quality = 95, bool progressive = false);
QByteArray tiffBytes(const QImage& image);
// A JPEG with an EXIF APP1 segment carrying this orientation tag (any 16-bit value).
QByteArray withExifOrientation(const QByteArray& jpeg, int orientation);
// A GIF of `frames` 1 × 1 frames (an animation when more than one).
QByteArray gifBytes(int frames);
// The PNG made an animated PNG of `frames` frames: acTL and fcTL before its IDAT, then one
// more fcTL + fdAT per extra frame (each repeating the first frame's data).
QByteArray apngBytes(const QByteArray& png, int frames);
// A PNG whose header announces this size; its image data belongs to a 1 × 1 image, so only
// the probe can use it.
QByteArray pngAnnouncing(int width, int height);
// A valid 16 × 12 PNG whose last chunk is a tEXt header claiming 2^31 - 1 bytes, placed
// before or after the image data; the file ends a few bytes into it.
QByteArray pngBomb(bool afterImageData);
// The PNG cut right after its n-th IDAT chunk (a file whose image data stops early at a chunk
// boundary); empty when it has fewer.
QByteArray cutAfterImageChunk(const QByteArray& png, int n);
// The PNG with its image data (one IDAT chunk) cut to half inside a whole, well-formed chunk
// followed by IEND: only the inflated data shows that rows are missing.
QByteArray withShortImageData(const QByteArray& png);
// The start of an ISO base media file of this brand ("heic", "avif"): an ftyp box and a
// little of what follows, as the first bytes of a HEIF or AVIF file.
QByteArray isoMediaImage(const QByteArray& brand);
// A PNG of this size and kind written by libpng with its side limit lifted. Sample values:
// red (x + 3y) mod 256, green (7x + y) mod 256, blue 200, alpha (where there is one)
// (x + y) mod 256; grey and palette files carry the red value alone. Palette files have
// depth 8 and a grey ramp as their palette.
QByteArray libpngBytes(int width, int height, int colorType, int depth, bool interlaced = false);
// The colour libpngBytes stores at (x, y), as straight RGBA 8-bit.
QRgb libpngPixel(int x, int y, int colorType);
// A TIFF of two pages, made by ImageMagick (a test dependency); empty when it failed.
QByteArray twoPageTiff();

// The PNG chunk checksum.
quint32 crc32(const QByteArray& bytes);

// The four colours of the orientation fixture: top-left quadrant red, top-right green, the
// bottom half blue, stored 40 × 20.
QImage orientationPattern();

} // namespace vorlith::test

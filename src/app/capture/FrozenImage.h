#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QSize>

#include <optional>

namespace vorlith {

// The image of one frozen display: either its bitmap, or, once a kept capture has been
// compacted, the PNG encoding of that bitmap, which is decoded afresh whenever its pixels are
// asked for and never cached. A compacted image is only ever made from an encoding that was
// decoded and found equal to the bitmap, so asking for its pixels cannot fail for any reason
// but a lack of memory.
//
// Copies share the bitmap or the encoded bytes. Reading is safe from any thread.
class FrozenImage {
public:
    FrozenImage() = default;
    // A capture's bitmap, held as it is.
    FrozenImage(QImage bitmap); // NOLINT(google-explicit-constructor): a bitmap is a frozen image

    // The image backed by `png`, when `png` decodes to exactly the pixels of `bitmap` (same
    // size, same values once in the bitmap's format); nothing otherwise. The decoded pixels
    // get the bitmap's format, colour space, resolution and device pixel ratio.
    [[nodiscard]] static std::optional<FrozenImage> compacted(QByteArray png, const QImage& bitmap);

    bool isNull() const { return m_layout.size.isEmpty(); }
    bool isCompacted() const { return !m_png.isEmpty(); }
    QSize size() const { return m_layout.size; }
    int width() const { return m_layout.size.width(); }
    int height() const { return m_layout.size.height(); }
    // Of the bitmap, also when compacted.
    qint64 bytesPerLine() const { return m_layout.bytesPerLine; }
    // What the memory budget counts for this image: the bitmap's bytes per row times its
    // height, whether the bitmap is held or compacted (a reopened capture decodes it whole).
    qint64 bitmapBytes() const;
    // The PNG data of a compacted image; empty for a held bitmap.
    const QByteArray& encoded() const { return m_png; }

    // The bitmap: the held one (shared, no copy), or a new decode of the PNG data on every
    // call. Null only for a null image, or when the memory for the decode cannot be had.
    [[nodiscard]] QImage pixels() const;

private:
    // Everything of the bitmap that its PNG encoding does not carry.
    struct Layout {
        QSize size;
        QImage::Format format = QImage::Format_Invalid;
        qint64 bytesPerLine = 0;
        QColorSpace colorSpace;
        int dotsPerMeterX = 0;
        int dotsPerMeterY = 0;
        qreal devicePixelRatio = 1;

        static Layout of(const QImage& image);
    };

    static QImage decode(const QByteArray& png, const Layout& layout);

    QImage m_bitmap;
    QByteArray m_png;
    Layout m_layout;
};

} // namespace vorlith

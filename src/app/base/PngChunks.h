#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace vorlith::png {

// One chunk of a PNG file, pointing into the file's bytes.
struct Chunk {
    QByteArrayView type; // four letters
    QByteArrayView data;
    quint32 crc = 0;
    // Lower case first letter: a decoder may skip the chunk.
    bool ancillary() const { return (type[0] & 0x20) != 0; }
    bool is(const char (&name)[5]) const { return type == QByteArrayView(name, 4); }
};

// What the image header says, checked against the combinations the format allows.
struct Header {
    quint32 width = 0;
    quint32 height = 0;
    quint8 bitDepth = 0;
    quint8 colorType = 0;
    quint8 interlace = 0;
};

// What a walk over a whole file found.
struct Layout {
    Header header;
    // The frames an animated PNG announces (an acTL before the first IDAT), else 1.
    qint64 frames = 1;
};

// No ancillary chunk of a real file comes near this (colour profiles and metadata are a few
// megabytes at most); a larger one is taken for damage, so no decoder ever allocates for it.
inline constexpr quint32 maximumAncillaryLength = quint32(16) << 20;

// Walks a PNG from its signature to IEND without decoding anything: IHDR first and valid,
// every chunk's length within the bytes that remain and within the format's 2^31 - 1,
// ancillary chunks within maximumAncillaryLength, image data present, IEND reached. A file
// cut short therefore never passes. `visit` sees every chunk in order (IHDR and IEND
// included) and may refuse the file by answering false. Allocates nothing; any thread.
std::optional<Layout> walkChunks(QByteArrayView file, const std::function<bool(const Chunk&)>& visit = {});

bool hasSignature(QByteArrayView file);

} // namespace vorlith::png

#include "app/base/PngChunks.h"
#include "app/base/PngFormat.h"

#include <QtEndian>

#include <cstring>

namespace vorlith::png {

namespace {

constexpr quint32 largestLength = 0x7FFF'FFFFu; // the format's own limit for lengths and sides

quint32 bigEndian32(const char* at)
{
    return qFromBigEndian<quint32>(at);
}

// The colour type and depth pairs a PNG may have.
bool validDepth(quint8 colorType, quint8 depth)
{
    switch (colorType) {
    case 0: // grey
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: // palette
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: // RGB
    case 4: // grey + alpha
    case 6: // RGBA
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

std::optional<Header> readHeader(QByteArrayView data)
{
    if (data.size() != 13)
        return std::nullopt;
    const char* p = data.data();
    Header header{bigEndian32(p), bigEndian32(p + 4), quint8(p[8]), quint8(p[9]), quint8(p[12])};
    const quint8 compression = quint8(p[10]), filter = quint8(p[11]);
    if (header.width == 0 || header.height == 0 || header.width > largestLength || header.height > largestLength ||
        !validDepth(header.colorType, header.bitDepth) || compression != 0 || filter != 0 || header.interlace > 1)
        return std::nullopt;
    return header;
}

} // namespace

bool hasSignature(QByteArrayView file)
{
    return file.size() >= qsizetype(signature.size()) && std::memcmp(file.data(), signature.data(), signature.size()) == 0;
}

std::optional<Layout> walkChunks(QByteArrayView file, const std::function<bool(const Chunk&)>& visit)
{
    if (!hasSignature(file))
        return std::nullopt;
    Layout layout;
    bool headerSeen = false;
    bool imageDataSeen = false;
    const qsizetype size = file.size();
    for (qsizetype at = signature.size();;) {
        if (size - at < 12)
            return std::nullopt; // ended before IEND
        const quint32 length = bigEndian32(file.data() + at);
        // Compared with what remains before anything is taken on trust: a chunk that claims
        // more than the file holds is damage, never a reason to wait or allocate.
        if (length > largestLength || qsizetype(length) > size - at - 12)
            return std::nullopt;
        const Chunk chunk{file.sliced(at + 4, 4), file.sliced(at + 8, length),
                          bigEndian32(file.data() + at + 8 + length)};
        for (const char letter : chunk.type)
            if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')))
                return std::nullopt;
        if (chunk.ancillary() && length > maximumAncillaryLength)
            return std::nullopt;
        if (!headerSeen) {
            const std::optional<Header> header = chunk.is("IHDR") ? readHeader(chunk.data) : std::nullopt;
            if (!header)
                return std::nullopt;
            layout.header = *header;
            headerSeen = true;
        } else if (chunk.is("IHDR")) {
            return std::nullopt;
        } else if (chunk.is("IDAT")) {
            imageDataSeen = true;
        } else if (chunk.is("acTL") && !imageDataSeen && length >= 8) {
            layout.frames = qMax<qint64>(1, bigEndian32(chunk.data.data()));
        }
        if (visit && !visit(chunk))
            return std::nullopt;
        if (chunk.is("IEND"))
            return imageDataSeen ? std::optional(layout) : std::nullopt;
        at += 12 + qsizetype(length);
    }
}

} // namespace vorlith::png

#include "app/import/JpegStructure.h"

#include <cstring>

namespace vorlith::jpeg {

namespace {

constexpr unsigned char markerPrefix = 0xFF;
constexpr unsigned char startOfImage = 0xD8;
constexpr unsigned char endOfImage = 0xD9;
constexpr unsigned char startOfScan = 0xDA;

bool standalone(unsigned char marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); // TEM and the restart markers
}

// The offset of the marker that ends an entropy-coded scan starting at `at`: the first 0xFF
// followed by neither a stuffed zero nor a restart marker. -1 when the data ends first.
qsizetype endOfScan(const unsigned char* p, qsizetype size, qsizetype at)
{
    while (at < size) {
        const void* found = std::memchr(p + at, markerPrefix, size_t(size - at));
        if (!found)
            return -1;
        at = static_cast<const unsigned char*>(found) - p;
        if (at + 1 >= size)
            return -1;
        const unsigned char next = p[at + 1];
        if (next != 0x00 && next != markerPrefix && !standalone(next))
            return at;
        at += next == markerPrefix ? 1 : 2;
    }
    return -1;
}

} // namespace

bool reachesEndOfImage(QByteArrayView file)
{
    const auto* p = reinterpret_cast<const unsigned char*>(file.data());
    const qsizetype size = file.size();
    if (size < 4 || p[0] != markerPrefix || p[1] != startOfImage)
        return false;
    qsizetype at = 2;
    while (at < size) {
        if (p[at] != markerPrefix) { // stray bytes between segments
            ++at;
            continue;
        }
        while (at < size && p[at] == markerPrefix) // fill bytes
            ++at;
        if (at >= size)
            return false;
        const unsigned char marker = p[at++];
        if (marker == endOfImage)
            return true;
        if (standalone(marker) || marker == 0x00)
            continue;
        if (size - at < 2)
            return false;
        const qsizetype length = qsizetype(p[at]) << 8 | p[at + 1];
        if (length < 2 || length > size - at)
            return false;
        at += length;
        if (marker == startOfScan) {
            at = endOfScan(p, size, at);
            if (at < 0)
                return false;
        }
    }
    return false;
}

} // namespace vorlith::jpeg

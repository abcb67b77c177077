#include "app/editor/DimmedRow.h"

#include <cstring>

namespace vorlith {

namespace {

// A premultiplied pixel's channels times `alpha` / 255, rounded as the raster engine rounds.
inline quint32 byteMul(quint32 pixel, quint32 alpha)
{
    quint32 t = (pixel & 0xff00ff) * alpha + 0x800080;
    t = ((t + ((t >> 8) & 0xff00ff)) >> 8) & 0xff00ff;
    quint32 u = ((pixel >> 8) & 0xff00ff) * alpha + 0x800080;
    u = (u + ((u >> 8) & 0xff00ff)) & 0xff00ff00;
    return t | u;
}

// Pixels as vectors of the compiler's vector extension, read once as 16-bit lanes (each lane
// two channels: the low byte masked, the high byte shifted down), so no widening or narrowing
// is needed: the even channels come back in the low bytes, the odd ones in the high bytes.
using Words8 = quint16 __attribute__((vector_size(16)));
using Pixels4 = quint32 __attribute__((vector_size(16)));
using Words16 = quint16 __attribute__((vector_size(32)));
using Pixels8 = quint32 __attribute__((vector_size(32)));

template <class Words, class Pixels>
__attribute__((always_inline)) inline void dimmedRow(const DimmedRow& blend, const quint32* source, quint32* target,
                                                     int count)
{
    constexpr int step = int(sizeof(Pixels) / sizeof(quint32));
    const auto keep = quint16(blend.keep);
    const Pixels dim = Pixels{} + blend.dim;
    const Pixels opaque = Pixels{} + blend.opaque;
    int i = 0;
    for (; i + step <= count; i += step) {
        Words words;
        std::memcpy(&words, source + i, sizeof words);
        Words low = (words & 0xff) * keep + 0x80;
        low = (low + (low >> 8)) >> 8;
        Words high = (words >> 8) * keep + 0x80;
        high = (high + (high >> 8)) & 0xff00;
        const Pixels pixels = (reinterpret_cast<Pixels>(low | high) + dim) | opaque;
        std::memcpy(target + i, &pixels, sizeof pixels);
    }
    for (; i < count; ++i)
        target[i] = (blend.dim + byteMul(source[i], blend.keep)) | blend.opaque;
}

// Four pixels at a time: what every processor of the architecture runs.
void plainRow(const DimmedRow& blend, const quint32* source, quint32* target, int count)
{
    dimmedRow<Words8, Pixels4>(blend, source, target, count);
}

// The same code eight pixels at a time, as fast as a plain copy of the row. Chosen by a
// pointer set at the first use: a load-time resolver (target_clones, ifunc) runs before
// ThreadSanitizer is ready and crashes under it.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void wideRow(const DimmedRow& blend, const quint32* source, quint32* target, int count)
{
    dimmedRow<Words16, Pixels8>(blend, source, target, count);
}

bool runsWide()
{
    return __builtin_cpu_supports("avx2");
}
#else
constexpr DimmedRow::Function wideRow = plainRow;

bool runsWide()
{
    return false;
}
#endif

DimmedRow::Function fastest()
{
    static const DimmedRow::Function chosen = runsWide() ? wideRow : plainRow;
    return chosen;
}

} // namespace

// The engine premultiplies a solid colour at 16 bits a channel and rounds it to 8 after: a
// colour premultiplied at 8 bits differs by one in some channels.
DimmedRow::DimmedRow(QColor color, bool opaque)
    : dim(color.rgba64().premultiplied().toArgb32()), keep(255 - qAlpha(dim)), opaque(opaque ? 0xff000000u : 0)
{
}

void DimmedRow::operator()(const quint32* source, quint32* target, int count) const
{
    fastest()(*this, source, target, count);
}

std::vector<DimmedRow::Function> DimmedRow::builds()
{
    if (runsWide())
        return {plainRow, wideRow};
    return {plainRow};
}

} // namespace vorlith

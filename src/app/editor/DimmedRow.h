#pragma once

#include <QColor>

#include <vector>

namespace vorlith {

// The kernel of the editor's one-pass dimming: a row of premultiplied 32-bit pixels copied with
// a dim colour blended over them (SourceOver), each channel times the colour's remaining alpha
// exactly rounded, as the raster engine's plain blend rounds. (Its vector blends round a value
// just above a half down at times, so a fill of the same colour may differ by one there.)
struct DimmedRow {
    // `opaque` forces the alpha byte (for an RGB32 target).
    DimmedRow(QColor dim, bool opaque);

    quint32 dim; // premultiplied
    quint32 keep; // 255 − the dim colour's alpha
    quint32 opaque;

    using Function = void (*)(const DimmedRow& blend, const quint32* source, quint32* target, int count);

    // The fastest build this processor runs, chosen once.
    void operator()(const quint32* source, quint32* target, int count) const;
    // Every build this processor runs, the plain one first (the tests hold each to the others).
    static std::vector<Function> builds();
};

} // namespace vorlith

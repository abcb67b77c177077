#pragma once

#include "core/Geometry.h"

#include <QImage>
#include <QPixmap>
#include <QRegion>

#include <optional>

class QPainter;

namespace vorlith {

// The editor's picture, made for cheap repaints of a large frozen display: the frozen image
// and the latest composite of the marks, each turned once into a pixmap at the image's own
// pixel density (sharing the image's pixels: no new memory). A paint copies pixels and lays
// the dim colour over the dimmed area; nothing is scaled while the screen's density matches
// the image's. There is no dimmed copy of the picture: making one costs a full-screen
// allocation (and its page faults) on the way from the grab to the overlay's first paint.
// Where the painter draws into a raster image at the picture's own density (a window's
// backing store, an offscreen render), the picture is written in one pass, row by row from
// the frozen image, blended outside the selection, which costs about what a plain copy costs;
// then the composite only where the marks changed it. Anywhere else the picture is copied and
// the dim colour blended over it.
class EditorPicture {
public:
    // `dimColor` is blended over the picture wherever it is dimmed.
    EditorPicture(QImage frozen, Size logicalSize, QColor dimColor);

    struct Layers {
        // The picture is dimmed, except inside the selection when it is cut out.
        bool dimmed = false;
        std::optional<Rect> selection;
        bool cutOut = false;
        // The composite of the marks, shown inside the selection only; null for none.
        const QImage* composite = nullptr;
        // Where the composite differs from the frozen image, in its pixels; null for
        // anywhere. The rest of the selection is taken from the frozen image, which is
        // cheaper to read along with the dimmed area around it.
        const QRegion* compositeChanges = nullptr;
    };

    // Paints the layers over the whole logical rectangle, in document coordinates.
    void paint(QPainter& painter, const Layers& layers);

    const QPixmap& clear() const { return m_clear; }
    // The composite as a pixmap; converted again only when the image changed.
    const QPixmap& marks(const QImage& composite);
    Size logicalSize() const { return m_logicalSize; }
    // On by default; off, every paint copies and blends (the reference the tests compare
    // the one-pass road with).
    void setOnePassDimming(bool on) { m_onePassDimming = on; }

private:
    QPixmap toPixmap(const QImage& image) const;
    static QRegion changesOf(const Layers& layers);
    void drawClipped(QPainter& painter, const QPixmap& pixmap, const QRectF& area) const;
    void dim(QPainter& painter, const QRectF& area) const;
    // A part of the picture written undimmed: the frozen image, with the composite over it
    // where it changed.
    struct Cutout {
        QRectF area;
        const QImage* composite = nullptr; // of the picture's size, or null
        QRegion changed;                   // in the composite's pixels
    };
    // The picture under `area`, dimmed except in the cutout, in one pass straight into the
    // painter's raster image; false (nothing written) where that is not possible, and the
    // caller copies and blends instead.
    bool copyDimmed(QPainter& painter, const QRectF& area, const std::optional<Cutout>& cutout = {}) const;

    QImage m_frozen;
    Size m_logicalSize;
    QColor m_dimColor;
    QPixmap m_clear;
    QPixmap m_marks;
    qint64 m_marksKey = 0;
    bool m_onePassDimming = true;
};

} // namespace vorlith

#pragma once

#include "core/Geometry.h"

#include <QImage>
#include <QPixmap>

#include <optional>

class QPainter;

namespace vorlith {

// The editor's picture, made for cheap repaints of a large frozen display: the frozen image,
// its dimmed copy and the latest composite of the marks, each turned once into a pixmap at
// the image's own pixel density (sharing the image's pixels; only the dimmed copy is new
// memory, made at the first paint that dims). A paint only copies pixels: nothing is scaled or blended
// while the screen's density matches the image's, and every pixel is written once (the dimmed
// copy outside the clear area, the clear image or the composite inside it).
class EditorPicture {
public:
    // `dimColor` is laid over the dimmed copy, made on first use.
    EditorPicture(QImage frozen, Size logicalSize, QColor dimColor);

    struct Layers {
        // The picture is dimmed, except inside the selection when it is cut out.
        bool dimmed = false;
        std::optional<Rect> selection;
        bool cutOut = false;
        // The composite of the marks, shown inside the selection only; null for none.
        const QImage* composite = nullptr;
    };

    // Paints the layers over the whole logical rectangle, in document coordinates.
    void paint(QPainter& painter, const Layers& layers);

    const QPixmap& clear() const { return m_clear; }
    const QPixmap& dimmed();
    // The composite as a pixmap; converted again only when the image changed.
    const QPixmap& marks(const QImage& composite);
    Size logicalSize() const { return m_logicalSize; }

private:
    QPixmap toPixmap(const QImage& image) const;
    void drawClipped(QPainter& painter, const QPixmap& pixmap, const QRectF& area) const;

    QImage m_frozen;
    Size m_logicalSize;
    QColor m_dimColor;
    QPixmap m_clear;
    QPixmap m_dimmed;
    QPixmap m_marks;
    qint64 m_marksKey = 0;
};

} // namespace vorlith

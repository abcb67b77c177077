#pragma once

#include "core/Annotation.h"
#include "core/Geometry.h"
#include "rendering/AnnotationRenderError.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUuid>

class QPainter;

#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

namespace vorlith {

// Flattens a capture's marks onto its source image. Pure functions without state, in two
// stages: `prepare` validates the marks and rasterises every text mark and numbered marker
// with the text system (main thread); `composite` draws the source, those rasters, the
// geometric marks and the mosaics into one new bitmap with plain bitmap drawing (any thread,
// cancellable between marks and between mosaic block rows).
//
// Marks are in logical points (top-left origin, y down); the bitmap is in pixels. The two
// scales are independent: sx = pixel width / logical width, sy = pixel height / logical height.
class AnnotationRenderer {
public:
    AnnotationRenderer() = delete;

    // One rasterised text mark or numbered marker.
    struct PreparedText {
        QImage image; // exactly the pixels of its clipped pixel box
        Rect rect;    // where it goes, in logical points: the pixel box divided by the scales
    };

    // The input of `composite`: immutable, safe to hand to a worker thread.
    struct PreparedRender {
        QImage source;
        Size logicalSize;
        std::vector<Annotation> annotations; // drawing order
        // An entry for every text and number mark whose pixel box is not empty, and nothing else.
        QHash<QUuid, PreparedText> texts;
    };

    // Throws AnnotationRenderError (invalidSize, invalidAnnotation, allocationFailed,
    // imageFailed). Main thread: it uses the text system.
    static PreparedRender prepare(const QImage& source, Size logicalSize, std::vector<Annotation> annotations);

    // A new bitmap of the source's pixel size; the source is never modified. Throws
    // CancellationError when `stop` is triggered (checked at entry, before each mark and
    // before each mosaic block row), or AnnotationRenderError. Any thread.
    static QImage composite(const PreparedRender& render, std::stop_token stop = {});

    // Runs at every point where compositing may stop: at entry, before each mark and before
    // each mosaic block row. Throwing from it stops the composite with that error.
    using Checkpoint = std::function<void()>;
    static QImage composite(const PreparedRender& render, const Checkpoint& checkpoint);

    // Draws one shape, arrow, highlight, line or pen mark as `composite` draws it, in logical
    // points through the painter's own transform (antialiased, round caps and joins); nothing
    // for text, number and mosaic marks. Any thread, any paint device.
    static void drawGeometry(const Annotation& mark, QPainter& painter);

    // `prepare` then `composite` on the calling thread.
    static QImage render(const QImage& source, Size logicalSize, std::vector<Annotation> annotations);

    // The box of a text mark whose top-left corner is `at`, in logical points. It fits the
    // TextMeasure the marks use when they are resized.
    static Rect textBounds(const QString& text, Point at, double fontSize);

    // CR LF pairs become LF, then every remaining CR becomes LF.
    static QString normalizedNewlines(const QString& text);

    // A mark's colour as drawn: each component clamped to 0...1, one that is not a number
    // counting as 0.
    static QColor drawnColor(const RGBA& color);

    // The logical box a text or number mark is rasterised in: a text mark's textBounds at its
    // first point, a marker's bounds. Absent for other kinds and for a text mark without points.
    static std::optional<Rect> rasterBox(const Annotation& mark);

    // The pixel box of a logical rectangle: x0 = floor(sx minX), y0 = floor(sy minY),
    // x1 = ceil(sx maxX), y1 = ceil(sy maxY), clipped to the image. Absent when empty or
    // when an edge is not a number.
    static std::optional<QRect> pixelBox(const Rect& logical, double sx, double sy, QSize pixels);
};

} // namespace vorlith

#pragma once

#include "core/Geometry.h"

#include <QPointF>
#include <QRectF>

class QFont;
class QPainter;
class QString;
class QWidget;

namespace vorlith {

// Views laid out y-up (the toolbar, its buttons, the property strip, the settings and update
// windows): a child's frame is measured from the parent's bottom-left corner. This helper keeps those numbers as written and
// turns them into Qt's y-down geometry in one place.
//
// `place` records the exact y-up frame on the child and sets its geometry (rounded to whole
// pixels) from the parent's current height; `of` reads the recorded frame back. When a parent
// changes its height, `replaceChildren` puts every recorded child back at its y-up frame, so a
// child keeps its distance from the parent's bottom edge, as in a y-up layout.
class UnflippedFrame {
public:
    static void place(QWidget* child, const Rect& frame);
    // The recorded y-up frame; for a child never placed, its geometry read y-up.
    [[nodiscard]] static Rect of(const QWidget* child);
    static void replaceChildren(QWidget* parent);

    // A y-up rectangle inside a view `height` tall, in the view's y-down coordinates.
    [[nodiscard]] static QRectF toYDown(const Rect& frame, double height);
    [[nodiscard]] static QPointF toYDown(const Point& point, double height);

    // Draws one line of text whose line box has its bottom-left corner at the y-up point.
    static void drawText(QPainter& painter, const QString& text, const QFont& font, const Point& origin,
                         double height);
    // The height of the line box of a font (ascent + descent).
    [[nodiscard]] static double lineHeight(const QFont& font);
};

} // namespace vorlith

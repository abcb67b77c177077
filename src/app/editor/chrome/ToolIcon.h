#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <vector>

class QPainter;

namespace vorlith {

// Every icon of the toolbar, the shape choices and the pin window's controls: small vector
// drawings in a 24 × 24 unit box (origin top-left, y down), stroked in one ink with round caps
// and joins, 1.8 units wide. No bitmap icon files exist.
class ToolIcon {
public:
    ToolIcon() = delete;

    static constexpr double unitBox = 24;
    static constexpr double lineWidth = 1.8;
    static constexpr double imageSize = 20;

    struct Element {
        QPainterPath path; // in icon units, pre-shift and mirror already applied
        bool filled = false; // filled instead of stroked
    };

    // The 21 icon names, in table order.
    [[nodiscard]] static const QStringList& names();
    // The drawing of an icon in icon units; empty for a name that is not an icon.
    [[nodiscard]] static std::vector<Element> elements(const QString& name);

    // Draws the icon scaled to fill the rectangle (the line width scales with it). A name that
    // is not an icon draws nothing and leaves the painter as it was.
    static void draw(QPainter& painter, const QString& name, const QRectF& rect, const QColor& ink);
    static void draw(QPainter& painter, const QString& name, const QRectF& rect);
    // A 20 × 20 image of the icon, at the given device pixel ratio.
    [[nodiscard]] static QImage image(const QString& name, const QColor& ink, double pixelRatio = 1);
};

} // namespace vorlith

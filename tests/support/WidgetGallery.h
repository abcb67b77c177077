#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <vector>

class QWidget;

namespace vorlith::test {

// Renders views into PNG sheets for looking at, and samples their pixels.
struct GalleryTile {
    QString name;
    QImage image;
};

// The widget and its children drawn at `scale` onto a flat backdrop, `margin` points around.
[[nodiscard]] QImage renderAtScale(QWidget& widget, double scale, int margin = 8,
                                   const QColor& backdrop = QColor(236, 238, 232));
// Tiles stacked with their names above them.
[[nodiscard]] QImage gallerySheet(const std::vector<GalleryTile>& tiles, double scale);
// The pixel under a logical point of an image rendered at `scale` (margin included).
[[nodiscard]] QColor pixelAt(const QImage& image, double x, double y, double scale, int margin = 8);
// Channels within `tolerance` of each other (alpha ignored).
[[nodiscard]] bool nearColor(const QColor& a, const QColor& b, int tolerance = 4);
// `over` at `alpha` blended onto an opaque `under`.
[[nodiscard]] QColor blended(const QColor& over, double alpha, const QColor& under);

} // namespace vorlith::test

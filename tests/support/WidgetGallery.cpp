#include "support/WidgetGallery.h"

#include <QPainter>
#include <QWidget>

#include <cmath>

namespace vorlith::test {

QImage renderAtScale(QWidget& widget, double scale, int margin, const QColor& backdrop)
{
    const QSize logical = widget.size() + QSize(2 * margin, 2 * margin);
    QImage image((QSizeF(logical) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(backdrop);
    QPainter painter(&image);
    widget.render(&painter, QPoint(margin, margin), QRegion(), QWidget::DrawChildren | QWidget::DrawWindowBackground);
    return image;
}

QImage gallerySheet(const std::vector<GalleryTile>& tiles, double scale)
{
    const int labelHeight = int(18 * scale);
    int width = 0, height = 0;
    for (const GalleryTile& t : tiles) {
        width = std::max(width, t.image.width());
        height += t.image.height() + labelHeight;
    }
    QImage out(std::max(width, 1), std::max(height, 1), QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(250, 250, 250));
    QPainter painter(&out);
    QFont font = painter.font();
    font.setPixelSize(int(12 * scale));
    painter.setFont(font);
    int y = 0;
    for (GalleryTile t : tiles) {
        painter.setPen(Qt::black);
        painter.drawText(QPoint(int(4 * scale), y + int(14 * scale)), t.name);
        y += labelHeight;
        t.image.setDevicePixelRatio(1);
        painter.drawImage(0, y, t.image);
        y += t.image.height();
    }
    return out;
}

QColor pixelAt(const QImage& image, double x, double y, double scale, int margin)
{
    return image.pixelColor(int(std::floor((x + margin) * scale)), int(std::floor((y + margin) * scale)));
}

bool nearColor(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QColor blended(const QColor& over, double alpha, const QColor& under)
{
    const auto mix = [&](int o, int u) { return int(std::lround(o * alpha + u * (1 - alpha))); };
    return QColor(mix(over.red(), under.red()), mix(over.green(), under.green()), mix(over.blue(), under.blue()));
}

} // namespace vorlith::test

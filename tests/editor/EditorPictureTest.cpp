// The editor's picture writes the dimmed area in one pass where it paints into a raster
// image at the picture's density. Whatever the painter's set-up, the pixels must be those of
// the plain road (copy, then blend the dim colour over it), and nothing outside what the
// paint may touch may change.
#include "app/editor/EditorPicture.h"
#include "rendering/ChangedArea.h"

#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlith;

namespace {

// Opaque, every pixel different, so an offset by one shows.
QImage frozenImage(QSize pixels)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < pixels.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            line[x] = qRgb((x * 7 + y) % 256, (y * 5 + x * 3) % 256, (x * y) % 256);
    }
    return image;
}

struct Case {
    const char* name;
    double density;
    QImage::Format target;
    QPoint translation; // device pixels
    std::optional<QRect> clip;
    EditorPicture::Layers layers;
};

// Paints `picture` the way `c` says into an image, through the one-pass road or the plain one.
QImage painted(EditorPicture& picture, const Case& c, bool onePass)
{
    QImage device(QSize(220, 140), c.target);
    picture.setOnePassDimming(onePass);
    device.setDevicePixelRatio(c.density);
    device.fill(QColor(9, 99, 199));
    QPainter painter(&device);
    painter.translate(QPointF(c.translation) / c.density);
    if (c.clip)
        painter.setClipRect(*c.clip);
    picture.paint(painter, c.layers);
    painter.end();
    return device;
}

} // namespace

TEST(EditorPicture, TheOnePassDimmingEqualsCopyingAndBlending)
{
    const QColor dim(0, 0, 0, 128);
    const QImage composite = [] {
        QImage image = frozenImage(QSize(200, 120));
        QPainter(&image).fillRect(QRect(40, 30, 50, 20), Qt::red);
        return image;
    }();
    const QRegion changes = ChangedArea::between(frozenImage(QSize(200, 120)), composite);
    const Case cases[] = {
        {"whole dimmed", 1, QImage::Format_ARGB32_Premultiplied, {}, {}, {.dimmed = true}},
        {"cut out, RGB32", 1, QImage::Format_RGB32, {}, {}, {.dimmed = true, .selection = Rect(30, 20, 70, 50), .cutOut = true}},
        {"cut out at 2x", 2, QImage::Format_ARGB32_Premultiplied, {}, {},
         {.dimmed = true, .selection = Rect(15.25, 10, 35, 25.5), .cutOut = true}},
        {"translated and clipped", 1, QImage::Format_ARGB32_Premultiplied, QPoint(3, 5), QRect(10, 12, 120, 40),
         {.dimmed = true, .selection = Rect(30, 20, 70, 50), .cutOut = true, .composite = &composite}},
        {"cut out, the composite taken only where it changed", 1, QImage::Format_RGB32, QPoint(20, 17), QRect(5, 5, 200, 120),
         {.dimmed = true, .selection = Rect(30, 20, 70, 50), .cutOut = true, .composite = &composite, .compositeChanges = &changes}},
        {"the same at 2x", 2, QImage::Format_ARGB32_Premultiplied, {}, {},
         {.dimmed = true, .selection = Rect(15.25, 10, 35, 25.5), .cutOut = true, .composite = &composite, .compositeChanges = &changes}},
        {"dimmed with marks, not cut out", 1, QImage::Format_ARGB32_Premultiplied, {}, {},
         {.dimmed = true, .selection = Rect(30, 20, 70, 50), .composite = &composite}},
        {"an odd device-pixel offset at 2x", 2, QImage::Format_ARGB32_Premultiplied, QPoint(1, 0), {}, {.dimmed = true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QSize pixels = (QSizeF(200, 120)).toSize();
        const Size logical{200 / c.density, 120 / c.density};
        EditorPicture picture(frozenImage(pixels), logical, dim);
        QImage oneComposite = composite;
        oneComposite.setDevicePixelRatio(c.density);
        Case withComposite = c;
        if (c.layers.composite)
            withComposite.layers.composite = &oneComposite;
        const QImage fast = painted(picture, withComposite, true);
        const QImage plain = painted(picture, withComposite, false);
        ASSERT_EQ(fast.format(), plain.format());
        int differing = 0;
        for (int y = 0; y < fast.height(); ++y)
            for (int x = 0; x < fast.width(); ++x)
                differing += fast.pixel(x, y) != plain.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

namespace {

class PictureWidget : public QWidget {
public:
    PictureWidget(EditorPicture& picture, EditorPicture::Layers layers) : m_picture(picture), m_layers(layers) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_picture.paint(painter, m_layers);
    }

private:
    EditorPicture& m_picture;
    EditorPicture::Layers m_layers;
};

} // namespace

TEST(EditorPicture, APartialPaintWritesOnlyWhatItRepaints)
{
    EditorPicture picture(frozenImage(QSize(200, 120)), Size{200, 120}, QColor(0, 0, 0, 128));
    QWidget parent;
    parent.resize(260, 180);
    PictureWidget view(picture, {.dimmed = true, .selection = Rect(30, 20, 70, 50), .cutOut = true});
    view.setParent(&parent);
    view.setGeometry(20, 30, 200, 120);

    QImage target(260, 180, QImage::Format_ARGB32_Premultiplied);
    target.fill(QColor(9, 99, 199));
    const QImage before = target;
    const QRegion repainted = QRegion(5, 5, 40, 30) + QRegion(120, 90, 50, 20); // the view's coordinates
    view.render(&target, view.pos(), repainted, QWidget::RenderFlags());
    // render() puts the region's top left at the offset given.
    const QRegion written = repainted.translated(view.pos() - repainted.boundingRect().topLeft());

    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x) {
            const bool inside = written.contains(QPoint(x, y));
            if (!inside)
                ASSERT_EQ(target.pixel(x, y), before.pixel(x, y)) << x << "," << y;
            else
                ASSERT_NE(target.pixel(x, y), before.pixel(x, y)) << x << "," << y;
        }
}

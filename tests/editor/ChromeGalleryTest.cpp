// Renders every look of the editor chrome at scale 1 and 2 into build/test-output/chrome-*.png
// (looked at by eye), and samples a few pixels of each so a later change that breaks a look
// fails here.
#include "app/base/InterfaceColors.h"
#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/CaptureLoupeView.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ColorSwatch.h"
#include "app/editor/chrome/CompletionSlider.h"
#include "app/editor/chrome/HintExitButton.h"
#include "app/editor/chrome/LoupeSample.h"
#include "app/editor/chrome/OverlayChromeShadows.h"
#include "app/editor/chrome/ToolButton.h"
#include "app/editor/chrome/ToolProperties.h"
#include "editor/ChromeFixture.h"
#include "support/TestSupport.h"
#include "support/WidgetGallery.h"

#include <QApplication>
#include <QFont>
#include <QHoverEvent>
#include <QPainter>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

using Tile = GalleryTile;

void paintBackdrop(QPainter& painter, const QSize& size)
{
    painter.fillRect(QRect(QPoint(0, 0), size), QColor(58, 74, 92));
    for (int x = -size.height(); x < size.width(); x += 40)
        painter.fillRect(QRect(x, 0, 20, size.height()), QColor(96, 120, 88));
    painter.fillRect(QRect(0, size.height() / 2, size.width(), size.height() / 2), QColor(232, 228, 214));
}

QImage renderWidget(QWidget* widget, double scale, int margin = 24)
{
    const QSize logical = widget->size() + QSize(2 * margin, 2 * margin);
    QImage image((QSizeF(logical) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    paintBackdrop(painter, logical);
    widget->render(&painter, QPoint(margin, margin), QRegion(), QWidget::DrawChildren);
    return image;
}

void hover(QWidget* w, bool in)
{
    QHoverEvent e(in ? QEvent::HoverEnter : QEvent::HoverLeave, in ? QPointF(5, 5) : QPointF(-1, -1),
                  QPointF(-1, -1), in ? QPointF(-1, -1) : QPointF(5, 5));
    QApplication::sendEvent(w, &e);
}

AnnotationStyle styleFor(CaptureTool tool)
{
    AnnotationStyle style{.color = RGBA::Red, .width = 4, .opacity = 0.35, .fontSize = 28, .mosaicSize = 16};
    if (tool == CaptureTool::highlight)
        style.color = RGBA::Yellow;
    if (tool == CaptureTool::text)
        style.background = RGBA{1, 0xF3 / 255.0, 0xB0 / 255.0, 1};
    return style;
}

struct Bar {
    CaptureToolbar toolbar;
    ToolProperties* strip = new ToolProperties;
    explicit Bar(CaptureTool tool, bool pinned = false)
    {
        toolbar.isPinnedEditing = pinned;
        if (pinned)
            toolbar.rebuildButtons();
        toolbar.embedProperties(strip);
        strip->configure(tool, Annotation::Kind::roundedRectangle, styleFor(tool));
        toolbar.refresh(tool, true, false, false);
        // The editor hides the strip of a tool without controls.
        strip->setVisible(tool != CaptureTool::select);
        toolbar.layoutEmbeddedProperties();
    }
};

QColor pixel(const QImage& image, double x, double y, double scale)
{
    return image.pixelColor(int(x * scale), int(y * scale));
}

bool near(const QColor& a, const QColor& b, int tolerance = 4)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

QImage colourfulImage()
{
    QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    for (int y = 0; y < 300; y += 10)
        for (int x = 0; x < 400; x += 10)
            p.fillRect(x, y, 10, 10, QColor::fromHsv((x + y) % 360, 160 + (x / 10 % 2) * 60, 230));
    p.fillRect(195, 145, 10, 10, QColor(255, 59, 48));
    return image;
}

} // namespace

TEST(ChromeGallery, ToolbarWithEachToolsStrip)
{
    const int margin = 24;
    for (double scale : {1.0, 2.0}) {
        std::vector<Tile> tiles;
        for (CaptureTool tool : captureTool::allCases) {
            Bar bar(tool);
            const QImage image = renderWidget(&bar.toolbar, scale, margin);
            // The chosen tool's button: the selection tint inside its rounded corner.
            const QRect b = bar.toolbar.button(captureTool::rawValue(tool))->geometry();
            EXPECT_TRUE(near(pixel(image, margin + b.x() + 4, margin + b.y() + 24, scale), InterfaceColors::selection()))
                << captureTool::rawValue(tool).toStdString();
            // The primary copy button, enabled: the brand colour.
            const QRect copy = bar.toolbar.button("copy")->geometry();
            EXPECT_TRUE(near(pixel(image, margin + copy.x() + 4, margin + copy.y() + 24, scale), InterfaceColors::brand()));
            tiles.push_back({captureTool::rawValue(tool), image});
        }
        Bar exhausted(CaptureTool::number);
        exhausted.strip->setNumberContext(std::nullopt, std::nullopt, 24);
        exhausted.toolbar.layoutEmbeddedProperties();
        tiles.push_back({"number, 999 used", renderWidget(&exhausted.toolbar, scale, margin)});
        Bar selected(CaptureTool::number);
        selected.strip->setNumberContext(8, 5, 32);
        selected.toolbar.layoutEmbeddedProperties();
        tiles.push_back({"number, marker 5 selected", renderWidget(&selected.toolbar, scale, margin)});
        Bar pinned(CaptureTool::pen, true);
        tiles.push_back({"pinned editing", renderWidget(&pinned.toolbar, scale, margin)});
        saveTestImage(gallerySheet(tiles, scale), QStringLiteral("chrome-toolbars-scale%1").arg(int(scale)));
    }
}

TEST(ChromeGallery, ButtonStatesAndShapes)
{
    const int margin = 24;
    for (double scale : {1.0, 2.0}) {
        std::vector<Tile> tiles;
        {
            Bar bar(CaptureTool::arrow);
            bar.strip->hide();
            bar.toolbar.layoutEmbeddedProperties();
            hover(bar.toolbar.button("text"), true);
            hover(bar.toolbar.button("copy"), true);
            const QImage image = renderWidget(&bar.toolbar, scale, margin);
            const QRect copy = bar.toolbar.button("copy")->geometry();
            EXPECT_TRUE(near(pixel(image, margin + copy.x() + 4, margin + copy.y() + 24, scale),
                             InterfaceColors::brandPressed()));
            const QRect text = bar.toolbar.button("text")->geometry();
            EXPECT_TRUE(near(pixel(image, margin + text.x() + 4, margin + text.y() + 24, scale), InterfaceColors::hover()));
            tiles.push_back({"arrow chosen, text hovered, copy hovered, undo enabled, redo disabled", image});
        }
        {
            Bar bar(CaptureTool::pen);
            bar.strip->hide();
            bar.toolbar.refresh(CaptureTool::pen, true, true, true);
            bar.toolbar.layoutEmbeddedProperties();
            const QImage image = renderWidget(&bar.toolbar, scale, margin);
            const QRect copy = bar.toolbar.button("copy")->geometry();
            EXPECT_TRUE(near(pixel(image, margin + copy.x() + 4, margin + copy.y() + 24, scale),
                             InterfaceColors::brandDisabled()));
            tiles.push_back({"busy: every button disabled", image});
        }
        for (Annotation::Kind kind : {Annotation::Kind::roundedRectangle, Annotation::Kind::ellipse, Annotation::Kind::line}) {
            Bar bar(CaptureTool::shape);
            bar.toolbar.setShapeKind(kind);
            bar.strip->configure(CaptureTool::shape, kind, styleFor(CaptureTool::shape));
            tiles.push_back({"shape: " + bar.toolbar.button("shape")->text(), renderWidget(&bar.toolbar, scale, margin)});
        }
        saveTestImage(gallerySheet(tiles, scale), QStringLiteral("chrome-buttons-scale%1").arg(int(scale)));
    }
}

TEST(ChromeGallery, StripControlsOnTheirOwn)
{
    const int margin = 16;
    for (double scale : {1.0, 2.0}) {
        std::vector<Tile> tiles;
        {
            ToolProperties strip;
            strip.configure(CaptureTool::highlight, Annotation::Kind::highlight, styleFor(CaptureTool::highlight));
            tiles.push_back({"highlight strip, not embedded", renderWidget(&strip, scale, margin)});
            strip.slider()->setEnabled(false);
            const QImage image = renderWidget(&strip, scale, margin);
            tiles.push_back({"disabled slider", image});
        }
        {
            ToolProperties strip;
            strip.configure(CaptureTool::text, Annotation::Kind::text,
                            AnnotationStyle{.color = RGBA{1, 1, 1, 1}, .width = 2, .fontSize = 28});
            tiles.push_back({"text strip: white chosen, no background chosen", renderWidget(&strip, scale, margin)});
        }
        saveTestImage(gallerySheet(tiles, scale), QStringLiteral("chrome-strips-scale%1").arg(int(scale)));
    }
}

TEST(ChromeGallery, PillShadowsAndLoupe)
{
    const int margin = 24;
    const QImage source = colourfulImage();
    for (double scale : {1.0, 2.0}) {
        std::vector<Tile> tiles;
        {
            CaptureHint pill;
            const QImage image = renderWidget(&pill, scale, margin);
            EXPECT_TRUE(near(pixel(image, margin + 6, margin + 17, scale), QColor(40, 48, 39), 18));
            tiles.push_back({"pill with exit", image});
            hover(pill.exitButton(), true);
            tiles.push_back({"pill, exit hovered", renderWidget(&pill, scale, margin)});
            pill.configure(QStringLiteral("松开确定截图范围"), false);
            tiles.push_back({"pill without exit", renderWidget(&pill, scale, margin)});
        }
        {
            QWidget stage;
            stage.resize(820, 200);
            auto* shadows = new OverlayChromeShadows(&stage);
            shadows->resize(stage.size());
            auto* bar = new CaptureToolbar(&stage);
            bar->move(40, 40);
            auto* pill = new CaptureHint(&stage);
            pill->move(40, 140);
            QColor wide = InterfaceColors::pinShadow(), tight = wide, black(0, 0, 0, 17);
            wide.setAlpha(38);
            tight.setAlpha(18);
            shadows->setItems({
                {Rect(40, 40, bar->width(), bar->height()), 13, {{14, 20, wide}, {2, 3, tight}}},
                {Rect(40, 140, pill->width(), pill->height()), 9, {{3, 7.5, black}}},
            });
            tiles.push_back({"overlay shadows under the toolbar and the pill", renderWidget(&stage, scale, 0)});
        }
        {
            CaptureLoupeView loupe;
            loupe.showSample(*LoupeSample::take(source, Point{100, 75}, Size{200, 150}), false);
            tiles.push_back({"loupe, centre", renderWidget(&loupe, scale, margin)});
            loupe.showSample(*LoupeSample::take(source, Point{0, 0}, Size{200, 150}), true);
            const QImage corner = renderWidget(&loupe, scale, margin);
            EXPECT_TRUE(near(pixel(corner, margin + 20, margin + 20, scale), Qt::white)) << "the empty upper-left";
            tiles.push_back({"loupe, top-left pixel, dragging", corner});
        }
        saveTestImage(gallerySheet(tiles, scale), QStringLiteral("chrome-overlay-scale%1").arg(int(scale)));
    }
}

TEST(ChromeGallery, FieldBeingEdited)
{
    ChromeFixture f;
    f.type(ToolProperties::FieldRole::width, "0");
    for (double scale : {1.0, 2.0}) {
        const QImage image = renderWidget(f.toolbar, scale, 24);
        // The focus ring: 3 outside the field's box, in the focus colour.
        const QRect box = toQRectF(f.strip->fieldFrames().at(ToolProperties::FieldRole::width)).toRect();
        const QPoint stripAt = f.strip->geometry().topLeft();
        const double ringY = 24 + stripAt.y() + (47 - box.y() - box.height()) + box.height() / 2.0;
        const double ringX = 24 + stripAt.x() + box.x() - 3;
        EXPECT_TRUE(near(pixel(image, ringX, ringY, scale), InterfaceColors::focus(), 40))
            << pixel(image, ringX, ringY, scale).name().toStdString();
        saveTestImage(image, QStringLiteral("chrome-field-editing-scale%1").arg(int(scale)));
    }
}

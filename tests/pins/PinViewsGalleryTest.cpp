// Renders every look of a pin's chrome (the ring, the strip, the badge) at scale 1 and 2 into
// build/test-output/pin-*.png (looked at by eye), and samples the pixels that tell the looks
// apart.
#include "app/base/InterfaceColors.h"
#include "app/pins/PinActionButton.h"
#include "app/pins/PinChromeSurface.h"
#include "app/pins/PinDecorationView.h"
#include "app/pins/PinScaleView.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <cmath>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A photo-like image under the ring, so its shadow and border read as they will on screen.
void paintBackdrop(QPainter& painter, const QSize& size)
{
    painter.fillRect(QRect(QPoint(0, 0), size), QColor(236, 238, 232));
    painter.fillRect(QRect(0, size.height() * 2 / 3, size.width(), size.height()), QColor(70, 86, 104));
}

QImage renderWidget(QWidget* widget, double scale, const std::function<void(QPainter&)>& under = {})
{
    // The window's own pixels first (it clears them to transparent), then composited over
    // what lies beneath, as a compositor shows it.
    QImage window((QSizeF(widget->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    window.setDevicePixelRatio(scale);
    window.fill(Qt::transparent);
    widget->render(&window, QPoint(), QRegion(), QWidget::DrawChildren);
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    paintBackdrop(painter, widget->size());
    if (under)
        under(painter);
    painter.drawImage(QPoint(), window);
    return image;
}

QImage row(const std::vector<QImage>& images)
{
    int width = 0, height = 0;
    for (const QImage& image : images) {
        width += image.width() + 8;
        height = std::max(height, image.height());
    }
    QImage out(width, height, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::white);
    QPainter painter(&out);
    int x = 0;
    for (const QImage& image : images) {
        QImage plain = image;
        plain.setDevicePixelRatio(1);
        painter.drawImage(x, 0, plain);
        x += image.width() + 8;
    }
    return out;
}

bool near(QRgb a, const QColor& b, int tolerance = 12)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance
        && std::abs(qBlue(a) - b.blue()) <= tolerance;
}

struct RingLook {
    const char* name;
    bool active, hovered, editing;
    bool text;
};

const RingLook ringLooks[] = {
    {"active", true, false, false, false},   {"hovered", true, true, false, false},
    {"editing", false, false, true, false},  {"off", false, false, false, false},
    {"text-backing", false, false, true, true},
};

// The image the ring surrounds, drawn where the card is.
void paintImage(QPainter& painter, const PinDecorationView& ring)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(ring.card(), 8, 8);
    painter.fillPath(card, QColor(196, 90, 60));
    painter.restore();
}

} // namespace

TEST(PinViewsGallery, RingLooks)
{
    for (double scale : {1.0, 2.0}) {
        std::vector<QImage> images;
        for (const RingLook& look : ringLooks) {
            PinDecorationView ring;
            ring.resize(200 + 88, 120 + 88);
            ring.active = look.active;
            ring.hovered = look.hovered;
            ring.editing = look.editing;
            if (look.text)
                ring.textInputFrame = Rect(150, 100, 180, 40); // sticks out to the right
            const QImage image = renderWidget(&ring, scale, [&](QPainter& p) { paintImage(p, ring); });
            images.push_back(image);
            SCOPED_TRACE(look.name);
            const auto at = [&](double x, double y) { return image.pixel(int(x * scale), int(y * scale)); };
            // The top border's outer half over the light backdrop: tinted by the border when
            // shown (darker when hovered), the backdrop with its shadow otherwise.
            const int border = qGray(at(144, 43.5));
            const bool borderShown = look.active || look.editing;
            if (!borderShown)
                EXPECT_GT(border, 200);
            else
                EXPECT_LT(border, look.hovered ? 185 : 205);
            // A handle's white middle on the top-left corner.
            const QRgb handle = at(44 + 3, 44 + 3);
            EXPECT_EQ(near(handle, Qt::white, 6), look.active && !look.editing) << std::hex << handle;
            // The shadow darkens below the card (offset down), and nothing is painted inside it.
            EXPECT_LT(qGray(at(144, 44 + 120 + 10)), qGray(at(144, 10)));
            EXPECT_TRUE(near(at(144, 104), QColor(196, 90, 60), 2));
            if (look.text) { // the backing outside the card is white, inside it the image shows
                EXPECT_TRUE(near(at(280, 120), Qt::white, 3));
                EXPECT_TRUE(near(at(200, 120), QColor(196, 90, 60), 2));
            }
        }
        saveTestImage(row(images), QStringLiteral("pin-ring@%1x").arg(scale));
    }
}

TEST(PinViewsGallery, ZoomingTheRingNeverBlursAgain)
{
    PinDecorationView ring;
    ring.resize(400, 300);
    (void)renderWidget(&ring, 1);
    const int renders = PinDecorationView::shadowPainter().renders();
    for (int width : {410, 431, 452, 900, 1500}) {
        ring.resize(width, width * 3 / 4);
        (void)renderWidget(&ring, 1);
    }
    EXPECT_EQ(PinDecorationView::shadowPainter().renders(), renders);
}

TEST(PinViewsGallery, StripWithHoveredAndDisabledButtons)
{
    for (double scale : {1.0, 2.0}) {
        PinChromeSurface strip;
        strip.resize(135, 39);
        const char* icons[] = {"edit", "reopen", "hide", "exit"};
        std::vector<PinActionButton*> buttons;
        for (int i = 0; i < 4; ++i) {
            auto* button = new PinActionButton(icons[i], QStringLiteral("b%1").arg(i), &strip);
            button->setGeometry(5 + 32 * i, 5, 29, 29);
            buttons.push_back(button);
        }
        QHoverEvent hover(QEvent::HoverEnter, QPointF(10, 10), QPointF(10, 10), QPointF(-1, -1));
        QApplication::sendEvent(buttons[1], &hover);
        buttons[2]->setEnabled(false);
        QHoverEvent hoverDisabled(QEvent::HoverEnter, QPointF(10, 10), QPointF(10, 10), QPointF(-1, -1));
        QApplication::sendEvent(buttons[2], &hoverDisabled);
        ASSERT_TRUE(buttons[1]->hovered());
        const QImage image = renderWidget(&strip, scale);
        saveTestImage(image, QStringLiteral("pin-strip@%1x").arg(scale));
        const auto at = [&](double x, double y) { return image.pixel(int(x * scale), int(y * scale)); };
        // The hovered button's corner carries the hover fill; the disabled one's does not.
        EXPECT_TRUE(near(at(37 + 3, 5 + 3), InterfaceColors::pinControlHover(), 3));
        EXPECT_FALSE(near(at(69 + 3, 5 + 3), InterfaceColors::pinControlHover(), 1));
        // The disabled icon is light: its darkest pixel is far from the ink.
        int darkestEnabled = 255, darkestDisabled = 255;
        for (int y = 8; y < 31; ++y)
            for (int x = 0; x < 29; ++x) {
                darkestEnabled = std::min(darkestEnabled, qGray(at(101 + x, y)));
                darkestDisabled = std::min(darkestDisabled, qGray(at(69 + x, y)));
            }
        EXPECT_LT(darkestEnabled, 80);
        EXPECT_GT(darkestDisabled, 110); // 0.35 of the ink; strokes overlap at joints
    }
}

TEST(PinViewsGallery, BadgeSizesItselfToItsText)
{
    for (double scale : {1.0, 2.0}) {
        std::vector<QImage> images;
        for (int percentage : {29, 100, 1000}) {
            PinScaleView badge;
            badge.setPercentage(percentage);
            const QString text = QString::number(percentage) + "%";
            EXPECT_EQ(badge.text(), text);
            EXPECT_EQ(badge.accessibleName(), "显示比例 " + text);
            const double textWidth = QFontMetricsF(PinScaleView::font()).horizontalAdvance(text);
            EXPECT_EQ(badge.width(), int(std::ceil(textWidth)) + 12);
            EXPECT_EQ(badge.height(), 18);
            images.push_back(renderWidget(&badge, scale));
        }
        saveTestImage(row(images), QStringLiteral("pin-badge@%1x").arg(scale));
    }
}

TEST(PinViewsGallery, DecorationSolidRegionFollowsItsLook)
{
    PinDecorationView ring;
    ring.resize(188, 188);
    EXPECT_TRUE(ring.solidRegion().contains(QPoint(44, 44)));
    EXPECT_TRUE(ring.solidRegion().contains(QPoint(40, 40))); // a handle
    EXPECT_FALSE(ring.solidRegion().contains(QPoint(94, 94))); // the image
    EXPECT_FALSE(ring.solidRegion().contains(QPoint(10, 10))); // the shadow
    ring.editing = true;
    ring.active = false;
    EXPECT_FALSE(ring.solidRegion().contains(QPoint(40, 40)));
    ring.editing = false;
    EXPECT_TRUE(ring.solidRegion().isEmpty());
}

TEST(PinViewsGallery, RingWithoutCompositorIsOpaqueWhereItIsShown)
{
    for (double scale : {1.0, 2.0}) {
        std::vector<QImage> images;
        for (const RingLook& look : ringLooks) {
            PinDecorationView ring;
            ring.resize(200 + 88, 120 + 88);
            ring.shadowsShown = false;
            ring.active = look.active;
            ring.hovered = look.hovered;
            ring.editing = look.editing;
            QImage window((QSizeF(ring.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
            window.setDevicePixelRatio(scale);
            window.fill(Qt::transparent);
            ring.render(&window, QPoint(), QRegion(), QWidget::DrawChildren);
            // Every pixel inside the mask is opaque (no compositor blends it), every pixel
            // outside is untouched.
            const QRegion mask = ring.solidRegion();
            int opaque = 0;
            for (int y = 0; y < window.height(); ++y)
                for (int x = 0; x < window.width(); ++x) {
                    const QPoint logical(int(x / scale), int(y / scale));
                    const int alpha = qAlpha(window.pixel(x, y));
                    if (mask.contains(logical)) {
                        ASSERT_EQ(alpha, 255) << look.name << " " << x << "," << y;
                        ++opaque;
                    } else {
                        ASSERT_EQ(alpha, 0) << look.name << " " << x << "," << y;
                    }
                }
            EXPECT_EQ(opaque > 0, look.active || look.editing) << look.name;
            images.push_back(renderWidget(&ring, scale, [&](QPainter& p) { paintImage(p, ring); }));
        }
        saveTestImage(row(images), QStringLiteral("pin-ring-opaque@%1x").arg(scale));
    }
}

TEST(PinViewsGallery, StripAndBadgeWithoutCompositorAreOpaqueInsideTheirBodies)
{
    PinChromeSurface strip;
    strip.resize(135, 39);
    strip.translucent = false;
    PinScaleView badge;
    badge.setPercentage(29);
    badge.translucent = false;
    for (double scale : {1.0, 2.0}) {
        for (QWidget* view : {static_cast<QWidget*>(&strip), static_cast<QWidget*>(&badge)}) {
            const QRegion body = view == &strip ? strip.bodyRegion() : badge.bodyRegion();
            QImage window((QSizeF(view->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
            window.setDevicePixelRatio(scale);
            window.fill(Qt::transparent);
            view->render(&window, QPoint(), QRegion(), QWidget::DrawChildren);
            int translucentInside = 0;
            for (int y = 0; y < window.height(); ++y)
                for (int x = 0; x < window.width(); ++x)
                    if (body.contains(QPoint(int(x / scale), int(y / scale))) && qAlpha(window.pixel(x, y)) != 255)
                        ++translucentInside;
            EXPECT_EQ(translucentInside, 0) << view->metaObject()->className() << " at " << scale;
        }
    }
    saveTestImage(renderWidget(&strip, 2), QStringLiteral("pin-strip-opaque@2x"));
}

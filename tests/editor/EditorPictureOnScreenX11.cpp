// The editor's picture on a real X screen at the screen's own density (1 and 1.5): a frozen
// image of one-pixel stripes reaches the window pixel for pixel, clear inside the selection
// and dimmed outside, so nothing scales the frozen image on its way to the screen.
#include "editor/HostViewFixture.h"
#include "editor/Xdotool.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// Columns alternate dark and light, one device pixel each.
QImage stripes(QSize pixels)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < pixels.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            line[x] = x % 2 ? qRgb(230, 200, 40) : qRgb(20, 60, 140);
    }
    return image;
}

// The editor shown at (40, 40) without a window manager's frame, the pointer far away (no
// loupe); none when it never became exposed.
std::unique_ptr<EditorHostView> showOnScreen(HostViewFixture& f)
{
    xdotool({QStringLiteral("mousemove"), QStringLiteral("1900"), QStringLiteral("1000")});
    std::unique_ptr<EditorHostView> view(f.make());
    view->setWindowFlag(Qt::BypassWindowManagerHint);
    view->move(40, 40);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        return nullptr;
    view->refresh();
    return view;
}

} // namespace

TEST(EditorPictureOnScreen, TheFrozenImageArrivesPixelForPixel)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(screen);
    const double ratio = screen->devicePixelRatio();
    const Size logical{600, 400};
    const QSize pixels = (QSizeF(logical.width, logical.height) * ratio).toSize();
    const QImage frozen = stripes(pixels);
    HostViewFixture f(frozen, logical);
    f.document->session.setSelection(Rect(100, 100, 300, 200));
    std::unique_ptr<EditorHostView> view = showOnScreen(f);
    ASSERT_TRUE(view);

    QImage shot;
    ASSERT_TRUE(runUntil([&] {
        shot = screen->grabWindow(view->winId()).toImage();
        const QPoint inside = (QPointF(250, 200) * ratio).toPoint();
        return shot.width() >= pixels.width() && shot.pixel(inside) == frozen.pixel(inside);
    }));
    // Every device column of a row inside the selection, away from the outline and handles,
    // is the source pixel itself; outside, the same pixel dimmed.
    const QColor maskOver[2] = {dimmed(QColor(frozen.pixel(0, 0))), dimmed(QColor(frozen.pixel(1, 0)))};
    const int insideRow = int(220 * ratio);
    const int outsideRow = int(350 * ratio); // under the selection: clear of the pill and the label
    int wrongInside = 0, wrongOutside = 0;
    for (int x = int(110 * ratio); x < int(390 * ratio); ++x) {
        wrongInside += shot.pixel(x, insideRow) != frozen.pixel(x, insideRow);
        wrongOutside += !near(QColor(shot.pixel(x, outsideRow)), maskOver[x % 2]);
    }
    EXPECT_EQ(wrongInside, 0) << "at device scale " << ratio;
    EXPECT_EQ(wrongOutside, 0) << "at device scale " << ratio;
    saveTestImage(shot, QStringLiteral("editor-on-screen-%1x").arg(ratio));
}

// A window of 160 × 100 device pixels, picked as the selection: the label on screen reads its
// own pixel size at the screen's density, the size a copy crops.
TEST(EditorPictureOnScreen, AWindowsSelectionIsLabelledWithItsOwnPixels)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(screen);
    const double ratio = screen->devicePixelRatio();
    const QSize pixels(900, 600);
    HostViewFixture f(solidImage(pixels, HostViewFixture::pictureColor),
                      Size{pixels.width() / ratio, pixels.height() / ratio});
    const Rect window(301 / ratio, 151 / ratio, 160 / ratio, 100 / ratio);
    f.commitSelection(window);
    EXPECT_EQ(f.document->source().geometry.pixels(window), Rect(301, 151, 160, 100)) << "at device scale " << ratio;
    std::unique_ptr<EditorHostView> view = showOnScreen(f);
    ASSERT_TRUE(view);
    spin(std::chrono::milliseconds(200));
    const QImage shot = screen->grabWindow(view->winId()).toImage();
    saveTestImage(shot.copy(QRect(120, 60, 420, 220)), QStringLiteral("editor-on-screen-size-label-%1x").arg(ratio));
}

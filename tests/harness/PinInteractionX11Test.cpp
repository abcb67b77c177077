// Pins as a user handles them, through pin_harness under a real X server, with openbox and
// without a window manager: dragging the image and putting it back with Esc, dragging a corner
// and an edge, zooming with the wheel about the pointer, a double click into edit mode, an
// arrow drawn and copied (read back with xclip), the menu's "隐藏", and a half-typed strip value
// kept through the quit review's freeze. Screens are saved as
// build/test-output/pin-interaction-x11-*.png.
#include "editor/Xdotool.h"
#include "harness/ClipboardImage.h"
#include "harness/HarnessProcess.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace vorlith;
using namespace vorlith::test;
using namespace std::chrono_literals;

namespace {

const QColor imageColour(60, 140, 90);

QString configName()
{
    return X11Environment::server()->options().windowManager ? QStringLiteral("wm") : QStringLiteral("nowm");
}

QRect rectOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    return parts.size() == 4 ? QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt()) : QRect();
}

struct Viewport {
    QPointF origin;
    double scale = 0;
};

void xdo(const QStringList& arguments)
{
    xdotool(arguments);
}

struct Session {
    HarnessProcess harness{QStringLiteral(VORLITH_PIN_HARNESS)};
    QScreen* screen = QGuiApplication::primaryScreen();
    QString source;

    Session()
    {
        EXPECT_TRUE(harness.line(QStringLiteral("ready")));
        QImage image(600, 400, QImage::Format_ARGB32_Premultiplied);
        image.fill(imageColour);
        source = QStringLiteral("%1/pin-interaction-source-%2.png").arg(testOutputDir()).arg(QCoreApplication::applicationPid());
        image.save(source);
        harness.send(QStringLiteral("open %1 near=%2,%3")
                         .arg(source)
                         .arg(screen->geometry().center().x())
                         .arg(screen->geometry().center().y())
                         .toLocal8Bit());
        EXPECT_TRUE(harness.line(QStringLiteral("opened"))) << harness.transcript();
        spin(300ms);
    }
    ~Session() { QFile::remove(source); }

    Viewport viewport()
    {
        harness.send("viewport pin=0");
        const std::optional<QString> line = harness.line(QStringLiteral("viewport"));
        if (!line)
            return {};
        const QStringList origin = field(*line, QStringLiteral("origin")).split(QLatin1Char(','));
        return {QPointF(origin.value(0).toDouble(), origin.value(1).toDouble()),
                field(*line, QStringLiteral("scale")).toDouble()};
    }

    // Waits until the viewport satisfies `done`; answers the last one read.
    Viewport viewportWhen(const std::function<bool(const Viewport&)>& done)
    {
        Viewport v;
        runUntil([&] { return done(v = viewport()); }, 5s);
        return v;
    }

    QRect frame()
    {
        const Viewport v = viewport();
        return QRect(qRound(v.origin.x()), qRound(v.origin.y()), qRound(600 * v.scale), qRound(400 * v.scale));
    }

    QImage shot(const QString& name)
    {
        spin(300ms);
        QImage image = screen->grabWindow(0).toImage();
        saveTestImage(image, QStringLiteral("pin-interaction-x11-%1-%2").arg(configName(), name));
        return image;
    }
};

void press(QPoint p)
{
    xdo(at(p) << QStringLiteral("mousedown") << QStringLiteral("1"));
}

void moveTo(QPoint p)
{
    xdo(at(p));
    spin(60ms);
}

void release()
{
    xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
}


} // namespace

TEST(PinInteractionX11, DragMovesExactlyAndEscPutsItBack)
{
    Session s;
    const Viewport before = s.viewport();
    ASSERT_GT(before.scale, 0) << s.harness.transcript();
    const QPoint start = s.frame().center();
    press(start);
    moveTo(start + QPoint(10, -5));
    moveTo(start + QPoint(30, -20));
    Viewport moved = s.viewportWhen([&](const Viewport& v) { return v.origin == before.origin + QPointF(30, -20); });
    EXPECT_EQ(moved.origin, before.origin + QPointF(30, -20));
    EXPECT_EQ(moved.scale, before.scale);
    s.shot(QStringLiteral("dragged"));
    xdo({QStringLiteral("key"), QStringLiteral("Escape")});
    moved = s.viewportWhen([&](const Viewport& v) { return v.origin == before.origin; });
    EXPECT_EQ(moved.origin, before.origin);
    release();
    spin(100ms);
    EXPECT_EQ(s.viewport().origin, before.origin);

    // A drag that ends with the release stays.
    press(start);
    moveTo(start + QPoint(15, 5));
    moveTo(start + QPoint(30, -20));
    release();
    moved = s.viewportWhen([&](const Viewport& v) { return v.origin == before.origin + QPointF(30, -20); });
    EXPECT_EQ(moved.origin, before.origin + QPointF(30, -20));
}

TEST(PinInteractionX11, CornerAndEdgeResizeAboutTheOppositeSide)
{
    Session s;
    const Viewport before = s.viewport();
    QRect frame = s.frame();
    // The bottom-right corner, 4 points inside the image, dragged 60 left and 40 up along the
    // diagonal: about the top-left corner.
    const QPoint corner = frame.bottomRight() - QPoint(3, 3);
    press(corner);
    moveTo(corner - QPoint(30, 20));
    moveTo(corner - QPoint(60, 40));
    release();
    const double expected = before.scale * std::hypot(600 * before.scale - 60, 400 * before.scale - 40)
                          / std::hypot(600 * before.scale, 400 * before.scale);
    Viewport after = s.viewportWhen([&](const Viewport& v) { return std::abs(v.scale - expected) < 1e-6; });
    EXPECT_NEAR(after.scale, expected, 1e-6);
    EXPECT_EQ(after.origin, before.origin);
    // The left edge, 100 to the left: about the right edge.
    frame = s.frame();
    const double right = after.origin.x() + 600 * after.scale;
    const QPoint edge(frame.left() + 2, frame.center().y());
    press(edge);
    moveTo(edge - QPoint(50, 0));
    moveTo(edge - QPoint(100, 0));
    release();
    const double widened = after.scale * (600 * after.scale + 100) / (600 * after.scale);
    after = s.viewportWhen([&](const Viewport& v) { return std::abs(v.scale - widened) < 1e-6; });
    EXPECT_NEAR(after.scale, widened, 1e-6);
    EXPECT_NEAR(after.origin.x() + 600 * after.scale, right, 1e-6);
    s.shot(QStringLiteral("resized"));
}

TEST(PinInteractionX11, WheelKeepsTheDocumentPointUnderThePointer)
{
    Session s;
    const QRect frame = s.frame();
    const QPoint p = frame.topLeft() + QPoint(frame.width() / 3, frame.height() / 4);
    xdo(at(p));
    spin(100ms);
    Viewport v = s.viewport();
    const QPointF under = (QPointF(p) - v.origin) / v.scale;
    for (const char* button : {"4", "4", "5"}) {
        const double scale = v.scale;
        xdo({QStringLiteral("click"), QString::fromLatin1(button)});
        v = s.viewportWhen([&](const Viewport& now) { return now.scale != scale; });
        EXPECT_NE(v.scale, scale) << button;
        const QPointF now = (QPointF(p) - v.origin) / v.scale;
        EXPECT_LE(std::abs(now.x() - under.x()) * v.scale, 1.0) << button;
        EXPECT_LE(std::abs(now.y() - under.y()) * v.scale, 1.0) << button;
    }
}

TEST(PinInteractionX11, DoubleClickEditArrowCopy)
{
    Session s;
    const QRect frame = s.frame();
    xdo(at(frame.center()) << QStringLiteral("click") << QStringLiteral("--repeat") << QStringLiteral("2")
                           << QStringLiteral("--delay") << QStringLiteral("80") << QStringLiteral("1"));
    std::optional<QString> bar;
    ASSERT_TRUE(runUntil([&] {
        s.harness.send("toolbar pin=0");
        bar = s.harness.line(QStringLiteral("toolbar"));
        return bar && field(*bar, QStringLiteral("copy")) != QLatin1String("none") && !field(*bar, "copy").isEmpty();
    })) << s.harness.transcript();
    // The toolbar stands beside the pin, not over it.
    const QRect copyButton = rectOf(field(*bar, QStringLiteral("copy")));
    EXPECT_FALSE(frame.contains(copyButton.center())) << bar->toStdString();
    s.harness.send("tool pin=0 key=arrow");
    ASSERT_TRUE(s.harness.line(QStringLiteral("tool")));
    const QPoint from = frame.topLeft() + QPoint(frame.width() / 4, frame.height() / 4);
    const QPoint to = frame.topLeft() + QPoint(frame.width() * 3 / 4, frame.height() * 3 / 4);
    press(from);
    moveTo((from + to) / 2);
    moveTo(to);
    release();
    spin(300ms);
    s.shot(QStringLiteral("arrow"));
    xdo(at(copyButton.center()) << QStringLiteral("click") << QStringLiteral("1"));
    ASSERT_TRUE(s.harness.line(QStringLiteral("output pin=0"))) << s.harness.transcript();
    const std::optional<QImage> copied = clipboardPng();
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->size(), QSize(600, 400));
    // The arrow's red lies along its line; the rest is the image.
    int red = 0;
    for (int i = 20; i < 80; ++i) {
        const QColor c = copied->pixelColor(150 + 3 * i, 100 + 2 * i);
        if (c.red() > 180 && c.green() < 100)
            ++red;
    }
    EXPECT_GT(red, 30);
    EXPECT_EQ(copied->pixelColor(580, 20), imageColour);
}

TEST(PinInteractionX11, MenuHides)
{
    Session s;
    const QRect frame = s.frame();
    s.harness.send(QStringLiteral("menu pin=0 at=%1,%2").arg(frame.center().x()).arg(frame.center().y()).toLocal8Bit());
    const std::optional<QString> menu = s.harness.line(QStringLiteral("menu"));
    ASSERT_TRUE(menu) << s.harness.transcript();
    const QRect hide = rectOf(field(*menu, QStringLiteral("item4")));
    ASSERT_FALSE(hide.isEmpty()) << menu->toStdString();
    s.shot(QStringLiteral("menu"));
    xdo(at(hide.center()) << QStringLiteral("click") << QStringLiteral("1"));
    EXPECT_TRUE(runUntil([&] {
        s.harness.send("state");
        const std::optional<QString> pin = s.harness.line(QStringLiteral("pin index=0"));
        return pin && field(*pin, QStringLiteral("visible")) == QLatin1String("0");
    })) << s.harness.transcript();
}

TEST(PinInteractionX11, HalfTypedFieldSurvivesFreezeAndThaw)
{
    Session s;
    s.harness.send("edit pin=0");
    ASSERT_TRUE(s.harness.line(QStringLiteral("editing")));
    s.harness.send("tool pin=0 key=pen");
    ASSERT_TRUE(s.harness.line(QStringLiteral("tool")));
    s.harness.send("strip pin=0");
    std::optional<QString> strip = s.harness.line(QStringLiteral("strip"));
    ASSERT_TRUE(strip);
    const QRect box = rectOf(field(*strip, QStringLiteral("field")));
    ASSERT_FALSE(box.isEmpty()) << strip->toStdString();
    const QString width = field(*strip, QStringLiteral("width"));
    xdo(at(box.center()) << QStringLiteral("click") << QStringLiteral("1"));
    spin(200ms);
    xdo({QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("7")});
    ASSERT_TRUE(runUntil([&] {
        s.harness.send("strip pin=0");
        strip = s.harness.line(QStringLiteral("strip"));
        return strip && field(*strip, "text") == QLatin1String("7");
    })) << s.harness.transcript();
    s.shot(QStringLiteral("typed"));
    s.harness.send("freeze pin=0 on");
    ASSERT_TRUE(s.harness.line(QStringLiteral("frozen")));
    // Clicks and keys meanwhile change nothing.
    xdo(at(box.center()) << QStringLiteral("click") << QStringLiteral("1"));
    xdo({QStringLiteral("key"), QStringLiteral("8")});
    spin(200ms);
    s.harness.send("freeze pin=0 off");
    ASSERT_TRUE(s.harness.line(QStringLiteral("frozen")));
    s.harness.send("strip pin=0");
    strip = s.harness.line(QStringLiteral("strip"));
    ASSERT_TRUE(strip);
    EXPECT_EQ(field(*strip, "text"), "7") << strip->toStdString();
    EXPECT_EQ(field(*strip, "focused"), "1");
    EXPECT_EQ(field(*strip, "readonly"), "0");
    EXPECT_EQ(field(*strip, "width"), width) << "the document is unchanged";
    s.shot(QStringLiteral("thawed"));
}

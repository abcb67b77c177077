// The copy and save roads as a user takes them, through overlay_harness under a window
// manager: a capture, a selection dragged with the pointer, an arrow and a numbered marker
// drawn with the tools chosen by a key and by a toolbar click, Ctrl+C read back by another program (xclip);
// then a new capture saved as JPEG through the save panel, the path typed and the format
// chosen in the panel. Every step is saved as a screenshot of the server's root in
// build/test-output/copy-road-x11-<configuration>-*.png.
#include "editor/Xdotool.h"
#include "harness/ClipboardImage.h"
#include "harness/HarnessProcess.h"
#include "support/ScreenColours.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"
#include "core/Annotation.h"
#include "../platform/X11CaptureHelpers.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>

using namespace vorlith;
using namespace vorlith::test;

namespace {

const QColor root(0x3c, 0x8c, 0x5a);
const QColor markRed(255, 59, 48); // the tools' default colour


// The capture road of one test: the harness, the monitor's scale, screenshots.
class Road {
public:
    Road()
    {
        X11Environment::server()->run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), root.name()});
    }

    HarnessProcess harness;
    const double scale = options().scale;

    // Display points (the overlay's document points) as the server's pixels.
    QPoint native(QPointF points) const { return (points * scale).toPoint() + nativeMonitor(0).topLeft(); }

    // Presses at one point, moves in steps and releases at the other, as a hand would.
    void drag(QPointF from, QPointF to) const
    {
        QStringList arguments = at(native(from)) + QStringList{QStringLiteral("mousedown"), QStringLiteral("1")};
        for (int step = 1; step <= 8; ++step)
            arguments += at(native(from + (to - from) * step / 8.0));
        arguments += {QStringLiteral("mouseup"), QStringLiteral("1")};
        ASSERT_EQ(xdotool(arguments), 0);
    }
    static void key(const char* keys) { ASSERT_EQ(xdotool({QStringLiteral("key"), QString::fromLatin1(keys)}), 0); }

    // Captures with the pointer on the monitor and waits until the overlay holds the keyboard.
    bool capture()
    {
        xdotool(at(native(QPointF(20, 20))));
        harness.send("capture front=none");
        if (!harness.line(QStringLiteral("shown")))
            return false;
        return overlayWhere([](const QString& o) { return field(o, QStringLiteral("grab")) == QLatin1String("1"); })
            .has_value();
    }
    // The overlay's state line once it satisfies the condition; none after the timeout.
    std::optional<QString> overlayWhere(const std::function<bool(const QString&)>& condition)
    {
        std::optional<QString> found;
        runUntil(
            [&] {
                const QStringList overlays = harness.state();
                if (!overlays.isEmpty() && condition(overlays.front()))
                    found = overlays.front();
                return found.has_value();
            },
            10s);
        return found;
    }
    std::optional<QString> overlayWith(const QString& name, const QString& value)
    {
        return overlayWhere([&](const QString& o) { return field(o, name) == value; });
    }
    // The save panel's line once it satisfies the condition.
    std::optional<QString> panelWhere(const std::function<bool(const QString&)>& condition)
    {
        std::optional<QString> found;
        runUntil(
            [&] {
                harness.send("panel");
                const std::optional<QString> panel = harness.line(QStringLiteral("panel"));
                if (panel && condition(*panel))
                    found = panel;
                return found.has_value();
            },
            10s);
        return found;
    }

    static QImage screen() { return screenAt(0)->grabWindow(0).toImage(); }
    // The screen once two grabs in a row agree: what the user sees after a step, without the
    // repaints still on their way.
    static QImage settledScreen()
    {
        QImage last = screen();
        runUntil([&] {
            QImage next = screen();
            const bool same = next == last;
            last = std::move(next);
            return same;
        }, 3s);
        return last;
    }
    // Waits until the screen shows `wanted` near a display point, then keeps the screenshot.
    bool screenShows(QPointF point, const QColor& wanted, const QString& step)
    {
        QImage shot;
        const QPoint at = native(point) - nativeMonitor(0).topLeft();
        const bool shown = runUntil([&] {
            shot = screen();
            return colourDistance(nearestTo(shot, at, wanted), wanted) <= 24;
        }, 10s);
        saveShot(shot, step);
        return shown;
    }
    static void saveShot(const QImage& shot, const QString& step)
    {
        saveTestImage(shot, QStringLiteral("copy-road-x11-%1-%2").arg(configName(), step));
    }
};


} // namespace

TEST(CopyRoadX11, MarksDrawnByHandAreCopiedAsPngOfTheSelectionsPixels)
{
    Road road;
    ASSERT_TRUE(road.harness.line(QStringLiteral("ready")));
    ASSERT_TRUE(road.capture()) << road.harness.transcript();

    const QRectF selection(200, 150, 400, 300); // display points
    road.drag(selection.topLeft(), selection.bottomRight());
    ASSERT_TRUE(road.overlayWith(QStringLiteral("selection"), QStringLiteral("200,150,400,300")))
        << road.harness.transcript();
    Road::saveShot(Road::settledScreen(), QStringLiteral("1-selection"));

    // The arrow tool by its key, then an arrow dragged inside the selection.
    Road::key("e");
    ASSERT_TRUE(road.overlayWith(QStringLiteral("tool"), QStringLiteral("arrow"))) << road.harness.transcript();
    const QPointF tail(250, 200), head(450, 320);
    const QPointF shaft = (tail + head) / 2;
    road.drag(tail, head);
    ASSERT_TRUE(road.overlayWith(QStringLiteral("marks"), QStringLiteral("1"))) << road.harness.transcript();
    EXPECT_TRUE(road.screenShows(shaft, markRed, QStringLiteral("2-arrow")));

    // The numbered marker by a click on its toolbar button, then one click in the selection.
    road.harness.send("toolbar display=" + field(road.harness.state().value(0), QStringLiteral("display")).toLatin1());
    const std::optional<QString> toolbar = road.harness.line(QStringLiteral("toolbar"));
    ASSERT_TRUE(toolbar) << road.harness.transcript();
    const QStringList button = field(*toolbar, QStringLiteral("number")).split(QLatin1Char(','));
    ASSERT_EQ(button.size(), 4) << toolbar->toStdString();
    const QPoint numberButton(button[0].toInt() + button[2].toInt() / 2, button[1].toInt() + button[3].toInt() / 2);
    ASSERT_EQ(xdotool(at(numberButton) + QStringList{QStringLiteral("click"), QStringLiteral("1")}), 0);
    ASSERT_TRUE(road.overlayWith(QStringLiteral("tool"), QStringLiteral("number"))) << road.harness.transcript();
    const QPointF marker(520, 210);
    ASSERT_EQ(xdotool(at(road.native(marker)) + QStringList{QStringLiteral("click"), QStringLiteral("1")}), 0);
    ASSERT_TRUE(road.overlayWith(QStringLiteral("marks"), QStringLiteral("2"))) << road.harness.transcript();
    const QPointF disc = marker - QPointF(8, 0); // inside the disc, beside the digit
    EXPECT_TRUE(road.screenShows(disc, markRed, QStringLiteral("3-marker")));

    Road::key("ctrl+c");
    const std::optional<QString> copied = road.harness.line(QStringLiteral("output"));
    ASSERT_TRUE(copied) << road.harness.transcript();
    EXPECT_EQ(field(*copied, QStringLiteral("message")), QStringLiteral("已复制截图"));
    Road::saveShot(Road::settledScreen(), QStringLiteral("4-copied"));

    const std::optional<QImage> png = clipboardPng();
    ASSERT_TRUE(png);
    saveTestImage(*png, QStringLiteral("copy-road-x11-%1-clipboard").arg(configName()));
    // Exactly the selection's pixels, with the marks where they were drawn and the picture
    // undimmed elsewhere.
    EXPECT_EQ(png->size(), (selection.size() * road.scale).toSize());
    const auto inPng = [&](QPointF point) { return ((point - selection.topLeft()) * road.scale).toPoint(); };
    const QColor onShaft = nearestTo(*png, inPng(shaft), markRed);
    EXPECT_LE(colourDistance(onShaft, markRed), 24) << onShaft.name().toStdString();
    const QColor onDisc = nearestTo(*png, inPng(disc), markRed);
    EXPECT_LE(colourDistance(onDisc, markRed), 24) << onDisc.name().toStdString();
    for (const QPointF corner : {QPointF(205, 445), QPointF(595, 155)}) {
        const QColor picture = png->pixelColor(inPng(corner));
        EXPECT_LE(colourDistance(picture, root), 2) << picture.name().toStdString();
    }
}

TEST(CopyRoadX11, ASelectionIsSavedAsJpegThroughThePanelAboveTheOverlays)
{
    Road road;
    ASSERT_TRUE(road.harness.line(QStringLiteral("ready")));
    ASSERT_TRUE(road.capture()) << road.harness.transcript();
    const QRectF selection(240, 180, 400, 240);
    road.drag(selection.topLeft(), selection.bottomRight());
    ASSERT_TRUE(road.overlayWith(QStringLiteral("selection"), QStringLiteral("240,180,400,240")))
        << road.harness.transcript();

    const QString path = QDir(testOutputDir()).filePath(QStringLiteral("copy-road-x11-%1-saved").arg(configName()));
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".jpg"));

    // The panel stands above the overlays and takes the keyboard, its name field first.
    Road::key("ctrl+s");
    std::optional<QString> panel = road.panelWhere([](const QString& p) {
        return field(p, QStringLiteral("visible")) == QLatin1String("1") && field(p, QStringLiteral("grab")) == QLatin1String("1")
            && field(p, QStringLiteral("focus")) == QLatin1String("name");
    });
    ASSERT_TRUE(panel) << road.harness.transcript();
    Road::saveShot(Road::settledScreen(), QStringLiteral("5-panel"));

    // The whole path typed into the name field, then JPEG picked from the format list.
    Road::key("ctrl+a");
    ASSERT_EQ(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), path}), 0);
    panel = road.panelWhere([&](const QString& p) { return p.section(QStringLiteral(" text="), 1) == path; });
    ASSERT_TRUE(panel) << road.harness.transcript();
    const QStringList format = field(*panel, QStringLiteral("format")).split(QLatin1Char(','));
    ASSERT_EQ(format.size(), 4);
    const QPoint picker(format[0].toInt() + format[2].toInt() / 2, format[1].toInt() + format[3].toInt() / 2);
    ASSERT_EQ(xdotool(at(picker) + QStringList{QStringLiteral("click"), QStringLiteral("1")}), 0);
    ASSERT_TRUE(road.panelWhere([](const QString& p) { return field(p, QStringLiteral("popup")) == QLatin1String("1"); }))
        << road.harness.transcript();
    Road::saveShot(Road::settledScreen(), QStringLiteral("6-formats"));
    Road::key("Down");
    Road::key("Return");
    // The name follows the format.
    ASSERT_TRUE(road.panelWhere([&](const QString& p) {
        return field(p, QStringLiteral("popup")) == QLatin1String("0")
            && p.section(QStringLiteral(" text="), 1) == path + QStringLiteral(".jpg");
    })) << road.harness.transcript();
    Road::saveShot(Road::settledScreen(), QStringLiteral("7-jpeg"));

    Road::key("Return");
    const std::optional<QString> saved = road.harness.line(QStringLiteral("output"));
    ASSERT_TRUE(saved) << road.harness.transcript();
    EXPECT_EQ(field(*saved, QStringLiteral("message")), QStringLiteral("已保存截图"));
    // The overlays have the keyboard back.
    EXPECT_TRUE(road.overlayWith(QStringLiteral("grab"), QStringLiteral("1")));
    Road::saveShot(Road::settledScreen(), QStringLiteral("8-saved"));

    EXPECT_FALSE(QFile::exists(path));
    QFile file(path + QStringLiteral(".jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.peek(3) == QByteArray("\xff\xd8\xff", 3));
    QImageReader reader(&file);
    EXPECT_EQ(reader.format(), "jpeg");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), (selection.size() * road.scale).toSize());
    const QColor middle = image.pixelColor(image.rect().center());
    EXPECT_LE(colourDistance(middle, root), 6) << middle.name().toStdString();
}

// The benchmark's road: a selection and marks given by command, then the same composite
// copied the plain Qt way and by Ctrl+C. Both PNGs decode to the same pixels.
TEST(CopyRoadX11, MarksGivenByCommandCopyToThePixelsQtCopies)
{
    Road road;
    ASSERT_TRUE(road.harness.line(QStringLiteral("ready")));
    ASSERT_TRUE(road.capture()) << road.harness.transcript();
    const QString display = field(road.harness.state().value(0), QStringLiteral("display"));
    const AnnotationStyle style{.color = RGBA{1, 0.2, 0.2, 1}, .width = 6, .opacity = 1, .fontSize = 28, .mosaicSize = 16};
    const Annotation arrow{QUuid::createUuid(), Annotation::Kind::arrow, {{60, 40}, {300, 200}}, style, QString(), 1};
    const Json marks = Json::array({arrow.toJson()});
    road.harness.send("marks display=" + display.toLatin1() + " selection=40,30,320,240 "
                      + QByteArray::fromStdString(marks.dump()));
    ASSERT_TRUE(road.harness.line(QStringLiteral("marked display=%1").arg(display))) << road.harness.transcript();
    EXPECT_TRUE(road.overlayWith(QStringLiteral("marks"), QStringLiteral("1")));

    road.harness.send("plain-copy display=" + display.toLatin1());
    ASSERT_TRUE(road.harness.line(QStringLiteral("plain-copied"))) << road.harness.transcript();
    const std::optional<QImage> plain = clipboardPng();
    ASSERT_TRUE(plain);
    Road::key("ctrl+c");
    ASSERT_TRUE(road.harness.line(QStringLiteral("output display=%1").arg(display))) << road.harness.transcript();
    const std::optional<QImage> ours = clipboardPng();
    ASSERT_TRUE(ours);

    EXPECT_EQ(ours->size(), (QSizeF(320, 240) * road.scale).toSize());
    const QImage a = ours->convertToFormat(QImage::Format_RGB32);
    const QImage b = plain->convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(firstDifference(a, b), QPoint(-1, -1));
    // The arrow is in both.
    const QPointF shaft((60 + 300) / 2.0 - 40, (40 + 200) / 2.0 - 30);
    EXPECT_LE(colourDistance(nearestTo(a, (shaft * road.scale).toPoint(), QColor(255, 51, 51)), QColor(255, 51, 51)), 24);
}

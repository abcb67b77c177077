// pin_harness under a real X server: with and without a window manager and a compositor, and
// at scale 1.5. The pins' windows as the server stacks them (xwininfo), their properties
// (xprop), clicks through the ring, a click raise, and the screen read back (saved as
// build/test-output/pin-x11-*.png).
#include "editor/Xdotool.h"
#include "harness/HarnessProcess.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

using namespace vorlith;
using namespace vorlith::test;
using namespace std::chrono_literals;

namespace {

const QColor imageColour(230, 120, 40);
const QColor beneathColour(40, 170, 200);

QString configName()
{
    const XvfbOptions& o = X11Environment::server()->options();
    return QStringLiteral("%1%2%3")
        .arg(o.windowManager ? "wm" : "nowm")
        .arg(o.compositor ? "-composited" : "")
        .arg(o.scale != 1 ? QStringLiteral("-scale%1").arg(o.scale) : QString());
}

// Another window of ours beneath the pins, counting the presses that reach it.
class Beneath : public QWidget {
public:
    Beneath() : QWidget(nullptr, Qt::FramelessWindowHint) {}
    int presses = 0;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), beneathColour); }
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

QRect rectField(const QString& line, const QString& name)
{
    const QStringList parts = field(line, name).split(QLatin1Char(','));
    if (parts.size() != 4)
        return {};
    return QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
}

// The server's top-levels front first, each given as the set of window ids it contains (a
// managed window stands inside its frame).
std::vector<QStringList> serverStack()
{
    QByteArray out;
    X11Environment::server()->run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}, &out);
    std::vector<QStringList> tops;
    const QRegularExpression entry(QStringLiteral("^(\\s+)(0x[0-9a-f]+)"));
    int topIndent = -1;
    for (const QString& line : QString::fromLocal8Bit(out).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = entry.match(line);
        if (!m.hasMatch())
            continue;
        const int indent = int(m.captured(1).size());
        if (topIndent < 0)
            topIndent = indent;
        if (indent == topIndent)
            tops.push_back({});
        if (!tops.empty())
            tops.back() << m.captured(2);
    }
    return tops; // xwininfo lists the root's children front first
}

// The given windows in the order the server stacks them, front first.
QStringList serverOrder(const QStringList& windows)
{
    QStringList order;
    for (const QStringList& top : serverStack())
        for (const QString& window : top)
            if (windows.contains(window))
                order << window;
    return order;
}

// The window id of each role the harness names ("1.image", "0.resize.3").
QString windowOf(const QStringList& pins, const QString& role)
{
    const int index = role.section(QLatin1Char('.'), 0, 0).toInt();
    const QString kind = role.section(QLatin1Char('.'), 1, 1);
    const QString pin = pins.value(index);
    if (kind == QLatin1String("resize"))
        return field(pin, QStringLiteral("resize")).split(QLatin1Char(',')).value(role.section(QLatin1Char('.'), 2).toInt());
    static const QHash<QString, QString> fields{{"image", "content"}, {"decoration", "ring"}, {"actions", "strip"},
                                                {"scale", "badge"},   {"editor", "chrome"}};
    return field(pin, fields.value(kind));
}

QString xprop(const QString& window)
{
    QByteArray out;
    X11Environment::server()->run(QStringLiteral("xprop"), {QStringLiteral("-id"), window}, &out);
    return QString::fromLocal8Bit(out);
}

bool near(QRgb a, const QColor& b, int tolerance)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance
        && std::abs(qBlue(a) - b.blue()) <= tolerance;
}

struct PinSession {
    HarnessProcess harness{QStringLiteral(VORLITH_PIN_HARNESS)};
    Beneath beneath;
    QScreen* screen = QGuiApplication::primaryScreen();

    PinSession()
    {
        // Not the whole screen: a window manager would take that for a full-screen window
        // and lift it above the pins.
        beneath.setGeometry(screen->geometry().adjusted(4, 4, -4, -4));
        beneath.show();
        EXPECT_TRUE(runUntil([&] { return beneath.isVisible(); }));
        spin(200ms);
        EXPECT_TRUE(harness.line(QStringLiteral("ready")));
        QImage image(600, 400, QImage::Format_ARGB32_Premultiplied);
        image.fill(imageColour);
        // One file per process: the configurations run side by side.
        source = QStringLiteral("%1/pin-x11-source-%2.png").arg(testOutputDir()).arg(QCoreApplication::applicationPid());
        image.save(source);
    }
    ~PinSession() { QFile::remove(source); }
    QString source;

    std::optional<QString> open(QPoint near)
    {
        harness.send(QStringLiteral("open %1 near=%2,%3")
                         .arg(source)
                         .arg(near.x())
                         .arg(near.y())
                         .toLocal8Bit());
        return harness.line(QStringLiteral("opened"));
    }

    // The pin lines, and the harness's own stack line (front first).
    QStringList state(QStringList* stack = nullptr)
    {
        const qsizetype from = harness.lines.size();
        harness.send("state");
        if (!harness.line(QStringLiteral("end")))
            return {};
        const QStringList lines = harness.lines.mid(from);
        // Windows of ours that belong to no pin (the editor's hint panel) are left out.
        if (stack)
            *stack = lines.filter(QRegularExpression(QStringLiteral("^stack ")))
                         .value(0)
                         .mid(6)
                         .split(QLatin1Char(' '))
                         .filter(QRegularExpression(QStringLiteral("^\\d")));
        return lines.filter(QRegularExpression(QStringLiteral("^pin ")));
    }

    QImage shot(const QString& name)
    {
        spin(300ms);
        QImage image = screen->grabWindow(0).toImage();
        image.setDevicePixelRatio(1);
        saveTestImage(image, QStringLiteral("pin-x11-%1-%2").arg(name, configName()));
        return image;
    }
};

// Front first: the strip and the badge (when shown), the resize panels (with a compositor),
// the ring, the image, each pin's windows together.
bool groupInOrder(const QStringList& roles, int pin, bool stripShown, bool panels)
{
    QStringList expected;
    if (stripShown)
        expected << QStringLiteral("%1.actions").arg(pin) << QStringLiteral("%1.scale").arg(pin);
    if (panels)
        for (int i = 7; i >= 0; --i)
            expected << QStringLiteral("%1.resize.%2").arg(pin).arg(i);
    expected << QStringLiteral("%1.decoration").arg(pin) << QStringLiteral("%1.image").arg(pin);
    const qsizetype first = roles.indexOf(expected.front());
    return first >= 0 && roles.mid(first, expected.size()) == expected;
}

// Waits until the harness reports a stacking that holds `settled` (a window manager restacks
// a raised frame after our requests, and the satellites follow on the next turn) and the
// server's own stacking (xwininfo) agrees with it.
QStringList settledStack(PinSession& s, QStringList& pins, const std::function<bool(const QStringList&)>& settled)
{
    QStringList roles;
    const bool ok = runUntil([&] {
        pins = s.state(&roles);
        if (!settled(roles))
            return false;
        QStringList ids;
        for (const QString& role : roles)
            ids << windowOf(pins, role);
        return serverOrder(ids) == ids;
    });
    EXPECT_TRUE(ok) << roles.join(' ').toStdString();
    return roles;
}

} // namespace

TEST(PinHarnessX11, StacksEachPinsWindowsTogether)
{
    PinSession s;
    const bool composited = X11Environment::server()->options().compositor;
    const QRect area = s.screen->geometry();
    ASSERT_TRUE(s.open(area.center() - QPoint(150, 100)));
    ASSERT_TRUE(s.open(area.center() + QPoint(50, 50)));
    QStringList pins;
    // Pin 1 is active and in front; pin 0 shows no strip (and, without a compositor, no ring).
    QStringList roles = settledStack(s, pins, [&](const QStringList& r) {
        return r.value(0) == QStringLiteral("1.actions") && groupInOrder(r, 1, true, composited)
            && (!composited || groupInOrder(r, 0, false, true)) && r.indexOf("1.image") < r.indexOf("0.image");
    });
    ASSERT_EQ(pins.size(), 2) << s.harness.transcript();

    // Hovering the pin behind shows its strip, still below the front pin's image.
    s.harness.send("hover pin=0 on");
    ASSERT_TRUE(s.harness.line(QStringLiteral("hovered")));
    roles = settledStack(s, pins, [&](const QStringList& r) {
        return groupInOrder(r, 0, true, composited) && r.indexOf("0.actions") > r.indexOf("1.image");
    });
    s.shot(QStringLiteral("two-pins"));

    // A click on the pin behind raises it (with a window manager): its satellites follow.
    if (X11Environment::server()->options().windowManager) {
        const QRect back = rectField(pins[0], "frame"); // server pixels, as xdotool takes them
        xdotool(at(back.topLeft() + QPoint(60, 90)) << QStringLiteral("click") << QStringLiteral("1"));
        roles = settledStack(s, pins, [&](const QStringList& r) {
            return r.indexOf("0.image") < r.indexOf("1.image") && groupInOrder(r, 0, true, composited);
        });
        s.shot(QStringLiteral("click-raised"));
    }
}

TEST(PinHarnessX11, RingLetsClicksThroughAndShowsNoBlack)
{
    PinSession s;
    const QRect area = s.screen->geometry();
    ASSERT_TRUE(s.open(area.center()));
    const QString pin = s.state().value(0);
    const QRect frame = rectField(pin, "frame");   // server pixels
    const QRect ring = rectField(pin, "ring_frame");
    ASSERT_FALSE(frame.isEmpty()) << pin.toStdString();
    EXPECT_EQ(ring, frame.adjusted(-frame.left() + ring.left(), -frame.top() + ring.top(),
                                   ring.right() - frame.right(), ring.bottom() - frame.bottom()));

    // Properties: on top, on every desktop, known by its role.
    const QString content = field(pin, "content");
    const QString props = xprop(content);
    EXPECT_TRUE(props.contains("_NET_WM_STATE_ABOVE")) << props.toStdString();
    EXPECT_TRUE(props.contains("_NET_WM_STATE_STICKY") || props.contains("_NET_WM_DESKTOP(CARDINAL) = 4294967295"))
        << props.toStdString();
    EXPECT_TRUE(props.contains("_NET_WM_STATE_SKIP_TASKBAR")) << props.toStdString();
    EXPECT_TRUE(QRegularExpression("WM_WINDOW_ROLE\\(STRING\\) = \"pin\\.[0-9A-F-]+\\.[0-9A-F-]+\\.image\"").match(props).hasMatch())
        << props.toStdString();

    // A click on the ring's shadow beside the image reaches the window beneath.
    const QPoint shadow(frame.left() - 24, frame.center().y()); // server pixels, left of the image
    const int before = s.beneath.presses;
    xdotool(at(shadow) << QStringLiteral("click") << QStringLiteral("1"));
    EXPECT_TRUE(runUntil([&] { return s.beneath.presses > before; })) << "press at " << shadow.x() << "," << shadow.y();

    // The ring's whole window holds no black pixel: no black margin, no black squares.
    const QImage shot = s.shot(QStringLiteral("ring"));
    int black = 0;
    for (int y = ring.top(); y <= ring.bottom(); ++y)
        for (int x = ring.left(); x <= ring.right(); ++x)
            if (!frame.contains(x, y) && shot.rect().contains(x, y) && near(shot.pixel(x, y), Qt::black, 40))
                ++black;
    EXPECT_EQ(black, 0);

    // The border meets the image: on the middle row, the pixel just left of the first image
    // pixel is the border's (within a pixel), and the image starts where its window does.
    const int row = frame.center().y();
    int firstImage = -1;
    for (int x = ring.left(); x < frame.center().x(); ++x)
        if (near(shot.pixel(x, row), imageColour, 30)) {
            firstImage = x;
            break;
        }
    ASSERT_GE(firstImage, 0);
    EXPECT_LE(std::abs(firstImage - frame.left()), 1);
    // The border is grey-green (green above blue); the window beneath, shadowed or not, is
    // blue-cyan (blue above green), so a gap between border and image would show here. With a
    // compositor the border's antialiased line is blended with what it covers.
    const QRgb left = shot.pixel(firstImage - 1, row);
    EXPECT_GT(qGreen(left), qBlue(left)) << std::hex << shot.pixel(firstImage - 2, row) << " " << left;
}

TEST(PinHarnessX11, DeletingAPinInEditModeIsClean)
{
    PinSession s;
    ASSERT_TRUE(s.open(s.screen->geometry().center()));
    s.harness.send("edit pin=0");
    ASSERT_TRUE(s.harness.line(QStringLiteral("editing")));
    QStringList pins;
    QStringList stack = settledStack(s, pins, [&](const QStringList& r) {
        return r.value(0) == QStringLiteral("0.editor") && groupInOrder(r, 0, true, false);
    });
    s.shot(QStringLiteral("editing"));
    s.harness.send("close pin=0");
    ASSERT_TRUE(s.harness.line(QStringLiteral("closed")));
    s.state(&stack);
    EXPECT_TRUE(stack.filter(QRegularExpression("^0\\.")).isEmpty()) << stack.join(' ').toStdString();
}

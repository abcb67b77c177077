// overlay_harness as the overlay benchmark and other programs drive it: a capture with the real
// editors over two monitors under a window manager, its state, keys after Alt+Tab, the end.
#include "editor/Xdotool.h"
#include "harness/HarnessProcess.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"
#include "../platform/X11CaptureHelpers.h"

#include <QRegularExpression>
#include <QScreen>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

using namespace vorlith;
using namespace vorlith::test;
using namespace std::chrono_literals;

namespace {

QRect serverGeometry(const QString& window)
{
    QByteArray out;
    X11Environment::server()->run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window}, &out);
    const auto value = [&](const char* name) {
        const QRegularExpression re(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name)));
        return re.match(QString::fromLocal8Bit(out)).captured(1).toInt();
    };
    return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"));
}

} // namespace

TEST(OverlayHarnessX11, CapturesShowsReportsAndEndsTheOverlays)
{
    ForeignWindow beneath(QRect(nativeMonitor(0).topLeft() + QPoint(80, 80), QSize(300, 200)), 0xff2060ff);
    ASSERT_TRUE(beneath.ready());
    HarnessProcess harness;
    ASSERT_TRUE(harness.line(QStringLiteral("ready")));

    harness.send("capture front=" + QByteArray::number(beneath.pid()));
    const std::optional<QString> shown = harness.line(QStringLiteral("shown"));
    ASSERT_TRUE(shown) << harness.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(shown->section(QLatin1Char(' '), 1, 1).toInt(), options().monitors);

    QStringList overlays;
    ASSERT_TRUE(runUntil([&] {
        overlays = harness.state();
        return overlays.size() == options().monitors && overlays.filter(QStringLiteral("grab=1")).size() == 1;
    })) << overlays.join(QLatin1Char('\n')).toStdString();
    for (int i = 0; i < options().monitors; ++i) {
        const QString& overlay = overlays[i];
        SCOPED_TRACE(overlay.toStdString());
        EXPECT_EQ(field(overlay, QStringLiteral("visible")), QStringLiteral("1"));
        EXPECT_EQ(field(overlay, QStringLiteral("document")), QStringLiteral("0"));
        EXPECT_TRUE(runUntil([&] { return serverGeometry(field(overlay, QStringLiteral("window"))) == nativeMonitor(i); }));
    }
    // The front program's window is preselected where it stands; elsewhere the whole display.
    EXPECT_NE(field(overlays[0], QStringLiteral("selection")).split(QLatin1Char(',')).at(2),
              QString::number(nativeMonitor(0).width()));
    const QString keyDisplay = field(overlays.filter(QStringLiteral("grab=1")).front(), QStringLiteral("display"));

    // Alt+Tab would hand the focus to the window beneath; the keys still reach the editor.
    xdotool({QStringLiteral("key"), QStringLiteral("alt+Tab")});
    xdotool({QStringLiteral("type"), QStringLiteral("ab")});
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    const std::optional<QString> escape = harness.line(QStringLiteral("key display=%1 key=Esc").arg(keyDisplay));
    EXPECT_TRUE(escape) << harness.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(harness.lines.filter(QStringLiteral("text=a")).size(), 1);
    EXPECT_EQ(harness.lines.filter(QStringLiteral("text=b")).size(), 1);

    harness.send("finish");
    ASSERT_TRUE(harness.line(QStringLiteral("finished")));
    overlays = harness.state();
    ASSERT_EQ(overlays.size(), options().monitors);
    for (const QString& overlay : overlays) {
        EXPECT_EQ(field(overlay, QStringLiteral("visible")), QStringLiteral("0")) << overlay.toStdString();
        EXPECT_EQ(field(overlay, QStringLiteral("grab")), QStringLiteral("0")) << overlay.toStdString();
    }

    // The next capture shows the same native windows again.
    const QString firstWindow = field(overlays[0], QStringLiteral("window"));
    harness.send("capture front=none");
    ASSERT_TRUE(harness.line(QStringLiteral("shown")));
    overlays = harness.state();
    ASSERT_FALSE(overlays.isEmpty());
    EXPECT_EQ(field(overlays[0], QStringLiteral("window")), firstWindow);
    EXPECT_EQ(field(overlays[0], QStringLiteral("selection")),
              QStringLiteral("0,0,%1,%2").arg(screenAt(0)->geometry().width()).arg(screenAt(0)->geometry().height()));
}

// How soon a pen stroke's ink follows the pointer in the capture editor, against a plain Qt
// widget drawing the same line in its mouse handler.
//
// One 3840 x 2160 monitor under openbox with a flat root colour. The editor runs in
// overlay_harness, as the application shows it: a capture, a selection with one mark committed
// (`marks`), the pen chosen by a click on its toolbar button. Each iteration draws one stroke
// of XTest pointer motions across the selection with the button held, and for each motion
// measures the time until a pixel read back from the root (on a connection of its own, as
// another program sees the screen) shows ink just behind the new point. The baseline in the
// same iteration: the harness's "plain-stroke", a full-screen QWidget showing the screen's grab
// that draws the line into its image in its mouse handler and repaints the segment, drawn and
// measured the same way. Reports stroke_ms and plain_qt_ms (medians over every motion) and
// ratio_vs_plain_qt.
#include "RootProbe.h"
#include "X11Bench.h"
#include "core/Annotation.h"
#include "core/Json.h"
#include "harness/HarnessProcess.h"
#include "platform/x11/XcbConnection.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QColor>

#include <benchmark/benchmark.h>

#include <xcb/xtest.h>

#ifndef VORLITH_OVERLAY_HARNESS
#define VORLITH_OVERLAY_HARNESS "overlay_harness" // from PATH when the tests are not built
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

using vorlith::bench::Clock;
using vorlith::bench::median;
using vorlith::bench::milliseconds;
using vorlith::bench::RootProbe;
using vorlith::Annotation;
using vorlith::AnnotationStyle;
using vorlith::Json;
using vorlith::RGBA;

constexpr int screenWidth = 3840;
constexpr int screenHeight = 2160;
constexpr QRgb rootColour = 0xff3070c0;
// The stroke: motions this far apart along a row, starting here.
constexpr int motions = 60;
constexpr int step = 12;
constexpr int strokeLeft = 700;

// Ink is anything far from the picture's own colour there.
bool inked(QRgb pixel)
{
    return std::abs(qRed(pixel) - qRed(rootColour)) + std::abs(qGreen(pixel) - qGreen(rootColour))
        + std::abs(qBlue(pixel) - qBlue(rootColour)) > 90;
}

// The pointer and its primary button through XTest, on a connection of its own.
class Pointer {
public:
    Pointer() : m_xcb(vorlith::XcbConnection::open()) {}
    bool isValid() const { return m_xcb != nullptr; }
    void moveTo(QPoint at) const { fake(XCB_MOTION_NOTIFY, 0, at); }
    void press(QPoint at) const
    {
        moveTo(at);
        fake(XCB_BUTTON_PRESS, 1, at);
    }
    void release(QPoint at) const { fake(XCB_BUTTON_RELEASE, 1, at); }
    void click(QPoint at) const
    {
        press(at);
        release(at);
    }

private:
    void fake(uint8_t type, uint8_t detail, QPoint at) const
    {
        xcb_connection_t* c = m_xcb->get();
        xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, m_xcb->root(), int16_t(at.x()), int16_t(at.y()), 0);
        xcb_flush(c);
    }
    std::unique_ptr<vorlith::XcbConnection> m_xcb;
};

// Polls the root until the pixel shows ink; the time taken, or nothing after a second.
std::optional<double> inkDelay(const RootProbe& probe, QPoint at, Clock::time_point since)
{
    const auto deadline = since + std::chrono::seconds(1);
    while (Clock::now() < deadline) {
        if (inked(probe.pixel(at)))
            return milliseconds(Clock::now() - since);
    }
    return std::nullopt;
}

// One stroke along row `y`: the delay of each motion's ink, appended; false when one never came.
bool stroke(const Pointer& pointer, const RootProbe& probe, int y, std::vector<double>& delays)
{
    pointer.press(QPoint(strokeLeft, y));
    QCoreApplication::processEvents();
    for (int i = 1; i <= motions; ++i) {
        const QPoint to(strokeLeft + i * step, y);
        const auto start = Clock::now();
        pointer.moveTo(to);
        const std::optional<double> delay = inkDelay(probe, to - QPoint(2, 0), start);
        if (!delay) {
            pointer.release(to);
            return false;
        }
        delays.push_back(*delay);
    }
    pointer.release(QPoint(strokeLeft + motions * step, y));
    return true;
}

// The capture with a selection and one mark, the pen chosen on the toolbar.
bool editorReady(vorlith::test::HarnessProcess& harness, const Pointer& pointer)
{
    harness.send("capture front=none");
    if (!harness.line(QStringLiteral("shown")))
        return false;
    const QString display = vorlith::test::field(harness.state().value(0), QStringLiteral("display"));
    if (display.isEmpty())
        return false;
    const AnnotationStyle style{RGBA::Red, 4, 1, 20, std::nullopt, 12};
    const Annotation box{QUuid::createUuid(), Annotation::Kind::roundedRectangle, {{260, 260}, {560, 460}}, style,
                         QString(), 1};
    harness.send("marks display=" + display.toLatin1() + " selection=200,200,3000,1500 "
                 + QByteArray::fromStdString(Json::array({box.toJson()}).dump()));
    if (!harness.line(QStringLiteral("marked")))
        return false;
    harness.send("toolbar display=" + display.toLatin1());
    const std::optional<QString> toolbar = harness.line(QStringLiteral("toolbar"));
    const QStringList pen = toolbar ? vorlith::test::field(*toolbar, QStringLiteral("pen")).split(QLatin1Char(','))
                                    : QStringList();
    if (pen.size() != 4)
        return false;
    pointer.click(QPoint(pen[0].toInt() + pen[2].toInt() / 2, pen[1].toInt() + pen[3].toInt() / 2));
    // The click reaches the harness on its own connection: ask until it has taken it.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        const QStringList state = harness.state();
        if (!state.isEmpty() && vorlith::test::field(state.front(), QStringLiteral("tool")) == QLatin1String("pen"))
            return true;
    }
    return false;
}

void BM_StrokeLatencyVsPlainQt(benchmark::State& state)
{
    RootProbe probe;
    Pointer pointer;
    if (!probe.isValid() || !pointer.isValid() || !probe.waitFor({QPoint(100, 100)}, rootColour)) {
        state.SkipWithError("the root does not show its colour");
        return;
    }
    vorlith::test::HarnessProcess harness;
    if (!harness.line(QStringLiteral("ready"))) {
        state.SkipWithError("overlay_harness did not start");
        return;
    }
    std::vector<double> ours, plain;
    int row = 0;
    for (auto _ : state) {
        const int y = 600 + (row++ % 20) * 40;
        const size_t before = ours.size();
        if (!editorReady(harness, pointer) || !stroke(pointer, probe, y, ours)) {
            state.SkipWithError(("the editor's stroke did not show\n" + harness.transcript()).c_str());
            return;
        }
        harness.send("finish");
        if (!harness.line(QStringLiteral("finished")) || !probe.waitFor({QPoint(100, 100)}, rootColour)) {
            state.SkipWithError("the capture did not end");
            return;
        }
        harness.send("plain-stroke");
        if (!harness.line(QStringLiteral("plain-stroke-shown")) || !probe.waitFor({QPoint(100, 100)}, rootColour)
            || !stroke(pointer, probe, y, plain)) {
            state.SkipWithError("the plain stroke did not show");
            return;
        }
        harness.send("plain-end");
        if (!harness.line(QStringLiteral("plain-ended")) || !probe.waitFor({QPoint(strokeLeft + step * 3, y)}, rootColour)) {
            state.SkipWithError("the plain canvas did not go");
            return;
        }
        state.SetIterationTime(median({ours.begin() + std::ptrdiff_t(before), ours.end()}) / 1000);
    }
    state.counters["stroke_ms"] = median(ours);
    state.counters["plain_qt_ms"] = median(plain);
    state.counters["ratio_vs_plain_qt"] = median(ours) / median(plain);
    std::sort(ours.begin(), ours.end());
    state.counters["stroke_p90_ms"] = ours.empty() ? 0 : ours[ours.size() * 9 / 10];
}

BENCHMARK(BM_StrokeLatencyVsPlainQt)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

} // namespace

int main(int argc, char** argv)
{
    return vorlith::bench::runOnXvfb(argc, argv, rootColour, [](vorlith::test::XvfbServer& xvfb) {
        vorlith::test::XvfbOptions options = vorlith::test::XvfbOptions::parse("wm=openbox");
        options.width = screenWidth;
        options.height = screenHeight;
        return vorlith::bench::startXvfb(xvfb, options, "bench_stroke_latency");
    });
}

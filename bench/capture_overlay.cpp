// From the capture request to the dimmed frozen image on the screen, against the plain Qt way.
//
// A 7680 x 2160 screen split into two 3840 x 2160 monitors with a flat root colour. The
// overlays run in overlay_harness, a process of their own, as the application would show them:
// one iteration of ours sends "capture": CaptureService::capture(), the overlay set prepared
// (its windows made once and reused), a new OverlayView per display, the overlays presented.
// This program is the program in front: it has one small window on each monitor, which each
// editor preselects, so the rest of each monitor is dimmed. The iteration ends when a pixel
// read back from the server's root shows the dimmed frozen colour on both monitors. The
// baseline, measured the same way in the same iteration and process: "plain", which is
// QScreen::grabWindow of each screen, then a new full-screen QWidget per screen that paints
// its image and the same dimming. The first capture of each side is not counted (second and
// later captures). Reports overlay_ms (median), plain_qt_ms and ratio_vs_plain_qt.
#include "app/base/InterfaceColors.h"
#include "support/TestSupport.h"
#include "RootProbe.h"
#include "OverlayScene.h"
#include "X11Bench.h"
#include "harness/HarnessProcess.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <benchmark/benchmark.h>

#ifndef VORLITH_OVERLAY_HARNESS
#define VORLITH_OVERLAY_HARNESS "overlay_harness" // from PATH when the tests are not built
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

using vorlith::bench::Clock;
using vorlith::bench::median;
using vorlith::bench::milliseconds;
using vorlith::bench::RootProbe;
using vorlith::bench::dimmed;
using vorlith::bench::frontWindows;
constexpr QRgb rootColour = 0xffc08040;



std::vector<QPoint> probePoints()
{
    std::vector<QPoint> points;
    for (QScreen* screen : QGuiApplication::screens())
        points.push_back(screen->geometry().center()); // native corners: scale 1 here
    return points;
}

void BM_CaptureOverlayVsPlainQt(benchmark::State& state)
{
    RootProbe probe;
    const std::vector<QPoint> points = probePoints();
    const std::vector<std::unique_ptr<QWidget>> front = frontWindows();
    if (!probe.isValid() || !probe.waitFor(points, rootColour)) {
        state.SkipWithError("the root does not show its colour");
        return;
    }
    vorlith::test::HarnessProcess harness;
    if (!harness.line(QStringLiteral("ready"))) {
        state.SkipWithError("overlay_harness did not start");
        return;
    }
    const QByteArray captureCommand = "capture front=" + QByteArray::number(qint64(getpid()));

    std::vector<double> captureMs, viewsMs;
    const auto ours = [&]() -> double {
        const auto start = Clock::now();
        harness.send(captureCommand);
        const bool shown = probe.waitFor(points, dimmed(rootColour));
        const double elapsed = milliseconds(Clock::now() - start);
        const std::optional<QString> reply = harness.line(QStringLiteral("shown"));
        if (reply) {
            bool ok = false;
            if (const double ms = vorlith::test::field(*reply, QStringLiteral("capture_ms")).toDouble(&ok); ok)
                captureMs.push_back(ms);
            if (const double ms = vorlith::test::field(*reply, QStringLiteral("views_ms")).toDouble(&ok); ok)
                viewsMs.push_back(ms);
        }
        harness.send("finish");
        return shown && reply && harness.line(QStringLiteral("finished")) && probe.waitFor(points, rootColour) ? elapsed : -1;
    };
    const auto plain = [&]() -> double {
        const auto start = Clock::now();
        harness.send("plain");
        const bool shown = probe.waitFor(points, dimmed(rootColour));
        const double elapsed = milliseconds(Clock::now() - start);
        harness.send("plain-end");
        return shown && harness.line(QStringLiteral("plain-ended")) && probe.waitFor(points, rootColour) ? elapsed : -1;
    };

    // The first of each is not counted: windows, backing stores and shared segments are made.
    const double firstOurs = ours();
    const double firstPlain = plain();
    if (firstOurs < 0 || firstPlain < 0) {
        state.SkipWithError("the overlays did not show");
        return;
    }
    captureMs.clear();
    viewsMs.clear();
    std::vector<double> oursMs, plainMs;
    for (auto _ : state) {
        const double a = ours();
        const double b = plain();
        if (a < 0 || b < 0) {
            state.SkipWithError("the overlays did not show");
            return;
        }
        oursMs.push_back(a);
        plainMs.push_back(b);
        state.SetIterationTime(a / 1000);
    }
    state.counters["overlay_ms"] = median(oursMs);
    state.counters["plain_qt_ms"] = median(plainMs);
    state.counters["ratio_vs_plain_qt"] = median(oursMs) / median(plainMs);
    state.counters["capture_ms"] = median(captureMs);
    state.counters["views_ms"] = median(viewsMs);
    state.counters["first_overlay_ms"] = firstOurs;
}

BENCHMARK(BM_CaptureOverlayVsPlainQt)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

} // namespace

int main(int argc, char** argv)
{
    return vorlith::bench::runOnXvfb(argc, argv, rootColour, [](vorlith::test::XvfbServer& xvfb) {
        return vorlith::bench::startTwoMonitorXvfb(xvfb, "bench_capture_overlay");
    });
}

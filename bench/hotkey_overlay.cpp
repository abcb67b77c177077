// From the capture hot key to the dimmed frozen image on both monitors, through the vorlith
// program itself, against the plain Qt way started by the same kind of key press.
//
// A 7680 x 2160 screen split into two 3840 x 2160 monitors with a flat root colour. vorlith
// runs as its own process with a private home (F1 captures). This program is the program in
// front: one small window on each monitor, which each editor preselects, so the rest of each
// monitor is dimmed. An XTest press of F1 starts the clock; it stops when a root pixel on each
// monitor (read on a connection of its own) shows the dimmed colour; Esc ends the capture.
// The baseline, interleaved: overlay_harness's "plain" (QScreen::grabWindow per screen and a
// new full-screen QWidget per screen painting it dimmed), started by an XTest press of F3,
// which the harness grabs on the root ("plain-key").
// Reports hotkey_overlay_ms (median of later captures), first_capture_ms (the first, 2 s after
// launch), after_kept_ms (right after a capture copied with Ctrl+C), plain_qt_ms,
// ratio_vs_plain_qt; and vorlith's resident memory 2 s after launch (warm), after a capture
// ended by Esc and after one copied (kept), with one frame's bytes for comparison.
#include "app/base/InterfaceColors.h"
#include "harness/HarnessProcess.h"
#include "support/ProgramHome.h"
#include "RootProbe.h"
#include "OverlayScene.h"
#include "X11Bench.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <xcb/xtest.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#ifndef VORLITH_PROGRAM
#define VORLITH_PROGRAM "vorlith"
#endif

namespace {

using vorlith::bench::Clock;
using vorlith::bench::median;
using vorlith::bench::milliseconds;
using vorlith::bench::RootProbe;
using vorlith::bench::dimmed;
using vorlith::bench::frontWindows;
using vorlith::bench::residentKiB;
constexpr QRgb rootColour = 0xffc08040;
constexpr xcb_keycode_t xF1 = 67, xF3 = 69, xEscape = 9, xControl = 37, xC = 54;
constexpr quint32 settingsF3 = 99;


// XTest on a connection of its own.
class Keyboard {
public:
    Keyboard() : m_xcb(vorlith::XcbConnection::open()) {}
    bool isValid() const { return m_xcb != nullptr; }
    void press(std::initializer_list<xcb_keycode_t> keys) const
    {
        for (xcb_keycode_t key : keys)
            xcb_test_fake_input(m_xcb->get(), XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
            xcb_test_fake_input(m_xcb->get(), XCB_KEY_RELEASE, *key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_xcb->get());
    }
    void click(QPoint at) const
    {
        xcb_connection_t* c = m_xcb->get();
        xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_xcb->root(), int16_t(at.x()), int16_t(at.y()), 0);
        xcb_test_fake_input(c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c);
    }
    void move(QPoint at) const
    {
        xcb_test_fake_input(m_xcb->get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_xcb->root(), int16_t(at.x()),
                            int16_t(at.y()), 0);
        xcb_flush(m_xcb->get());
    }

private:
    std::unique_ptr<vorlith::XcbConnection> m_xcb;
};


std::vector<QPoint> probePoints()
{
    std::vector<QPoint> points;
    for (QScreen* screen : QGuiApplication::screens())
        points.push_back(screen->geometry().center());
    return points;
}

void idle(std::chrono::milliseconds length)
{
    const auto end = Clock::now() + length;
    while (Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// The program with a private home whose settings answer the first-run question.
struct Program {
    vorlith::test::ProgramHome home;
    QProcess process;

    Program()
    {
        process.setProcessEnvironment(home.environment());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(VORLITH_PROGRAM), {});
    }
    ~Program()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(1000);
    }
};

void BM_HotKeyOverlayVsPlainQt(benchmark::State& state)
{
    RootProbe probe;
    Keyboard keys;
    const std::vector<QPoint> points = probePoints();
    const std::vector<std::unique_ptr<QWidget>> front = frontWindows();
    front.front()->activateWindow();
    if (!probe.isValid() || !keys.isValid() || !probe.waitFor(points, rootColour)) {
        state.SkipWithError("the root does not show its colour");
        return;
    }
    // The pointer rests on the front window of the first monitor, which the editor picks too.
    const QPoint inFront = front.front()->geometry().center();
    keys.move(inFront);

    vorlith::test::HarnessProcess harness;
    if (!harness.line(QStringLiteral("ready"))) {
        state.SkipWithError("overlay_harness did not start");
        return;
    }
    harness.send("plain-key " + QByteArray::number(settingsF3));
    if (!harness.line(QStringLiteral("plain-keyed"))) {
        state.SkipWithError("the baseline's key could not be grabbed");
        return;
    }

    Program program;
    if (!program.process.waitForStarted()) {
        state.SkipWithError("vorlith did not start");
        return;
    }
    const qint64 pid = program.process.processId();
    idle(std::chrono::seconds(2));
    const qint64 warmKiB = residentKiB(pid);

    const auto ours = [&]() -> double {
        // Our window in front again (the baseline's windows took the focus and went).
        front.front()->activateWindow();
        idle(std::chrono::milliseconds(50));
        const auto start = Clock::now();
        keys.press({xF1});
        const bool shown = probe.waitFor(points, dimmed(rootColour));
        return shown ? milliseconds(Clock::now() - start) : -1;
    };
    const auto end = [&] {
        keys.press({xEscape});
        return probe.waitFor(points, rootColour);
    };
    const auto plain = [&]() -> double {
        const auto start = Clock::now();
        keys.press({xF3});
        const bool shown = probe.waitFor(points, dimmed(rootColour));
        const double elapsed = milliseconds(Clock::now() - start);
        harness.line(QStringLiteral("plain-shown"));
        harness.send("plain-end");
        return shown && harness.line(QStringLiteral("plain-ended")) && probe.waitFor(points, rootColour) ? elapsed : -1;
    };

    const double first = ours();
    if (first < 0 || !end()) {
        state.SkipWithError("vorlith's overlays did not show");
        return;
    }
    idle(std::chrono::seconds(2));
    const qint64 afterEscKiB = residentKiB(pid);
    if (plain() < 0) {
        state.SkipWithError("the plain overlays did not show");
        return;
    }

    std::vector<double> oursMs, plainMs;
    for (auto _ : state) {
        const double a = ours();
        const bool ended = end();
        const double b = plain();
        if (a < 0 || !ended || b < 0) {
            std::fprintf(stderr, "ours %.1f ended %d plain %.1f\n", a, int(ended), b);
            state.SkipWithError("the overlays did not show");
            return;
        }
        oursMs.push_back(a);
        plainMs.push_back(b);
        state.SetIterationTime(a / 1000);
    }

    // A capture copied: the front window clicked (its selection), Ctrl+C; it is kept.
    if (ours() < 0) {
        state.SkipWithError("vorlith's overlays did not show");
        return;
    }
    keys.click(inFront);
    idle(std::chrono::milliseconds(200));
    keys.press({xControl, xC});
    if (!probe.waitFor(points, rootColour)) {
        state.SkipWithError("the copy did not end the capture");
        return;
    }
    idle(std::chrono::seconds(2));
    const qint64 copiedKiB = residentKiB(pid);
    const double afterKept = ours();
    end();

    const double frameBytes = 3840.0 * 2160 * 4;
    state.counters["hotkey_overlay_ms"] = median(oursMs);
    state.counters["plain_qt_ms"] = median(plainMs);
    state.counters["ratio_vs_plain_qt"] = median(oursMs) / median(plainMs);
    state.counters["first_capture_ms"] = first;
    state.counters["after_kept_ms"] = afterKept;
    state.counters["first_vs_median"] = first / median(oursMs);
    state.counters["after_kept_vs_median"] = afterKept / median(oursMs);
    state.counters["warm_idle_mib"] = double(warmKiB) / 1024;
    state.counters["after_esc_mib"] = double(afterEscKiB) / 1024;
    state.counters["after_copy_mib"] = double(copiedKiB) / 1024;
    state.counters["warm_idle_vs_after_esc"] = double(warmKiB) / double(std::max<qint64>(afterEscKiB, 1));
    state.counters["copied_minus_esc_frames"] = double(copiedKiB - afterEscKiB) * 1024 / frameBytes;
}

BENCHMARK(BM_HotKeyOverlayVsPlainQt)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

} // namespace

int main(int argc, char** argv)
{
    return vorlith::bench::runOnXvfb(argc, argv, rootColour, [](vorlith::test::XvfbServer& xvfb) {
        return vorlith::bench::startTwoMonitorXvfb(xvfb, "bench_hotkey_overlay");
    });
}

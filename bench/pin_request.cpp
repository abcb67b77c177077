// A file pinned through the pin request road: from the harness's "pin-file" of a 3840 x 2160
// PNG screenshot until the pin's pixels are read back on the root by another connection.
//
// pin_request_harness (a process of its own) runs the real road, import service, pin
// workspace, window controllers and editor views under openbox on a 1456 x 1000 Xvfb; the
// screenshot is pinned about 1440 points wide. The baseline, interleaved step by step, with
// the same trigger (one line to the harness) and the same read-back: QImageReader reading the
// file and one plain frameless QWidget drawing it scaled into the pin's frame ("plain-file").
// Each step ends by closing what it showed and waiting until no sampled point shows it.
//
// Reported: pin_ms (our median), plain_show_ms, ratio_vs_plain_show (ours / plain; target at
// most 1.5) and client_ms (the --pin client against the running instance, from its start
// until it exits). Starts its own Xvfb (VORLITH_XVFB adds to its configuration).
#include "EditorFixtures.h"
#include "RootProbe.h"
#include "X11Bench.h"
#include "harness/HarnessProcess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace vorlith;
using bench::median;
using bench::milliseconds;
using test::field;

struct Probe {
    QPoint at;
    QRgb colour;
};

// Points of the frame where the scaled screenshot is one colour around them (so smoothing
// cannot change what they show), clear of the badge and strip along the top and of the
// toast at the centre.
std::vector<Probe> probesIn(const QRect& frame, const QImage& screenshot)
{
    const QImage shown = screenshot.scaled(frame.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const auto uniform = [&](QPoint p) {
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx)
                if (!shown.rect().contains(p + QPoint(dx, dy)) || shown.pixel(p + QPoint(dx, dy)) != shown.pixel(p))
                    return false;
        return true;
    };
    std::vector<Probe> probes;
    for (const QPointF share : {QPointF(0.08, 0.3), QPointF(0.92, 0.4), QPointF(0.15, 0.85), QPointF(0.85, 0.85),
                                QPointF(0.5, 0.9), QPointF(0.3, 0.6)}) {
        QPoint p(int(share.x() * frame.width()), int(share.y() * frame.height()));
        for (int step = 0; step < 200 && !uniform(p); ++step)
            p += QPoint(step % 2 ? 3 : -2, 1);
        if (uniform(p))
            probes.push_back({frame.topLeft() + p, shown.pixel(p)});
    }
    return probes;
}

// Until every probe shows its colour (`shown`), or none does (the screen emptied again,
// whatever the root shows beneath: black, or a compositor's own background).
bool waitFor(const bench::RootProbe& root, const std::vector<Probe>& probes, bool shown)
{
    const auto deadline = bench::Clock::now() + std::chrono::seconds(20);
    while (bench::Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (std::all_of(probes.begin(), probes.end(),
                        [&](const Probe& p) { return bench::nearRgb(root.pixel(p.at), p.colour) == shown; }))
            return true;
    }
    return false;
}

bool waitShown(const bench::RootProbe& root, const std::vector<Probe>& probes)
{
    return waitFor(root, probes, true);
}

bool waitEmptied(const bench::RootProbe& root, const std::vector<Probe>& probes)
{
    return waitFor(root, probes, false);
}

QRect rectOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    return parts.size() == 4 ? QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt()) : QRect();
}

void BM_PinRequestVsPlainShow(benchmark::State& state)
{
    QTemporaryDir folder;
    QTemporaryDir runtime;
    const QImage screenshot = bench::frozenDisplay();
    const QString png = folder.filePath(QStringLiteral("display.png"));
    if (!screenshot.save(png)) {
        state.SkipWithError("cannot write the screenshot");
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    test::HarnessProcess harness(QStringLiteral(VORLITH_PIN_REQUEST_HARNESS), {}, environment);
    if (!harness.line(QStringLiteral("ready"))) {
        state.SkipWithError("pin_request_harness did not start");
        return;
    }
    const QByteArray pinCommand = QStringLiteral("pin-file %1 at=728,500").arg(png).toUtf8();

    // The first pin gives the frame every step shows in.
    harness.send(pinCommand);
    if (!harness.line(QStringLiteral("finished"), std::chrono::seconds(30))) {
        state.SkipWithError(harness.transcript().c_str());
        return;
    }
    harness.send("state");
    const std::optional<QString> pinLine = harness.line(QStringLiteral("pin "));
    const QRect frame = pinLine ? rectOf(field(*pinLine, QStringLiteral("frame"))) : QRect();
    const std::vector<Probe> probes = probesIn(frame, screenshot);
    bench::RootProbe root;
    if (frame.isEmpty() || probes.size() < 4 || !root.isValid() || !waitShown(root, probes)) {
        state.SkipWithError(("no pin to read back\n" + harness.transcript()).c_str());
        return;
    }
    const QByteArray plainCommand = QStringLiteral("plain-file %1 frame=%2,%3,%4,%5")
                                        .arg(png)
                                        .arg(frame.x())
                                        .arg(frame.y())
                                        .arg(frame.width())
                                        .arg(frame.height())
                                        .toUtf8();

    // One step: the trigger, the pixels, then the screen emptied again.
    const auto timed = [&](const QByteArray& show, const QByteArray& close, const QString& closed) -> std::optional<double> {
        const auto start = bench::Clock::now();
        harness.send(show);
        if (!waitShown(root, probes))
            return std::nullopt;
        const double ms = milliseconds(bench::Clock::now() - start);
        harness.send(close);
        if (!harness.line(closed) || !waitEmptied(root, probes))
            return std::nullopt;
        return ms;
    };
    const auto step = [&](std::vector<double>& ours, std::vector<double>& plain) {
        const std::optional<double> a = timed(pinCommand, "close-pins", QStringLiteral("closed-pins"));
        const std::optional<double> b = timed(plainCommand, "plain-close", QStringLiteral("plain-closed"));
        if (!a || !b)
            return false;
        ours.push_back(*a);
        plain.push_back(*b);
        return true;
    };
    harness.send("close-pins");
    std::vector<double> ours, plain;
    if (!harness.line(QStringLiteral("closed-pins")) || !waitEmptied(root, probes) || !step(ours, plain)) {
        state.SkipWithError(harness.transcript().c_str());
        return;
    }
    ours.clear();
    plain.clear();
    for (auto _ : state) {
        if (!step(ours, plain)) {
            state.SkipWithError(harness.transcript().c_str());
            return;
        }
        state.SetIterationTime(ours.back() / 1000);
    }

    // The --pin client against the running instance, start to exit.
    std::vector<double> client;
    for (int i = 0; i < 5; ++i) {
        QProcess process;
        process.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(VORLITH_PIN_REQUEST_HARNESS), {QStringLiteral("--pin"), png});
        if (!process.waitForFinished(10000) || process.exitCode() != 0) {
            state.SkipWithError("the --pin client failed");
            return;
        }
        client.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!waitShown(root, probes)) {
            state.SkipWithError("the client's pin did not show");
            return;
        }
        harness.send("close-pins");
        if (!harness.line(QStringLiteral("closed-pins")) || !waitEmptied(root, probes)) {
            state.SkipWithError(harness.transcript().c_str());
            return;
        }
    }
    state.counters["pin_ms"] = median(ours);
    state.counters["plain_show_ms"] = median(plain);
    state.counters["ratio_vs_plain_show"] = median(ours) / median(plain);
    state.counters["client_ms"] = median(client);
}

BENCHMARK(BM_PinRequestVsPlainShow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(12);

} // namespace

int main(int argc, char** argv)
{
    vorlith::test::XvfbServer xvfb;
    if (!vorlith::bench::startPinXvfb(xvfb, "wm=openbox", "bench_pin_request"))
        return EXIT_FAILURE;
    QApplication app(argc, argv);
    return vorlith::bench::runBenchmarks(argc, argv);
}

// One wheel step of a pinned image: from applying the viewport scaled by 1.05 until the
// image, its ring and its badge have painted and the server has them (the strip only moves).
//
// A 3840 x 2160 document with 20 marks is pinned about 1440 points wide on a 1456 x 1000
// Xvfb (scale 0.375), in pin_harness, a process of its own, with the real window controller,
// editor view and window service. The baseline, interleaved step by step and timed the same
// way in the same process: one plain QWidget of the pin's size drawing the same composite
// scaled ("plain-zoom"). Steps alternate in and out, so the sizes stay alike.
//
// Reported: zoom_ms (our median), plain_scaled_draw_ms, ratio_vs_plain_scaled_draw (ours /
// plain), zoom_painted_ms and plain_painted_ms (until the last paint, before the server has
// it), shadow_renders_added (blurs made by the ring's shadow painter during the run: a zoom
// must reuse the blurred square, so 0). Starts its own Xvfb (VORLITH_XVFB adds to its
// configuration: "wm=openbox,compositor=1").
#include "PinBench.h"
#include "X11Bench.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace vorlith;
using bench::median;
using test::field;

// The whole step, and the part until the last paint (before the server has it).
struct Step {
    double ms = 0;
    double paintedMs = 0;
};

std::optional<Step> answer(test::HarnessProcess& harness, const QString& prefix)
{
    const std::optional<QString> line = harness.line(prefix);
    bool ok = false, painted = false;
    const Step step{line ? field(*line, QStringLiteral("ms")).toDouble(&ok) : 0,
                    line ? field(*line, QStringLiteral("painted_ms")).toDouble(&painted) : 0};
    return ok && painted ? std::optional(step) : std::nullopt;
}

void BM_PinZoomVsPlainScaledDraw(benchmark::State& state)
{
    QTemporaryDir folder;
    test::HarnessProcess harness(QStringLiteral(VORLITH_PIN_HARNESS));
    if (const std::optional<const char*> failed = bench::pinDisplay(harness, folder)) {
        state.SkipWithError(*failed);
        return;
    }
    harness.send("renders");
    const std::optional<QString> before = harness.line(QStringLiteral("renders"));

    std::vector<double> ours, plain, oursPainted, plainPainted;
    bool in = true;
    const auto step = [&]() -> bool {
        const QByteArray factor = in ? "1.05" : "0.952380952";
        in = !in;
        harness.send("zoom pin=0 factor=" + factor);
        const std::optional<Step> a = answer(harness, QStringLiteral("zoomed"));
        harness.send("plain-zoom pin=0 factor=1");
        const std::optional<Step> b = answer(harness, QStringLiteral("plain-zoomed"));
        if (!a || !b)
            return false;
        ours.push_back(a->ms);
        plain.push_back(b->ms);
        oursPainted.push_back(a->paintedMs);
        plainPainted.push_back(b->paintedMs);
        return true;
    };
    // Warm: the plain window is made, the pin's caches are filled.
    for (int i = 0; i < 2; ++i)
        if (!step()) {
            state.SkipWithError(harness.transcript().c_str());
            return;
        }
    ours.clear();
    plain.clear();
    oursPainted.clear();
    plainPainted.clear();
    for (auto _ : state) {
        if (!step()) {
            state.SkipWithError(harness.transcript().c_str());
            return;
        }
        state.SetIterationTime(ours.back() / 1000);
    }
    harness.send("renders");
    const std::optional<QString> after = harness.line(QStringLiteral("renders"));
    state.counters["zoom_ms"] = median(ours);
    state.counters["plain_scaled_draw_ms"] = median(plain);
    state.counters["ratio_vs_plain_scaled_draw"] = median(ours) / median(plain);
    state.counters["zoom_painted_ms"] = median(oursPainted);
    state.counters["plain_painted_ms"] = median(plainPainted);
    if (before && after)
        state.counters["shadow_renders_added"] =
            after->section(QLatin1Char(' '), 1).toDouble() - before->section(QLatin1Char(' '), 1).toDouble();
}

BENCHMARK(BM_PinZoomVsPlainScaledDraw)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

} // namespace

int main(int argc, char** argv)
{
    vorlith::test::XvfbServer xvfb;
    std::string configuration = "monitors=1,width=1456,height=1000";
    if (const char* extra = std::getenv("VORLITH_XVFB"); extra && *extra)
        configuration += std::string(",") + extra;
    if (!vorlith::bench::startXvfb(xvfb, vorlith::test::XvfbOptions::parse(configuration), "bench_pin_zoom"))
        return EXIT_FAILURE;
    QApplication app(argc, argv);
    return vorlith::bench::runBenchmarks(argc, argv);
}

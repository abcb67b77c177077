// A whole capture against Qt's bare grab of the same pixels: CaptureService::capture() for
// both displays of a 7680 x 2160 screen split into two 3840 x 2160 monitors, with 40 client
// windows of another process on it (bench/peers/window_crowd), against QScreen::grabWindow of
// the two screens. Both sides run in the same iteration; ratio_vs_qscreen_grab is the median
// capture over the median pair of grabs (ours / Qt's: at most 1 means the window list, the
// candidates and the protection check cost nothing Qt's grab alone does not already exceed).
// Starts its own Xvfb; VORLITH_XVFB adds to its configuration ("wm=openbox,compositor=1").
// VORLITH_BENCH_FRAMES names a folder to keep the last capture's frames in, to look at.
#include "app/capture/CaptureService.h"
#include "platform/x11/X11CapturePlatform.h"
#include "support/TaskOutcome.h"
#include "support/TestSupport.h"
#include "X11Bench.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int crowdSize = 40;

using vorlith::bench::Clock;
using vorlith::bench::median;
using vorlith::bench::seconds;

void BM_CaptureVsQScreenGrab(benchmark::State& state)
{
    vorlith::CaptureService service(std::make_shared<vorlith::X11CapturePlatform>());
    const QList<QScreen*> screens = QGuiApplication::screens();
    std::vector<double> qt;
    std::vector<double> ours;
    std::size_t candidates = 0;
    std::vector<vorlith::FrozenDisplay> last;
    for (auto _ : state) {
        auto start = Clock::now();
        for (QScreen* screen : screens) {
            QImage reference = screen->grabWindow(0).toImage();
            benchmark::DoNotOptimize(reference.constBits());
        }
        qt.push_back(seconds(Clock::now() - start));

        start = Clock::now();
        const auto outcome = vorlith::test::finish(service.capture());
        ours.push_back(seconds(Clock::now() - start));
        if (!outcome.value || outcome.value->size() != std::size_t(screens.size())) {
            state.SkipWithError("the capture failed");
            return;
        }
        candidates = 0;
        for (const vorlith::FrozenDisplay& frame : *outcome.value)
            candidates += frame.candidates.size();
        state.SetIterationTime(ours.back());
        last = *outcome.value;
    }
    if (const char* folder = std::getenv("VORLITH_BENCH_FRAMES"); folder && *folder) {
        for (std::size_t i = 0; i < last.size(); ++i)
            last[i].image.pixels().save(QStringLiteral("%1/capture-display%2.png").arg(QString::fromLocal8Bit(folder)).arg(i + 1));
    }
    state.counters["qscreen_median_ms"] = median(qt) * 1000;
    state.counters["ours_median_ms"] = median(ours) * 1000;
    state.counters["candidates"] = double(candidates);
    state.counters["ratio_vs_qscreen_grab"] = median(ours) / median(qt);
}

BENCHMARK(BM_CaptureVsQScreenGrab)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv)
{
    vorlith::test::XvfbServer xvfb;
    if (!vorlith::bench::startTwoMonitorXvfb(xvfb, "bench_capture"))
        return EXIT_FAILURE;
    int result = EXIT_SUCCESS;
    {
        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        QProcess crowd;
        crowd.start(QStringLiteral(VORLITH_WINDOW_CROWD), {QString::number(crowdSize)});
        if (!vorlith::test::runUntil([&] { return crowd.canReadLine(); }, std::chrono::seconds(20))) {
            std::fprintf(stderr, "bench_capture: the window crowd did not come up\n");
            return EXIT_FAILURE;
        }
        result = vorlith::bench::runBenchmarks(argc, argv);
        crowd.closeWriteChannel();
        if (!crowd.waitForFinished(3000))
            crowd.kill();
        crowd.waitForFinished(1000);
    }
    return result;
}

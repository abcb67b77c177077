// Grabbing a 3840 x 2160 screen: our MIT-SHM grab against QScreen::grabWindow, both in the
// same run and interleaved iteration by iteration, reported as speedup_vs_qscreen_warm (our
// grabber kept between grabs) and speedup_vs_qscreen_cold (a new grabber, connection and
// shared segment for every grab). The warm figure is also taken for the GetImage fallback, as
// speedup_vs_qscreen_warm_getimage. Starts its own Xvfb.
#include "platform/x11/X11ScreenGrabber.h"
#include "support/XvfbServer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRasterWindow>
#include <QScreen>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int screenWidth = 3840;
constexpr int screenHeight = 2160;

// Something other than a flat colour on the screen.
class Pattern : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, width(), height());
        gradient.setColorAt(0, QColor(20, 120, 220));
        gradient.setColorAt(1, QColor(240, 200, 40));
        painter.fillRect(QRect(QPoint(0, 0), size()), gradient);
    }
};

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

QRect screenRect()
{
    return QRect(0, 0, screenWidth, screenHeight);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Grabs with Qt, then with ours, and times only the grabs. The ratio is of the medians: other
// work on the machine lands on single iterations of either side.
template<typename OurGrab>
void interleaved(benchmark::State& state, OurGrab ourGrab, const char* counter)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    std::vector<double> qt;
    std::vector<double> ours;
    for (auto _ : state) {
        auto start = Clock::now();
        QImage reference = screen->grabWindow(0).toImage();
        qt.push_back(seconds(Clock::now() - start));
        benchmark::DoNotOptimize(reference.constBits());

        start = Clock::now();
        QImage image = ourGrab();
        ours.push_back(seconds(Clock::now() - start));
        benchmark::DoNotOptimize(image.constBits());
        if (image.size() != reference.size()) {
            state.SkipWithError("the grabs differ in size");
            return;
        }
        state.SetIterationTime(ours.back());
    }
    state.counters["qscreen_median_ms"] = median(qt) * 1000;
    state.counters["ours_median_ms"] = median(ours) * 1000;
    state.counters[counter] = median(qt) / median(ours);
}

void warm(benchmark::State& state, vorlith::X11ScreenGrabber::Method method, const char* counter)
{
    vorlith::X11ScreenGrabber grabber(method);
    if (!grabber.isAvailable() || grabber.grab(screenRect()).isNull()) {
        state.SkipWithError("MIT-SHM is not available");
        return;
    }
    if (grabber.method() != method) {
        state.SkipWithError("the server does not allow this method");
        return;
    }
    interleaved(state, [&] { return grabber.grab(screenRect()); }, counter);
}

void BM_ScreenGrabWarm(benchmark::State& state)
{
    warm(state, vorlith::X11ScreenGrabber::Method::Composite, "speedup_vs_qscreen_warm");
}

void BM_ScreenGrabWarmGetImage(benchmark::State& state)
{
    warm(state, vorlith::X11ScreenGrabber::Method::GetImage, "speedup_vs_qscreen_warm_getimage");
}

void BM_ScreenGrabCold(benchmark::State& state)
{
    interleaved(state, [] {
        vorlith::X11ScreenGrabber grabber;
        return grabber.grab(screenRect());
    }, "speedup_vs_qscreen_cold");
}

BENCHMARK(BM_ScreenGrabWarm)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScreenGrabWarmGetImage)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScreenGrabCold)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    vorlith::test::XvfbServer xvfb;
    vorlith::test::XvfbOptions options;
    options.width = screenWidth;
    options.height = screenHeight;
    if (!xvfb.start(options)) {
        std::fprintf(stderr, "bench_screen_grab: could not start Xvfb\n");
        return EXIT_FAILURE;
    }
    setenv("DISPLAY", xvfb.display().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("QT_SCALE_FACTOR");
    int result = EXIT_SUCCESS;
    {
        int qtArgc = 1;
        QGuiApplication app(qtArgc, argv);
        Pattern pattern;
        pattern.setGeometry(200, 150, 2400, 1500);
        pattern.show();
        for (int i = 0; i < 50 && !pattern.isExposed(); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            usleep(10000);
        }
        QCoreApplication::processEvents();

        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv))
            result = EXIT_FAILURE;
        else
            benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    return result;
}

// Grabbing a 3840 x 2160 screen: our MIT-SHM grab against QScreen::grabWindow, both in the
// same run and interleaved iteration by iteration, reported as speedup_vs_qscreen_warm (our
// grabber kept between grabs) and speedup_vs_qscreen_cold (a new grabber, connection and
// shared segment for every grab). The warm figure is also taken for the GetImage fallback, as
// speedup_vs_qscreen_warm_getimage. ratio_vs_shm_floor sets our warm grab against the least any
// shared-memory grab costs: one plain xcb_shm_get_image of the same rectangle into a segment
// that is already attached, nothing else (ours / floor). Starts its own Xvfb.
#include "platform/x11/X11ScreenGrabber.h"
#include "X11Bench.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/shm.h>

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

using vorlith::bench::Clock;
using vorlith::bench::median;
using vorlith::bench::seconds;

QRect screenRect()
{
    return QRect(0, 0, screenWidth, screenHeight);
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

// The floor: the server's own copy of the rectangle into shared memory.
class ShmFloor {
public:
    ShmFloor()
    {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const std::size_t bytes = std::size_t(screenWidth) * screenHeight * 4;
        m_id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (m_id < 0)
            return;
        m_memory = shmat(m_id, nullptr, 0);
        shmctl(m_id, IPC_RMID, nullptr);
        m_segment = xcb_generate_id(m_connection);
        xcb_generic_error_t* error =
            xcb_request_check(m_connection, xcb_shm_attach_checked(m_connection, m_segment, uint32_t(m_id), 0));
        m_ready = !error && m_memory != reinterpret_cast<void*>(-1);
        std::free(error);
        if (m_ready) // touch every page once, as a warm grab's segment is
            std::fill_n(static_cast<char*>(m_memory), bytes, 0);
    }
    ~ShmFloor()
    {
        if (m_ready)
            xcb_shm_detach(m_connection, m_segment);
        if (m_memory && m_memory != reinterpret_cast<void*>(-1))
            shmdt(m_memory);
        xcb_disconnect(m_connection);
    }
    bool ready() const { return m_ready; }
    bool grab()
    {
        xcb_shm_get_image_reply_t* reply = xcb_shm_get_image_reply(
            m_connection,
            xcb_shm_get_image(m_connection, m_root, 0, 0, screenWidth, screenHeight, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                              m_segment, 0),
            nullptr);
        const bool ok = reply != nullptr;
        std::free(reply);
        return ok;
    }

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    int m_id = -1;
    void* m_memory = nullptr;
    xcb_shm_seg_t m_segment = 0;
    bool m_ready = false;
};

void BM_ScreenGrabVsShmFloor(benchmark::State& state)
{
    vorlith::X11ScreenGrabber grabber;
    ShmFloor floor;
    if (!grabber.isAvailable() || grabber.grab(screenRect()).isNull() || !floor.ready()) {
        state.SkipWithError("MIT-SHM is not available");
        return;
    }
    std::vector<double> floors;
    std::vector<double> ours;
    for (auto _ : state) {
        auto start = Clock::now();
        if (!floor.grab()) {
            state.SkipWithError("the plain grab failed");
            return;
        }
        floors.push_back(seconds(Clock::now() - start));

        start = Clock::now();
        QImage image = grabber.grab(screenRect());
        ours.push_back(seconds(Clock::now() - start));
        benchmark::DoNotOptimize(image.constBits());
        state.SetIterationTime(ours.back());
    }
    state.counters["floor_median_ms"] = median(floors) * 1000;
    state.counters["ours_median_ms"] = median(ours) * 1000;
    state.counters["ratio_vs_shm_floor"] = median(ours) / median(floors);
}

BENCHMARK(BM_ScreenGrabWarm)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScreenGrabWarmGetImage)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScreenGrabCold)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScreenGrabVsShmFloor)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    vorlith::test::XvfbServer xvfb;
    vorlith::test::XvfbOptions options;
    options.width = screenWidth;
    options.height = screenHeight;
    if (!vorlith::bench::startXvfb(xvfb, options, "bench_screen_grab"))
        return EXIT_FAILURE;
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
        result = vorlith::bench::runBenchmarks(argc, argv);
    }
    return result;
}

// A global hot key from the key press to the service's callback: the benchmark presses F1
// through XTest on a connection of its own and waits on the event loop until the capture
// action arrives (hotkey_ms, median), then releases it. The baseline in the same run is one
// X round trip (xcb_get_input_focus, roundtrip_ms); ratio_vs_roundtrip is their quotient.
// Starts its own Xvfb.
#include "app/settings/ShortcutService.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/XcbConnection.h"
#include "support/XvfbServer.h"
#include "X11Bench.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include <xcb/xtest.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using vorlith::bench::Clock;
using vorlith::bench::median;
using vorlith::bench::milliseconds;

constexpr xcb_keycode_t xF1 = 67;

// Runs the event loop until the flag is set (or five seconds pass).
bool waitFor(const bool& flag)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!flag && Clock::now() < deadline)
        QCoreApplication::eventDispatcher()->processEvents(QEventLoop::WaitForMoreEvents);
    return flag;
}

void fakeKey(xcb_connection_t* c, uint8_t type)
{
    xcb_test_fake_input(c, type, xF1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c);
}

void BM_HotKey(benchmark::State& state)
{
    std::unique_ptr<vorlith::X11HotKeyRegistrar> real = vorlith::X11HotKeyRegistrar::open();
    vorlith::X11HotKeyRegistrar* registrar = real.get();
    vorlith::ShortcutService service(std::shared_ptr<vorlith::HotKeyRegistering>(std::move(real)));
    bool pressed = false;
    bool released = false;
    service.onActionPressed = [&](vorlith::ShortcutAction) { pressed = true; };
    service.registerActions({{vorlith::ShortcutAction::capture, vorlith::ShortcutSpec::defaultCapture()}});
    // Releases reach the service through the registrar's callback; watch them there too.
    auto serviceEvent = registrar->onEvent;
    registrar->onEvent = [&](quint32 id, bool down) {
        if (!down)
            released = true;
        serviceEvent(id, down);
    };
    std::unique_ptr<vorlith::XcbConnection> keyboard = vorlith::XcbConnection::open();
    xcb_connection_t* c = keyboard->get();

    std::vector<double> hotkey;
    std::vector<double> roundTrip;
    for (auto _ : state) {
        auto start = Clock::now();
        vorlith::XcbConnection::sync(c);
        roundTrip.push_back(milliseconds(Clock::now() - start));

        pressed = false;
        start = Clock::now();
        fakeKey(c, XCB_KEY_PRESS);
        if (!waitFor(pressed)) {
            state.SkipWithError("the hot key never arrived");
            break;
        }
        const double elapsed = milliseconds(Clock::now() - start);
        hotkey.push_back(elapsed);
        state.SetIterationTime(elapsed / 1000);

        released = false;
        fakeKey(c, XCB_KEY_RELEASE);
        if (!waitFor(released)) {
            state.SkipWithError("the release never arrived");
            break;
        }
    }
    const double ms = median(hotkey);
    const double baseline = median(roundTrip);
    state.counters["hotkey_ms"] = ms;
    state.counters["roundtrip_ms"] = baseline;
    state.counters["ratio_vs_roundtrip"] = baseline > 0 ? ms / baseline : 0;
}

BENCHMARK(BM_HotKey)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

} // namespace

int main(int argc, char** argv)
{
    vorlith::test::XvfbServer xvfb;
    if (!xvfb.start(vorlith::test::XvfbOptions{})) {
        std::fprintf(stderr, "bench_hotkey: could not start Xvfb\n");
        return EXIT_FAILURE;
    }
    setenv("DISPLAY", xvfb.display().toLocal8Bit().constData(), 1);
    int result = EXIT_SUCCESS;
    {
        int qtArgc = 1;
        QCoreApplication app(qtArgc, argv);
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv))
            result = EXIT_FAILURE;
        else
            benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    return result;
}

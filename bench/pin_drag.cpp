// One drag step of a pinned image: from an XTest pointer motion (button 1 held) until the
// server reports, on the benchmark's own connection, both the image window's frame and the
// control strip at their new places (ConfigureNotify).
//
// A 3840 x 2160 document with 20 marks is pinned about 1440 points wide on a 1456 x 1000 Xvfb
// under openbox, in pin_harness, a process of its own, with the real window controller, editor
// view and window service. The baseline, in the same run and timed the same way: one plain
// top-level QWidget of the pin's size, managed by the same window manager, moving itself in its
// mouse move handler ("plain-window"); the pin is hidden meanwhile.
//
// Reported: drag_ms (our median step), plain_move_ms, ratio_vs_plain_move (ours / plain) and
// host_repaints (paints of the pin's editor view during its steps: a move repaints nothing of
// the image, so 0). Starts its own Xvfb (VORLITH_XVFB adds to its configuration).
#include "PinBench.h"
#include "X11Bench.h"
#include "platform/x11/XcbConnection.h"

#include <QApplication>
#include <QTemporaryDir>

#include <xcb/xtest.h>

#include <benchmark/benchmark.h>

#include <poll.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vorlith;
using bench::Clock;
using bench::median;
using test::field;

QRect rectOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    return parts.size() == 4 ? QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt()) : QRect();
}

// The benchmark's own connection: the pointer through XTest, and where windows stand from the
// server's ConfigureNotify events.
class Watcher {
public:
    Watcher() : m_xcb(XcbConnection::open()) {}
    bool isValid() const { return m_xcb != nullptr; }

    // The top-level that stands for a window on the root (its window manager's frame, or the
    // window itself), watched from now on; answers its x on the root.
    std::optional<xcb_window_t> watch(xcb_window_t window)
    {
        xcb_connection_t* c = m_xcb->get();
        xcb_window_t top = window;
        for (;;) {
            xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, top), nullptr);
            if (!tree)
                return std::nullopt;
            const xcb_window_t parent = tree->parent;
            free(tree);
            if (parent == m_xcb->root() || parent == XCB_NONE)
                break;
            top = parent;
        }
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, top, XCB_CW_EVENT_MASK, &mask);
        xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, top), nullptr);
        if (!geometry)
            return std::nullopt;
        m_x[top] = geometry->x;
        free(geometry);
        return top;
    }
    int x(xcb_window_t top) const { return m_x.at(top); }

    void pointer(uint8_t type, uint8_t detail, QPoint at = {})
    {
        xcb_test_fake_input(m_xcb->get(), type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? m_xcb->root() : XCB_NONE,
                            int16_t(at.x()), int16_t(at.y()), 0);
        xcb_flush(m_xcb->get());
    }

    // Waits until every window has reported standing at its x; false after a second.
    bool waitFor(const std::map<xcb_window_t, int>& expected)
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(1);
        auto done = [&] {
            for (const auto& [window, x] : expected)
                if (m_x[window] != x)
                    return false;
            return true;
        };
        while (!done()) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_xcb->get())) {
                if ((event->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY) {
                    const auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
                    if (m_x.count(configure->window) && !(event->response_type & 0x80))
                        m_x[configure->window] = configure->x;
                }
                free(event);
            }
            if (done())
                break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd fd{xcb_get_file_descriptor(m_xcb->get()), POLLIN, 0};
            ::poll(&fd, 1, int(left));
        }
        return true;
    }

private:
    std::unique_ptr<XcbConnection> m_xcb;
    std::map<xcb_window_t, int> m_x;
};

// Drags with the button held from `press`, 4 points a step, 8 steps left then 8 back; each step's
// time from the motion until every watched window stands where it should.
std::optional<std::vector<double>> drag(Watcher& watcher, QPoint press, const std::vector<xcb_window_t>& windows,
                                        int steps)
{
    watcher.pointer(XCB_MOTION_NOTIFY, 0, press);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    watcher.pointer(XCB_BUTTON_PRESS, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    std::map<xcb_window_t, int> start;
    for (xcb_window_t w : windows)
        start[w] = watcher.x(w);
    std::vector<double> times;
    int offset = 0;
    for (int i = 0; i < steps; ++i) {
        offset += (i / 8) % 2 ? 4 : -4; // leftwards first: the strip keeps inside the screen
        std::map<xcb_window_t, int> expected;
        for (xcb_window_t w : windows)
            expected[w] = start[w] + offset;
        const Clock::time_point began = Clock::now();
        watcher.pointer(XCB_MOTION_NOTIFY, 0, press + QPoint(offset, 0));
        if (!watcher.waitFor(expected)) {
            watcher.pointer(XCB_BUTTON_RELEASE, 1);
            return std::nullopt;
        }
        times.push_back(bench::milliseconds(Clock::now() - began));
    }
    watcher.pointer(XCB_BUTTON_RELEASE, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return times;
}

xcb_window_t windowId(const QString& text)
{
    return xcb_window_t(text.toULongLong(nullptr, 16));
}

void BM_PinDragVsPlainMove(benchmark::State& state)
{
    QTemporaryDir folder;
    test::HarnessProcess harness(QStringLiteral(VORLITH_PIN_HARNESS));
    Watcher watcher;
    if (!watcher.isValid()) {
        state.SkipWithError("no connection to the server");
        return;
    }
    if (const std::optional<const char*> failed = bench::pinDisplay(harness, folder)) {
        state.SkipWithError(*failed);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    harness.send("state");
    const std::optional<QString> pin = harness.line(QStringLiteral("pin index=0"));
    harness.line(QStringLiteral("end"));
    if (!pin) {
        state.SkipWithError("no state");
        return;
    }
    const QRect frame = rectOf(field(*pin, QStringLiteral("frame")));
    const std::optional<xcb_window_t> content = watcher.watch(windowId(field(*pin, QStringLiteral("content"))));
    const std::optional<xcb_window_t> strip = watcher.watch(windowId(field(*pin, QStringLiteral("strip"))));
    if (!content || !strip) {
        state.SkipWithError("cannot watch the pin's windows");
        return;
    }
    harness.send("paints pin=0");
    const std::optional<QString> paintsBefore = harness.line(QStringLiteral("paints"));
    const int steps = int(state.max_iterations);
    // The press lands on the image, away from the strip and the badge.
    const QPoint press = frame.center() + QPoint(0, frame.height() / 4);
    std::optional<std::vector<double>> ours = drag(watcher, press, {*content, *strip}, steps);
    harness.send("paints pin=0");
    const std::optional<QString> paintsAfter = harness.line(QStringLiteral("paints"));
    if (!ours) {
        state.SkipWithError("the pin did not follow the pointer");
        return;
    }

    harness.send("visible pin=0 off");
    harness.line(QStringLiteral("visible"));
    harness.send("plain-window pin=0");
    const std::optional<QString> plainLine = harness.line(QStringLiteral("plain-window"));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const std::optional<xcb_window_t> plainWindow =
        plainLine ? watcher.watch(windowId(field(*plainLine, QStringLiteral("xid")))) : std::nullopt;
    if (!plainWindow) {
        state.SkipWithError("no plain window");
        return;
    }
    const QRect plainFrame = rectOf(field(*plainLine, QStringLiteral("frame")));
    std::optional<std::vector<double>> plain =
        drag(watcher, plainFrame.center() + QPoint(0, plainFrame.height() / 4), {*plainWindow}, steps);
    if (!plain) {
        state.SkipWithError("the plain window did not follow the pointer");
        return;
    }
    size_t i = 0;
    for (auto _ : state)
        state.SetIterationTime((*ours)[std::min(i++, ours->size() - 1)] / 1000);
    state.counters["drag_ms"] = median(*ours);
    state.counters["plain_move_ms"] = median(*plain);
    state.counters["ratio_vs_plain_move"] = median(*ours) / median(*plain);
    if (paintsBefore && paintsAfter)
        state.counters["host_repaints"] = field(*paintsAfter, QStringLiteral("host")).toDouble()
                                        - field(*paintsBefore, QStringLiteral("host")).toDouble();
}

BENCHMARK(BM_PinDragVsPlainMove)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(64);

} // namespace

int main(int argc, char** argv)
{
    vorlith::test::XvfbServer xvfb;
    std::string configuration = "monitors=1,width=1456,height=1000,wm=openbox";
    if (const char* extra = std::getenv("VORLITH_XVFB"); extra && *extra)
        configuration += std::string(",") + extra;
    if (!vorlith::bench::startXvfb(xvfb, vorlith::test::XvfbOptions::parse(configuration), "bench_pin_drag"))
        return EXIT_FAILURE;
    QApplication app(argc, argv);
    return vorlith::bench::runBenchmarks(argc, argv);
}

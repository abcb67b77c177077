#pragma once

// What the benchmarks on an X server share: the harness's private Xvfb with Qt pointed at it
// and the run of the registered benchmarks. The overlay harness program is driven through the
// tests' own client (tests/harness/HarnessProcess.h).

#include "platform/x11/XcbConnection.h"
#include "support/XvfbServer.h"

#include <QCoreApplication>
#include <QPoint>
#include <QRgb>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace vorlith::bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

inline double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The middle value (the upper one of an even count); 0 for none.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

inline bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 && std::abs(qBlue(a) - qBlue(b)) <= 3;
}

// Reads single pixels of the root on a connection of its own, as another program would see them.
class RootProbe {
public:
    RootProbe() : m_xcb(XcbConnection::open()) {}
    bool isValid() const { return m_xcb != nullptr; }

    QRgb pixel(QPoint at) const
    {
        xcb_connection_t* c = m_xcb->get();
        XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_xcb->root(), int16_t(at.x()), int16_t(at.y()), 1, 1, ~0u),
            nullptr));
        if (!reply || xcb_get_image_data_length(reply.get()) < 4)
            return 0;
        const uint8_t* p = xcb_get_image_data(reply.get());
        return qRgb(p[2], p[1], p[0]);
    }

    // Spins the event loop until every point shows the colour; false after the timeout.
    bool waitFor(const std::vector<QPoint>& points, QRgb colour, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (std::all_of(points.begin(), points.end(), [&](const QPoint& p) { return near(pixel(p), colour); }))
                return true;
        }
        return false;
    }

private:
    std::unique_ptr<XcbConnection> m_xcb;
};

// Starts the server and points Qt (and every child process) at it; says why when it cannot.
inline bool startXvfb(test::XvfbServer& xvfb, const test::XvfbOptions& options, const char* program)
{
    if (!xvfb.start(options)) {
        std::fprintf(stderr, "%s: could not start Xvfb\n", program);
        return false;
    }
    setenv("DISPLAY", xvfb.display().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("QT_SCALE_FACTOR");
    return true;
}

// The large screen of the capture benchmarks: two 3840 x 2160 monitors side by side, with
// whatever VORLITH_XVFB adds ("wm=openbox,compositor=1").
inline bool startTwoMonitorXvfb(test::XvfbServer& xvfb, const char* program)
{
    std::string configuration = "monitors=2,width=3840,height=2160";
    if (const char* extra = std::getenv("VORLITH_XVFB"); extra && *extra)
        configuration += std::string(",") + extra;
    return startXvfb(xvfb, test::XvfbOptions::parse(configuration), program);
}

// Runs the benchmarks the command line selects; the program's exit status.
inline int runBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return EXIT_FAILURE;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}

} // namespace vorlith::bench

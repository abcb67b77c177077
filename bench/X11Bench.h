#pragma once

// What the benchmarks on an X server share: the harness's private Xvfb with Qt pointed at it
// and the run of the registered benchmarks. The overlay harness program is driven through the
// tests' own client (tests/harness/HarnessProcess.h).

#include "platform/x11/XcbConnection.h"
#include "support/XvfbServer.h"

#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QFile>
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

// A process's resident memory (VmRSS) in KiB; 0 when it cannot be read.
inline qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

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

// The pin benchmarks' display: one 1456 x 1000 monitor with `base` ("wm=openbox", or nothing)
// and whatever VORLITH_XVFB adds.
inline bool startPinXvfb(test::XvfbServer& xvfb, const std::string& base, const char* program)
{
    std::string configuration = "monitors=1,width=1456,height=1000";
    if (!base.empty())
        configuration += "," + base;
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

// The main of a benchmark on a server started by `start` (startTwoMonitorXvfb, …): Qt on it,
// a flat root of `rootColour`, then the benchmarks; the application ends before the server.
template <typename Start>
int runOnXvfb(int argc, char** argv, QRgb rootColour, Start start)
{
    test::XvfbServer xvfb;
    if (!start(xvfb))
        return EXIT_FAILURE;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    xvfb.run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QColor(rootColour).name()});
    return runBenchmarks(argc, argv);
}

} // namespace vorlith::bench

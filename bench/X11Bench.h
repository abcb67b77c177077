#pragma once

// What the benchmarks on an X server share: the harness's private Xvfb with Qt pointed at it,
// the overlay harness program as a child process, and the run of the registered benchmarks.

#include "support/XvfbServer.h"

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
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

// overlay_harness (tests/harness) as a child process, spoken to line by line.
class HarnessClient {
public:
    explicit HarnessClient(QString program) : m_program(std::move(program)) {}
    ~HarnessClient()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        send("quit");
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    HarnessClient(const HarnessClient&) = delete;
    HarnessClient& operator=(const HarnessClient&) = delete;

    bool start()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(m_program, {});
        return m_process.waitForStarted(10000) && answer("ready").has_value();
    }
    void send(const QByteArray& command)
    {
        m_process.write(command + '\n');
        m_process.waitForBytesWritten(1000);
    }
    // The next line that starts with `prefix`, skipping others; none after the timeout or an
    // "error" line.
    std::optional<QByteArray> answer(const QByteArray& prefix,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                if (line.startsWith(prefix))
                    return line;
                if (line.startsWith("error")) {
                    std::fprintf(stderr, "overlay_harness: %s\n", line.constData());
                    return std::nullopt;
                }
            }
            m_process.waitForReadyRead(50);
        }
        return std::nullopt;
    }
    // The value of `name=` in a line; empty when absent.
    static QByteArray field(const QByteArray& line, const QByteArray& name)
    {
        const QByteArray key = ' ' + name + '=';
        const qsizetype at = line.indexOf(key);
        if (at < 0)
            return {};
        const qsizetype from = at + key.size();
        const qsizetype end = line.indexOf(' ', from);
        return line.mid(from, end < 0 ? -1 : end - from);
    }

private:
    QString m_program;
    QProcess m_process;
};

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

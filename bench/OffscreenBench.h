#pragma once

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>

namespace vorlith::bench {

// Wall-clock seconds one call of f takes.
template <typename F> double secondsFor(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs the registered benchmarks inside a QApplication on Qt's offscreen platform.
inline int runOffscreen(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace vorlith::bench

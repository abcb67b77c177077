#pragma once

// The main of a benchmark that needs Qt's image code but no display: a QGuiApplication on the
// offscreen platform, `prepare` (fixtures made before any timing), then every benchmark.

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <functional>

namespace vorlith::bench {

inline int runOffscreenBenchmarks(int argc, char** argv, const std::function<void()>& prepare)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    prepare();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace vorlith::bench

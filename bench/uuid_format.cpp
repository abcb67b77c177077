// Skeleton benchmark: our strict id parser against QUuid's lenient one, as a ratio.
#include "core/Uuid.h"

#include <benchmark/benchmark.h>

static void BM_QUuidFromString(benchmark::State& state)
{
    const QString text = QStringLiteral("6F9619FF-8B86-D011-B42D-00CF4FC964FF");
    for (auto _ : state)
        benchmark::DoNotOptimize(QUuid::fromString(text));
}
BENCHMARK(BM_QUuidFromString);

static void BM_ParseUuidStrict(benchmark::State& state)
{
    const QString text = QStringLiteral("6F9619FF-8B86-D011-B42D-00CF4FC964FF");
    for (auto _ : state)
        benchmark::DoNotOptimize(vorlith::parseUuid(text));
}
BENCHMARK(BM_ParseUuidStrict);

BENCHMARK_MAIN();

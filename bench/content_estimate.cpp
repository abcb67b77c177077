// The memory refresh estimates every document's content; the estimate counts UTF-8 bytes of mark
// text without encoding it. Baseline: the same sum through QString::toUtf8, which allocates.
#include "core/CaptureContent.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace vorlith;

namespace {

CaptureContent sampleContent()
{
    CaptureContent content{Rect(0, 0, 1440, 900), {}, 1};
    const AnnotationStyle style{RGBA::Red, 3, 1, 28, std::nullopt, 12};
    for (int i = 0; i < 200; ++i)
        content.annotations.push_back({QUuid::createUuid(), Annotation::Kind::text, {{0, 0}, {10, 10}}, style,
                                       QStringLiteral("截图标注第%1行 with some ASCII").arg(i), 1});
    return content;
}

std::int64_t encodingEstimate(const CaptureContent& content)
{
    std::int64_t bytes = 128;
    for (const Annotation& mark : content.annotations)
        bytes += 192 + 16 * std::int64_t(mark.points.size()) + mark.text.toUtf8().size();
    return bytes;
}

template <class F>
double secondsFor(F&& f, int rounds)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

static void BM_ContentEstimateVsToUtf8(benchmark::State& state)
{
    const CaptureContent content = sampleContent();
    if (content.estimatedBytes() != encodingEstimate(content))
        state.SkipWithError("estimates disagree");
    double ours = 0;
    double baseline = 0;
    for (auto _ : state) {
        ours += secondsFor([&] { benchmark::DoNotOptimize(content.estimatedBytes()); }, 100);
        baseline += secondsFor([&] { benchmark::DoNotOptimize(encodingEstimate(content)); }, 100);
    }
    state.counters["speedup"] = baseline / ours;
}
BENCHMARK(BM_ContentEstimateVsToUtf8);

BENCHMARK_MAIN();

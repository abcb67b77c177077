// Copying an editor session must cost about the same whatever its history holds: history steps
// are shared immutable values. Compares a session with 50 steps of 500 changed marks against
// one with a single step, both showing the same 500 marks, and for contrast what copying the
// 50 steps as plain values would cost.
#include "core/EditorSession.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

using namespace vorlith;

namespace {

constexpr int markCount = 500;
constexpr int copiesPerRound = 32;
constexpr int plainCopiesPerRound = 1; // each is some 350 session copies long

std::vector<Annotation> marks()
{
    const AnnotationStyle style{RGBA::Red, 4, 1, 20, std::nullopt, 12};
    std::vector<Annotation> out;
    for (int i = 0; i < markCount; ++i) {
        const double x = i % 50 * 10, y = i / 50 * 10;
        out.push_back({QUuid::createUuid(), Annotation::Kind::pen, {{x, y}, {x + 5, y + 3}, {x + 8, y + 9}}, style, QString(), 1});
    }
    return out;
}

// The first commit adds all the marks; every further one moves all of them.
EditorSession sessionWithSteps(int steps)
{
    EditorSession session(QUuid::createUuid(), Rect(0, 0, 1600, 1000), DocumentOrigin::screenCapture);
    session.setAnnotations(marks());
    session.commit();
    for (int step = 1; step < steps; ++step) {
        std::vector<Annotation> moved = session.annotations();
        for (Annotation& mark : moved)
            mark = mark.moved(Size{1, 1});
        session.setAnnotations(std::move(moved));
        session.commit();
    }
    return session;
}

// Seconds per copy, over a few copies.
template <typename T>
double secondsPerCopy(const T& value, int copies)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < copies; ++i) {
        T copy = value;
        benchmark::DoNotOptimize(copy);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / copies;
}

std::vector<ContentChange> plainHistory(const CaptureDocument& document)
{
    std::vector<ContentChange> steps;
    for (const CaptureDocument::Step& step : document.undoStack())
        steps.push_back(*step);
    return steps;
}

} // namespace

static void BM_DocumentCopy(benchmark::State& state)
{
    const EditorSession fifty = sessionWithSteps(50);
    const EditorSession one = sessionWithSteps(1);
    const std::vector<ContentChange> fiftyPlain = plainHistory(*fifty.document());
    if (fifty.document()->undoStack().size() != 50 || one.document()->undoStack().size() != 1) {
        state.SkipWithError("history was trimmed");
        return;
    }

    double tFifty = 0, tOne = 0, tPlain = 0;
    for (auto _ : state) {
        tFifty += secondsPerCopy(fifty, copiesPerRound);
        tOne += secondsPerCopy(one, copiesPerRound);
        tPlain += secondsPerCopy(fiftyPlain, plainCopiesPerRound);
    }
    const double rounds = static_cast<double>(state.iterations());
    state.counters["ratio_50_vs_1"] = tFifty / tOne;
    state.counters["plain_history_vs_1"] = tPlain / tOne;
    state.counters["us_per_copy_50"] = tFifty / rounds * 1e6;
    state.counters["us_per_copy_1"] = tOne / rounds * 1e6;
}
BENCHMARK(BM_DocumentCopy)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

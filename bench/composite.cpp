// Flattening a 5K capture with 50 marks, a large mosaic among them, on the render worker.
// Baseline: copying the same image's bytes into a new buffer (malloc + memcpy), the least
// any composite must do. Reported as ratio_vs_memcpy (composite time / copy time).
#include "rendering/AnnotationRenderer.h"
#include "rendering/Bitmap.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>

using namespace vorlith;
using Kind = Annotation::Kind;

namespace {

const Size logicalSize{2560, 1440}; // 5120 × 2880 pixels at scale 2

QImage captureLikeImage()
{
    QImage image = Bitmap::create(5120, 2880);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 5120, 2880);
    gradient.setColorAt(0, QColor(240, 244, 248));
    gradient.setColorAt(1, QColor(60, 90, 140));
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 400; ++i)
        painter.fillRect(QRect((i * 97) % 5000, (i * 53) % 2800, 120, 24), QColor::fromHsv((i * 37) % 360, 120, 200));
    return image;
}

std::vector<Annotation> fiftyMarks()
{
    const AnnotationStyle red{RGBA::Red, 4, 0.35, 28, std::nullopt, 16};
    AnnotationStyle yellow = red;
    yellow.color = RGBA::Yellow;
    AnnotationStyle boxed = red;
    boxed.background = RGBA{1, 1, 1, 0.9};
    std::vector<Annotation> marks;
    const auto add = [&marks](Kind kind, std::vector<Point> points, const AnnotationStyle& style,
                              QString text = {}, int number = 1) {
        marks.push_back({QUuid::createUuid(), kind, std::move(points), style, std::move(text), number});
    };
    // The large mosaic: a third of the capture.
    add(Kind::mosaic, {{200, 200}, {1700, 1000}}, red);
    for (int i = 0; i < 3; ++i)
        add(Kind::mosaic, {{1800.0 + i * 200, 100}, {1950.0 + i * 200, 300}}, red);
    for (int i = 0; i < 8; ++i)
        add(Kind::roundedRectangle, {{100.0 + i * 280, 1100}, {340.0 + i * 280, 1300}}, red);
    for (int i = 0; i < 6; ++i)
        add(Kind::ellipse, {{1800.0 + i * 100, 400}, {1880.0 + i * 100, 520}}, red);
    for (int i = 0; i < 8; ++i)
        add(Kind::arrow, {{100.0 + i * 300, 1400}, {300.0 + i * 300, 1150}}, red);
    for (int i = 0; i < 5; ++i)
        add(Kind::line, {{1800, 600.0 + i * 40}, {2500, 650.0 + i * 40}}, red);
    for (int i = 0; i < 4; ++i)
        add(Kind::highlight, {{1800, 900.0 + i * 60}, {2400, 940.0 + i * 60}}, yellow);
    for (int i = 0; i < 4; ++i) {
        std::vector<Point> stroke;
        for (int p = 0; p < 200; ++p)
            stroke.push_back({100.0 + p * 10, 60.0 + i * 30 + (p % 7) * 4});
        add(Kind::pen, std::move(stroke), red);
    }
    for (int i = 0; i < 6; ++i)
        add(Kind::text, {{1800, 1050.0 + i * 60}}, i % 2 ? boxed : red, QStringLiteral("标注文字 Annotation %1").arg(i));
    for (int i = 0; i < 5; ++i)
        marks.push_back(Annotation::numbered(i + 1, {2450, 1100.0 + i * 60}, 40, red));
    return marks;
}

double secondsFor(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

static void BM_CompositeVsMemcpy(benchmark::State& state)
{
    const QImage source = captureLikeImage();
    const std::vector<Annotation> marks = fiftyMarks();
    if (marks.size() != 50)
        state.SkipWithError("expected 50 marks");
    const auto prepared = AnnotationRenderer::prepare(source, logicalSize, marks);
    const size_t bytes = size_t(source.sizeInBytes());

    double composite = 0;
    double copy = 0;
    for (auto _ : state) {
        composite += secondsFor([&] { benchmark::DoNotOptimize(AnnotationRenderer::composite(prepared)); });
        copy += secondsFor([&] {
            auto* buffer = static_cast<uchar*>(std::malloc(bytes));
            std::memcpy(buffer, source.constBits(), bytes);
            benchmark::DoNotOptimize(buffer);
            benchmark::ClobberMemory();
            std::free(buffer);
        });
    }
    state.counters["ratio_vs_memcpy"] = composite / copy;
    state.counters["composite_ms"] = 1000 * composite / double(state.iterations());
    state.counters["memcpy_ms"] = 1000 * copy / double(state.iterations());
}
BENCHMARK(BM_CompositeVsMemcpy)->Unit(benchmark::kMillisecond)->Iterations(20);

// The main-thread half: validating and rasterising the 11 text and number marks.
static void BM_Prepare(benchmark::State& state)
{
    const QImage source = captureLikeImage();
    const std::vector<Annotation> marks = fiftyMarks();
    for (auto _ : state)
        benchmark::DoNotOptimize(AnnotationRenderer::prepare(source, logicalSize, marks));
}
BENCHMARK(BM_Prepare)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

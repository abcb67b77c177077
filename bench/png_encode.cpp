// Our PNG encoding (ImageEncoder, as every copy and save runs it) against Qt's default PNG writer (libpng, zlib level 6, adaptive filters) on
// a 4K screenshot-like image, a noisy photo-like one and a photographic desktop (a grainy sky
// wallpaper with two terminals). Each of our benchmarks reports
// speedup_vs_qt (Qt's time / ours) and size_ratio_vs_qt (our bytes / Qt's), both measured in
// this run, and against our encoder's one-stream way (libdeflate, one thread), which it takes
// on one core: speedup_vs_one_stream and size_ratio_vs_one_stream. `threads` is how many
// threads the bands could use (limit them with taskset to see a smaller machine).
#include "OffscreenMain.h"
#include "ImageFixtures.h"
#include "app/output/ImageEncoder.h"
#include "app/output/PngBandPool.h"
#include "app/output/PngEncoder.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <chrono>
#include <vector>

using namespace vorlith;

namespace {

const QImage& fixture(int kind)
{
    static const QImage screenshot = bench::screenshotLike();
    static const QImage photo = bench::photoLike();
    static const QImage desktop = bench::photographicDesktop();
    switch (kind) {
    case 0: return screenshot;
    case 1: return photo;
    default: return desktop;
    }
}

QByteArray encodeWithQt(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.write(image);
    return bytes;
}

QByteArray encodeOurs(const QImage& image)
{
    return ImageEncoder::encode(image, ImageFormat::png);
}

QByteArray encodeInOneStream(const QImage& image)
{
    return PngEncoder::encode(image, 1).value_or(QByteArray());
}

using Clock = std::chrono::steady_clock;

// The median of a few runs of a writer, with the size it produced.
std::pair<double, qsizetype> baseline(QByteArray (*encode)(const QImage&), const QImage& image)
{
    std::vector<double> seconds;
    qsizetype size = 0;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        size = encode(image).size();
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return {seconds[seconds.size() / 2], size};
}

void BM_QtPngWriter(benchmark::State& state, int kind)
{
    const QImage& image = fixture(kind);
    qsizetype size = 0;
    for (auto _ : state)
        size = encodeWithQt(image).size();
    state.counters["bytes"] = double(size);
}

void BM_VorlithPng(benchmark::State& state, int kind)
{
    const QImage& image = fixture(kind);
    const auto [qtSeconds, qtSize] = baseline(encodeWithQt, image);
    const auto [oneStreamSeconds, oneStreamSize] = baseline(encodeInOneStream, image);
    std::vector<double> seconds;
    qsizetype size = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        size = encodeOurs(image).size();
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    state.counters["bytes"] = double(size);
    state.counters["speedup_vs_qt"] = qtSeconds / seconds[seconds.size() / 2];
    state.counters["size_ratio_vs_qt"] = double(size) / double(qtSize);
    state.counters["speedup_vs_one_stream"] = oneStreamSeconds / seconds[seconds.size() / 2];
    state.counters["size_ratio_vs_one_stream"] = double(size) / double(oneStreamSize);
    state.counters["threads"] = PngBandPool::threads();
}

} // namespace

BENCHMARK_CAPTURE(BM_QtPngWriter, screenshot, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QtPngWriter, photo, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QtPngWriter, photographic_desktop, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VorlithPng, screenshot, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VorlithPng, photo, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VorlithPng, photographic_desktop, 2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return bench::runOffscreenBenchmarks(argc, argv, [] {
        for (int kind = 0; kind < 3; ++kind)
            fixture(kind);
    });
}

// Reading back a compacted capture frame: our PngDecoder against Qt's PNG reader (libpng and
// zlib), both on the file our encoder makes of a 4K screenshot-like image and of a noisy
// photo-like one, as the recovery store keeps them. Reports speedup_vs_qt (Qt's median
// time / ours), measured in this run.
#include "OffscreenMain.h"
#include "ImageFixtures.h"
#include "app/base/PngDecoder.h"
#include "app/output/PngEncoder.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

using namespace vorlith;

namespace {

const QByteArray& fixture(int kind)
{
    static const QByteArray screenshot = *PngEncoder::encode(bench::screenshotLike());
    static const QByteArray photo = *PngEncoder::encode(bench::photoLike());
    return kind == 0 ? screenshot : photo;
}

// What a general decoder gives: the bitmap in our format.
QImage decodeWithQt(const QByteArray& png)
{
    QByteArray data = png;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    QImage image = reader.read();
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return image;
}

using Clock = std::chrono::steady_clock;

template <typename Decode>
double medianSeconds(const QByteArray& png, Decode decode, int runs)
{
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        benchmark::DoNotOptimize(decode(png));
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

void BM_QtPngReader(benchmark::State& state, int kind)
{
    const QByteArray& png = fixture(kind);
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeWithQt(png));
}

void BM_VorlithPngDecoder(benchmark::State& state, int kind)
{
    const QByteArray& png = fixture(kind);
    std::optional<QImage> ours = PngDecoder::decode(png);
    if (ours)
        ours->setColorSpace(QColorSpace(QColorSpace::SRgb)); // as the file's sRGB chunk says
    if (!ours || *ours != decodeWithQt(png)) {
        state.SkipWithError("the two decoders disagree");
        return;
    }
    const double qtSeconds = medianSeconds(png, decodeWithQt, 5);
    std::vector<double> seconds;
    for (auto _ : state) {
        const auto start = Clock::now();
        benchmark::DoNotOptimize(PngDecoder::decode(png));
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    state.counters["png_bytes"] = double(png.size());
    state.counters["speedup_vs_qt"] = qtSeconds / seconds[seconds.size() / 2];
}

} // namespace

BENCHMARK_CAPTURE(BM_QtPngReader, screenshot, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QtPngReader, photo, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VorlithPngDecoder, screenshot, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VorlithPngDecoder, photo, 1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return bench::runOffscreenBenchmarks(argc, argv, [] {
        fixture(0);
        fixture(1);
    });
}

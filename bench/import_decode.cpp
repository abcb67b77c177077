// The import's probe plus decode (as every pasted or opened image goes through it) against a
// bare QImage::loadFromData of the same bytes, on a 3840×2160 PNG screenshot written by our
// encoder and a 12-megapixel JPEG photo. Both are timed alternately in the same iterations;
// ratio_vs_bare_decode is the median of ours over the median of the bare decode.
#include "OffscreenMain.h"
#include "app/import/ImageProbe.h"
#include "app/output/ImageEncoder.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

using namespace vorlith;

namespace {

// Flat panels with rows of text on a gradient: what screen contents compress like.
QImage screenshot()
{
    QImage image(3840, 2160, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(46, 60, 92));
    QPainter p(&image);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(24);
    p.setFont(font);
    for (int panel = 0; panel < 4; ++panel) {
        const QRect frame(100 + panel * 880, 120 + panel * 60, 1000, 1700);
        p.fillRect(frame, QColor(248, 248, 250));
        p.fillRect(frame.adjusted(0, 0, 0, -frame.height() + 56), QColor(228, 229, 234));
        for (int row = 0; row < 44; ++row) {
            p.setPen(QColor(30 + row % 5 * 20, 30, 40));
            p.drawText(frame.left() + 24, frame.top() + 100 + row * 36,
                       QStringLiteral("第 %1 行  release-notes-%2.md  2024-05-%3").arg(row).arg(panel).arg(row % 28 + 1));
        }
    }
    p.end();
    return image;
}

// Smooth colour with noise on every pixel, 4000 × 3000.
QImage photo()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator random(5);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(13)) - 6;
            row[x] = qRgb(std::clamp(130 + int(70 * std::sin(x / 350.0)) + noise, 0, 255),
                          std::clamp(110 + int(60 * std::cos(y / 280.0)) + noise, 0, 255),
                          std::clamp(90 + int(50 * std::sin((x + y) / 500.0)) + noise, 0, 255));
        }
    }
    return image;
}

const QByteArray& fixture(int kind)
{
    static const QByteArray png = ImageEncoder::encode(screenshot(), ImageFormat::png);
    static const QByteArray jpeg = ImageEncoder::encode(photo(), ImageFormat::jpeg);
    return kind == 0 ? png : jpeg;
}

using Clock = std::chrono::steady_clock;

template <typename Work>
double timed(Work work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_ImportDecode(benchmark::State& state, int kind)
{
    const QByteArray& bytes = fixture(kind);
    std::vector<double> ours;
    std::vector<double> bare;
    const auto runBare = [&] {
        bare.push_back(timed([&] {
            QImage image;
            image.loadFromData(bytes);
            benchmark::DoNotOptimize(image.constBits());
        }));
    };
    const auto runOurs = [&] {
        ours.push_back(timed([&] {
            const ImageMetadata metadata = ImageProbe::metadata(bytes, true);
            const QImage image = ImageProbe::decode(bytes, metadata);
            benchmark::DoNotOptimize(image.constBits());
        }));
    };
    bool oursFirst = false;
    for (auto _ : state) {
        // Alternating which goes first keeps the order (warm caches, freed pages) out of the ratio.
        if (oursFirst) {
            runOurs();
            runBare();
        } else {
            runBare();
            runOurs();
        }
        oursFirst = !oursFirst;
    }
    state.counters["bytes"] = double(bytes.size());
    state.counters["ratio_vs_bare_decode"] = median(ours) / median(bare);
}

} // namespace

BENCHMARK_CAPTURE(BM_ImportDecode, png_screenshot_3840x2160, 0)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(BM_ImportDecode, jpeg_photo_12mp, 1)->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv)
{
    return bench::runOffscreenBenchmarks(argc, argv, [] {
        ImageProbe::applyDecoderAllocationLimit();
        fixture(0);
        fixture(1);
    });
}

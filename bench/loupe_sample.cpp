// One pointer event of the loupe on a 5K frozen screen: sampling the pixel and cropping the
// patch (LoupeSample::take), then painting the loupe at scale 2.
// Baseline: copying the whole frozen image once (what a sampler that snapshots the frame per
// event would pay). Reported as ratio_vs_frame_copy (event time / copy time).
#include "app/editor/chrome/CaptureLoupeView.h"
#include "app/editor/chrome/LoupeSample.h"
#include "rendering/Bitmap.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include "OffscreenBench.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace vorlith;
using vorlith::bench::secondsFor;

namespace {

const Size logicalSize{2560, 1440}; // 5120 × 2880 pixels at scale 2

QImage frozenScreen()
{
    QImage image = Bitmap::create(5120, 2880);
    QPainter painter(&image);
    for (int i = 0; i < 400; ++i)
        painter.fillRect(QRect((i * 97) % 5000, (i * 53) % 2800, 120, 24), QColor::fromHsv((i * 37) % 360, 120, 200));
    return image;
}

} // namespace

static void BM_LoupeEventVsFrameCopy(benchmark::State& state)
{
    const QImage source = frozenScreen();
    CaptureLoupeView loupe;
    QImage target(364, 352, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(2);
    double event = 0, copy = 0, paint = 0;
    int step = 0;
    for (auto _ : state) {
        const Point p{double(100 + (step * 37) % 2400), double(80 + (step * 23) % 1300)};
        ++step;
        event += secondsFor([&] {
            const auto sample = LoupeSample::take(source, p, logicalSize);
            loupe.showSample(*sample, false);
            paint += secondsFor([&] {
                QPainter painter(&target);
                loupe.render(&painter);
            });
        });
        copy += secondsFor([&] {
            QImage whole = source.copy();
            benchmark::DoNotOptimize(whole.constBits());
        });
    }
    state.counters["ratio_vs_frame_copy"] = event / copy;
    state.counters["event_ms"] = 1000 * event / double(state.iterations());
    state.counters["paint_ms"] = 1000 * paint / double(state.iterations());
    state.counters["frame_copy_ms"] = 1000 * copy / double(state.iterations());
}
BENCHMARK(BM_LoupeEventVsFrameCopy)->Unit(benchmark::kMillisecond)->Iterations(200);

// Painting the magnified patch with its grid, as the loupe does (one nearest-neighbour pass into
// device pixels), against the plain way: a scaled drawImage under the area's clip and the grid
// stroked as one path. Reported as ratio_vs_painter (loupe time / plain time).
static void BM_MagnifiedPatchVsPainter(benchmark::State& state)
{
    const QImage source = frozenScreen();
    const auto sample = LoupeSample::take(source, Point{1200, 700}, logicalSize);
    const LoupeSampling& s = sample->sampling;
    const QRectF d = toQRectF(s.destination).translated(1, 1);
    const QRectF area = CaptureLoupeView::imageArea();
    QImage target(364, 352, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(2);
    double ours = 0, plain = 0;
    for (auto _ : state) {
        ours += secondsFor([&] {
            QPainter painter(&target);
            painter.setClipRect(area);
            const QImage m = CaptureLoupeView::magnifiedPatch(sample->patch, d, area, s.cellSize, 2);
            painter.drawImage(CaptureLoupeView::enlargedOrigin(d, area, 2), m);
        });
        plain += secondsFor([&] {
            QPainter painter(&target);
            painter.setClipRect(area);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter.drawImage(d, sample->patch, QRectF(sample->patch.rect()));
            painter.setRenderHint(QPainter::Antialiasing);
            QPainterPath grid;
            for (double x = d.left(); x <= d.right() + 1e-9; x += s.cellSize.width) {
                grid.moveTo(x, d.top());
                grid.lineTo(x, d.bottom());
            }
            for (double y = d.top(); y <= d.bottom() + 1e-9; y += s.cellSize.height) {
                grid.moveTo(d.left(), y);
                grid.lineTo(d.right(), y);
            }
            painter.setPen(QPen(QColor(255, 255, 255, 56), 0.75));
            painter.drawPath(grid);
            painter.setPen(QPen(QColor(32, 39, 33, 31), 0.25));
            painter.drawPath(grid);
        });
    }
    state.counters["ratio_vs_painter"] = ours / plain;
    state.counters["loupe_ms"] = 1000 * ours / double(state.iterations());
    state.counters["painter_ms"] = 1000 * plain / double(state.iterations());
}
BENCHMARK(BM_MagnifiedPatchVsPainter)->Unit(benchmark::kMillisecond)->Iterations(50);

int main(int argc, char** argv)
{
    return vorlith::bench::runOffscreen(argc, argv);
}

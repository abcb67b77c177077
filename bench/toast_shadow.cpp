// The toast body's two shadows painted through the shadow cache, against the baseline of
// blurring them afresh for every paint (what a toast would cost without the cache).
#include "app/base/ShadowPainter.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

const vorlith::ShadowPainter::Shadow casts[] = {
    {QPointF(0, 6), 11, QColor(23, 33, 26, 36)},
    {QPointF(0, 1), 2, QColor(23, 33, 26, 18)},
};

void paintToast(vorlith::ShadowPainter& shadows, QImage& target)
{
    QPainter painter(&target);
    for (const auto& cast : casts)
        shadows.paint(painter, QRectF(24, 24, 420, 40), 10, cast);
}

} // namespace

static void BM_ShadowBlurredEveryPaint(benchmark::State& state)
{
    QImage target(468, 88, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(double(state.range(0)));
    for (auto _ : state) {
        vorlith::ShadowPainter fresh;
        paintToast(fresh, target);
    }
}
BENCHMARK(BM_ShadowBlurredEveryPaint)->Arg(1)->Arg(2);

static void BM_ShadowCached(benchmark::State& state)
{
    QImage target(468, 88, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(double(state.range(0)));
    vorlith::ShadowPainter shadows;
    for (auto _ : state)
        paintToast(shadows, target);
}
BENCHMARK(BM_ShadowCached)->Arg(1)->Arg(2);

BENCHMARK_MAIN();

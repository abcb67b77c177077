// One full repaint of the editor view over a 3840 × 2160 frozen display with a selection and
// 20 marks: the dimmed picture outside the selection, the marks' composite inside it, the
// outline, handles, size label and the handles of a selected mark.
// Baseline: drawing the same frozen image alone with QPainter::drawImage into the same target.
// Reported as ratio_vs_bare_draw (repaint time / bare draw time); first_paint_ms is the first
// repaint alone (it allocates nothing of the picture's size).
#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/output/OutputCoordinator.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "rendering/Bitmap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

#include "EditorFixtures.h"
#include "OffscreenBench.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

using namespace vorlith;
using vorlith::bench::secondsFor;

namespace {

constexpr int width = bench::displayWidth;
constexpr int height = bench::displayHeight;

std::vector<Annotation> twentyMarks()
{
    return bench::markGrid([](int i) {
        return i % 3 == 0 ? Annotation::Kind::ellipse
            : i % 3 == 1  ? Annotation::Kind::arrow
                          : Annotation::Kind::roundedRectangle;
    });
}

} // namespace

static void BM_EditorRepaintVsBareDraw(benchmark::State& state)
{
    const QImage frozen = bench::frozenDisplay();
    const EditorImageSource source = bench::displaySource(frozen);
    auto document = std::make_shared<EditorDocument>(
        source, SaveDraft{}, EditorSession(QUuid::createUuid(), Rect(600, 400, 2000, 1200), DocumentOrigin::screenCapture));
    document->session.commit();
    const std::vector<Annotation> marks = twentyMarks();
    document->session.beginEdit(EditorSession::EditKind::gesture);
    document->session.setAnnotations(marks);
    document->session.commit();
    document->selectedMarkID = marks[2].id;

    EditorHostView view(document, false, {}, std::make_shared<OutputCoordinator>(),
                        std::make_shared<FeedbackCoordinator>(nullptr));
    view.renderMarks();
    QElapsedTimer waited;
    waited.start();
    while (document->compositor().hasPreviewInFlight() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (document->compositor().cachedMarks() != marks) {
        state.SkipWithError("the marks' preview did not finish");
        return;
    }

    QImage target(width, height, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black); // its memory touched before anything is timed
    // The first paint touches the picture's memory for the first time; it is reported apart.
    const double firstPaint = secondsFor([&] { view.render(&target, QPoint(), QRegion(), QWidget::RenderFlags()); });
    double ours = 0, bare = 0;
    for (auto _ : state) {
        ours += secondsFor([&] { view.render(&target, QPoint(), QRegion(), QWidget::RenderFlags()); });
        bare += secondsFor([&] {
            QPainter painter(&target);
            painter.drawImage(0, 0, frozen);
        });
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["ratio_vs_bare_draw"] = ours / bare;
    state.counters["repaint_ms"] = 1000 * ours / double(state.iterations());
    state.counters["bare_draw_ms"] = 1000 * bare / double(state.iterations());
    state.counters["first_paint_ms"] = 1000 * firstPaint;
}
BENCHMARK(BM_EditorRepaintVsBareDraw)->Unit(benchmark::kMillisecond)->Iterations(40);

int main(int argc, char** argv)
{
    return vorlith::bench::runOffscreen(argc, argv);
}

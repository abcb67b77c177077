// One drag event handled by the editor view over a 3840 × 2160 frozen display whose selection
// holds 20 marks and a pen stroke of 2,000 points: the stroke growing by one point, a
// rectangle being moved, the selection being moved. The handler's own time is measured (the
// composite that follows is made on a worker thread, the repaint later).
// Baseline: drawing the frozen image alone with QPainter::drawImage, one frame of the display.
// Reported as ratio_vs_bare_draw (handler time / bare draw time) and drag_ms per event.
#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/output/OutputCoordinator.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "rendering/Bitmap.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "EditorFixtures.h"
#include "OffscreenBench.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace vorlith;
using vorlith::bench::secondsFor;

namespace {

constexpr int width = bench::displayWidth;
constexpr int height = bench::displayHeight;

std::vector<Annotation> marks()
{
    std::vector<Annotation> result = bench::markGrid(
        [](int i) { return i % 2 ? Annotation::Kind::ellipse : Annotation::Kind::roundedRectangle; });
    const AnnotationStyle style = result.front().style;
    Annotation pen{QUuid::createUuid(), Annotation::Kind::pen, {}, style, QString(), 1};
    for (int i = 0; i < 2000; ++i)
        pen.points.push_back({600 + i * 1.2, 450 + 300 * std::sin(i / 40.0) + 300});
    result.push_back(pen);
    return result;
}

void send(EditorHostView& view, QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton, buttons, {});
    QApplication::sendEvent(&view, &event);
}

enum class Gesture { pen, markMove, selectionMove };

void runDrag(benchmark::State& state, Gesture gesture)
{
    const QImage frozen = bench::frozenDisplay();
    const EditorImageSource source = bench::displaySource(frozen);
    auto document = std::make_shared<EditorDocument>(
        source, SaveDraft{}, EditorSession(QUuid::createUuid(), Rect(400, 300, 3000, 1600), DocumentOrigin::screenCapture));
    document->session.commit();
    std::vector<Annotation> content = marks();
    document->session.beginEdit(EditorSession::EditKind::gesture);
    document->session.setAnnotations(content);
    document->session.commit();
    document->canCommitSession = [](const EditorSession&) { return true; };
    document->tool = gesture == Gesture::pen ? CaptureTool::pen : CaptureTool::select;

    EditorHostView view(document, false, {}, std::make_shared<OutputCoordinator>(),
                        std::make_shared<FeedbackCoordinator>(nullptr));
    view.resize(width, height);

    QPointF at = gesture == Gesture::pen ? QPointF(800, 1800)
        : gesture == Gesture::markMove   ? QPointF(700, 580) // the first rectangle's left edge
                                         : QPointF(3300, 1800);
    send(view, QEvent::MouseButtonPress, at, Qt::LeftButton);
    if (gesture == Gesture::pen) {
        // The stroke being drawn already has 2,000 points.
        for (int i = 0; i < 2000; ++i)
            send(view, QEvent::MouseMove, at += QPointF(1, i % 2 ? 1 : -1), Qt::LeftButton);
    }
    if (!view.hasGesture()) {
        state.SkipWithError("the press started no gesture");
        return;
    }
    QImage target(width, height, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    double ours = 0, bare = 0;
    int step = 0;
    for (auto _ : state) {
        ++step;
        const QPointF next = at + QPointF(step % 200, step % 2);
        ours += secondsFor([&] { send(view, QEvent::MouseMove, next, Qt::LeftButton); });
        bare += secondsFor([&] {
            QPainter painter(&target);
            painter.drawImage(0, 0, frozen);
        });
        benchmark::DoNotOptimize(target.constBits());
        // Let the composites come back, as between real pointer events.
        QCoreApplication::processEvents();
    }
    send(view, QEvent::MouseButtonRelease, at, Qt::NoButton);
    // The gesture really did what is measured.
    const std::vector<Annotation>& after = document->session.annotations();
    const bool done = gesture == Gesture::pen   ? after.size() == content.size() + 1 && after.back().points.size() > 2000
        : gesture == Gesture::markMove          ? after.front() != content.front()
                                                : document->session.selection() != Rect(400, 300, 3000, 1600);
    if (!done)
        state.SkipWithError("the drags did not change what they should");
    state.counters["ratio_vs_bare_draw"] = ours / bare;
    state.counters["drag_ms"] = 1000 * ours / double(state.iterations());
    state.counters["bare_draw_ms"] = 1000 * bare / double(state.iterations());
}

} // namespace

static void BM_PenStrokeOf2000PointsGrows(benchmark::State& state)
{
    runDrag(state, Gesture::pen);
}
BENCHMARK(BM_PenStrokeOf2000PointsGrows)->Unit(benchmark::kMillisecond)->Iterations(300);

static void BM_MarkMoveBesideA2000PointStroke(benchmark::State& state)
{
    runDrag(state, Gesture::markMove);
}
BENCHMARK(BM_MarkMoveBesideA2000PointStroke)->Unit(benchmark::kMillisecond)->Iterations(300);

static void BM_SelectionMoveWith21Marks(benchmark::State& state)
{
    runDrag(state, Gesture::selectionMove);
}
BENCHMARK(BM_SelectionMoveWith21Marks)->Unit(benchmark::kMillisecond)->Iterations(300);

int main(int argc, char** argv)
{
    return vorlith::bench::runOffscreen(argc, argv);
}

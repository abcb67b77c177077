#include "app/editor/CompositeRenderer.h"
#include "core/CancellationError.h"
#include "rendering/AnnotationRenderer.h"
#include "rendering/ChangedArea.h"
#include "editor/HeldRenderSlot.h"
#include "support/HeldJob.h"
#include "support/QueueCall.h"
#include "support/RenderingFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <memory>
#include <random>

using namespace vorlith;
using namespace vorlith::test;
using Kind = Annotation::Kind;

namespace {

constexpr qint64 largest = std::numeric_limits<qint64>::max();

// Every completion a preview request received.
struct PreviewProbe {
    int calls = 0;
    QImage image;
    QString outcome = QStringLiteral("none");

    CompositeRenderer::PreviewCompletion completion()
    {
        return [this](const CompositeRenderer::PreviewResult& result) {
            ++calls;
            image = result.image;
            outcome = result.succeeded() ? QStringLiteral("image") : describe(result.error);
        };
    }

    static QString describe(const std::exception_ptr& error)
    {
        try {
            std::rethrow_exception(error);
        } catch (const ImageResourceStore::Failure& failure) {
            return failure.reason() == ImageResourceStore::Failure::budget ? QStringLiteral("budget")
                                                                           : QStringLiteral("store");
        } catch (const AnnotationRenderError& renderError) {
            return renderError.reason() == AnnotationRenderError::invalidAnnotation ? QStringLiteral("invalidAnnotation")
                                                                                    : QStringLiteral("renderError");
        } catch (const DocumentRenderQueue::AdmissionError& admission) {
            return admission.reason() == DocumentRenderQueue::AdmissionError::previewCapacity
                       ? QStringLiteral("previewCapacity")
                       : QStringLiteral("outputAlreadyWaiting");
        } catch (const CancellationError&) {
            return QStringLiteral("cancelled");
        } catch (...) {
            return QStringLiteral("other");
        }
    }
};

// One caller awaiting `output` in its own main-thread task.
class OutputCall {
public:
    OutputCall(CompositeRenderer& renderer, std::vector<Annotation> marks) : m_state(std::make_shared<State>())
    {
        m_handle = TaskHandle::spawn([&renderer, marks = std::move(marks), state = m_state](std::stop_token stop) -> QCoro::Task<> {
            try {
                auto output = renderer.output(marks, stop);
                state->image = co_await output;
                state->outcome = QStringLiteral("image");
            } catch (...) {
                state->outcome = PreviewProbe::describe(std::current_exception());
            }
        });
    }
    bool finished() const { return m_state->outcome != QStringLiteral("pending"); }
    QString outcome() const { return m_state->outcome; }
    QImage image() const { return m_state->image; }
    void cancel() { m_handle.cancel(); }

private:
    struct State {
        QString outcome = QStringLiteral("pending");
        QImage image;
    };
    std::shared_ptr<State> m_state;
    TaskHandle m_handle;
};

bool queueIdle()
{
    auto& queue = CompositeRenderer::workers();
    return queue.runningCount() == 0 && queue.waitingPreviewCount() == 0 && queue.waitingOutputCount() == 0;
}

// A 200 × 100 pixel capture of 100 × 50 points: scale 2, 80,000 bytes.
class CompositeRendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.setConfiguredOutputWorkspaceBytes(64 * 1024 * 1024);
        renderer.setResources(storeHandle);
        renderer.onResourcesChanged = [this] { ++resourceChanges; };
    }
    void TearDown() override { EXPECT_TRUE(runUntil(queueIdle)); }

    QImage expected(const std::vector<Annotation>& marks) const
    {
        return AnnotationRenderer::render(source, logical, marks);
    }

    const QImage source = noiseImage(QSize(200, 100));
    const Size logical{100, 50};
    std::shared_ptr<ImageResourceStore> storeHandle = std::make_shared<ImageResourceStore>(qint64(256) * 1024 * 1024);
    ImageResourceStore& store = *storeHandle;
    CompositeRenderer renderer{source, logical};
    int resourceChanges = 0;
    const std::vector<Annotation> marksA{mark(Kind::arrow, {{10, 10}, {90, 40}})};
    const std::vector<Annotation> marksB{mark(Kind::mosaic, {{0, 0}, {60, 50}}), textMark(QStringLiteral("预览"), {5, 5}, 14)};
};

} // namespace

TEST_F(CompositeRendererTest, StartsWithTheSourceAsItsCache)
{
    EXPECT_TRUE(renderer.cachedMarks().empty());
    EXPECT_EQ(renderer.cachedImage().cacheKey(), source.cacheKey());
    EXPECT_EQ(renderer.cachedImageBytes(), 0);
    EXPECT_TRUE(renderer.cachedChanges().isEmpty());
    EXPECT_NE(renderer.renderDocumentID(), renderer.revision());
}

TEST_F(CompositeRendererTest, TwoRequestsInOneTurnCompleteOnceWithTheLastMarks)
{
    PreviewProbe first;
    PreviewProbe second;
    renderer.requestPreview(marksA, first.completion());
    renderer.requestPreview(marksB, second.completion());
    EXPECT_EQ(second.calls, 0); // never before returning on a cache miss
    ASSERT_TRUE(runUntil([&] { return second.calls == 1; }));
    ASSERT_TRUE(runUntil(queueIdle));
    EXPECT_TRUE(drainPosted());
    EXPECT_EQ(first.calls, 0);
    EXPECT_EQ(second.calls, 1);
    EXPECT_EQ(second.outcome, QStringLiteral("image"));
    EXPECT_EQ(second.image, expected(marksB));
    EXPECT_EQ(renderer.cachedMarks(), marksB);
    EXPECT_EQ(renderer.cachedImage(), second.image);
    EXPECT_EQ(renderer.cachedImageBytes(), 80'000);
    // What the view takes from the composite rather than from the source.
    EXPECT_FALSE(renderer.cachedChanges().isEmpty());
    EXPECT_EQ(renderer.cachedChanges(), ChangedArea::between(source, second.image));
    // Only the request that did the work reserved and settled.
    EXPECT_EQ(resourceChanges, 1);
    EXPECT_TRUE(store.work().isEmpty());
    EXPECT_FALSE(renderer.hasPreviewInFlight());
}

TEST_F(CompositeRendererTest, CachedMarksAnswerAtOnceAndDropThePreviewInFlight)
{
    PreviewProbe warmUp;
    renderer.requestPreview(marksA, warmUp.completion());
    ASSERT_TRUE(runUntil([&] { return warmUp.calls == 1; }));

    PreviewProbe inFlight;
    renderer.requestPreview(marksB, inFlight.completion());
    PreviewProbe cached;
    renderer.requestPreview(marksA, cached.completion());
    EXPECT_EQ(cached.calls, 1); // before returning
    EXPECT_EQ(cached.image, warmUp.image);
    EXPECT_FALSE(renderer.hasPreviewInFlight());
    ASSERT_TRUE(runUntil(queueIdle));
    EXPECT_TRUE(drainPosted());
    EXPECT_EQ(inFlight.calls, 0);
    EXPECT_EQ(renderer.cachedMarks(), marksA);
}

TEST_F(CompositeRendererTest, ANewerPreviewEvictsTheOneWaitingInTheQueue)
{
    PreviewProbe older;
    PreviewProbe newer;
    {
        HeldSlot slot;
        renderer.requestPreview(marksA, older.completion());
        ASSERT_TRUE(runUntil([] { return CompositeRenderer::workers().waitingPreviewCount() == 1; }));
        renderer.requestPreview(marksB, newer.completion());
        ASSERT_TRUE(runUntil([&] { return store.work().size() == 1 && resourceChanges == 1; }));
        EXPECT_EQ(CompositeRenderer::workers().waitingPreviewCount(), 1);
    }
    ASSERT_TRUE(runUntil([&] { return newer.calls == 1; }));
    ASSERT_TRUE(runUntil(queueIdle));
    EXPECT_EQ(older.calls, 0);
    EXPECT_EQ(newer.image, expected(marksB));
    EXPECT_EQ(resourceChanges, 2);
    EXPECT_TRUE(store.work().isEmpty());
}

TEST_F(CompositeRendererTest, AnOutputDuringAPreviewAbandonsThePreview)
{
    PreviewProbe preview;
    renderer.requestPreview(marksA, preview.completion());
    OutputCall output(renderer, marksB);
    ASSERT_TRUE(runUntil([&] { return output.finished(); }));
    ASSERT_TRUE(runUntil(queueIdle));
    EXPECT_TRUE(drainPosted());
    EXPECT_EQ(output.outcome(), QStringLiteral("image"));
    EXPECT_EQ(output.image(), expected(marksB));
    EXPECT_EQ(preview.calls, 0);
    EXPECT_EQ(renderer.cachedMarks(), marksB);
    EXPECT_EQ(renderer.cachedChanges(), ChangedArea::between(source, output.image()));
    EXPECT_EQ(resourceChanges, 1);
    EXPECT_TRUE(store.work().isEmpty());
}

TEST_F(CompositeRendererTest, AnOutputOfTheCachedMarksCostsNothing)
{
    OutputCall unchanged(renderer, {});
    ASSERT_TRUE(runUntil([&] { return unchanged.finished(); }));
    EXPECT_EQ(unchanged.image().cacheKey(), source.cacheKey());
    // Handing out the cached image keeps it cached: the editor still draws it.
    EXPECT_EQ(renderer.cachedImage().cacheKey(), source.cacheKey());

    PreviewProbe preview;
    renderer.requestPreview(marksA, preview.completion());
    ASSERT_TRUE(runUntil([&] { return preview.calls == 1; }));
    const int changes = resourceChanges;
    // A copy, then a save, of what the editor shows: both get the picture.
    for (int output = 0; output < 2; ++output) {
        OutputCall cached(renderer, marksA);
        ASSERT_TRUE(runUntil([&] { return cached.finished(); }));
        EXPECT_EQ(cached.outcome(), QStringLiteral("image"));
        EXPECT_EQ(cached.image().cacheKey(), preview.image.cacheKey());
        EXPECT_EQ(renderer.cachedImage().cacheKey(), preview.image.cacheKey());
    }
    PreviewProbe shown;
    renderer.requestPreview(marksA, shown.completion());
    EXPECT_EQ(shown.image.cacheKey(), preview.image.cacheKey());
    EXPECT_EQ(renderer.cachedImageBytes(), 80'000);
    EXPECT_EQ(resourceChanges, changes);
    EXPECT_TRUE(store.work().isEmpty());
}

TEST_F(CompositeRendererTest, PreviewsReserveTheEstimateLessOneSourceAndOutputsAllOfIt)
{
    // 3 × 80,000 < 4 × 80,000 + 65,536 = 385,536.
    ASSERT_EQ(CompositeRenderer::estimatedOutputWorkspaceBytes(source, logical, marksA), 385'536);
    PreviewProbe preview;
    {
        HeldSlot slot;
        renderer.requestPreview(marksA, preview.completion());
        ASSERT_TRUE(runUntil([&] { return store.work().size() == 1; }));
        EXPECT_EQ(store.work().begin()->bytes, 385'536 - 80'000);
        EXPECT_EQ(store.work().begin()->kind, ImageResourceStore::WorkKind::preview);
        EXPECT_EQ(store.work().begin()->outputWorkspaceBytes, 0);
    }
    ASSERT_TRUE(runUntil([&] { return preview.calls == 1 && store.work().isEmpty(); }));
    {
        HeldSlot slot;
        OutputCall output(renderer, marksB);
        ASSERT_TRUE(runUntil([&] { return store.work().size() == 1; }));
        const qint64 estimate = CompositeRenderer::estimatedOutputWorkspaceBytes(source, logical, marksB);
        EXPECT_EQ(store.work().begin()->bytes, estimate);
        EXPECT_EQ(store.work().begin()->kind, ImageResourceStore::WorkKind::output);
        EXPECT_FALSE(output.finished());
    }
    ASSERT_TRUE(runUntil([&] { return store.work().isEmpty(); }));
}

TEST_F(CompositeRendererTest, ABudgetRefusalKeepsTheLastGoodImage)
{
    PreviewProbe good;
    renderer.requestPreview(marksA, good.completion());
    ASSERT_TRUE(runUntil([&] { return good.calls == 1; }));
    const QImage kept = renderer.cachedImage();

    std::shared_ptr<ImageResourceStore> tightHandle = std::make_shared<ImageResourceStore>(1000);
    ImageResourceStore& tight = *tightHandle;
    renderer.setResources(tightHandle);
    const int changes = resourceChanges;
    PreviewProbe refused;
    renderer.requestPreview(marksB, refused.completion());
    ASSERT_TRUE(runUntil([&] { return refused.calls == 1; }));
    EXPECT_EQ(refused.outcome, QStringLiteral("budget"));
    EXPECT_EQ(renderer.cachedMarks(), marksA);
    EXPECT_EQ(renderer.cachedImage().cacheKey(), kept.cacheKey());
    EXPECT_EQ(resourceChanges, changes + 1); // a preview settles on every way out

    OutputCall output(renderer, marksB);
    ASSERT_TRUE(runUntil([&] { return output.finished(); }));
    EXPECT_EQ(output.outcome(), QStringLiteral("budget"));
    EXPECT_EQ(resourceChanges, changes + 1); // an output refused by the budget settles nothing
    EXPECT_EQ(renderer.cachedImage().cacheKey(), kept.cacheKey());
    EXPECT_TRUE(tight.work().isEmpty());
}

TEST_F(CompositeRendererTest, InvalidMarksAreReportedAndSettled)
{
    Annotation broken = marker(3, {50, 25}, 20);
    broken.points[1].y += 5; // not square
    PreviewProbe preview;
    renderer.requestPreview({broken}, preview.completion());
    ASSERT_TRUE(runUntil([&] { return preview.calls == 1; }));
    EXPECT_EQ(preview.outcome, QStringLiteral("invalidAnnotation"));
    EXPECT_EQ(resourceChanges, 1);
    EXPECT_TRUE(store.work().isEmpty());

    OutputCall output(renderer, {broken});
    ASSERT_TRUE(runUntil([&] { return output.finished(); }));
    EXPECT_EQ(output.outcome(), QStringLiteral("invalidAnnotation"));
    EXPECT_EQ(resourceChanges, 2);
    EXPECT_TRUE(store.work().isEmpty());
    EXPECT_TRUE(renderer.cachedMarks().empty());
}

TEST_F(CompositeRendererTest, TheTwelfthWaitingDocumentIsRefused)
{
    std::vector<std::unique_ptr<CompositeRenderer>> others;
    std::vector<PreviewProbe> probes(12);
    {
        HeldSlot slot;
        for (int i = 0; i < 11; ++i) {
            others.push_back(std::make_unique<CompositeRenderer>(source, logical));
            others.back()->requestPreview(marksA, probes[size_t(i)].completion());
        }
        ASSERT_TRUE(runUntil([] { return CompositeRenderer::workers().waitingPreviewCount() == 11; }));
        others.push_back(std::make_unique<CompositeRenderer>(source, logical));
        others.back()->requestPreview(marksA, probes[11].completion());
        ASSERT_TRUE(runUntil([&] { return probes[11].calls == 1; }));
        EXPECT_EQ(probes[11].outcome, QStringLiteral("previewCapacity"));
        // A newer preview of a waiting document still gets in.
        others[3]->requestPreview(marksB, probes[3].completion());
        EXPECT_TRUE(drainPosted());
        EXPECT_EQ(CompositeRenderer::workers().waitingPreviewCount(), 11);
    }
    ASSERT_TRUE(runUntil([&] {
        for (int i = 0; i < 11; ++i)
            if (probes[size_t(i)].calls != 1)
                return false;
        return true;
    }));
    EXPECT_EQ(probes[3].image, expected(marksB));
    EXPECT_EQ(probes[11].calls, 1);
}

TEST_F(CompositeRendererTest, ASecondWaitingOutputIsRefused)
{
    CompositeRenderer other(source, logical);
    HeldSlot slot;
    OutputCall first(renderer, marksA);
    ASSERT_TRUE(runUntil([] { return CompositeRenderer::workers().waitingOutputCount() == 1; }));
    OutputCall second(other, marksB);
    ASSERT_TRUE(runUntil([&] { return second.finished(); }));
    EXPECT_EQ(second.outcome(), QStringLiteral("outputAlreadyWaiting"));
    EXPECT_FALSE(first.finished());
}

TEST_F(CompositeRendererTest, ACancelledOutputThrowsAndKeepsTheCache)
{
    HeldSlot slot;
    OutputCall output(renderer, marksA);
    ASSERT_TRUE(runUntil([] { return CompositeRenderer::workers().waitingOutputCount() == 1; }));
    output.cancel();
    ASSERT_TRUE(runUntil([&] { return output.finished(); }));
    EXPECT_EQ(output.outcome(), QStringLiteral("cancelled"));
    EXPECT_TRUE(renderer.cachedMarks().empty());
    EXPECT_EQ(resourceChanges, 1);
    EXPECT_TRUE(store.work().isEmpty());
}

TEST_F(CompositeRendererTest, DiscardingTheCacheReturnsToTheSourceAndDropsThePreview)
{
    PreviewProbe first;
    renderer.requestPreview(marksA, first.completion());
    ASSERT_TRUE(runUntil([&] { return first.calls == 1; }));
    EXPECT_GT(renderer.cachedImageBytes(), 0);

    PreviewProbe dropped;
    renderer.requestPreview(marksB, dropped.completion());
    renderer.discardCache();
    EXPECT_EQ(renderer.cachedImageBytes(), 0);
    EXPECT_TRUE(renderer.cachedChanges().isEmpty());
    EXPECT_TRUE(renderer.cachedMarks().empty());
    EXPECT_EQ(renderer.cachedImage().cacheKey(), source.cacheKey());

    PreviewProbe again;
    renderer.requestPreview(marksA, again.completion());
    EXPECT_EQ(again.calls, 0); // a miss now
    ASSERT_TRUE(runUntil([&] { return again.calls == 1; }));
    ASSERT_TRUE(runUntil(queueIdle));
    EXPECT_TRUE(drainPosted());
    EXPECT_EQ(dropped.calls, 0);
}

TEST_F(CompositeRendererTest, ARendererReleasedMidPreviewStillGivesItsMemoryBack)
{
    auto doomed = std::make_unique<CompositeRenderer>(source, logical);
    doomed->setResources(storeHandle);
    PreviewProbe probe;
    {
        HeldSlot slot;
        doomed->requestPreview(marksA, probe.completion());
        ASSERT_TRUE(runUntil([&] { return store.work().size() == 1; }));
        doomed.reset();
    }
    ASSERT_TRUE(runUntil([&] { return store.work().isEmpty(); }));
    ASSERT_TRUE(runUntil(queueIdle));
    EXPECT_EQ(probe.calls, 0);
}

TEST_F(CompositeRendererTest, ABudgetDestroyedMidPreviewIsNotTouched)
{
    auto budget = std::make_shared<ImageResourceStore>(qint64(256) * 1024 * 1024);
    renderer.setResources(budget);
    PreviewProbe probe;
    {
        HeldSlot slot;
        renderer.requestPreview(marksA, probe.completion());
        ASSERT_TRUE(runUntil([&] { return budget->work().size() == 1; }));
        budget.reset(); // the render still holds its reservation
    }
    ASSERT_TRUE(runUntil([&] { return probe.calls == 1; }));
    ASSERT_TRUE(runUntil(queueIdle));
    EXPECT_EQ(renderer.resources(), nullptr);
}

// Interleaved previews, cancellations, discards, outputs (some cancelled) and released
// renderers, on a roomy budget and on one too small for all of them at once. Whatever the
// order: every reservation is given back, no completion runs twice, every image handed out
// is the composite of its marks, and each cache holds the composite of its cached marks.
TEST(CompositeRendererInterleaving, KeepsItsPromisesInAnyOrder)
{
    const QImage source = noiseImage(QSize(300, 200));
    const Size logical{150, 100};
    const std::vector<std::vector<Annotation>> markSets{
        {mark(Kind::arrow, {{10, 10}, {90, 40}})},
        {mark(Kind::mosaic, {{0, 0}, {60, 50}}), textMark(QStringLiteral("预览"), {5, 5}, 14)},
        {marker(3, {50, 50}, 30)},
        {},
    };
    std::map<size_t, QImage> expected;
    for (size_t i = 0; i < markSets.size(); ++i)
        expected[i] = AnnotationRenderer::render(source, logical, markSets[i]);
    const qint64 workspace = CompositeRenderer::estimatedOutputWorkspaceBytes(source, logical, markSets[1]);

    for (const qint64 limit : {qint64(64) << 20, qint64(2'500'000)}) {
        for (const unsigned seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(testing::Message() << "limit " << limit << ", seed " << seed);
            std::shared_ptr<ImageResourceStore> storeHandle = std::make_shared<ImageResourceStore>(limit);
            ImageResourceStore& store = *storeHandle;
            store.setConfiguredOutputWorkspaceBytes(workspace);
            const auto makeRenderer = [&] {
                auto renderer = std::make_unique<CompositeRenderer>(source, logical);
                renderer->setResources(storeHandle);
                return renderer;
            };
            std::vector<std::unique_ptr<CompositeRenderer>> renderers;
            for (int i = 0; i < 3; ++i)
                renderers.push_back(makeRenderer());
            auto completions = std::make_shared<std::map<int, int>>();
            auto wrongImages = std::make_shared<int>(0);
            std::vector<TaskHandle> outputs;
            std::mt19937 random(seed);
            for (int step = 0; step < 300; ++step) {
                CompositeRenderer& renderer = *renderers[random() % renderers.size()];
                const size_t set = random() % markSets.size();
                const QImage want = expected[set];
                switch (random() % 8) {
                case 0:
                case 1:
                case 2:
                    renderer.requestPreview(markSets[set], [completions, wrongImages, want, step](const auto& result) {
                        ++(*completions)[step];
                        if (result.succeeded() && result.image != want)
                            ++*wrongImages;
                    });
                    break;
                case 3:
                    random() % 2 ? renderer.cancelPreview() : renderer.discardCache();
                    break;
                case 4:
                    outputs.push_back(TaskHandle::spawn(
                        [&renderer, marks = markSets[set], want, wrongImages](std::stop_token stop) -> QCoro::Task<> {
                            auto output = renderer.output(marks, stop);
                            const QImage image = co_await output;
                            if (image != want)
                                ++*wrongImages;
                        }));
                    if (random() % 3 == 0)
                        outputs.back().cancel();
                    break;
                case 5:
                    renderers[random() % renderers.size()] = makeRenderer();
                    break;
                default:
                    drainPosted();
                    break;
                }
            }
            ASSERT_TRUE(runUntil([&] {
                for (const TaskHandle& output : outputs)
                    if (output.isRunning())
                        return false;
                for (const auto& renderer : renderers)
                    if (renderer->hasPreviewInFlight())
                        return false;
                return queueIdle();
            }));
            EXPECT_TRUE(drainPosted());
            EXPECT_TRUE(store.work().isEmpty());
            EXPECT_EQ(*wrongImages, 0);
            for (const auto& [step, calls] : *completions)
                EXPECT_EQ(calls, 1) << "request of step " << step;
            for (const auto& renderer : renderers)
                EXPECT_EQ(renderer->cachedImage(), AnnotationRenderer::render(source, logical, renderer->cachedMarks()));
        }
    }
}

TEST(CompositeRendererEstimate, FollowsTheWorkedExamples)
{
    // 1,000 × 500 pixels, 4,000 bytes per row: S = 2,000,000.
    const QImage source = solidImage(QSize(1000, 500));
    ASSERT_EQ(source.bytesPerLine(), 4000);
    const Size logical{1000, 500};
    EXPECT_EQ(CompositeRenderer::estimatedOutputWorkspaceBytes(source, logical, {}), 8'065'536);

    // A text mark clipped to 100 × 30 pixels at the bottom-right corner adds 12,128 to the
    // first term only: 6,012,128 is still below the floor.
    const Annotation corner = textMark(QStringLiteral("a text that leaves the image"), {900, 470}, 28);
    ASSERT_EQ(AnnotationRenderer::pixelBox(*AnnotationRenderer::rasterBox(corner), 1, 1, source.size()),
              QRect(900, 470, 100, 30));
    EXPECT_EQ(CompositeRenderer::estimatedOutputWorkspaceBytes(source, logical, {corner}), 8'065'536);
    // Enough rasters lift the first term over it: 52 markers of 100 × 100 pixels add 40,128 each.
    std::vector<Annotation> many{corner};
    for (int i = 0; i < 52; ++i)
        many.push_back(marker(1 + i, {50, 50}, 100));
    EXPECT_EQ(CompositeRenderer::estimatedOutputWorkspaceBytes(source, logical, many),
              6'000'000 + 12'128 + 52 * 40'128);
    // Geometry costs nothing extra; a marker wholly outside adds nothing.
    EXPECT_EQ(CompositeRenderer::estimatedOutputWorkspaceBytes(
                  source, logical, {mark(Kind::mosaic, {{0, 0}, {1000, 500}}), marker(2, {-100, -100}, 40)}),
              8'065'536);
}

TEST(CompositeRendererEstimate, WhatCannotBeDrawnCostsEverything)
{
    const QImage source = solidImage(QSize(100, 100));
    Annotation pointless = textMark(QStringLiteral("x"), {0, 0});
    pointless.points.clear();
    Annotation pointlessMarker = marker(1, {10, 10}, 10);
    pointlessMarker.points.clear();
    const double huge = std::numeric_limits<double>::max();
    Annotation endless = marker(1, {0, 0}, 10);
    endless.points = {{-huge, -huge}, {huge, huge}}; // its width overflows to infinity
    const struct {
        const char* name;
        Size logical;
        std::vector<Annotation> marks;
    } cases[] = {
        {"zero width", {0, 100}, {}},
        {"negative height", {100, -1}, {}},
        {"not a number", {std::numeric_limits<double>::quiet_NaN(), 100}, {}},
        {"infinite scale", {1e-320, 100}, {}},
        {"text without points", {100, 100}, {pointless}},
        {"marker without points", {100, 100}, {pointlessMarker}},
        {"marker box wider than the largest double", {100, 100}, {endless}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompositeRenderer::estimatedOutputWorkspaceBytes(source, c.logical, c.marks), largest) << c.name;
    // An empty source needs no workspace at all.
    EXPECT_EQ(CompositeRenderer::estimatedOutputWorkspaceBytes(QImage(), {100, 100}, {}), 0);
}

#include "CoordinatorFixture.h"
#include "FrameFixtures.h"

#include "app/base/ImageResourceStore.h"
#include "app/editor/EditorDocument.h"
#include "rendering/Bitmap.h"
#include "support/RenderingFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

std::shared_ptr<EditorDocument> newDocument(QSize pixels = {300, 200})
{
    QImage image = solidImage(pixels);
    Bitmap::tag(image);
    const EditorImageSource source{QUuid::createUuid(), image,
                                   CaptureGeometry{Size{double(pixels.width()), double(pixels.height())},
                                                   Size{double(pixels.width()), double(pixels.height())}}};
    EditorSession session(QUuid::createUuid(), Rect(0, 0, pixels.width(), pixels.height()), DocumentOrigin::clipboardImage);
    session.commit();
    return std::make_shared<EditorDocument>(source, SaveDraft{}, std::move(session));
}

// Gives the document's compositor a cached preview that is not the source.
void renderPreview(EditorDocument& document)
{
    bool done = false;
    document.compositor().requestPreview({mark(Annotation::Kind::pen, {{10, 10}, {60, 60}})},
                                         [&](const CompositeRenderer::PreviewResult&) { done = true; });
    ASSERT_TRUE(runUntil([&] { return done; }));
    ASSERT_GT(document.compositor().cachedImageBytes(), 0);
}

FrozenDisplay frame(quint32 id, QSize pixels)
{
    return frozenFrame(id, solidImage(pixels));
}

} // namespace

TEST(CoordinatorResources, NothingOpenStoresNothing)
{
    CoordinatorFixture f;
    AppCoordinator& c = f.make();
    c.refreshResources();
    const ImageResourceStore& store = *c.resources();
    EXPECT_TRUE(store.sources().isEmpty());
    EXPECT_EQ(store.documentBytes(), 0);
    EXPECT_EQ(store.cacheBytes(), 0);
    EXPECT_EQ(store.configuredOutputWorkspaceBytes(), 0);
    EXPECT_EQ(store.pinCount(), 0);
}

TEST(CoordinatorResources, FiguresComeFromDocumentsFramesRecoveryAndPins)
{
    CoordinatorFixture f;
    AppCoordinator& c = f.make();
    auto document = newDocument();
    c.registerDocument(document);
    c.refreshResources();
    // The source counts; a cache that is still the source counts nothing.
    EXPECT_EQ(c.resources()->sources().value(document->source().id), 300 * 4 * 200);
    EXPECT_EQ(c.resources()->cacheBytes(), 0);
    EXPECT_EQ(c.resources()->documentBytes(), AppCoordinator::documentBytes(*document->session.document()));
    EXPECT_GT(c.resources()->configuredOutputWorkspaceBytes(), 0);

    renderPreview(*document);
    // The compositor reported its new cache itself.
    EXPECT_EQ(c.resources()->cacheBytes(), document->compositor().cachedImageBytes());

    // A kept recovery stays counted while no window shows it.
    RecoveredCapture recovery{.frames = {frame(1, {40, 30}), frame(2, {50, 30})},
                              .displayID = 2,
                              .document = CaptureDocument(QUuid::createUuid(), Rect{2, 3, 20, 10},
                                                          DocumentOrigin::screenCapture, {50, qint64(64) << 20})};
    c.recoveryStore().setCurrent(recovery);
    f.pins->states = {{document->id(), true}, {QUuid::createUuid(), false}};
    c.refreshResources();
    const ImageResourceStore& store = *c.resources();
    EXPECT_EQ(store.sources().size(), 3);
    EXPECT_EQ(store.sources().value(recovery.frames[1].sourceID), 50 * 4 * 30);
    EXPECT_EQ(store.documentBytes(), AppCoordinator::documentBytes(*document->session.document())
                                         + AppCoordinator::documentBytes(recovery.document));
    EXPECT_EQ(store.pinCount(), 2);

    // While an imported image is being registered the figures wait.
    c.setRegisteringImportedImage(true);
    c.registerDocument(newDocument());
    EXPECT_EQ(c.resources()->sources().size(), 3);
    c.setRegisteringImportedImage(false);
    c.refreshResources();
    EXPECT_EQ(c.resources()->sources().size(), 4);
}

TEST(CoordinatorResources, PruneKeepsPinnedDocuments)
{
    CoordinatorFixture f;
    AppCoordinator& c = f.make();
    auto pinned = newDocument();
    auto other = newDocument();
    c.registerDocument(pinned);
    c.registerDocument(other);
    f.pins->states = {{pinned->id(), true}};
    c.pruneDocuments();
    EXPECT_TRUE(c.documents().contains(pinned->id()));
    EXPECT_FALSE(c.documents().contains(other->id()));
    EXPECT_FALSE(c.resources()->sources().contains(other->source().id));

    // A closed pin leaves the registry through the workspace's callback.
    f.pins->states.clear();
    f.pins->callbacks.onClosed(pinned->id());
    EXPECT_FALSE(c.documents().contains(pinned->id()));
}

TEST(CoordinatorResources, CommitGateRefusesGrowthTheBudgetCannotHold)
{
    CoordinatorFixture f;
    // Room for the image and its output workspace, little more.
    f.memoryLimit = qint64(300) * 4 * 200 * 8;
    AppCoordinator& c = f.make();
    QStringList notices;
    c.environment.toast = [&](const QString& message) { notices << message; };
    auto document = newDocument();
    c.registerDocument(document);

    EditorSession small = document->session;
    small.setAnnotations({mark(Annotation::Kind::pen, {{1, 1}, {5, 5}})});
    ASSERT_TRUE(small.commit());
    EXPECT_TRUE(document->canCommitSession(small));
    EXPECT_TRUE(notices.isEmpty());
    // Nothing stays reserved by asking.
    EXPECT_EQ(c.resources()->reservedBytes(), 0);

    // A pen stroke of a million points grows the document beyond the budget.
    std::vector<Point> points;
    for (int i = 0; i < 1'000'000; ++i)
        points.push_back({double(i % 300), double(i % 200)});
    EditorSession huge = document->session;
    huge.setAnnotations({mark(Annotation::Kind::pen, points)});
    huge.commit();
    EXPECT_FALSE(document->canCommitSession(huge));
    EXPECT_EQ(notices, QStringList{QStringLiteral("内存预算不足，请先关闭部分置顶图片。当前内容已保留。")});

    // A gate whose coordinator is gone refuses quietly.
    auto gate = document->canCommitSession;
    f.coordinator.reset();
    EXPECT_FALSE(gate(small));
}

TEST(CoordinatorResources, ReclaimSkipsVisibleSavingLockedAndRestoringPins)
{
    CoordinatorFixture f;
    AppCoordinator& c = f.make();
    struct Row {
        const char* name;
        CoordinatorPins::PinState state;
        bool reclaimed;
    };
    std::vector<Row> rows = {
        {"hidden and idle", {{}, false, false, false, false}, true},
        {"visible", {{}, true, false, false, false}, false},
        {"restoring", {{}, false, true, false, false}, false},
        {"saving", {{}, false, false, true, false}, false},
        {"output locked", {{}, false, false, false, true}, false},
    };
    std::vector<std::shared_ptr<EditorDocument>> documents;
    for (Row& row : rows) {
        auto document = newDocument({60, 40});
        c.registerDocument(document);
        renderPreview(*document);
        row.state.documentID = document->id();
        f.pins->states.push_back(row.state);
        documents.push_back(document);
    }
    c.reclaimCaches();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(documents[i]->compositor().cachedImageBytes() == 0, rows[i].reclaimed);
    }
    // The budget calls it when a reservation does not fit.
    ASSERT_TRUE(c.resources()->onReclaimCaches);
}

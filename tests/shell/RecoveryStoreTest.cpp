#include "app/shell/RecoveryStore.h"

#include "app/output/ImageEncoder.h"
#include "core/CancellationError.h"
#include "rendering/Bitmap.h"
#include "FrameFixtures.h"
#include "support/RenderingFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QColorSpace>

#include <atomic>
#include <memory>
#include <semaphore>

namespace vorlith {
namespace {

using namespace test;

FrozenDisplay frame(quint32 id, QImage image)
{
    return frozenFrame(id, std::move(image));
}

// A capture of `displays` screens (ids 1, 2, …) whose document lives on `displayID`.
RecoveredCapture recovery(int displays, quint32 displayID)
{
    RecoveredCapture capture{.frames = {},
                             .displayID = displayID,
                             .document = CaptureDocument(QUuid::createUuid(), Rect{2, 3, 20, 10},
                                                         DocumentOrigin::screenCapture, {50, qint64(64) << 20})};
    for (int i = 1; i <= displays; ++i)
        capture.frames.push_back(frame(quint32(i), noiseImage({40 + i, 30}, unsigned(i))));
    return capture;
}

// The images the frames hold, by identity: a frame left alone keeps its very bitmap.
std::vector<qint64> cacheKeys(const std::vector<FrozenDisplay>& frames)
{
    std::vector<qint64> keys;
    for (const FrozenDisplay& f : frames)
        keys.push_back(f.image.isCompacted() ? -1 : f.image.pixels().cacheKey());
    return keys;
}

// A compaction the test lets through one call at a time; each call then runs the default one.
class GatedCompaction {
public:
    ~GatedCompaction() { m_state->gate.release(8); }

    RecoveryStore::Compaction compaction() const
    {
        return [state = m_state](std::vector<FrozenDisplay> frames, quint32 selectedID, std::stop_token stop) {
            ++state->started;
            state->gate.acquire();
            return RecoveryStore::compact(std::move(frames), selectedID, stop);
        };
    }
    void letOneThrough() { m_state->gate.release(); }
    int started() const { return m_state->started; }

private:
    struct State {
        std::counting_semaphore<16> gate{0};
        std::atomic<int> started = 0;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// The owner's keep order.
void keep(RecoveryStore& store, const RecoveredCapture& capture, const std::shared_ptr<ImageResourceStore>& budget)
{
    store.invalidateCompaction();
    store.setCurrent(capture);
    store.compactBackgroundDisplays(capture, budget);
}

bool idle(const RecoveryStore& store, const ImageResourceStore& budget)
{
    return !store.isCompacting() && budget.work().isEmpty();
}

TEST(RecoveryStore, RecoveryWithNothingToCompactIsLeftAloneAndReservesNothing)
{
    RecoveredCapture single = recovery(1, 1);
    RecoveredCapture compactedAlready = recovery(2, 2);
    compactedAlready.frames = RecoveryStore::compact(compactedAlready.frames, 2);
    ASSERT_TRUE(compactedAlready.frames[0].image.isCompacted());

    for (const RecoveredCapture& capture : {single, compactedAlready}) {
        auto budget = std::make_shared<ImageResourceStore>(qint64(1) << 30);
        std::atomic<int> calls = 0;
        RecoveryStore store([&calls](std::vector<FrozenDisplay> frames, quint32, std::stop_token) {
            ++calls;
            return frames;
        });
        keep(store, capture, budget);
        EXPECT_FALSE(store.isCompacting());
        EXPECT_TRUE(budget->work().isEmpty());
        spin(50ms);
        EXPECT_EQ(calls, 0);
        EXPECT_EQ(cacheKeys(store.current()->frames), cacheKeys(capture.frames));
    }
}

// Two of three displays are compacted, the document's own keeps its bitmap, and everything a
// reopen needs is as it was: same frames in the same order, the same pixels.
TEST(RecoveryStore, DisplaysTheUserDidNotSelectAreCompactedUnderOneReservation)
{
    auto budget = std::make_shared<ImageResourceStore>(qint64(1) << 30);
    GatedCompaction gate;
    RecoveryStore store(gate.compaction());
    const RecoveredCapture capture = recovery(3, 2);
    ASSERT_TRUE(capture.document.isPendingOutput());
    keep(store, capture, budget);
    ASSERT_TRUE(store.isCompacting());

    // Held while it runs: everything the recovery keeps plus the encoding workspace of the
    // two background displays.
    qint64 expected = capture.document.estimatedRetainedBytes() + capture.document.content().estimatedBytes();
    for (const FrozenDisplay& f : capture.frames) {
        const qint64 bytes = qint64(f.image.pixels().bytesPerLine()) * f.image.height();
        expected += bytes + (f.id == 2 ? 0 : 4 * bytes + 65'536);
    }
    ASSERT_EQ(budget->work().size(), 1);
    const ImageResourceStore::WorkReservation held = *budget->work().begin();
    EXPECT_EQ(held.bytes, expected);
    EXPECT_EQ(held.kind, ImageResourceStore::WorkKind::editing);
    EXPECT_EQ(held.outputWorkspaceBytes, 0);

    gate.letOneThrough();
    ASSERT_TRUE(runUntil([&] { return idle(store, *budget); }));

    const std::vector<FrozenDisplay>& kept = store.current()->frames;
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_TRUE(kept[0].image.isCompacted());
    EXPECT_FALSE(kept[1].image.isCompacted());
    EXPECT_TRUE(kept[2].image.isCompacted());
    EXPECT_EQ(kept[1].image.pixels().cacheKey(), capture.frames[1].image.pixels().cacheKey());
    for (size_t i = 0; i < kept.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kept[i].sourceID, capture.frames[i].sourceID);
        EXPECT_EQ(kept[i].id, capture.frames[i].id);
        EXPECT_EQ(kept[i].screenFrame, capture.frames[i].screenFrame);
        EXPECT_EQ(kept[i].image.pixels(), capture.frames[i].image.pixels());
        // The budget goes on counting the whole bitmap.
        EXPECT_EQ(kept[i].image.bitmapBytes(), capture.frames[i].image.bitmapBytes());
    }
    EXPECT_EQ(RecoveryStore::retainedBytes(*store.current()), RecoveryStore::retainedBytes(capture));
    EXPECT_EQ(store.current()->document.id(), capture.document.id());
}

// A compaction that ends after its recovery was replaced or cleared changes nothing: the
// newer recovery keeps its own frames, and each reservation ends with its own run.
TEST(RecoveryStore, ReplacedCaptureIgnoresTheLateCompaction)
{
    auto budget = std::make_shared<ImageResourceStore>(qint64(1) << 30);
    GatedCompaction gate;
    RecoveryStore store(gate.compaction());
    const RecoveredCapture first = recovery(2, 1);
    const RecoveredCapture second = recovery(2, 2);

    keep(store, first, budget);
    ASSERT_TRUE(runUntil([&] { return gate.started() == 1; }));
    keep(store, second, budget); // waits for the queue's one slot
    EXPECT_EQ(budget->work().size(), 2);

    gate.letOneThrough(); // the first, stale, ends; the second starts and is held
    ASSERT_TRUE(runUntil([&] { return gate.started() == 2 && budget->work().size() == 1; }));
    EXPECT_EQ(cacheKeys(store.current()->frames), cacheKeys(second.frames));
    EXPECT_EQ(store.current()->document.id(), second.document.id());
    EXPECT_TRUE(store.isCompacting());

    gate.letOneThrough();
    ASSERT_TRUE(runUntil([&] { return idle(store, *budget); }));
    EXPECT_TRUE(store.current()->frames[0].image.isCompacted());
    EXPECT_FALSE(store.current()->frames[1].image.isCompacted());
}

TEST(RecoveryStore, ClearedOrSilentlyReplacedRecoveryIgnoresTheLateCompaction)
{
    enum Change { cleared, setWithoutInvalidating };
    for (Change change : {cleared, setWithoutInvalidating}) {
        SCOPED_TRACE(int(change));
        auto budget = std::make_shared<ImageResourceStore>(qint64(1) << 30);
        GatedCompaction gate;
        RecoveryStore store(gate.compaction());
        const RecoveredCapture replacement = recovery(2, 1);
        keep(store, recovery(2, 1), budget);
        ASSERT_TRUE(runUntil([&] { return gate.started() == 1; }));
        if (change == cleared) {
            store.setCurrent(std::nullopt);
            store.invalidateCompaction();
            EXPECT_FALSE(store.isCompacting());
        } else {
            // Breaks the keep order; the frames are still not the ones compacted.
            store.setCurrent(replacement);
        }
        gate.letOneThrough();
        ASSERT_TRUE(runUntil([&] { return idle(store, *budget); }));
        if (change == cleared)
            EXPECT_FALSE(store.current());
        else
            EXPECT_EQ(cacheKeys(store.current()->frames), cacheKeys(replacement.frames));
    }
}

TEST(RecoveryStore, MemoryRefusalKeepsTheCaptureWhole)
{
    const RecoveredCapture capture = recovery(2, 1);
    const qint64 needed = RecoveryStore::retainedBytes(capture) +
                          RecoveryStore::compactionWorkspaceBytes(capture.frames, capture.displayID);
    auto budget = std::make_shared<ImageResourceStore>(needed - 1);
    std::atomic<int> calls = 0;
    RecoveryStore store([&calls](std::vector<FrozenDisplay> frames, quint32, std::stop_token) {
        ++calls;
        return frames;
    });
    const QUuid revision = store.revision();
    keep(store, capture, budget);
    EXPECT_FALSE(store.isCompacting());
    EXPECT_TRUE(budget->work().isEmpty());
    spin(50ms);
    EXPECT_EQ(calls, 0);
    EXPECT_NE(store.revision(), revision); // the keep's own invalidation, nothing more
    EXPECT_EQ(cacheKeys(store.current()->frames), cacheKeys(capture.frames));
    for (const FrozenDisplay& f : store.current()->frames)
        EXPECT_FALSE(f.image.pixels().isNull());
}

// The real compaction fails on a frame it cannot encode, and refuses one whose encoding does
// not give back its pixels (a wide-gamut frame is encoded as sRGB). Either way the kept
// capture is untouched and the reservation ends.
TEST(RecoveryStore, FailedCompactionLeavesFramesAndReleasesTheReservation)
{
    RecoveredCapture unencodable = recovery(2, 1);
    unencodable.frames[1].image = QImage();
    RecoveredCapture wideGamut = recovery(3, 1);
    QImage p3 = wideGamut.frames[2].image.pixels();
    p3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    wideGamut.frames[2].image = p3;

    EXPECT_THROW((void)RecoveryStore::compact(unencodable.frames, 1), ImageEncodingError);
    EXPECT_THROW((void)RecoveryStore::compact(wideGamut.frames, 1), RecoveryStore::CompactionError);

    for (const RecoveredCapture& capture : {unencodable, wideGamut}) {
        auto budget = std::make_shared<ImageResourceStore>(qint64(1) << 30);
        RecoveryStore store;
        keep(store, capture, budget);
        ASSERT_TRUE(store.isCompacting());
        EXPECT_EQ(budget->work().size(), 1);
        ASSERT_TRUE(runUntil([&] { return idle(store, *budget); }));
        EXPECT_EQ(cacheKeys(store.current()->frames), cacheKeys(capture.frames));
    }
}

TEST(RecoveryStore, DefaultCompactionKeepsOrderAndStopsWhenCancelled)
{
    const RecoveredCapture capture = recovery(3, 3);
    const std::vector<FrozenDisplay> compacted = RecoveryStore::compact(capture.frames, 3);
    ASSERT_EQ(compacted.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(compacted[i].sourceID, capture.frames[i].sourceID);
        EXPECT_EQ(compacted[i].image.isCompacted(), i != 2);
    }
    // An unknown selection compacts every frame.
    for (const FrozenDisplay& f : RecoveryStore::compact(capture.frames, 99))
        EXPECT_TRUE(f.image.isCompacted());

    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW((void)RecoveryStore::compact(capture.frames, 3, stop.get_token()), CancellationError);
}

TEST(RecoveryStore, TransferToPinDropsOnlyItsOwnDocument)
{
    const RecoveredCapture capture = recovery(2, 1);
    const struct {
        const char* name;
        std::optional<QUuid> documentID;
        bool dropped;
    } cases[] = {
        {"none", std::nullopt, false},
        {"another document", QUuid::createUuid(), false},
        {"its document", capture.document.id(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto budget = std::make_shared<ImageResourceStore>(qint64(1) << 30);
        GatedCompaction gate;
        RecoveryStore store(gate.compaction());
        keep(store, capture, budget);
        ASSERT_TRUE(runUntil([&] { return gate.started() == 1; }));
        const QUuid revision = store.revision();

        store.transferToPin(c.documentID);
        EXPECT_EQ(!store.current(), c.dropped);
        EXPECT_EQ(store.revision() != revision, c.dropped);
        EXPECT_EQ(store.isCompacting(), !c.dropped);

        gate.letOneThrough();
        ASSERT_TRUE(runUntil([&] { return idle(store, *budget); }));
        EXPECT_EQ(!store.current(), c.dropped);
        if (!c.dropped) {
            EXPECT_TRUE(store.current()->frames[1].image.isCompacted());
        }
    }
}

// The store goes while its job runs: the job is cancelled, nothing touches the store, and
// the reservation still ends once the job has.
TEST(RecoveryStore, StoreDestroyedMidCompactionStillReleasesTheReservation)
{
    auto budget = std::make_shared<ImageResourceStore>(qint64(1) << 30);
    GatedCompaction gate;
    auto store = std::make_unique<RecoveryStore>(gate.compaction());
    keep(*store, recovery(2, 1), budget);
    ASSERT_TRUE(runUntil([&] { return gate.started() == 1; }));
    store.reset();
    EXPECT_EQ(budget->work().size(), 1);
    gate.letOneThrough();
    EXPECT_TRUE(runUntil([&] { return budget->work().isEmpty(); }));
    EXPECT_TRUE(runUntil([&] { return RecoveryStore::workers().runningCount() == 0; }));
}

} // namespace
} // namespace vorlith

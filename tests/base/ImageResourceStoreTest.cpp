#include "app/base/ImageResourceStore.h"

#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace vorlith;
using Store = ImageResourceStore;
using Kind = ImageResourceStore::WorkKind;

namespace {

constexpr qint64 MiB = qint64(1) << 20;
constexpr qint64 GiB = qint64(1) << 30;
constexpr qint64 maxBytes = std::numeric_limits<qint64>::max();

// "ok", or the failure's reason.
QString outcome(const std::function<void()>& action)
{
    try {
        action();
        return QStringLiteral("ok");
    } catch (const Store::Failure& failure) {
        switch (failure.reason()) {
        case Store::Failure::imageTooLarge:
            return QStringLiteral("imageTooLarge");
        case Store::Failure::budget:
            return QStringLiteral("budget");
        case Store::Failure::count:
            return QStringLiteral("count");
        }
    }
    return {};
}

Store::SourceImage sourceOf(const QUuid& id, qint64 bytes) { return {id, bytes, 1}; }

// Commits one pending image of the given pixel size (multiplier 0, nothing encoded).
QUuid commitImage(Store& store, qint64 width, qint64 height)
{
    const QUuid id = QUuid::createUuid();
    const auto reservation = store.reserve(id, width, height, 0, 0);
    store.commit(reservation, sourceOf(id, reservation.sourceBytes));
    return id;
}

} // namespace

TEST(ImageResourceStore, DefaultLimitIsAnEighthOfPhysicalMemoryCappedAtOneGiB)
{
    const struct {
        std::optional<qint64> physical;
        qint64 limit;
    } cases[] = {
        {16 * GiB, GiB},
        {8 * GiB, GiB},
        {8 * GiB + 7, GiB},
        {4 * GiB, 512 * MiB},
        {100, 12},
        {0, 0},
        {maxBytes, GiB},
        {std::nullopt, GiB},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Store::defaultLimit(c.physical), c.limit) << (c.physical ? *c.physical : -1);

    EXPECT_EQ(Store().limit(), Store::defaultLimit(Store::physicalMemoryBytes()));
    EXPECT_GT(Store().limit(), 0);
    EXPECT_EQ(Store(-5).limit(), 0);
    EXPECT_EQ(Store(1234).limit(), 1234);
}

TEST(ImageResourceStore, ImageReservationRules)
{
    const QUuid committed = QUuid::createUuid();
    const struct {
        const char* name;
        qint64 pins;
        int pending; // image reservations already pending
        qint64 width, height, multiplier, encoded;
        QUuid source; // null: a new source id
        QString expected;
        qint64 expectedBytes = -1; // of the new reservation, when admitted
    } cases[] = {
        {"ten pins refuse before the size is looked at", 10, 0, 0, 0, 0, 0, {}, "count"},
        {"seven pins and three pending refuse", 7, 3, 10, 10, 0, 0, {}, "count"},
        {"seven pins and two pending admit", 7, 2, 10, 10, 0, 0, {}, "ok", 400},
        {"8,000 x 8,000 passes the pixel rule", 0, 0, 8000, 8000, 0, 0, {}, "ok", 256'000'000},
        {"8,001 x 8,000 is too large", 0, 0, 8001, 8000, 0, 0, {}, "imageTooLarge"},
        {"0 x 100 is too large", 0, 0, 0, 100, 0, 0, {}, "imageTooLarge"},
        {"a huge size saturates instead of wrapping", 0, 0, maxBytes, maxBytes, 0, 0, {}, "imageTooLarge"},
        {"negative multiplier", 0, 0, 10, 10, -1, 0, {}, "budget"},
        {"negative encoded bytes", 0, 0, 10, 10, 0, -1, {}, "budget"},
        {"transient and encoded bytes add", 0, 0, 10, 10, 2, 5, {}, "ok", 400 + 800 + 5},
        {"a committed source is charged only transient and encoded bytes", 0, 0, 10, 10, 2, 5, committed, "ok",
         800 + 5},
        {"a huge multiplier saturates and fails the fit", 0, 0, 10, 10, maxBytes, 0, {}, "budget"},
    };
    for (const auto& c : cases) {
        Store store(4 * GiB); // room for one 8,000 x 8,000 image and its output workspace
        store.setSources({{committed, 400}});
        for (int i = 0; i < c.pending; ++i)
            store.reserve(QUuid::createUuid(), 1, 1, 0, 0);
        store.setPinCount(c.pins);
        const int pendingBefore = store.reservations().size();
        Store::Reservation made;
        const QUuid source = c.source.isNull() ? QUuid::createUuid() : c.source;
        EXPECT_EQ(outcome([&] { made = store.reserve(source, c.width, c.height, c.multiplier, c.encoded); }),
                  c.expected)
            << c.name;
        if (c.expected == "ok") {
            EXPECT_EQ(made.bytes, c.expectedBytes) << c.name;
            EXPECT_EQ(made.sourceID, source) << c.name;
            EXPECT_EQ(store.reservations().value(made.id), made) << c.name;
        } else {
            EXPECT_EQ(store.reservations().size(), pendingBefore) << c.name; // a refusal stores nothing
        }
    }
}

TEST(ImageResourceStore, OnePendingReservationPerSourceAndCommitOnlyWhatWasReserved)
{
    Store store(GiB);
    const QUuid id = QUuid::createUuid();
    const auto reservation = store.reserve(id, 100, 50, 2, 0);
    EXPECT_EQ(reservation.sourceBytes, 20'000);
    EXPECT_EQ(outcome([&] { store.reserve(id, 10, 10, 0, 0); }), "budget");

    // Refused commits leave the reservation pending and the pins as they were.
    store.commit(reservation, {id, 401, 50});                       // larger than reserved
    store.commit(reservation, sourceOf(QUuid::createUuid(), 100)); // another source
    Store::Reservation altered = reservation;
    altered.bytes += 1;
    store.commit(altered, sourceOf(id, 100)); // not the stored value
    EXPECT_TRUE(store.reservations().contains(reservation.id));
    EXPECT_EQ(store.pinCount(), 0);
    EXPECT_TRUE(store.sources().isEmpty());

    // The real bitmap size is what is kept; the pin is counted at once.
    QImage image(100, 50, QImage::Format_ARGB32_Premultiplied);
    store.commit(reservation, Store::SourceImage::of(id, image));
    EXPECT_FALSE(store.reservations().contains(reservation.id));
    EXPECT_EQ(store.sources().value(id), image.bytesPerLine() * 50);
    EXPECT_EQ(store.pinCount(), 1);

    // Cancel goes by id alone and never fails.
    const auto other = store.reserve(QUuid::createUuid(), 10, 10, 0, 0);
    Store::Reservation sameId;
    sameId.id = other.id;
    store.cancel(sameId);
    store.cancel(sameId);
    EXPECT_TRUE(store.reservations().isEmpty());
}

TEST(ImageResourceStore, CapturePreflightAndCommit)
{
    Store store(GiB);
    EXPECT_EQ(outcome([&] { store.preflightCapture({}); }), "imageTooLarge");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Size& bad : {Size{0, 100}, Size{100, -1}, Size{nan, 10}, Size{10, inf}, Size{1e19, 1}, Size{8001, 8000}})
        EXPECT_EQ(outcome([&] { store.preflightCapture({bad}); }), "imageTooLarge") << bad.width << "x" << bad.height;
    EXPECT_TRUE(store.captures().isEmpty());

    // 1,000.2 x 500 counts as 1,001 x 500 with rows of 4,096 bytes.
    const auto capture = store.preflightCapture({{1000.2, 500}, {100, 10}});
    const qint64 first = 4096 * 500, second = 512 * 10;
    EXPECT_EQ(capture.sourceBytes, first + second);
    EXPECT_EQ(capture.maximumSourceBytes, first);
    EXPECT_EQ(capture.bytes, 3 * (first + second));
    EXPECT_EQ(store.reservedBytes(), capture.bytes);

    const QUuid a = QUuid::createUuid(), b = QUuid::createUuid();
    const struct {
        const char* name;
        QList<Store::SourceImage> sources;
    } refused[] = {
        {"larger in sum", {sourceOf(a, first), sourceOf(b, second + 1)}},
        {"one larger than the largest display", {sourceOf(a, first + 1)}},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(outcome([&] { store.commitCapture(capture, c.sources); }), "budget") << c.name;
        EXPECT_TRUE(store.captures().contains(capture.id)) << c.name;
        EXPECT_TRUE(store.sources().isEmpty()) << c.name;
    }
    Store::CaptureReservation altered = capture;
    altered.sourceBytes += 1;
    EXPECT_EQ(outcome([&] { store.commitCapture(altered, {}); }), "budget");

    store.commitCapture(capture, {sourceOf(a, first), sourceOf(b, second - 100)});
    EXPECT_TRUE(store.captures().isEmpty());
    EXPECT_EQ(store.sources().value(b), second - 100);
    EXPECT_EQ(store.pinCount(), 0);
    EXPECT_EQ(outcome([&] { store.commitCapture(capture, {}); }), "budget"); // no longer stored

    // An empty list only removes the reservation; cancelling goes by id.
    const auto empty = store.preflightCapture({{10, 10}});
    store.commitCapture(empty, {});
    EXPECT_TRUE(store.captures().isEmpty());
    const auto cancelled = store.preflightCapture({{10, 10}});
    store.cancelCapture(cancelled);
    store.cancelCapture(cancelled);
    EXPECT_TRUE(store.captures().isEmpty());
}

TEST(ImageResourceStore, WorkReservationRules)
{
    const struct {
        const char* name;
        qint64 limit;
        QList<Kind> live; // work already reserved, 1,000 bytes each
        qint64 bytes;
        Kind kind;
        qint64 workspace;
        QString expected;
    } cases[] = {
        {"a second output fails however much is free", GiB, {Kind::output}, 0, Kind::output, 0, "budget"},
        {"encoding beside an output", GiB, {Kind::output}, 1000, Kind::encoding, 0, "ok"},
        {"encoding beside encoding", GiB, {Kind::encoding, Kind::encoding}, 1000, Kind::encoding, 0, "ok"},
        {"output above the headroom", GiB, {}, 2 * MiB, Kind::output, 0, "budget"},
        {"output within the headroom", GiB, {}, MiB, Kind::output, 0, "ok"},
        {"negative bytes", GiB, {}, -1, Kind::preview, 0, "budget"},
        {"negative workspace", GiB, {}, 0, Kind::input, -1, "budget"},
        {"negative encoding bytes", GiB, {}, -1, Kind::encoding, 0, "budget"},
        {"huge workspace saturates and fails", GiB, {}, 1, Kind::editing, maxBytes, "budget"},
        {"huge bytes beside live work saturate and fail", GiB, {Kind::preview}, maxBytes, Kind::preview, 0, "budget"},
        {"huge encoding saturates and fails", GiB, {Kind::encoding}, maxBytes, Kind::encoding, 0, "budget"},
        {"limit 0 refuses any bytes", 0, {}, 1, Kind::input, 0, "budget"},
        {"limit 0 passes zero bytes without headroom", 0, {}, 0, Kind::input, 0, "ok"},
        {"limit 0 passes zero-byte encoding", 0, {}, 0, Kind::encoding, 0, "ok"},
        {"limit 0 refuses a workspace", 0, {}, 0, Kind::preview, 1, "budget"},
    };
    for (const auto& c : cases) {
        Store store(c.limit);
        // A committed 256 KiB source: headroom 4 x 256 KiB + 64 KiB, a little over 1 MiB.
        if (c.limit > 0)
            commitImage(store, 256, 256);
        for (Kind kind : c.live)
            store.reserveWork(1000, kind, 0);
        const int before = store.work().size();
        Store::WorkReservation made;
        EXPECT_EQ(outcome([&] { made = store.reserveWork(c.bytes, c.kind, c.workspace); }), c.expected) << c.name;
        if (c.expected == "ok")
            EXPECT_EQ(store.work().value(made.id), made) << c.name;
        else
            EXPECT_EQ(store.work().size(), before) << c.name;
    }
}

TEST(ImageResourceStore, AccountsAndFinishWorkOnlyForTheStoredValue)
{
    Store store(GiB);
    const QUuid image = commitImage(store, 100, 100); // 40,000 bytes
    store.setDocumentBytes(1000);
    store.setCacheBytes(500);
    EXPECT_EQ(store.persistentBytes(), 41'500);
    EXPECT_EQ(store.outputHeadroom(), 4 * 40'000 + 65'536);

    const auto preview = store.reserveWork(300, Kind::preview, 0);
    const auto encoding = store.reserveWork(700, Kind::encoding, 0);
    const auto input = store.reserveWork(16'384, Kind::input, 0);
    EXPECT_EQ(store.reservedBytes(), 300 + 16'384); // encoding lives in the headroom

    store.setConfiguredOutputWorkspaceBytes(MiB);
    EXPECT_EQ(store.outputHeadroom(), MiB);
    const auto wide = store.reserveWork(0, Kind::editing, 2 * MiB);
    EXPECT_EQ(store.outputHeadroom(), 2 * MiB);

    Store::WorkReservation differentBytes = preview;
    differentBytes.bytes = 301;
    store.finishWork(differentBytes);
    Store::WorkReservation differentKind = preview;
    differentKind.kind = Kind::editing;
    store.finishWork(differentKind);
    EXPECT_TRUE(store.work().contains(preview.id));
    for (const auto& done : {preview, encoding, input, wide}) {
        store.finishWork(done);
        store.finishWork(done);
    }
    EXPECT_TRUE(store.work().isEmpty());
    EXPECT_EQ(store.reservedBytes(), 0);

    // Sums of owner figures saturate instead of wrapping.
    store.setSources({{image, maxBytes}, {QUuid::createUuid(), maxBytes}});
    EXPECT_EQ(store.persistentBytes(), maxBytes);
    EXPECT_EQ(outcome([&] { store.reserveWork(0, Kind::input, 0); }), "budget");
}

TEST(ImageResourceStore, ReclaimsCachesOnceBeforeRefusing)
{
    Store store(100 * 1000);
    int reclaims = 0;
    qint64 freedTo = 0;
    store.onReclaimCaches = [&] {
        ++reclaims;
        store.setCacheBytes(freedTo);
    };

    // Passing at once never reclaims.
    store.setCacheBytes(0);
    store.finishWork(store.reserveWork(10'000, Kind::preview, 0));
    EXPECT_EQ(reclaims, 0);

    // Failing once, passing after the owner freed its caches.
    store.setCacheBytes(95'000);
    freedTo = 0;
    EXPECT_EQ(outcome([&] { store.finishWork(store.reserveWork(10'000, Kind::preview, 0)); }), "ok");
    EXPECT_EQ(reclaims, 1);

    // Still failing after one reclaim: refused, without a second request.
    store.setCacheBytes(95'000);
    freedTo = 94'000;
    EXPECT_EQ(outcome([&] { store.reserveWork(10'000, Kind::preview, 0); }), "budget");
    EXPECT_EQ(reclaims, 2);
    EXPECT_EQ(outcome([&] { store.reserve(QUuid::createUuid(), 10, 10, 0, 0); }), "budget");
    EXPECT_EQ(reclaims, 3);
    EXPECT_EQ(outcome([&] { store.preflightCapture({{10, 10}}); }), "budget");
    EXPECT_EQ(reclaims, 4);

    // A refusal before any fit test (count, size, negative values) never reclaims.
    store.setPinCount(10);
    EXPECT_EQ(outcome([&] { store.reserve(QUuid::createUuid(), 10, 10, 0, 0); }), "count");
    EXPECT_EQ(outcome([&] { store.reserveWork(-1, Kind::preview, 0); }), "budget");
    EXPECT_EQ(reclaims, 4);
    EXPECT_TRUE(store.work().isEmpty());
}

TEST(ImageResourceStore, FailuresCarryTheirMessages)
{
    EXPECT_EQ(Store::Failure(Store::Failure::imageTooLarge).description(),
              QStringLiteral("图片尺寸过大，请选择不超过6400万像素的图片。"));
    EXPECT_EQ(Store::Failure(Store::Failure::budget).description(),
              QStringLiteral("当前图片占用较多内存，请先处理并关闭部分贴图，再添加图片。"));
    EXPECT_EQ(Store::Failure(Store::Failure::count).description(),
              QStringLiteral("当前已有10张贴图，请先关闭部分贴图。"));
    EXPECT_EQ(Store::Failure(Store::Failure::count), Store::Failure(Store::Failure::count));
    EXPECT_NE(qHash(Store::Failure(Store::Failure::count)), qHash(Store::Failure(Store::Failure::budget)));
}

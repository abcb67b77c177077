#include "app/shell/RecoveryStore.h"

#include "app/output/ImageEncoder.h"
#include "core/CancellationError.h"
#include "core/Saturating.h"
#include "core/SharedWorkQueues.h"

#include <QPointer>

#include <algorithm>

namespace vorlith {

namespace {

// The frames carry the same images in the same places: a result made from them may replace
// them. Guards against a recovery set without the keep order's invalidation.
bool sameFrames(const std::vector<FrozenDisplay>& a, const std::vector<FrozenDisplay>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const FrozenDisplay& x, const FrozenDisplay& y) {
        return x.sourceID == y.sourceID && x.id == y.id && x.image.size() == y.image.size();
    });
}

} // namespace

RecoveryStore::RecoveryStore(Compaction compaction, QObject* parent)
    : QObject(parent), m_compaction(compaction ? std::move(compaction) : Compaction(&RecoveryStore::compact))
{
}

RecoveryStore::~RecoveryStore()
{
    m_compactionTask.cancel();
}

BoundedWorkQueue& RecoveryStore::workers()
{
    return SharedWorkQueues::recoveryCompaction();
}

void RecoveryStore::invalidateCompaction()
{
    m_revision = QUuid::createUuid();
    m_compactionTask.cancel();
    m_compactionTask = TaskHandle();
}

void RecoveryStore::transferToPin(const std::optional<QUuid>& documentID)
{
    if (!documentID || !m_current || m_current->document.id() != *documentID)
        return;
    m_current.reset();
    invalidateCompaction();
}

qint64 RecoveryStore::retainedBytes(const RecoveredCapture& recovery)
{
    qint64 bytes = 0;
    for (const FrozenDisplay& frame : recovery.frames)
        bytes = saturatingAdd(bytes, frame.image.bitmapBytes());
    bytes = saturatingAdd(bytes, recovery.document.estimatedRetainedBytes());
    if (recovery.document.isPendingOutput())
        bytes = saturatingAdd(bytes, recovery.document.content().estimatedBytes());
    return bytes;
}

bool RecoveryStore::needsCompaction(const FrozenDisplay& frame, quint32 selectedID)
{
    return frame.id != selectedID && !frame.image.isCompacted();
}

qint64 RecoveryStore::compactionWorkspaceBytes(const std::vector<FrozenDisplay>& frames, quint32 selectedID)
{
    qint64 bytes = 0;
    for (const FrozenDisplay& frame : frames) {
        if (needsCompaction(frame, selectedID))
            bytes = saturatingAdd(bytes, ImageResourceStore::outputWorkspaceBytes(frame.image.bitmapBytes()));
    }
    return bytes;
}

void RecoveryStore::compactBackgroundDisplays(const RecoveredCapture& recovery,
                                              const std::shared_ptr<ImageResourceStore>& resources)
{
    Q_ASSERT(resources);
    // One display is the document's own; a reopened capture's others are compacted already.
    const auto& frames = recovery.frames;
    if (frames.size() < 2 || !resources ||
        std::none_of(frames.begin(), frames.end(), [&](const FrozenDisplay& f) { return needsCompaction(f, recovery.displayID); }))
        return;
    const QUuid revision = m_revision;
    const qint64 bytes = saturatingAdd(retainedBytes(recovery), compactionWorkspaceBytes(recovery.frames, recovery.displayID));
    std::unique_ptr<WorkReservationLease> reservation;
    try {
        reservation = std::make_unique<WorkReservationLease>(
            resources, resources->reserveWork(bytes, ImageResourceStore::WorkKind::editing, 0));
    } catch (const ImageResourceStore::Failure&) {
        return; // the recovery stays whole
    }
    // A handle already here is replaced, not cancelled: the keep order has cancelled it.
    m_compactionTask = TaskHandle::spawn([this, frames = recovery.frames, displayID = recovery.displayID, revision,
                                          reservation = std::move(reservation)](std::stop_token stop) mutable {
        return runCompaction(std::move(frames), displayID, revision, std::move(reservation), stop);
    });
}

QCoro::Task<> RecoveryStore::runCompaction(std::vector<FrozenDisplay> frames, quint32 displayID, QUuid revision,
                                           std::unique_ptr<WorkReservationLease> reservation, std::stop_token stop)
{
    // The store may go while the job runs: after the suspension only `self` is used. The
    // reservation ends with this frame, on every path.
    const QPointer<RecoveryStore> self(this);
    try {
        auto job = workers().run(stop, [compaction = m_compaction, frames = std::move(frames),
                                        displayID](std::stop_token jobStop) mutable {
            return compaction(std::move(frames), displayID, jobStop);
        });
        std::vector<FrozenDisplay> compacted = co_await job;
        if (self && self->m_revision == revision && !stop.stop_requested()) {
            self->applyCompaction(std::move(compacted));
            self->m_compactionTask = TaskHandle();
        }
    } catch (...) {
        // Failed, cancelled or evicted: the frames stay as they were; nobody is told.
        if (self && self->m_revision == revision)
            self->m_compactionTask = TaskHandle();
    }
    reservation.reset();
}

void RecoveryStore::applyCompaction(std::vector<FrozenDisplay> frames)
{
    if (m_current && sameFrames(m_current->frames, frames))
        m_current->frames = std::move(frames);
}

std::vector<FrozenDisplay> RecoveryStore::compact(std::vector<FrozenDisplay> frames, quint32 selectedID,
                                                  std::stop_token stop)
{
    for (FrozenDisplay& frame : frames) {
        if (stop.stop_requested())
            throw CancellationError();
        if (!needsCompaction(frame, selectedID))
            continue;
        const QImage bitmap = frame.image.pixels();
        std::optional<FrozenImage> compacted = FrozenImage::compacted(ImageEncoder::encode(bitmap, ImageFormat::png), bitmap);
        if (!compacted)
            throw CompactionError();
        frame.image = std::move(*compacted);
    }
    return frames;
}

} // namespace vorlith

#pragma once

#include "app/base/ImageResourceStore.h"
#include "app/base/WorkReservationLease.h"
#include "app/capture/FrozenDisplay.h"
#include "app/editor/RecoveredCapture.h"
#include "core/BoundedWorkQueue.h"
#include "core/TaskHandle.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <vector>

namespace vorlith {

// Holds, in memory only, the last unfinished capture, so that it can be reopened from the
// menu. A kept capture of several displays carries one full bitmap per display although only
// one display has the document; the store compacts the others in the background: each of
// their images is replaced by its PNG encoding (see FrozenImage), decoded again when the
// capture is reopened. The budget still counts those frames at their full bitmap size.
//
// The compaction runs on the one-slot queue `workers()`, holds an editing reservation in
// the memory budget while it runs and is dropped whenever the kept recovery changes
// meanwhile (`revision`). Nothing reports an error: a refused reservation skips the
// compaction, a failed or cancelled one leaves the frames as they were.
//
// The owner keeps this order:
// - keeping a recovery: `invalidateCompaction()`, `setCurrent(recovery)`, then
//   `compactBackgroundDisplays(recovery, resources)`;
// - clearing it: `setCurrent(std::nullopt)`, then `invalidateCompaction()`.
//
// Main thread only, but for `compact`, which runs on a worker.
class RecoveryStore : public QObject {
    Q_OBJECT

public:
    // Runs on a worker thread: the frames with every display but `selectedID` compacted, in
    // the same order and number. Throws on failure, CancellationError when `stop` fires.
    using Compaction =
        std::function<std::vector<FrozenDisplay>(std::vector<FrozenDisplay> frames, quint32 selectedID, std::stop_token stop)>;

    // An encoding that does not decode back to the pixels it was made from.
    struct CompactionError : std::runtime_error {
        CompactionError() : std::runtime_error("recovery compaction: the encoding does not decode to its bitmap") {}
    };

    // Absent: `compact`.
    explicit RecoveryStore(Compaction compaction = {}, QObject* parent = nullptr);
    // Cancels the compaction in progress; its reservation ends when its job has.
    ~RecoveryStore() override;

    // The one compaction queue of the process (limit 1), shared by every store.
    static BoundedWorkQueue& workers();

    const std::optional<RecoveredCapture>& current() const { return m_current; }
    void setCurrent(std::optional<RecoveredCapture> recovery) { m_current = std::move(recovery); }

    // Makes every running compaction stale and cancels it.
    void invalidateCompaction();
    // Starts compacting the displays of `recovery` other than its `displayID`, charged to
    // `resources` (held weakly while it runs). A recovery of fewer than two displays, or one
    // the budget cannot hold the work for, is left alone.
    void compactBackgroundDisplays(const RecoveredCapture& recovery, const std::shared_ptr<ImageResourceStore>& resources);
    // Drops the recovery when its document has just become a pin; nothing otherwise.
    void transferToPin(const std::optional<QUuid>& documentID);

    const QUuid& revision() const { return m_revision; }
    bool isCompacting() const { return m_compactionTask.isRunning(); }

    // The default compaction. Frames already compacted stay as they are. Throws
    // ImageEncodingError, CompactionError or CancellationError.
    static std::vector<FrozenDisplay> compact(std::vector<FrozenDisplay> frames, quint32 selectedID,
                                              std::stop_token stop = {});

    // What a kept recovery holds: every frame's bitmap bytes (full size, compacted or not),
    // the document's retained bytes and, while it has output pending, its content once more.
    static qint64 retainedBytes(const RecoveredCapture& recovery);
    // The encoding workspace of the frames `compact` encodes: those other than `selectedID`
    // that are not compacted yet.
    static qint64 compactionWorkspaceBytes(const std::vector<FrozenDisplay>& frames, quint32 selectedID);

private:
    static bool needsCompaction(const FrozenDisplay& frame, quint32 selectedID);
    QCoro::Task<> runCompaction(std::vector<FrozenDisplay> frames, quint32 displayID, QUuid revision,
                                std::unique_ptr<WorkReservationLease> reservation, std::stop_token stop);
    // The result of a compaction started under the current revision.
    void applyCompaction(std::vector<FrozenDisplay> frames);

    std::optional<RecoveredCapture> m_current;
    TaskHandle m_compactionTask;
    QUuid m_revision = QUuid::createUuid();
    const Compaction m_compaction;
};

} // namespace vorlith

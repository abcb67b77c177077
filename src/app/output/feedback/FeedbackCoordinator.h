#pragma once

#include "app/base/ImageResourceStore.h"
#include "app/output/feedback/ToastEnvironment.h"
#include "core/Geometry.h"
#include "core/TaskHandle.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

class OutputToastRenderer;

// The registry of every feedback toast: progress, success, notice and failure. Failures wait
// in a first-in first-out queue of which only the oldest is shown; one ordinary (non-failure)
// toast may be on screen beside it. Unfinished toasts are capped and each holds a small lease
// on the image memory budget; finished ones are removed on a timer. It draws nothing: each
// toast's OutputToastRenderer does.
//
// Main thread only.
class FeedbackCoordinator : public QObject {
    Q_OBJECT
public:
    enum class Phase { working, suspended, success, notice, failure };

    static constexpr int pendingCap = 32;
    static constexpr qint64 inputLeaseBytes = 16'384;
    static constexpr double stackingOffset = 56;

    // One toast. The coordinator's own; readable for the editor and the tests.
    struct Record {
        Record(const QUuid& id, const QUuid& owner, OutputToastRenderer* renderer,
               std::weak_ptr<ImageResourceStore> resources);
        ~Record();
        Record(const Record&) = delete;
        Record& operator=(const Record&) = delete;

        const QUuid id;
        const QUuid owner;
        OutputToastRenderer* const renderer; // released with the record
        const std::weak_ptr<ImageResourceStore> resources;
        Phase phase = Phase::working;
        QString message;
        std::function<void()> retry;
        std::function<bool()> canRetry;
        TaskHandle cleanup;
        std::optional<ImageResourceStore::WorkReservation> lease;
        std::function<void()> onRemoval;
    };

    // Without a store no leases are taken. Subscribes to screen changes at once.
    explicit FeedbackCoordinator(std::shared_ptr<ImageResourceStore> resources,
                                 ToastEnvironment environment = ToastEnvironment::standard());
    ~FeedbackCoordinator() override;

    // Starts a working toast, or restarts one of the same owner in place. False when the id
    // belongs to another owner or to a failure, when too many toasts are pending, or when
    // the budget refuses the lease. `anchor` (global) only chooses the screen.
    bool begin(const QUuid& id, const QUuid& owner, const Point& anchor, const QString& message,
               std::function<void()> cancel);
    void success(const QUuid& id, const QString& message, bool notice = false);
    // Turns a working or suspended toast into a queued failure. False (and nothing changes,
    // so the caller still owns what `onRemoval` would have done) for any other.
    bool failure(const QUuid& id, const QString& message, const std::optional<QString>& details = std::nullopt,
                 std::function<void()> retry = {}, std::function<bool()> canRetry = {},
                 std::function<void()> onRemoval = {});
    void suspend(const QUuid& id);
    void remove(const QUuid& id);
    void removePending(const QUuid& owner);
    // Decides which panels are in front, where they sit and what the failure head says.
    void present();
    // The body frame (global) of the first visible toast of the owner.
    [[nodiscard]] std::optional<Rect> visibleFrame(const QUuid& owner) const;
    void shutdown();

    // What OutputToast forwards: a working toast's text, and its screen.
    void progress(const QUuid& id, const QString& message);
    void adoptOrigin(const QUuid& id, const Point& anchor);

    const Record* record(const QUuid& id) const;
    std::vector<QUuid> recordIDs() const;
    const std::vector<QUuid>& failures() const { return m_failures; }
    std::optional<QUuid> ordinary() const { return m_ordinary; }
    int pendingCount() const;
    bool hasStore() const { return m_hasStore; }
    const ToastEnvironment& environment() const { return m_environment; }

private:
    class ScreenObservation;
    using RecordPtr = std::shared_ptr<Record>;

    Record* find(const QUuid& id) const;
    bool takeLease(Record& record);
    void releaseLease(Record& record);
    void removeIfFinished(const std::optional<QUuid>& id);
    void startCleanup(Record& record, std::chrono::milliseconds lifetime);
    QString headText(const Record& head) const;
    std::function<void()> retryWrapper(const RecordPtr& head);
    bool sameDisplay(const Record& a, const Record& b) const;

    std::weak_ptr<ImageResourceStore> m_resources;
    bool m_hasStore = false;
    ToastEnvironment m_environment;
    std::map<QUuid, RecordPtr> m_records;
    std::vector<QUuid> m_failures;
    std::optional<QUuid> m_ordinary;
    std::unique_ptr<ScreenObservation> m_screenObserver;
};

} // namespace vorlith

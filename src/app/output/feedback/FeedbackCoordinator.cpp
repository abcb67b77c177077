#include "app/output/feedback/FeedbackCoordinator.h"

#include "app/output/feedback/OutputToastLayout.h"
#include "app/output/feedback/OutputToastRenderer.h"
#include "app/output/feedback/ToastText.h"
#include "core/Async.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace vorlith {

// Keeps the screen-change subscription alive; ending it ends the subscription.
class FeedbackCoordinator::ScreenObservation {
public:
    explicit ScreenObservation(FeedbackCoordinator* coordinator) : m_coordinator(coordinator)
    {
        auto* app = qGuiApp;
        if (!app)
            return;
        m_connections.push_back(QObject::connect(app, &QGuiApplication::screenAdded, coordinator, [this](QScreen* screen) {
            watch(screen);
            changed();
        }));
        m_connections.push_back(QObject::connect(app, &QGuiApplication::screenRemoved, coordinator, [this] { changed(); }));
        m_connections.push_back(
            QObject::connect(app, &QGuiApplication::primaryScreenChanged, coordinator, [this] { changed(); }));
        for (QScreen* screen : QGuiApplication::screens())
            watch(screen);
    }
    ~ScreenObservation()
    {
        for (const QMetaObject::Connection& connection : m_connections)
            QObject::disconnect(connection);
    }
    ScreenObservation(const ScreenObservation&) = delete;
    ScreenObservation& operator=(const ScreenObservation&) = delete;

private:
    void watch(QScreen* screen)
    {
        m_connections.push_back(QObject::connect(screen, &QScreen::geometryChanged, m_coordinator, [this] { changed(); }));
        m_connections.push_back(
            QObject::connect(screen, &QScreen::availableGeometryChanged, m_coordinator, [this] { changed(); }));
    }
    // Presents again on a later turn, when the screens have settled; not at all once the
    // coordinator has gone.
    void changed()
    {
        QTimer::singleShot(0, m_coordinator, [coordinator = QPointer(m_coordinator)] {
            if (coordinator)
                coordinator->present();
        });
    }

    FeedbackCoordinator* m_coordinator;
    std::vector<QMetaObject::Connection> m_connections;
};

FeedbackCoordinator::Record::Record(const QUuid& id_, const QUuid& owner_, OutputToastRenderer* renderer_,
                                    std::weak_ptr<ImageResourceStore> resources_)
    : id(id_), owner(owner_), renderer(renderer_), resources(std::move(resources_))
{
}

FeedbackCoordinator::Record::~Record()
{
    // A record that goes without remove() (dropped, or with its coordinator): its timer stops,
    // its panel closes and its lease returns; no onRemoval runs. The renderer itself is
    // released on a later turn, since this may run inside one of its own button actions.
    cleanup.cancel();
    renderer->dismiss();
    if (lease)
        if (std::shared_ptr<ImageResourceStore> store = resources.lock())
            store->finishWork(*lease);
    renderer->deleteLater();
}

FeedbackCoordinator::FeedbackCoordinator(std::shared_ptr<ImageResourceStore> resources, ToastEnvironment environment)
    : m_resources(resources), m_hasStore(resources != nullptr), m_environment(std::move(environment)),
      m_screenObserver(std::make_unique<ScreenObservation>(this))
{
}

FeedbackCoordinator::~FeedbackCoordinator()
{
    m_screenObserver.reset();
}

FeedbackCoordinator::Record* FeedbackCoordinator::find(const QUuid& id) const
{
    const auto it = m_records.find(id);
    return it == m_records.end() ? nullptr : it->second.get();
}

const FeedbackCoordinator::Record* FeedbackCoordinator::record(const QUuid& id) const
{
    return find(id);
}

std::vector<QUuid> FeedbackCoordinator::recordIDs() const
{
    std::vector<QUuid> ids;
    for (const auto& [id, record] : m_records)
        ids.push_back(id);
    return ids;
}

int FeedbackCoordinator::pendingCount() const
{
    return int(std::count_if(m_records.begin(), m_records.end(), [](const auto& entry) {
        const Phase phase = entry.second->phase;
        return phase == Phase::working || phase == Phase::suspended || phase == Phase::failure;
    }));
}

bool FeedbackCoordinator::takeLease(Record& record)
{
    std::shared_ptr<ImageResourceStore> store = m_resources.lock();
    if (!store)
        return false;
    try {
        record.lease = store->reserveWork(inputLeaseBytes, ImageResourceStore::WorkKind::input, 0);
        return true;
    } catch (const ImageResourceStore::Failure&) {
        return false;
    }
}

void FeedbackCoordinator::releaseLease(Record& record)
{
    if (!record.lease)
        return;
    if (std::shared_ptr<ImageResourceStore> store = record.resources.lock())
        store->finishWork(*record.lease);
    record.lease.reset();
}

void FeedbackCoordinator::removeIfFinished(const std::optional<QUuid>& id)
{
    if (!id)
        return;
    const Record* record = find(*id);
    if (record && (record->phase == Phase::success || record->phase == Phase::notice))
        remove(*id);
}

bool FeedbackCoordinator::begin(const QUuid& id, const QUuid& owner, const Point& anchor, const QString& message,
                                std::function<void()> cancel)
{
    if (Record* record = find(id)) {
        if (record->owner != owner || record->phase == Phase::failure)
            return false;
        if (!record->lease && m_hasStore) {
            if (pendingCount() >= pendingCap || !takeLease(*record))
                return false;
        }
        record->cleanup.cancel();
        record->cleanup = TaskHandle();
        std::erase(m_failures, id);
        record->phase = Phase::working;
        record->renderer->begin(id, anchor, message, std::move(cancel));
        m_ordinary = id;
        present();
        return true;
    }

    if (pendingCount() >= pendingCap) {
        present(); // the failure head asks the user to deal with what is there first
        return false;
    }
    auto record = std::make_shared<Record>(id, owner, new OutputToastRenderer(m_environment), m_resources);
    record->message = message;
    if (m_hasStore && !takeLease(*record))
        return false; // the record is dropped
    // A new toast replaces a finished one at once; a working one stays, out of sight.
    if (m_ordinary && *m_ordinary != id)
        removeIfFinished(m_ordinary);
    m_records.emplace(id, record);
    record->renderer->onClose = [self = QPointer(this), id] {
        if (self)
            self->remove(id);
    };
    record->renderer->begin(id, anchor, message, std::move(cancel));
    m_ordinary = id;
    present();
    return true;
}

void FeedbackCoordinator::startCleanup(Record& record, std::chrono::milliseconds lifetime)
{
    record.cleanup.cancel();
    const QUuid id = record.id;
    record.cleanup = TaskHandle::spawn([self = QPointer(this), id, lifetime](std::stop_token stop) -> QCoro::Task<> {
        auto wait = sleepFor(lifetime, stop);
        co_await wait;
        if (stop.stop_requested() || !self)
            co_return;
        self->remove(id);
    });
}

void FeedbackCoordinator::success(const QUuid& id, const QString& message, bool notice)
{
    Record* record = find(id);
    if (!record || (record->phase != Phase::working && record->phase != Phase::suspended))
        return;
    std::erase(m_failures, id);
    if (m_ordinary && *m_ordinary != id)
        removeIfFinished(m_ordinary);
    releaseLease(*record);
    record->phase = notice ? Phase::notice : Phase::success;
    record->message = message;
    record->retry = {};
    record->canRetry = {};
    m_ordinary = id;
    if (notice)
        record->renderer->showNotice(message, record->renderer->anchor());
    else
        record->renderer->success(id, message);
    startCleanup(*record, notice ? m_environment.timing.noticeLifetime : m_environment.timing.successLifetime);
    present();
}

bool FeedbackCoordinator::failure(const QUuid& id, const QString& message, const std::optional<QString>& details,
                                  std::function<void()> retry, std::function<bool()> canRetry,
                                  std::function<void()> onRemoval)
{
    Record* record = find(id);
    if (!record || (record->phase != Phase::working && record->phase != Phase::suspended))
        return false;
    record->cleanup.cancel();
    record->cleanup = TaskHandle();
    record->phase = Phase::failure;
    record->message = message;
    record->retry = std::move(retry);
    record->canRetry = std::move(canRetry);
    record->onRemoval = std::move(onRemoval);
    if (std::find(m_failures.begin(), m_failures.end(), id) == m_failures.end())
        m_failures.push_back(id);
    if (m_ordinary == id)
        m_ordinary.reset();
    record->renderer->detailsText = details;
    present();
    return true;
}

void FeedbackCoordinator::suspend(const QUuid& id)
{
    Record* record = find(id);
    if (!record || (record->phase != Phase::working && record->phase != Phase::suspended))
        return;
    record->phase = Phase::suspended;
    record->renderer->suspend(id);
    if (m_ordinary == id)
        m_ordinary.reset();
    present();
}

void FeedbackCoordinator::remove(const QUuid& id)
{
    const auto it = m_records.find(id);
    if (it == m_records.end())
        return;
    const RecordPtr record = it->second; // kept until the end of this call
    m_records.erase(it);
    record->cleanup.cancel();
    record->renderer->dismiss();
    releaseLease(*record);
    if (record->onRemoval) {
        const std::function<void()> onRemoval = std::move(record->onRemoval);
        record->onRemoval = {};
        onRemoval();
    }
    std::erase(m_failures, id);
    if (m_ordinary == id)
        m_ordinary.reset();
    present();
}

void FeedbackCoordinator::removePending(const QUuid& owner)
{
    std::vector<QUuid> pending;
    for (const auto& [id, record] : m_records)
        if (record->owner == owner
            && (record->phase == Phase::working || record->phase == Phase::suspended || record->phase == Phase::failure))
            pending.push_back(id);
    for (const QUuid& id : pending)
        remove(id);
}

bool FeedbackCoordinator::sameDisplay(const Record& a, const Record& b) const
{
    // An unknown display (no screen, or a screen without a number) matches only another
    // unknown one.
    auto display = [](const Record& r) -> std::optional<quint32> {
        const std::optional<DisplayScreen> screen = r.renderer->originScreen();
        return screen ? screen->displayNumber : std::nullopt;
    };
    return display(a) == display(b);
}

QString FeedbackCoordinator::headText(const Record& head) const
{
    if (pendingCount() >= pendingCap)
        return head.message + ToastText::capSuffix();
    if (m_failures.size() >= 2)
        return head.message + ToastText::queueSuffix(m_failures.size() - 1);
    return head.message;
}

std::function<void()> FeedbackCoordinator::retryWrapper(const RecordPtr& head)
{
    if (!head->retry)
        return {};
    return [self = QPointer(this), weak = std::weak_ptr<Record>(head)] {
        const RecordPtr record = weak.lock();
        if (!record || !self || !self->find(record->id))
            return;
        if (record->canRetry && !record->canRetry())
            return; // the failure stays
        const std::function<void()> retry = record->retry;
        self->remove(record->id);
        if (retry)
            retry();
    };
}

void FeedbackCoordinator::present()
{
    const std::optional<QUuid> head = m_failures.empty() ? std::nullopt : std::optional<QUuid>(m_failures.front());
    const RecordPtr headRecord = head ? m_records.at(*head) : nullptr;
    std::vector<RecordPtr> snapshot;
    for (const auto& [id, record] : m_records)
        snapshot.push_back(record);

    for (const RecordPtr& record : snapshot) {
        if (!find(record->id))
            continue; // removed by an earlier step of this pass
        OutputToastRenderer& renderer = *record->renderer;
        const bool isHead = record->id == head;
        const bool isOrdinary = record->id == m_ordinary;
        renderer.setPresented(isHead || (isOrdinary && record->phase != Phase::suspended));

        const bool stacked = isOrdinary && headRecord && sameDisplay(*record, *headRecord);
        renderer.verticalOffset = stacked ? stackingOffset : 0;

        if (isHead) {
            renderer.failure(record->id, headText(*record), retryWrapper(record));
        } else if (renderer.isPresented() && renderer.presentation()) {
            const OutputToastRenderer::Presentation p = *renderer.presentation();
            renderer.show(p.message, p.progress, p.title, renderer.action(), p.failed, p.notice);
        }
    }
}

std::optional<Rect> FeedbackCoordinator::visibleFrame(const QUuid& owner) const
{
    for (const auto& [id, record] : m_records) {
        if (record->owner != owner)
            continue;
        const QWidget* panel = record->renderer->panel();
        if (panel && panel->isVisible()) {
            const double m = OutputToastLayout::shadowMargin;
            return toRect(QRectF(panel->geometry())).insetBy(m, m);
        }
    }
    return std::nullopt;
}

void FeedbackCoordinator::shutdown()
{
    m_screenObserver.reset();
    for (const QUuid& id : recordIDs())
        remove(id);
}

void FeedbackCoordinator::progress(const QUuid& id, const QString& message)
{
    Record* record = find(id);
    if (!record || record->phase != Phase::working)
        return;
    record->message = message;
    record->renderer->progress(id, message);
}

void FeedbackCoordinator::adoptOrigin(const QUuid& id, const Point& anchor)
{
    Record* record = find(id);
    if (!record || record->phase != Phase::working)
        return;
    record->renderer->adoptOrigin(anchor);
    present();
}

} // namespace vorlith

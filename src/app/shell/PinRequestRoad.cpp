#include "app/shell/PinRequestRoad.h"

#include "app/base/Diagnostics.h"
#include "app/editor/EditorDocument.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/output/feedback/OutputToast.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/PinImportReport.h"
#include "app/shell/PinRoadHost.h"
#include "core/Async.h"

#include <QPointer>
#include <QTimer>

namespace vorlith {

PinRequestRoad::PinRequestRoad(PinRoadHost& host, Services services, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_services(std::move(services))
{
    QPointer<PinRequestRoad> self(this);
    m_pinServices = std::make_unique<PinServiceProvider>(
        [self](const QList<QUrl>& urls, const PinOriginContext& origin) {
            return self && self->beginImport(urls, origin, std::nullopt, std::nullopt, origin.id);
        },
        m_services.folderAccess,
        [self] {
            return self ? PinOriginContext::capture(PinTrigger::service, self->m_services.origins)
                        : PinOriginContext{QUuid::createUuid(), PinTrigger::service};
        });
}

PinRequestRoad::~PinRequestRoad()
{
    shutdown();
}

void PinRequestRoad::shutdown()
{
    m_menuPreparationTask.cancel();
    m_pinRequestTask.cancel();
    m_importTask.cancel();
    if (m_pinServices)
        m_pinServices->finishAllRequests();
}

bool PinRequestRoad::mayStartNewImage()
{
    if (m_host.pinsRestoringVisibility()) {
        m_host.postNotice(restoringMessage());
        return false;
    }
    if (m_host.outputsBusy()) {
        m_host.postNotice(outputBusyMessage());
        return false;
    }
    return true;
}

bool PinRequestRoad::canBeginPin() const
{
    return !m_host.terminationFrozen() && !m_host.hasCaptureTask() && !m_host.hasOverlays() && !hasImportTask()
           && !hasPinRequestTask() && !m_host.presentingAlert() && !m_host.settingsSheetAttached();
}

// --- The status menu -------------------------------------------------------------------------

void PinRequestRoad::showStatusMenu()
{
    if (m_menuPreparationTask.isRunning()) {
        // A second click while the menu is being prepared: nothing opens.
        m_menuPreparationTask.cancel();
        m_menuPreparationTask = TaskHandle();
        return;
    }
    if (!m_host.canShowStatusMenu())
        return;
    const PinOriginContext origin = PinOriginContext::capture(PinTrigger::menu, m_services.origins);
    QPointer<PinRequestRoad> self(this);
    m_menuPreparationTask = TaskHandle::spawn([self, origin](std::stop_token stop) -> QCoro::Task<> {
        auto turn = nextTurn(); // the handle is stored before the body clears it
        co_await turn;
        if (!self)
            co_return;
        auto preparation = self->runMenuPreparation(origin, stop);
        co_await preparation;
    });
}

QCoro::Task<> PinRequestRoad::runMenuPreparation(PinOriginContext origin, std::stop_token stop)
{
    QPointer<PinRequestRoad> self(this);
    const std::shared_ptr<PinRequestCoordinator> pinRequests = m_services.pinRequests;
    auto prepare = pinRequests->prepare(origin, stop);
    PreparedPinRequest prepared = co_await prepare;
    if (stop.stop_requested() || !self)
        co_return;
    m_menuPreparationTask = TaskHandle();
    auto invocation = std::make_shared<PinMenuInvocation>(std::move(prepared));
    m_menuInvocation = invocation;
    if (invocation->state == PinMenuInvocation::State::prepared)
        invocation->state = PinMenuInvocation::State::tracking;
    Diagnostics::event(QStringLiteral("pin.menu.tracking"));
    // Runs the menu's own loop. The chosen item's action arrives before this returns; what
    // follows runs here and never on the menu's hide signal, which comes first.
    m_host.runStatusMenu();
    if (!self)
        co_return;
    Diagnostics::event(QStringLiteral("pin.menu.returned"));
    if (invocation->state != PinMenuInvocation::State::claimed)
        invocation->state = PinMenuInvocation::State::cancelled;
    if (m_menuInvocation == invocation)
        m_menuInvocation.reset();
}

void PinRequestRoad::pasteAsPin()
{
    if (!m_menuInvocation || m_menuInvocation->state != PinMenuInvocation::State::tracking)
        return;
    m_menuInvocation->state = PinMenuInvocation::State::claimed;
    // Acted on once the menu's loop has returned.
    QTimer::singleShot(0, this, [this, invocation = m_menuInvocation] { beginSmartPin(invocation->request); });
}

// --- Smart requests --------------------------------------------------------------------------

void PinRequestRoad::beginSmartPin(std::optional<PreparedPinRequest> prepared)
{
    if (!prepared && m_host.protectsGlobalPinShortcut())
        return;
    if (!mayStartNewImage() || !canBeginPin())
        return;
    if (!m_host.settlePinsForCapture())
        return;
    const PinOriginContext origin =
        prepared ? prepared->origin : PinOriginContext::capture(PinTrigger::shortcut, m_services.origins);

    OutputToast& toast = m_host.generalToast();
    QPointer<PinRequestRoad> self(this);
    const bool begun = toast.coordinator->begin(origin.id, toast.owner, origin.mouseLocation, readingMessage(), [self] {
        if (self)
            self->m_pinRequestTask.cancel();
    });
    if (!begun) {
        m_host.postNotice(toastRefusedMessage());
        return;
    }
    toast.current = origin.id;
    m_pinRequestTask = TaskHandle::spawn([self, origin, prepared](std::stop_token stop) -> QCoro::Task<> {
        auto turn = nextTurn();
        co_await turn;
        if (!self)
            co_return;
        auto request = self->runSmartPin(origin, prepared, stop);
        co_await request;
    });
    m_host.refreshAfterChange();
}

QCoro::Task<> PinRequestRoad::runSmartPin(PinOriginContext origin, std::optional<PreparedPinRequest> prepared,
                                          std::stop_token stop)
{
    QPointer<PinRequestRoad> self(this);
    const std::shared_ptr<PinRequestCoordinator> pinRequests = m_services.pinRequests;
    if (!prepared) {
        auto prepare = pinRequests->prepare(origin, stop);
        PreparedPinRequest request = co_await prepare;
        prepared = std::move(request);
        if (!self)
            co_return;
        if (stop.stop_requested()) {
            endSmartPinCancelled(origin.id);
            co_return;
        }
    }
    auto resolve = pinRequests->resolve(*prepared, stop);
    const PinRequestCoordinator::Resolution resolution = co_await resolve;
    if (!self)
        co_return;
    if (stop.stop_requested()) {
        endSmartPinCancelled(origin.id);
        co_return;
    }
    m_pinRequestTask = TaskHandle();
    switch (resolution.kind()) {
    case PinRequestCoordinator::Resolution::Kind::files:
        beginImport(resolution.urls(), origin, resolution.anchor(), origin.id, std::nullopt);
        break;
    case PinRequestCoordinator::Resolution::Kind::clipboard:
        beginImport(std::nullopt, origin, std::nullopt, origin.id, std::nullopt);
        break;
    case PinRequestCoordinator::Resolution::Kind::message:
        failToast(origin.id, resolution.text());
        break;
    }
    if (self)
        m_host.refreshAfterChange();
}

void PinRequestRoad::endSmartPinCancelled(const QUuid& toastID)
{
    m_host.generalToast().coordinator->remove(toastID);
    m_pinRequestTask = TaskHandle();
    m_host.refreshAfterChange();
}

// --- The open panel --------------------------------------------------------------------------

void PinRequestRoad::openAsPin()
{
    if (!mayStartNewImage() || !canBeginPin() || !m_host.settlePinsForCapture())
        return;
    const PinOriginContext origin = PinOriginContext::capture(PinTrigger::openImage, m_services.origins);
    m_host.setPresentingAlert(true);
    m_host.updateShortcutAvailability();
    QPointer<PinRequestRoad> self(this);
    m_host.presentOpenPanel([self, origin](std::optional<QList<QUrl>> urls) {
        if (!self)
            return;
        self->m_host.setPresentingAlert(false);
        self->m_host.updateShortcutAvailability();
        if (!urls || urls->isEmpty())
            return;
        // The panel ran without blocking: beginImport checks the guards again.
        self->beginImport(*urls, origin, std::nullopt, std::nullopt, std::nullopt);
    });
}

// --- Imports ---------------------------------------------------------------------------------

bool PinRequestRoad::beginImport(std::optional<QList<QUrl>> urls, std::optional<PinOriginContext> origin,
                                 std::optional<Point> near, std::optional<QUuid> feedbackID,
                                 std::optional<QUuid> serviceRequest)
{
    OutputToast& toast = m_host.generalToast();
    if (!mayStartNewImage() || !canBeginPin() || !m_host.settlePinsForCapture()) {
        if (feedbackID)
            toast.coordinator->remove(*feedbackID);
        return false;
    }
    const PinOriginContext requestOrigin =
        origin ? *origin : PinOriginContext::capture(PinTrigger::openImage, m_services.origins);
    const QUuid toastID = feedbackID.value_or(requestOrigin.id);
    const Point anchor = near.value_or(requestOrigin.mouseLocation);

    QPointer<PinRequestRoad> self(this);
    const bool begun = toast.coordinator->begin(toastID, toast.owner, anchor, pinningMessage(), [self] {
        if (self)
            self->m_importTask.cancel();
    });
    if (!begun) {
        m_host.postNotice(toastRefusedMessage());
        return false;
    }
    toast.current = toastID;
    toast.adoptOrigin(toastID, anchor);
    m_host.refreshResources();
    m_services.importer->onAccepted = [self] {
        if (self)
            self->m_host.refreshResources();
    };
    m_importTask = TaskHandle::spawn([self, urls, anchor, toastID, serviceRequest](std::stop_token stop) -> QCoro::Task<> {
        auto turn = nextTurn();
        co_await turn;
        if (!self)
            co_return;
        auto import = self->runImport(urls, anchor, toastID, serviceRequest, stop);
        co_await import;
    });
    m_host.updateShortcutAvailability();
    return true;
}

QCoro::Task<> PinRequestRoad::runImport(std::optional<QList<QUrl>> urls, Point anchor, QUuid toastID,
                                        std::optional<QUuid> serviceRequest, std::stop_token stop)
{
    QPointer<PinRequestRoad> self(this);
    const std::shared_ptr<ImageImportService> importer = m_services.importer;
    auto counter = std::make_shared<int>(0);
    ImageImportService::Accept accept = [self, anchor, counter](const ImageImportService::ImportedImage& image) {
        return self && self->acceptImage(image, anchor, *counter);
    };
    ImageImportService::Result result;
    if (urls) {
        auto batch = importer->openBatch(*urls, accept, stop);
        result = co_await batch;
    } else {
        auto batch = importer->pasteBatch(m_services.pasteboard, accept, stop);
        result = co_await batch;
    }
    if (!self)
        co_return; // the result's destructor ends its reservation
    m_importTask = TaskHandle();
    m_host.refreshAfterChange();
    finishImport(result, toastID);
    if (serviceRequest)
        m_pinServices->finishRequest(*serviceRequest);
}

bool PinRequestRoad::acceptImage(const ImageImportService::ImportedImage& image, const Point& anchor, int& counter)
{
    if (m_host.terminationFrozen() || m_host.pinCount() >= m_host.pinLimit())
        return false;
    const QUuid id = QUuid::createUuid();
    const Size size = image.source.geometry.size;
    EditorSession session(id, Rect{0, 0, size.width, size.height}, image.origin);
    session.commit();
    auto document = std::make_shared<EditorDocument>(image.source, m_host.makeSaveDraft(), std::move(session));
    m_isRegisteringImportedImage = true;
    // y down: each further image sits one step right and one step lower.
    const Point point{anchor.x + batchStep * counter, anchor.y + batchStep * counter};
    const bool added = m_host.addPin(document, point);
    if (added) {
        ++counter;
        m_host.registerDocument(document);
    }
    m_isRegisteringImportedImage = false;
    return added;
}

void PinRequestRoad::finishImport(const ImageImportService::Result& result, const QUuid& requestID)
{
    using Kind = ImageImportService::BatchStatus::Kind;
    const PinImportReport report = PinImportReport::of(*result);
    FeedbackCoordinator& toasts = *m_host.generalToast().coordinator;
    if (report.issues == 0) {
        result->releaseMetadata();
        switch (result->status.kind()) {
        case Kind::busy:
            failToast(requestID, importerBusyMessage());
            break;
        case Kind::cancelled:
            toasts.remove(requestID);
            break;
        default:
            toasts.success(requestID, report.successMessage, false);
            break;
        }
        return;
    }
    // The bookkeeping stays reserved while the details can still be read.
    if (!failToast(requestID, report.issueMessage, report.details, [result] { result->releaseMetadata(); }))
        result->releaseMetadata();
}

bool PinRequestRoad::failToast(const QUuid& id, const QString& message, const std::optional<QString>& details,
                               std::function<void()> onRemoval)
{
    return m_host.generalToast().coordinator->failure(id, message, details, {}, {}, std::move(onRemoval));
}

std::function<QJsonObject(const QJsonObject&)> PinRequestRoad::pinRequestHandler()
{
    return [self = QPointer<PinRequestRoad>(this)](const QJsonObject& request) {
        if (!self)
            return InstanceChannel::refused(PinServiceProvider::refusedMessage());
        const std::optional<QStringList> files = InstanceChannel::pinFiles(request);
        if (!files) {
            Diagnostics::event(QStringLiteral("instance.request.refused reason=files"));
            return InstanceChannel::refused({});
        }
        const std::optional<QString> refusal = self->m_pinServices->pinSelectedImages(*files);
        if (!refusal)
            return InstanceChannel::accepted();
        self->m_host.postNotice(*refusal);
        return InstanceChannel::refused(*refusal);
    };
}

void PinRequestRoad::togglePins()
{
    if (m_host.terminationFrozen() || m_host.hasOverlays() || m_host.hasCaptureTask() || m_host.presentingAlert())
        return;
    m_host.togglePinVisibility();
}

QString PinRequestRoad::readingMessage() { return QStringLiteral("正在读取图片…"); }
QString PinRequestRoad::pinningMessage() { return QStringLiteral("正在置顶图片…"); }
QString PinRequestRoad::toastRefusedMessage() { return QStringLiteral("请先关闭或处理已有错误提示，再置顶图片。"); }
QString PinRequestRoad::restoringMessage() { return QStringLiteral("正在恢复置顶图片内容，请稍后再试。"); }
QString PinRequestRoad::outputBusyMessage() { return QStringLiteral("另一张图片正在输出，请先完成或取消当前输出。"); }
QString PinRequestRoad::importerBusyMessage() { return QStringLiteral("正在处理另一批图片，请稍后再试。"); }

} // namespace vorlith

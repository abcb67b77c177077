#include "app/output/OutputService.h"

#include "app/base/WorkReservationLease.h"
#include "app/output/EncodingJob.h"
#include "app/output/FileDialogSavePanel.h"
#include "app/output/ImageEncoder.h"
#include "core/Async.h"
#include "core/Saturating.h"
#include "platform/Pasteboard.h"

#include <limits>

namespace vorlith {

namespace {

const char* const imageFailedMessage = "图片处理失败，请保留截图并重试。";
const char* const imageItemRefusedMessage = "无法准备剪贴板图片，请重试。";
const char* const textItemRefusedMessage = "无法准备剪贴板文字，请重试。";

} // namespace

// Encoding workspace held in the memory budget; ended in the store that issued it when the
// last holder (the operation's task, or the save panel's handler) lets go, if that store is
// still there.
class OutputService::Workspace : public WorkReservationLease {
public:
    using WorkReservationLease::WorkReservationLease;
};

OutputService::OutputService(std::shared_ptr<Pasteboard> pasteboard, Encoder encoder, PasteboardWriter pasteboardWriter,
                             QObject* parent)
    : QObject(parent),
      m_encoder(encoder ? std::move(encoder) : Encoder(&OutputService::encode)),
      m_pasteboard(std::move(pasteboard)),
      m_pasteboardWriter(pasteboardWriter ? std::move(pasteboardWriter)
                                          : PasteboardWriter(&PasteboardTransaction::defaultWriter)),
      m_privateResources(std::make_shared<ImageResourceStore>()),
      m_resources(m_privateResources)
{
    SaveFlow::Engine engine;
    engine.encoder = m_encoder;
    engine.isCurrent = [this](const QUuid& token) { return m_operation == token; };
    engine.complete = [this](const OutputResult& result) { complete(result); };
    engine.keepWork = [this](TaskHandle work) { m_work = std::move(work); };
    m_saveFlow = std::make_unique<SaveFlow>(std::move(engine));
    m_saveFlow->setSavePanelFactory([] { return new FileDialogSavePanel; });
}

OutputService::~OutputService()
{
    // Nobody is left to hear a completion: drop it, then let the task and the panel find
    // their operation gone (they still end their workspace and their files).
    m_finish = nullptr;
    m_operation.reset();
    m_isBusy = false;
    m_work.cancel();
    m_saveFlow.reset();
}

QByteArray OutputService::encode(const QImage& image, ImageFormat format)
{
    return ImageEncoder::encode(image, format);
}

std::shared_ptr<ImageResourceStore> OutputService::resources() const
{
    return m_resources.lock();
}

void OutputService::setResources(const std::shared_ptr<ImageResourceStore>& store)
{
    m_resources = store ? store : m_privateResources;
}

bool OutputService::start(Completion completion)
{
    if (m_isBusy)
        return false;
    m_isBusy = true;
    m_operation = QUuid::createUuid();
    m_finish = std::move(completion);
    return true;
}

void OutputService::complete(const OutputResult& result)
{
    if (!m_isBusy)
        return;
    m_work.cancel();
    m_work = {};
    m_operation.reset();
    m_isBusy = false;
    m_saveFlow->end();
    const Completion finish = std::exchange(m_finish, nullptr);
    if (finish)
        finish(result);
}

qint64 OutputService::encodingWorkspace(const QImage& image, std::optional<qint64> retainedImageBytes)
{
    qint64 imageBytes = saturatingMultiply(image.bytesPerLine(), image.height());
    if (imageBytes != std::numeric_limits<qint64>::max())
        imageBytes = qMax(imageBytes, retainedImageBytes.value_or(0));
    return ImageResourceStore::outputWorkspaceBytes(imageBytes);
}

std::shared_ptr<OutputService::Workspace> OutputService::reserve(const QImage& image,
                                                                 std::optional<qint64> retainedImageBytes)
{
    const std::shared_ptr<ImageResourceStore> store = m_resources.lock();
    if (!store) {
        complete(OutputResult::failure(ImageResourceStore::Failure(ImageResourceStore::Failure::budget).description()));
        return nullptr;
    }
    try {
        const auto reservation = store->reserveWork(encodingWorkspace(image, retainedImageBytes),
                                                    ImageResourceStore::WorkKind::encoding, 0);
        return std::make_shared<Workspace>(store, reservation);
    } catch (const ImageResourceStore::Failure& failure) {
        complete(OutputResult::failure(failure.description()));
        return nullptr;
    }
}

// ---- clipboard ----

void OutputService::copy(const QImage& image, std::optional<qint64> retainedImageBytes, Completion completion)
{
    if (!start(std::move(completion)))
        return;
    std::shared_ptr<Workspace> workspace = reserve(image, retainedImageBytes);
    if (!workspace)
        return;
    const QUuid token = *m_operation;
    m_work = TaskHandle::spawn([self = QPointer(this), encoder = m_encoder, image, token,
                                workspace = std::move(workspace)](std::stop_token stop) {
        return copyTask(self, encoder, image, token, workspace, stop);
    });
}

QCoro::Task<> OutputService::copyTask(QPointer<OutputService> self, Encoder encoder, QImage image, QUuid token,
                                      [[maybe_unused]] std::shared_ptr<Workspace> workspace, std::stop_token stop)
{
    // `workspace` is held until the task ends, on every path.
    auto encoding = encodeOnQueue(std::move(encoder), std::move(image), ImageFormat::png, stop);
    const EncodedBytes png = co_await encoding;
    if (!self || self->m_operation != token)
        co_return; // withdrawn meanwhile; the workspace ends with this task
    if (!png.bytes) {
        self->complete(OutputResult::failure(QString::fromUtf8(imageFailedMessage)));
        co_return;
    }
    PasteboardItem item;
    if (!item.setData(PasteboardType::png(), *png.bytes)) {
        self->complete(OutputResult::failure(QString::fromUtf8(imageItemRefusedMessage)));
        co_return;
    }
    auto committing = self->commitToPasteboard(item, token, stop);
    co_await committing;
}

void OutputService::copy(const QString& text, Completion completion)
{
    if (!start(std::move(completion)))
        return;
    PasteboardItem item;
    if (!item.setData(PasteboardType::plainText(), text.toUtf8())) {
        complete(OutputResult::failure(QString::fromUtf8(textItemRefusedMessage)));
        return;
    }
    const QUuid token = *m_operation;
    m_work = TaskHandle::spawn([self = QPointer(this), item, token](std::stop_token stop) -> QCoro::Task<> {
        // The transaction may finish without suspending: let the handle be stored first.
        auto turn = nextTurn();
        co_await turn;
        if (stop.stop_requested() || !self || self->m_operation != token)
            co_return;
        auto committing = self->commitToPasteboard(item, token, stop);
        co_await committing;
    });
}

QCoro::Task<> OutputService::commitToPasteboard(PasteboardItem item, QUuid token, std::stop_token stop)
{
    // The snapshot waits for the clipboard's owner: the operation may be withdrawn meanwhile,
    // and then nothing is written.
    QPointer<OutputService> self(this);
    auto committing = PasteboardTransaction::commit(
        m_pasteboard, m_pasteboardWriter, std::move(item),
        [self, token] { return self && self->m_operation == token; }, stop);
    const std::optional<OutputResult> result = co_await committing;
    if (result && self && self->m_operation == token)
        self->complete(*result);
}

void OutputService::cancel()
{
    if (!m_isBusy)
        return;
    const std::optional<QUuid> token = m_operation;
    m_saveFlow->cancelPanel();
    if (m_operation == token)
        complete(OutputResult::cancelled());
}

// ---- saving ----

void OutputService::save(const QImage& image, const SaveDraft& draft, std::optional<qint64> retainedImageBytes,
                         QWidget* parent, std::function<void()> onWriting, SaveCompletion completion)
{
    if (m_isBusy)
        return;
    start([this, draft, completion = std::move(completion)](const OutputResult& result) {
        const SaveDraft delivered = m_saveFlow->takeDraft(draft);
        if (completion)
            completion(result, delivered);
    });
    std::shared_ptr<Workspace> workspace = reserve(image, retainedImageBytes);
    if (!workspace)
        return;
    m_saveFlow->begin(image, draft, *m_operation, parent, std::move(onWriting), std::move(workspace));
}

} // namespace vorlith

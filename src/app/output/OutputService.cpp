#include "app/output/OutputService.h"

#include "app/output/FileAccessLease.h"
#include "app/output/FileDialogSavePanel.h"
#include "app/output/FileWriteError.h"
#include "app/output/ImageEncoder.h"
#include "app/output/PreparedFile.h"
#include "app/output/SavePanel.h"
#include "core/CancellationError.h"
#include "core/Saturating.h"
#include "core/SharedWorkQueues.h"
#include "platform/LocalFolderAccess.h"
#include "platform/Pasteboard.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <limits>

namespace vorlith {

namespace {

const char* const imageFailedMessage = "图片处理失败，请保留截图并重试。";
const char* const imageItemRefusedMessage = "无法准备剪贴板图片，请重试。";
const char* const textItemRefusedMessage = "无法准备剪贴板文字，请重试。";

// What the user reads for an error inside a save failure message.
QString describe(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const ImageResourceStore::Failure& failure) {
        return failure.description();
    } catch (const FileWriteError& failure) {
        return failure.description();
    } catch (const CancellationError&) {
        return QStringLiteral("操作已取消。");
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    } catch (...) {
        return QStringLiteral("发生未知错误。");
    }
}

OutputResult saveFailure(const std::exception_ptr& error)
{
    return OutputResult::failure(QStringLiteral("保存失败：") + describe(error) +
                                 QStringLiteral("\n截图与保存设置已保留，可重试。"));
}

bool sameFolder(const QString& a, const QString& b)
{
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

} // namespace

// Encoding workspace held in the memory budget; ended in the store that issued it when the
// last holder (the operation's task, or the save panel's handler) lets go.
class OutputService::Workspace {
public:
    Workspace(std::shared_ptr<ImageResourceStore> keepAlive, ImageResourceStore* store,
              ImageResourceStore::WorkReservation reservation)
        : m_keepAlive(std::move(keepAlive)), m_store(store), m_reservation(reservation)
    {
    }
    ~Workspace() { m_store->finishWork(m_reservation); }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

private:
    std::shared_ptr<ImageResourceStore> m_keepAlive;
    ImageResourceStore* m_store;
    ImageResourceStore::WorkReservation m_reservation;
};

struct OutputService::Encoded {
    std::optional<QByteArray> bytes;
    std::exception_ptr error;
};

OutputService::OutputService(std::shared_ptr<Pasteboard> pasteboard, Encoder encoder, PasteboardWriter pasteboardWriter,
                             QObject* parent)
    : QObject(parent),
      m_encoder(encoder ? std::move(encoder) : Encoder(&OutputService::encode)),
      m_pasteboard(std::move(pasteboard)),
      m_pasteboardWriter(pasteboardWriter ? std::move(pasteboardWriter)
                                          : PasteboardWriter(&PasteboardTransaction::defaultWriter)),
      m_privateResources(std::make_shared<ImageResourceStore>()),
      m_resources(m_privateResources.get()),
      m_makeSavePanel([] { return new FileDialogSavePanel; }),
      m_folderAccess(std::make_shared<LocalFolderAccess>())
{
}

OutputService::~OutputService()
{
    // Nobody is left to hear a completion: drop it, then let the task and the panel find
    // their operation gone (they still end their workspace and their files).
    m_finish = nullptr;
    m_operation.reset();
    m_isBusy = false;
    m_work.cancel();
    if (m_panel) {
        SavePanel* panel = m_panel;
        m_panel = nullptr;
        panel->cancel();
        panel->deleteLater();
    }
    if (m_accessURL)
        m_folderAccess->stopAccess(*m_accessURL);
}

QByteArray OutputService::encode(const QImage& image, ImageFormat format)
{
    return ImageEncoder::encode(image, format);
}

void OutputService::setResources(ImageResourceStore* store)
{
    m_resources = store ? store : m_privateResources.get();
}

void OutputService::setFolderAccess(std::shared_ptr<FolderAccess> access)
{
    m_folderAccess = access ? std::move(access) : std::make_shared<LocalFolderAccess>();
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
    m_panel = nullptr; // the panel's own handler releases it
    if (m_accessURL) {
        m_folderAccess->stopAccess(*m_accessURL);
        m_accessURL.reset();
    }
    const Completion finish = std::exchange(m_finish, nullptr);
    if (finish)
        finish(result);
}

qint64 OutputService::encodingWorkspace(const QImage& image, std::optional<qint64> retainedImageBytes)
{
    qint64 imageBytes = saturatingMultiply(image.bytesPerLine(), image.height());
    if (imageBytes != std::numeric_limits<qint64>::max())
        imageBytes = qMax(imageBytes, retainedImageBytes.value_or(0));
    if (imageBytes < 1)
        return 0;
    return saturatingAdd(saturatingMultiply(4, imageBytes), 65'536);
}

std::shared_ptr<OutputService::Workspace> OutputService::reserve(const QImage& image,
                                                                 std::optional<qint64> retainedImageBytes)
{
    try {
        const auto reservation = m_resources->reserveWork(encodingWorkspace(image, retainedImageBytes),
                                                          ImageResourceStore::WorkKind::encoding, 0);
        const bool isPrivate = m_resources == m_privateResources.get();
        return std::make_shared<Workspace>(isPrivate ? m_privateResources : nullptr, m_resources, reservation);
    } catch (const ImageResourceStore::Failure& failure) {
        complete(OutputResult::failure(failure.description()));
        return nullptr;
    }
}

QCoro::Task<OutputService::Encoded> OutputService::encoded(Encoder encoder, QImage image, ImageFormat format,
                                                           std::stop_token stop)
{
    Encoded result;
    try {
        auto job = SharedWorkQueues::outputEncoding().run(
            stop, [encoder = std::move(encoder), image = std::move(image), format] { return encoder(image, format); });
        result.bytes = co_await job;
    } catch (...) {
        result.error = std::current_exception();
    }
    co_return result;
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
    auto encoding = encoded(std::move(encoder), std::move(image), ImageFormat::png, stop);
    const Encoded png = co_await encoding;
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
    self->commitToPasteboard(item);
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
    commitToPasteboard(item);
}

void OutputService::commitToPasteboard(const PasteboardItem& item)
{
    complete(PasteboardTransaction::commit(*m_pasteboard, m_pasteboardWriter, item));
}

void OutputService::cancel()
{
    if (!m_isBusy)
        return;
    if (!m_panel) {
        complete(OutputResult::cancelled());
        return;
    }
    const std::optional<QUuid> token = m_operation;
    snapshotDraft(m_panel);
    m_panel->cancel(); // its handler may run now or later; either way it finds what to do
    if (m_operation == token)
        complete(OutputResult::cancelled());
}

// ---- saving ----

void OutputService::save(const QImage& image, const SaveDraft& draft, std::optional<qint64> retainedImageBytes,
                         QWidget* parent, std::function<void()> onWriting, SaveCompletion completion)
{
    if (m_isBusy)
        return;
    m_activeDraft = draft;
    start([this, draft, completion = std::move(completion)](const OutputResult& result) {
        const SaveDraft delivered = m_activeDraft.value_or(draft);
        m_activeDraft.reset();
        if (completion)
            completion(result, delivered);
    });
    std::shared_ptr<Workspace> workspace = reserve(image, retainedImageBytes);
    if (!workspace)
        return;
    const QUuid token = *m_operation;

    if (draft.directoryBookmark) {
        if (const std::optional<QString> folder = m_folderAccess->resolveBookmark(*draft.directoryBookmark)) {
            if (m_folderAccess->startAccess(*folder))
                m_accessURL = *folder;
        }
    }

    SavePanel* panel = m_makeSavePanel();
    m_panel = panel;
    SavePanel::Configuration configuration;
    configuration.title = QStringLiteral("保存截图");
    configuration.prompt = QStringLiteral("保存");
    configuration.nameFieldLabel = QStringLiteral("名称：");
    configuration.directory = m_accessURL.value_or(draft.directory);
    configuration.name = draft.name;
    configuration.format = draft.format;
    configuration.aboveOverlays = parent && parent->window()->windowFlags().testFlag(Qt::BypassWindowManagerHint);

    panel->onFormatChanged = [self = QPointer(this)] {
        if (self)
            self->formatChanged();
    };
    panel->onFinished = [self = QPointer(this), panel, token, image, onWriting = std::move(onWriting),
                         workspace = std::move(workspace)](bool accepted) mutable {
        std::shared_ptr<Workspace> held = std::move(workspace); // this handler runs once
        if (!self) {
            panel->deleteLater();
            return;
        }
        self->panelFinished(accepted, panel, token, image, onWriting, std::move(held));
    };
    panel->open(configuration);
}

void OutputService::panelFinished(bool accepted, SavePanel* panel, const QUuid& token, const QImage& image,
                                  const std::function<void()>& onWriting, std::shared_ptr<Workspace> workspace)
{
    panel->deleteLater();
    if (m_operation != token)
        return; // cancelled or completed meanwhile; the workspace ends here
    snapshotDraft(panel);
    if (m_panel == panel)
        m_panel = nullptr;

    const std::optional<QString> file = accepted ? panel->selectedFile() : std::nullopt;
    if (file && m_activeDraft) {
        if (onWriting)
            onWriting();
        write(image, m_activeDraft->format, *file, token, std::move(workspace));
        return;
    }
    workspace.reset();
    complete(OutputResult::cancelled());
}

void OutputService::snapshotDraft(SavePanel* panel)
{
    if (!m_activeDraft || !panel)
        return;
    m_activeDraft->name = panel->nameFieldText();
    const QString folder = panel->directory();
    if (!folder.isEmpty() && !sameFolder(folder, m_activeDraft->directory)) {
        m_activeDraft->directory = folder;
        m_activeDraft->directoryBookmark.reset(); // a bookmark never stays on another folder
    }
    if (const std::optional<ImageFormat> format = imageFormatFromRawValue(panel->formatTitle()))
        m_activeDraft->format = *format;
    if (std::optional<QByteArray> bookmark = m_folderAccess->makeBookmark(m_activeDraft->directory))
        m_activeDraft->directoryBookmark = std::move(bookmark);
}

void OutputService::formatChanged()
{
    if (!m_panel)
        return;
    const std::optional<ImageFormat> format = imageFormatFromRawValue(m_panel->formatTitle());
    if (!format)
        return;
    if (m_activeDraft)
        m_activeDraft->format = *format;
    m_panel->setAllowedFormat(*format);
    m_panel->setNameFieldText(renamedForFormat(m_panel->nameFieldText(), *format));
}

void OutputService::write(const QImage& image, ImageFormat format, const QString& path, const QUuid& token,
                          std::shared_ptr<Workspace> workspace)
{
    // Whatever the panel returned, the file's extension names the bytes it holds.
    const QFileInfo chosen(path);
    const QString destination = chosen.absolutePath() + QLatin1Char('/') + fileNameForFormat(chosen.fileName(), format);
    m_work = TaskHandle::spawn([self = QPointer(this), encoder = m_encoder, image, format, destination, token,
                                workspace = std::move(workspace), access = m_folderAccess](std::stop_token stop) {
        return writeTask(self, encoder, image, format, destination, token, workspace, access, stop);
    });
}

QCoro::Task<> OutputService::writeTask(QPointer<OutputService> self, Encoder encoder, QImage image, ImageFormat format,
                                       QString path, QUuid token, [[maybe_unused]] std::shared_ptr<Workspace> workspace,
                                       std::shared_ptr<FolderAccess> folderAccess, std::stop_token stop)
{
    // `workspace` is held until the task ends, on every path; so is the lease on the file.
    auto lease = std::make_shared<FileAccessLease>(std::move(folderAccess), path);

    auto encoding = encoded(std::move(encoder), std::move(image), format, stop);
    Encoded bytes = co_await encoding;
    if (!self || self->m_operation != token)
        co_return;
    if (!bytes.bytes) {
        self->complete(saveFailure(bytes.error));
        co_return;
    }

    std::unique_ptr<PreparedFile> prepared;
    std::exception_ptr stagingError;
    try {
        auto staging = SharedWorkQueues::outputFiles().run(
            stop, [data = std::move(*bytes.bytes), path, lease](std::stop_token jobStop) {
                return std::make_unique<PreparedFile>(data, path, lease, jobStop);
            });
        prepared = co_await staging;
    } catch (...) {
        stagingError = std::current_exception();
    }
    if (!self || self->m_operation != token || stop.stop_requested())
        co_return; // a staged file goes with `prepared`
    if (stagingError) {
        self->complete(saveFailure(stagingError));
        co_return;
    }
    try {
        prepared->place();
    } catch (...) {
        self->complete(saveFailure(std::current_exception()));
        co_return;
    }
    self->complete(OutputResult::success());
}

} // namespace vorlith

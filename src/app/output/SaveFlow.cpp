#include "app/output/SaveFlow.h"

#include "app/base/ImageResourceStore.h"
#include "app/output/EncodingJob.h"
#include "app/output/FileAccessLease.h"
#include "app/output/FileWriteError.h"
#include "app/output/PreparedFile.h"
#include "app/output/SavePanel.h"
#include "core/CancellationError.h"
#include "core/SharedWorkQueues.h"
#include "platform/LocalFolderAccess.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace vorlith {

namespace {

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

SaveFlow::SaveFlow(Engine engine, QObject* parent)
    : QObject(parent),
      m_engine(std::move(engine)),
      m_folderAccess(std::make_shared<LocalFolderAccess>())
{
}

SaveFlow::~SaveFlow()
{
    // The engine is going: let an open panel's handler find its operation gone.
    m_engine = {};
    if (m_panel) {
        SavePanel* panel = m_panel;
        m_panel = nullptr;
        panel->cancel();
        panel->deleteLater();
    }
    end();
}

void SaveFlow::setFolderAccess(std::shared_ptr<FolderAccess> access)
{
    m_folderAccess = access ? std::move(access) : std::make_shared<LocalFolderAccess>();
}

void SaveFlow::begin(const QImage& image, const SaveDraft& draft, const QUuid& token, QWidget* parent,
                     std::function<void()> onWriting, std::shared_ptr<void> workspace)
{
    m_activeDraft = draft;
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
    configuration.parentWindow = parent ? parent->window() : nullptr;

    panel->onFormatChanged = [self = QPointer(this)] {
        if (self)
            self->formatChanged();
    };
    panel->onFinished = [self = QPointer(this), panel, token, image, onWriting = std::move(onWriting),
                         workspace = std::move(workspace)](bool accepted) mutable {
        std::shared_ptr<void> held = std::move(workspace); // this handler runs once
        if (!self) {
            panel->deleteLater();
            return;
        }
        self->panelFinished(accepted, panel, token, image, onWriting, std::move(held));
    };
    panel->open(configuration);
}

bool SaveFlow::cancelPanel()
{
    if (!m_panel)
        return false;
    snapshotDraft(m_panel);
    m_panel->cancel(); // its handler may run now or later; either way it finds what to do
    return true;
}

void SaveFlow::end()
{
    m_panel = nullptr; // the panel's own handler releases it
    if (m_accessURL) {
        m_folderAccess->stopAccess(*m_accessURL);
        m_accessURL.reset();
    }
}

SaveDraft SaveFlow::takeDraft(const SaveDraft& fallback)
{
    const SaveDraft draft = m_activeDraft.value_or(fallback);
    m_activeDraft.reset();
    return draft;
}

void SaveFlow::panelFinished(bool accepted, SavePanel* panel, const QUuid& token, const QImage& image,
                             const std::function<void()>& onWriting, std::shared_ptr<void> workspace)
{
    panel->deleteLater();
    if (!isCurrent(token))
        return; // cancelled or completed meanwhile; the workspace ends here
    snapshotDraft(panel);
    if (m_panel == panel)
        m_panel = nullptr;

    const std::optional<QString> file = accepted ? panel->selectedFile() : std::nullopt;
    if (file && m_activeDraft) {
        if (onWriting)
            onWriting();
        if (!isCurrent(token))
            return; // the caller withdrew the save from inside onWriting
        write(image, m_activeDraft->format, *file, token, std::move(workspace));
        return;
    }
    workspace.reset();
    m_engine.complete(OutputResult::cancelled());
}

void SaveFlow::snapshotDraft(SavePanel* panel)
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

void SaveFlow::formatChanged()
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

void SaveFlow::write(const QImage& image, ImageFormat format, const QString& path, const QUuid& token,
                     std::shared_ptr<void> workspace)
{
    // Whatever the panel returned, the file's extension names the bytes it holds.
    const QFileInfo chosen(path);
    const QString destination = chosen.absolutePath() + QLatin1Char('/') + fileNameForFormat(chosen.fileName(), format);
    m_engine.keepWork(TaskHandle::spawn([self = QPointer(this), encoder = m_engine.encoder, image, format, destination,
                                         token, workspace = std::move(workspace),
                                         access = m_folderAccess](std::stop_token stop) {
        return writeTask(self, encoder, image, format, destination, token, workspace, access, stop);
    }));
}

QCoro::Task<> SaveFlow::writeTask(QPointer<SaveFlow> self, Encoder encoder, QImage image, ImageFormat format,
                                  QString path, QUuid token, [[maybe_unused]] std::shared_ptr<void> workspace,
                                  std::shared_ptr<FolderAccess> folderAccess, std::stop_token stop)
{
    // `workspace` is held until the task ends, on every path; so is the lease on the file.
    auto lease = std::make_shared<FileAccessLease>(std::move(folderAccess), path);

    auto encoding = encodeOnQueue(std::move(encoder), std::move(image), format, stop);
    EncodedBytes bytes = co_await encoding;
    if (!self || !self->isCurrent(token))
        co_return;
    if (!bytes.bytes) {
        self->m_engine.complete(saveFailure(bytes.error));
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
    if (!self || !self->isCurrent(token) || stop.stop_requested())
        co_return; // a staged file goes with `prepared`
    if (stagingError) {
        self->m_engine.complete(saveFailure(stagingError));
        co_return;
    }
    try {
        prepared->place();
    } catch (...) {
        self->m_engine.complete(saveFailure(std::current_exception()));
        co_return;
    }
    self->m_engine.complete(OutputResult::success());
}

} // namespace vorlith

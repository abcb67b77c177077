#pragma once

#include "app/output/ImageFormat.h"
#include "app/output/OutputResult.h"
#include "app/output/PasteboardTransaction.h"
#include "app/output/SaveDraft.h"
#include "app/output/SaveFlow.h"
#include "app/base/ImageResourceStore.h"
#include "core/TaskHandle.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace vorlith {

class FolderAccess;
class Pasteboard;

// The output engine of one editor (a capture overlay or a pin): copies an image or a text to
// the clipboard, and saves an image through the save panel. One operation at a time; a call
// while busy is ignored without its completion. Every started operation calls its completion
// exactly once, on the main thread, after the engine is idle again.
//
// Encoding runs on the shared encoding queue (two at a time for the whole application),
// staging of saved files on the shared file queue (one at a time). The encoding workspace is
// reserved in the image memory budget before anything is encoded.
//
// Main thread only.
class OutputService : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const OutputResult&)>;
    using SaveCompletion = std::function<void(const OutputResult&, const SaveDraft&)>;
    // Turns an image into file bytes; runs on a worker thread and may throw.
    using Encoder = SaveFlow::Encoder;
    // Makes a new, unopened save panel for each save.
    using SavePanelFactory = SaveFlow::SavePanelFactory;

    // Absent encoder and writer take the defaults: `encode` and the pasteboard's own write.
    explicit OutputService(std::shared_ptr<Pasteboard> pasteboard, Encoder encoder = {},
                           PasteboardWriter pasteboardWriter = {}, QObject* parent = nullptr);
    ~OutputService() override;

    // The PNG or JPEG bytes of an image, always 8-bit sRGB. Any thread. Throws
    // ImageEncodingError.
    static QByteArray encode(const QImage& image, ImageFormat format);

    // The memory budget for encoding workspace. The engine starts with a private store of the
    // default size; its owner switches it to the application's store. It is held weakly: a
    // workspace whose store is gone gives nothing back.
    [[nodiscard]] std::shared_ptr<ImageResourceStore> resources() const;
    void setResources(const std::shared_ptr<ImageResourceStore>& store);

    // Replaceable seams of the save half (defaults: Qt's file dialog, no bookmarks).
    void setSavePanelFactory(SavePanelFactory factory) { m_saveFlow->setSavePanelFactory(std::move(factory)); }
    void setFolderAccess(std::shared_ptr<FolderAccess> access) { m_saveFlow->setFolderAccess(std::move(access)); }

    bool isBusy() const { return m_isBusy; }

    // Copies the image as PNG. `retainedImageBytes`: what the caller already holds for this
    // output (the full composed image it cropped from), counted into the workspace.
    void copy(const QImage& image, std::optional<qint64> retainedImageBytes, Completion completion);
    // Copies the text as plain text. Completes once the previous contents have been read
    // (another program owns them and answers when it likes), never inside the call.
    void copy(const QString& text, Completion completion);
    // Shows the save panel for the draft; on confirmation calls `onWriting`, then encodes and
    // writes the file. The completion carries the draft as the panel left it, also after a
    // cancel. The panel stacks above override-redirect windows when `parent`'s window is one.
    void save(const QImage& image, const SaveDraft& draft, std::optional<qint64> retainedImageBytes, QWidget* parent,
              std::function<void()> onWriting, SaveCompletion completion);
    // Withdraws the running operation: its completion reports `cancelled`, once. An open
    // panel's name, folder and format are kept in the draft first.
    void cancel();

    // Workspace reserved for encoding an image: the budget's output workspace of
    // max(image bytes, retained); 0 for an empty image.
    [[nodiscard]] static qint64 encodingWorkspace(const QImage& image, std::optional<qint64> retainedImageBytes);

private:
    class Workspace;

    bool start(Completion completion);
    std::shared_ptr<Workspace> reserve(const QImage& image, std::optional<qint64> retainedImageBytes);
    void complete(const OutputResult& result);
    // The clipboard transaction of the operation `token`; completes it unless it was withdrawn.
    QCoro::Task<> commitToPasteboard(PasteboardItem item, QUuid token, std::stop_token stop);
    static QCoro::Task<> copyTask(QPointer<OutputService> self, Encoder encoder, QImage image, QUuid token,
                                  std::shared_ptr<Workspace> workspace, std::stop_token stop);

    Encoder m_encoder;
    std::shared_ptr<Pasteboard> m_pasteboard;
    PasteboardWriter m_pasteboardWriter;
    TaskHandle m_work;
    std::shared_ptr<ImageResourceStore> m_privateResources;
    std::weak_ptr<ImageResourceStore> m_resources;
    bool m_isBusy = false;
    std::optional<QUuid> m_operation;
    Completion m_finish;
    std::unique_ptr<SaveFlow> m_saveFlow;
};

} // namespace vorlith

#pragma once

#include "app/output/ImageFormat.h"
#include "app/output/OutputResult.h"
#include "app/output/SaveDraft.h"
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
class SavePanel;

// The save half of an output engine: the save panel, the draft it edits, the renaming on a
// format change, then encoding and writing the file. The engine owns one and keeps the
// operation's token and completion; the flow asks it whether its operation is still the
// running one and reports its end through it.
//
// Main thread only.
class SaveFlow : public QObject {
    Q_OBJECT
public:
    // Turns an image into file bytes; runs on a worker thread and may throw.
    using Encoder = std::function<QByteArray(const QImage&, ImageFormat)>;
    using SavePanelFactory = std::function<SavePanel*()>;

    // What the flow needs of its engine.
    struct Engine {
        Encoder encoder;
        // Whether `token` names the engine's running operation.
        std::function<bool(const QUuid& token)> isCurrent;
        // Ends the running operation with a result.
        std::function<void(const OutputResult&)> complete;
        // Keeps the write task as the running operation's work.
        std::function<void(TaskHandle)> keepWork;
    };

    explicit SaveFlow(Engine engine, QObject* parent = nullptr);
    ~SaveFlow() override;

    void setSavePanelFactory(SavePanelFactory factory) { m_makeSavePanel = std::move(factory); }
    void setFolderAccess(std::shared_ptr<FolderAccess> access);

    // Shows the panel for the draft of the operation `token`. `workspace` is the encoding
    // reservation; it is held until the file is written or the save ends.
    void begin(const QImage& image, const SaveDraft& draft, const QUuid& token, QWidget* parent,
               std::function<void()> onWriting, std::shared_ptr<void> workspace);
    // Withdraws an open panel, keeping its name, folder and format in the draft first. False
    // when no panel is open.
    bool cancelPanel();
    // The operation has ended: folder access stops, the panel is left to its handler.
    void end();
    // The draft as the panel left it (or `fallback` when no save ran); forgets it.
    [[nodiscard]] SaveDraft takeDraft(const SaveDraft& fallback);

private:
    void panelFinished(bool accepted, SavePanel* panel, const QUuid& token, const QImage& image,
                       const std::function<void()>& onWriting, std::shared_ptr<void> workspace);
    void snapshotDraft(SavePanel* panel);
    void formatChanged();
    void write(const QImage& image, ImageFormat format, const QString& path, const QUuid& token,
               std::shared_ptr<void> workspace);
    static QCoro::Task<> writeTask(QPointer<SaveFlow> self, Encoder encoder, QImage image, ImageFormat format,
                                   QString path, QUuid token, std::shared_ptr<void> workspace,
                                   std::shared_ptr<FolderAccess> folderAccess, std::stop_token stop);
    bool isCurrent(const QUuid& token) const { return m_engine.isCurrent && m_engine.isCurrent(token); }

    Engine m_engine;
    QPointer<SavePanel> m_panel;
    std::optional<QString> m_accessURL;
    std::optional<SaveDraft> m_activeDraft;
    SavePanelFactory m_makeSavePanel;
    std::shared_ptr<FolderAccess> m_folderAccess;
};

} // namespace vorlith

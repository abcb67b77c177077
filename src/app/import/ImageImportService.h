#pragma once

#include "app/base/EditorImageSource.h"
#include "app/base/ImageResourceStore.h"
#include "app/import/ImageProbe.h"
#include "app/import/ImportError.h"
#include "core/CaptureContent.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace vorlith {

class FolderAccess;
class Pasteboard;

// Turns image files, or what the clipboard holds, into decoded images under the image memory
// budget, one batch at a time. Each decoded image goes to the caller's accept function (which
// makes its pin); the batch as a whole is reported as one BatchResult and never throws.
//
// Memory is reserved before it is used: the batch's bookkeeping before the first file, twice
// a file's size before it is read, the bitmap (and two transient copies) before it is
// decoded. Reads, probes and decodes run one at a time for the whole application on the
// image import queue; everything else runs on the main thread.
//
// Cancellation comes through the stop token a batch is given. Destroy the service only while
// no batch runs.
class ImageImportService {
public:
    using Metadata = ImageMetadata;
    using ImportError = vorlith::ImportError;

    struct ImportedImage {
        EditorImageSource source; // id = the source id the memory was reserved under
        DocumentOrigin origin = DocumentOrigin::localFile;
    };

    struct Failure {
        QString name;   // the item: a file's last path component or a fixed name
        QString reason; // one user-facing sentence
        friend bool operator==(const Failure&, const Failure&) = default;
    };

    enum class StopReason { capacity, clipboardChanged, hostRefused };

    class BatchStatus {
    public:
        enum class Kind { stopped, completed, busy, cancelled };
        static BatchStatus stopped(StopReason reason) { return {Kind::stopped, reason}; }
        static BatchStatus completed() { return {Kind::completed}; }
        static BatchStatus busy() { return {Kind::busy}; }
        static BatchStatus cancelled() { return {Kind::cancelled}; }
        Kind kind() const { return m_kind; }
        // Meaningful only for `stopped`.
        StopReason stopReason() const { return m_reason; }
        friend bool operator==(const BatchStatus& a, const BatchStatus& b)
        {
            return a.m_kind == b.m_kind && (a.m_kind != Kind::stopped || a.m_reason == b.m_reason);
        }

    private:
        BatchStatus(Kind kind, StopReason reason = StopReason::capacity) : m_kind(kind), m_reason(reason) {}
        Kind m_kind;
        StopReason m_reason;
    };

    // What one batch did. The bookkeeping reservation it owns is finished once: by
    // releaseMetadata(), or when the result is destroyed (on the main thread, wherever the
    // last reference goes).
    class BatchResult {
    public:
        BatchResult(BatchStatus status, std::weak_ptr<ImageResourceStore> resources,
                    std::optional<ImageResourceStore::WorkReservation> metadata);
        ~BatchResult();
        BatchResult(const BatchResult&) = delete;
        BatchResult& operator=(const BatchResult&) = delete;

        BatchStatus status;
        QList<QUuid> acceptedIDs;  // in order
        QStringList skipped;       // duplicates and files that are not images
        QList<Failure> failures;   // in the order they arose
        QStringList unprocessed;   // never reached because the batch ended early
        // Files never reached whose names are not listed (all of them when even the
        // bookkeeping could not be reserved).
        qint64 undisclosedUnprocessedCount = 0;
        const std::weak_ptr<ImageResourceStore> resources;
        std::optional<ImageResourceStore::WorkReservation> metadata; // file batches only

        // Finishes the bookkeeping reservation; later calls do nothing.
        void releaseMetadata();
    };
    using Result = std::shared_ptr<BatchResult>;

    // Takes the image (true: the caller owns it now) or refuses it (false: the batch stops).
    // Called on the main thread, at most once per decoded image.
    using Accept = std::function<bool(const ImportedImage&)>;

    // `access`: security-scoped access around each file; absent, none is needed.
    explicit ImageImportService(std::shared_ptr<ImageResourceStore> resources,
                                std::shared_ptr<FolderAccess> access = {});
    ~ImageImportService();
    ImageImportService(const ImageImportService&) = delete;
    ImageImportService& operator=(const ImageImportService&) = delete;

    const std::shared_ptr<ImageResourceStore>& resources() const { return m_resources; }
    bool isBusy() const { return m_isBusy; }

    // After every image the accept function took and the budget committed.
    std::function<void()> onAccepted;

    // The files of the open panel, the file manager or a pin request: `busy` at once while
    // another batch of this service runs.
    QCoro::Task<Result> openBatch(QList<QUrl> urls, Accept accept, std::stop_token stop = {});
    // The clipboard: its local files when it names any, else one image from its image data.
    // The batch ends `stopped(clipboardChanged)` as soon as the clipboard changes.
    QCoro::Task<Result> pasteBatch(std::shared_ptr<Pasteboard> pasteboard, Accept accept, std::stop_token stop = {});

    // The failure sentences the service itself writes.
    static QString unrecognizedFileReason();  // "无法识别或访问此文件。"
    static QString unreadableFileReason();    // "文件不可用、读取期间发生变化或没有读取权限。"
    static QString noMemoryForBatchReason();  // "可用内存不足，尚未读取所选文件。"
    static QString clipboardChangedReason();  // "剪贴板内容已变化，请重新置顶。"
    static QString hostRefusedReason();       // "无法创建置顶图片，原有图片仍然保留。"
    // The fixed item names.
    static QString requestItemName();         // "置顶图片"
    static QString clipboardImageItemName();  // "剪贴板图片"
    static QString fileReferenceItemName();   // "图片文件"

private:
    using Validity = std::function<bool()>;

    struct ReceiveOutcome {
        enum class Kind { accepted, rejected, cancelled };
        Kind kind = Kind::cancelled;
        QUuid id;                       // accepted
        Failure failure;                // rejected
        bool canTryAnotherRepresentation = false;
        std::optional<StopReason> stop; // rejected
    };

    // Sets and clears the busy flag around one batch, on every way out.
    class BusyScope;

    QCoro::Task<Result> importFiles(QList<QUrl> urls, Validity valid, Accept accept, std::stop_token stop);
    QCoro::Task<ReceiveOutcome> receive(QByteArray data, bool allowedFileTypesOnly, QString name,
                                        DocumentOrigin origin, Validity valid, Accept accept,
                                        std::stop_token stop);
    // Tries the image types the `items` offer, in the fixed order, until one is pinned.
    QCoro::Task<Result> importClipboardImage(std::shared_ptr<Pasteboard> pasteboard, qint64 startCount,
                                             QList<QStringList> items, Accept accept, std::stop_token stop);
    Result emptyResult(BatchStatus status) const;

    std::shared_ptr<ImageResourceStore> m_resources;
    std::shared_ptr<FolderAccess> m_access;
    bool m_isBusy = false;
};

} // namespace vorlith

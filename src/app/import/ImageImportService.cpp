#include "app/import/ImageImportService.h"

#include "app/base/WorkReservationLease.h"
#include "app/import/ClipboardFileList.h"
#include "app/import/ClipboardReader.h"
#include "app/import/ImageFileInput.h"
#include "app/import/ImportItemName.h"
#include "app/import/PinImageFileClassifier.h"
#include "core/CancellationError.h"
#include "core/SharedWorkQueues.h"
#include "platform/FolderAccess.h"
#include "platform/Pasteboard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <QThread>

#include <limits>

namespace vorlith {

namespace {

using Kind = PinImageFileClassifier::Kind;
using WorkKind = ImageResourceStore::WorkKind;

bool isCapacity(const ImageResourceStore::Failure& failure)
{
    return failure.reason() == ImageResourceStore::Failure::budget ||
           failure.reason() == ImageResourceStore::Failure::count;
}

// The key under which a batch recognises a file it has seen: the path with symbolic links
// resolved. A file that does not exist has no such path; its cleaned absolute path stands in,
// so that two missing files are two failures rather than one failure and one "duplicate".
QString duplicateKey(const QUrl& url)
{
    if (!url.isLocalFile())
        return url.toString(QUrl::FullyEncoded);
    const QFileInfo info(url.toLocalFile());
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QStringList namesFrom(const QList<QUrl>& urls, qsizetype first)
{
    QStringList names;
    for (qsizetype i = first; i < urls.size(); ++i)
        names << lastPathComponent(urls[i]);
    return names;
}

// Security-scoped access to one file for as long as the batch works on it.
class FileAccessScope {
public:
    FileAccessScope(FolderAccess* access, const QUrl& url)
    {
        if (access && url.isLocalFile() && access->startAccess(url.toLocalFile())) {
            m_access = access;
            m_path = url.toLocalFile();
        }
    }
    ~FileAccessScope()
    {
        if (m_access)
            m_access->stopAccess(m_path);
    }
    FileAccessScope(const FileAccessScope&) = delete;
    FileAccessScope& operator=(const FileAccessScope&) = delete;

private:
    FolderAccess* m_access = nullptr;
    QString m_path;
};


// The clipboard types image data is tried under, in order: PNG, TIFF, then every type the
// decoder reads. Vector types are left out: they have no pixel size of their own.
QStringList imageCandidateTypes()
{
    QStringList types{QStringLiteral("image/png"), QStringLiteral("image/tiff")};
    for (const QByteArray& type : QImageReader::supportedMimeTypes()) {
        const QString name = QString::fromLatin1(type);
        if (!name.contains(QLatin1String("svg")))
            types << name;
    }
    return types;
}

} // namespace

// ---- results ----

ImageImportService::BatchResult::BatchResult(BatchStatus status, std::weak_ptr<ImageResourceStore> resources,
                                             std::optional<ImageResourceStore::WorkReservation> metadata)
    : status(status), resources(std::move(resources)), metadata(metadata)
{
}

ImageImportService::BatchResult::~BatchResult()
{
    if (!metadata)
        return;
    auto finish = [store = resources, reservation = *metadata] {
        if (const auto locked = store.lock())
            locked->finishWork(reservation);
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        finish();
    else
        QMetaObject::invokeMethod(app, std::move(finish), Qt::QueuedConnection);
}

void ImageImportService::BatchResult::releaseMetadata()
{
    if (!metadata)
        return;
    const ImageResourceStore::WorkReservation reservation = *metadata;
    metadata.reset();
    if (const auto store = resources.lock())
        store->finishWork(reservation);
}

// ---- texts ----

QString ImageImportService::unrecognizedFileReason() { return QStringLiteral("无法识别或访问此文件。"); }
QString ImageImportService::unreadableFileReason() { return QStringLiteral("文件不可用、读取期间发生变化或没有读取权限。"); }
QString ImageImportService::noMemoryForBatchReason() { return QStringLiteral("可用内存不足，尚未读取所选文件。"); }
QString ImageImportService::clipboardChangedReason() { return QStringLiteral("剪贴板内容已变化，请重新置顶。"); }
QString ImageImportService::hostRefusedReason() { return QStringLiteral("无法创建置顶图片，原有图片仍然保留。"); }
QString ImageImportService::requestItemName() { return QStringLiteral("置顶图片"); }
QString ImageImportService::clipboardImageItemName() { return QStringLiteral("剪贴板图片"); }
QString ImageImportService::fileReferenceItemName() { return QStringLiteral("图片文件"); }

// ---- the service ----

class ImageImportService::BusyScope {
public:
    explicit BusyScope(ImageImportService& service) : m_service(service) { m_service.m_isBusy = true; }
    ~BusyScope() { m_service.m_isBusy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    ImageImportService& m_service;
};

ImageImportService::ImageImportService(std::shared_ptr<ImageResourceStore> resources,
                                       std::shared_ptr<FolderAccess> access)
    : m_resources(std::move(resources)), m_access(std::move(access))
{
    Q_ASSERT(m_resources);
}

ImageImportService::~ImageImportService()
{
    Q_ASSERT(!m_isBusy); // a running batch refers to its service until it returns
}

ImageImportService::Result ImageImportService::emptyResult(BatchStatus status) const
{
    return std::make_shared<BatchResult>(status, m_resources, std::nullopt);
}

QCoro::Task<ImageImportService::Result> ImageImportService::openBatch(QList<QUrl> urls, Accept accept,
                                                                       std::stop_token stop)
{
    if (m_isBusy)
        co_return emptyResult(BatchStatus::busy());
    BusyScope busy(*this);
    auto batch = importFiles(std::move(urls), [] { return true; }, std::move(accept), stop);
    Result result = co_await batch;
    co_return result;
}

QCoro::Task<ImageImportService::ReceiveOutcome>
ImageImportService::receive(QByteArray data, bool allowedFileTypesOnly, QString name, DocumentOrigin origin,
                            Validity valid, Accept accept, std::stop_token stop)
{
    const auto changed = [&] {
        return ReceiveOutcome{ReceiveOutcome::Kind::rejected, {}, {name, clipboardChangedReason()}, false,
                              StopReason::clipboardChanged};
    };
    std::optional<ImageResourceStore::Reservation> reservation;
    const auto cancelReservation = [&] {
        if (reservation)
            m_resources->cancel(*reservation);
        reservation.reset();
    };

    QImage image;
    QUuid sourceID;
    try {
        auto probe = SharedWorkQueues::imageImport().run(stop, [data, allowedFileTypesOnly](std::stop_token jobStop) {
            return ImageProbe::metadata(data, allowedFileTypesOnly, jobStop);
        });
        const Metadata metadata = co_await probe;
        if (!valid())
            co_return changed();

        sourceID = QUuid::createUuid();
        reservation = m_resources->reserve(sourceID, metadata.width, metadata.height, 2, 0);

        auto decoding = SharedWorkQueues::imageImport().run(stop, [data, metadata](std::stop_token jobStop) {
            return ImageProbe::decode(data, metadata, jobStop);
        });
        image = co_await decoding;
        if (stop.stop_requested())
            throw CancellationError();
    } catch (const CancellationError&) {
        cancelReservation();
        co_return ReceiveOutcome{};
    } catch (const std::exception& error) {
        cancelReservation();
        if (!valid())
            co_return changed();
        // Only the decoder's and the budget's errors carry a sentence for the user; anything
        // else (memory exhausted inside Qt, say) reads as an image that could not be read.
        ReceiveOutcome rejected{ReceiveOutcome::Kind::rejected, {}, {name, ImportError(ImportError::corrupt).description()}};
        if (const auto* importError = dynamic_cast<const ImportError*>(&error)) {
            rejected.failure.reason = importError->description();
            rejected.canTryAnotherRepresentation = true;
        }
        if (const auto* budget = dynamic_cast<const ImageResourceStore::Failure*>(&error)) {
            rejected.failure.reason = budget->description();
            if (isCapacity(*budget))
                rejected.stop = StopReason::capacity;
        }
        co_return rejected;
    }

    if (!valid()) {
        cancelReservation();
        co_return changed();
    }

    ImportedImage imported;
    imported.source.id = sourceID;
    imported.source.image = image;
    const Size pixels{double(image.width()), double(image.height())};
    imported.source.geometry = CaptureGeometry{pixels, pixels};
    imported.origin = origin;
    if (!accept || !accept(imported)) {
        cancelReservation();
        co_return ReceiveOutcome{ReceiveOutcome::Kind::rejected, {}, {name, hostRefusedReason()}, false,
                                 StopReason::hostRefused};
    }
    m_resources->commit(*reservation, ImageResourceStore::SourceImage::of(sourceID, image));
    reservation.reset();
    if (onAccepted)
        onAccepted();
    co_return ReceiveOutcome{ReceiveOutcome::Kind::accepted, sourceID};
}

QCoro::Task<ImageImportService::Result> ImageImportService::importFiles(QList<QUrl> urls, Validity valid,
                                                                         Accept accept, std::stop_token stop)
{
    std::optional<ImageResourceStore::WorkReservation> metadata;
    try {
        metadata = m_resources->reserveWork(ImageProbe::metadataBytes(urls), WorkKind::input, 0);
    } catch (const ImageResourceStore::Failure&) {
        Result refused = emptyResult(BatchStatus::stopped(StopReason::capacity));
        refused->undisclosedUnprocessedCount = urls.size();
        refused->failures << Failure{requestItemName(), noMemoryForBatchReason()};
        co_return refused;
    }
    Result result = std::make_shared<BatchResult>(BatchStatus::completed(), m_resources, metadata);
    QSet<QString> seenPaths;
    QSet<ImageFileInput::Identity> seenFiles;

    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QUrl& url = urls[i];
        const QString name = lastPathComponent(url);
        if (stop.stop_requested()) {
            result->status = BatchStatus::cancelled();
            result->unprocessed = namesFrom(urls, i);
            co_return result;
        }
        if (!valid()) {
            result->status = BatchStatus::stopped(StopReason::clipboardChanged);
            result->unprocessed = namesFrom(urls, i);
            result->failures << Failure{clipboardImageItemName(), clipboardChangedReason()};
            co_return result;
        }
        FileAccessScope access(m_access.get(), url);

        const QString key = duplicateKey(url);
        if (seenPaths.contains(key)) {
            result->skipped << name;
            continue;
        }
        seenPaths.insert(key);

        const Kind kind = PinImageFileClassifier::classify(url);
        if (kind == Kind::nonImage) {
            result->skipped << name;
            continue;
        }
        if (kind == Kind::unknown) {
            result->failures << Failure{name, unrecognizedFileReason()};
            continue;
        }

        std::optional<ReceiveOutcome> outcome;
        try {
            auto input = std::make_shared<ImageFileInput>(url);
            if (seenFiles.contains(input->identity())) {
                result->skipped << name;
                continue;
            }
            seenFiles.insert(input->identity());

            const qint64 size = input->byteCount();
            if (size > std::numeric_limits<qint64>::max() / 2)
                throw ImageResourceStore::Failure(ImageResourceStore::Failure::budget);
            WorkReservationLease work(m_resources, m_resources->reserveWork(2 * size, WorkKind::input, 0));

            auto reading = SharedWorkQueues::imageImport().run(
                stop, [input](std::stop_token jobStop) { return input->read(jobStop); });
            QByteArray bytes = co_await reading;

            auto receiving = receive(std::move(bytes), true, name, DocumentOrigin::localFile, valid, accept, stop);
            outcome = co_await receiving;
        } catch (const CancellationError&) {
            result->status = BatchStatus::cancelled();
            result->unprocessed = namesFrom(urls, i);
            co_return result;
        } catch (const ImageResourceStore::Failure& failure) {
            result->failures << Failure{name, failure.description()};
            if (isCapacity(failure)) {
                result->status = BatchStatus::stopped(StopReason::capacity);
                result->unprocessed = namesFrom(urls, i + 1);
                co_return result;
            }
            continue;
        } catch (const std::exception&) {
            result->failures << Failure{name, unreadableFileReason()};
            continue;
        }

        switch (outcome->kind) {
        case ReceiveOutcome::Kind::accepted:
            result->acceptedIDs << outcome->id;
            break;
        case ReceiveOutcome::Kind::rejected:
            result->failures << outcome->failure;
            if (outcome->stop) {
                result->status = BatchStatus::stopped(*outcome->stop);
                result->unprocessed = namesFrom(urls, i + 1);
                co_return result;
            }
            break;
        case ReceiveOutcome::Kind::cancelled:
            result->status = BatchStatus::cancelled();
            result->unprocessed = namesFrom(urls, i);
            co_return result;
        }
    }
    co_return result;
}

// ---- the clipboard ----

QCoro::Task<ImageImportService::Result> ImageImportService::pasteBatch(std::shared_ptr<Pasteboard> pasteboard,
                                                                        Accept accept, std::stop_token stop)
{
    if (m_isBusy)
        co_return emptyResult(BatchStatus::busy());
    BusyScope busy(*this);
    if (!pasteboard) { // no clipboard at all reads as an empty one
        Result nothing = emptyResult(BatchStatus::completed());
        nothing->failures << Failure{requestItemName(), ImportError(ImportError::noImage).description()};
        co_return nothing;
    }
    const qint64 startCount = pasteboard->changeCount();
    const auto changedResult = [this] {
        Result changed = emptyResult(BatchStatus::stopped(StopReason::clipboardChanged));
        changed->failures << Failure{clipboardImageItemName(), clipboardChangedReason()};
        return changed;
    };

    QList<QStringList> items;
    try {
        auto listing = ClipboardReader::items(*pasteboard, stop);
        items = co_await listing;
        const QStringList offered = ClipboardReader::types(items);

        // File references first: the plain URI list, else the file managers' own list.
        ClipboardFileList files;
        const QStringList fileListTypes{ClipboardFileList::uriListType(), ClipboardFileList::copiedFilesType()};
        for (const QString& type : fileListTypes) {
            if (!files.files.isEmpty() || !offered.contains(type))
                continue;
            auto reading = ClipboardReader::data(*pasteboard, items, type, stop);
            const std::optional<QByteArray> data = co_await reading;
            ClipboardFileList found;
            if (data)
                found = type == ClipboardFileList::uriListType() ? ClipboardFileList::fromUriList(*data)
                                                                 : ClipboardFileList::fromCopiedFiles(*data);
            else if (type == ClipboardFileList::copiedFilesType())
                found.fileReferencePresent = true; // only file managers offer it
            files.fileReferencePresent = files.fileReferencePresent || found.fileReferencePresent;
            files.files = found.files;
        }
        if (pasteboard->changeCount() != startCount)
            co_return changedResult();

        if (!files.files.isEmpty()) {
            const auto valid = [pasteboard, startCount] { return pasteboard->changeCount() == startCount; };
            auto batch = importFiles(files.files, valid, std::move(accept), stop);
            Result result = co_await batch;
            co_return result;
        }
        if (files.fileReferencePresent) {
            Result unreadable = emptyResult(BatchStatus::completed());
            unreadable->failures << Failure{fileReferenceItemName(), ImportError(ImportError::corrupt).description()};
            co_return unreadable;
        }
    } catch (const CancellationError&) {
        co_return emptyResult(BatchStatus::cancelled());
    }

    auto image = importClipboardImage(std::move(pasteboard), startCount, items, std::move(accept), stop);
    Result result = co_await image;
    co_return result;
}

QCoro::Task<ImageImportService::Result> ImageImportService::importClipboardImage(std::shared_ptr<Pasteboard> pasteboard,
                                                                                  qint64 startCount, QList<QStringList> items,
                                                                                  Accept accept, std::stop_token stop)
{
    const auto valid = [pasteboard, startCount] { return pasteboard->changeCount() == startCount; };
    const auto changedResult = [this] {
        Result changed = emptyResult(BatchStatus::stopped(StopReason::clipboardChanged));
        changed->failures << Failure{clipboardImageItemName(), clipboardChangedReason()};
        return changed;
    };
    const QString name = clipboardImageItemName();
    Result result = emptyResult(BatchStatus::completed());
    std::optional<Failure> firstFailure;
    QSet<QString> tried;
    const QStringList offered = ClipboardReader::types(items);

    for (const QString& type : imageCandidateTypes()) {
        if (tried.contains(type))
            continue;
        tried.insert(type);
        if (!offered.contains(type))
            continue;
        if (stop.stop_requested())
            co_return emptyResult(BatchStatus::cancelled());
        if (!valid())
            co_return changedResult();

        std::optional<QByteArray> data;
        try {
            auto reading = ClipboardReader::data(*pasteboard, items, type, stop);
            data = co_await reading;
        } catch (const CancellationError&) {
            co_return emptyResult(BatchStatus::cancelled());
        }
        if (!valid())
            co_return changedResult();
        if (!data) {
            if (!firstFailure)
                firstFailure = Failure{name, ImportError(ImportError::corrupt).description()};
            continue;
        }

        std::optional<ImageResourceStore::WorkReservation> work;
        try {
            work = m_resources->reserveWork(data->size(), WorkKind::input, 0);
        } catch (const ImageResourceStore::Failure& failure) {
            result->status = BatchStatus::stopped(StopReason::capacity);
            result->failures << Failure{name, failure.description()};
            co_return result;
        }
        ReceiveOutcome outcome;
        {
            WorkReservationLease finished(m_resources, *work);
            auto receiving = receive(std::move(*data), false, name, DocumentOrigin::clipboardImage, valid, accept, stop);
            outcome = co_await receiving;
        }

        switch (outcome.kind) {
        case ReceiveOutcome::Kind::accepted:
            result->acceptedIDs << outcome.id;
            co_return result;
        case ReceiveOutcome::Kind::rejected:
            if (outcome.canTryAnotherRepresentation) {
                if (!firstFailure)
                    firstFailure = outcome.failure;
                continue;
            }
            if (outcome.stop)
                result->status = BatchStatus::stopped(*outcome.stop);
            result->failures << outcome.failure;
            co_return result;
        case ReceiveOutcome::Kind::cancelled:
            co_return emptyResult(BatchStatus::cancelled());
        }
    }
    result->failures << firstFailure.value_or(Failure{requestItemName(), ImportError(ImportError::noImage).description()});
    co_return result;
}

} // namespace vorlith

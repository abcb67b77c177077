#include "app/output/PasteboardSnapshot.h"

#include "core/CancellationError.h"

#include <QTimer>

namespace vorlith {

namespace {

bool isImageType(const QString& type)
{
    return type.startsWith(QLatin1String("image/"));
}

const QLatin1String qtImageType("application/x-qt-image");

} // namespace

QStringList PasteboardSnapshot::typesWorthRestoring(const QStringList& types)
{
    QString image;
    if (types.contains(PasteboardType::png()))
        image = PasteboardType::png();
    else {
        for (const QString& type : types) {
            if (isImageType(type)) {
                image = type;
                break;
            }
        }
    }
    QStringList out;
    for (const QString& type : types) {
        const bool otherEncoding = !image.isEmpty() && type != image && (isImageType(type) || type == qtImageType);
        if (!otherEncoding && !out.contains(type))
            out << type;
    }
    return out;
}

QCoro::Task<std::optional<PasteboardSnapshot>> PasteboardSnapshot::take(std::shared_ptr<Pasteboard> pasteboard,
                                                                        Bounds bounds, std::stop_token stop)
{
    // The reads stop at the caller's stop or at the deadline, whichever comes first.
    std::stop_source bounded;
    std::stop_callback followCaller(stop, [&bounded] { bounded.request_stop(); });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&bounded] { bounded.request_stop(); });
    deadline.start(bounds.deadline);

    std::optional<QList<QStringList>> listed;
    try {
        auto listing = pasteboard->readItems(bounded.get_token());
        listed = co_await listing;
    } catch (const CancellationError&) {
        if (stop.stop_requested())
            throw;
    }
    if (!listed)
        co_return std::nullopt; // the owner does not say what it holds, or not in time

    PasteboardSnapshot snapshot;
    qint64 bytes = 0;
    for (int index = 0; index < listed->size(); ++index) {
        const QStringList offered = listed->at(index);
        const QStringList wanted = typesWorthRestoring(offered);
        PasteboardItem copy;
        for (const QString& type : wanted) {
            if (bounded.stop_requested()) {
                snapshot.complete = false;
                break;
            }
            PasteboardRead read;
            try {
                auto reading = pasteboard->readData(index, type, bounded.get_token());
                read = co_await reading;
            } catch (const CancellationError&) {
                if (stop.stop_requested())
                    throw;
                snapshot.complete = false; // the deadline passed during this read
                break;
            }
            if (!read.isRead() || bytes + read.data.size() > bounds.maxBytes || !copy.setData(type, read.data)) {
                snapshot.complete = false;
                continue;
            }
            bytes += read.data.size();
        }
        if (copy.isEmpty())
            co_return std::nullopt;
        snapshot.items.append(std::move(copy));
        if (bounded.stop_requested() && index + 1 < listed->size()) {
            snapshot.complete = false; // the items not reached in time are left out
            break;
        }
    }
    co_return snapshot;
}

} // namespace vorlith

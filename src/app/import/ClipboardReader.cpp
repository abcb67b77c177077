#include "app/import/ClipboardReader.h"

#include "core/CancellationError.h"
#include "platform/Pasteboard.h"

namespace vorlith {

namespace {

void throwIfStopped(const std::stop_token& stop)
{
    if (stop.stop_requested())
        throw CancellationError();
}

} // namespace

QCoro::Task<QStringList> ClipboardReader::types(Pasteboard& pasteboard, std::stop_token stop)
{
    throwIfStopped(stop);
    QStringList out;
    for (int item = 0; item < pasteboard.itemCount(); ++item)
        for (const QString& type : pasteboard.types(item))
            if (!out.contains(type))
                out << type;
    co_return out;
}

QCoro::Task<std::optional<QByteArray>> ClipboardReader::data(Pasteboard& pasteboard, QString type,
                                                             std::stop_token stop)
{
    throwIfStopped(stop);
    for (int item = 0; item < pasteboard.itemCount(); ++item) {
        if (pasteboard.types(item).contains(type))
            co_return pasteboard.data(item, type);
    }
    co_return std::nullopt;
}

} // namespace vorlith

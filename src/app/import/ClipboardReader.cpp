#include "app/import/ClipboardReader.h"

#include "core/CancellationError.h"
#include "platform/Pasteboard.h"

namespace vorlith {

QStringList ClipboardReader::types(Pasteboard& pasteboard)
{
    QStringList out;
    for (int item = 0; item < pasteboard.itemCount(); ++item)
        for (const QString& type : pasteboard.types(item))
            if (!out.contains(type))
                out << type;
    return out;
}

bool ClipboardReader::offers(Pasteboard& pasteboard, const QString& type)
{
    return types(pasteboard).contains(type);
}

QCoro::Task<std::optional<QByteArray>> ClipboardReader::data(Pasteboard& pasteboard, QString type,
                                                             std::stop_token stop)
{
    if (stop.stop_requested())
        throw CancellationError();
    for (int item = 0; item < pasteboard.itemCount(); ++item) {
        if (pasteboard.types(item).contains(type))
            co_return pasteboard.data(item, type);
    }
    co_return std::nullopt;
}

} // namespace vorlith

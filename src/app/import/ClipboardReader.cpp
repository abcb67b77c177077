#include "app/import/ClipboardReader.h"

#include "platform/Pasteboard.h"

namespace vorlith {

QCoro::Task<QList<QStringList>> ClipboardReader::items(Pasteboard& pasteboard, std::stop_token stop)
{
    auto listing = pasteboard.readItems(stop);
    std::optional<QList<QStringList>> items = co_await listing;
    co_return items.value_or(QList<QStringList>());
}

QStringList ClipboardReader::types(const QList<QStringList>& items)
{
    QStringList out;
    for (const QStringList& item : items)
        for (const QString& type : item)
            if (!out.contains(type))
                out << type;
    return out;
}

QCoro::Task<std::optional<QByteArray>> ClipboardReader::data(Pasteboard& pasteboard, QList<QStringList> items,
                                                             QString type, std::stop_token stop)
{
    for (int item = 0; item < items.size(); ++item) {
        if (!items[item].contains(type))
            continue;
        auto reading = pasteboard.readData(item, type, stop);
        const PasteboardRead read = co_await reading;
        if (!read.isRead())
            co_return std::nullopt;
        co_return read.data;
    }
    co_return std::nullopt;
}

} // namespace vorlith

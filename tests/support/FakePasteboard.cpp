#include "support/FakePasteboard.h"

namespace vorlith::test {

void FakePasteboard::writeAsOtherApplication(QList<Item> contents)
{
    items = std::move(contents);
    ++m_changeCount;
}

QList<PasteboardItem> FakePasteboard::readableItems() const
{
    QList<PasteboardItem> out;
    for (const Item& item : items) {
        PasteboardItem plain;
        for (const Entry& entry : item) {
            if (entry.data)
                plain.setData(entry.type, *entry.data);
        }
        out << plain;
    }
    return out;
}

QStringList FakePasteboard::types(int item)
{
    QStringList out;
    if (item < 0 || item >= items.size())
        return out;
    for (const Entry& entry : items[item])
        out << entry.type;
    return out;
}

std::optional<QByteArray> FakePasteboard::data(int item, const QString& type)
{
    if (onRead)
        onRead(*this);
    if (item < 0 || item >= items.size())
        return std::nullopt;
    for (const Entry& entry : items[item]) {
        if (entry.type == type)
            return entry.data;
    }
    return std::nullopt;
}

qint64 FakePasteboard::clearContents()
{
    if (onClear)
        onClear(*this);
    ++clears;
    items.clear();
    return ++m_changeCount;
}

bool FakePasteboard::writeObjects(const QList<PasteboardItem>& objects)
{
    if (onWrite)
        onWrite(*this);
    writes << objects;
    if (failingWrites > 0) {
        --failingWrites;
        return false;
    }
    items.clear();
    for (const PasteboardItem& object : objects) {
        Item item;
        for (const QString& type : object.types())
            item << Entry{type, object.data(type)};
        items << item;
    }
    ++m_changeCount;
    return true;
}

FakePasteboard::Item FakePasteboard::item(std::initializer_list<std::pair<const char*, const char*>> entries)
{
    Item out;
    for (const auto& [type, data] : entries)
        out << Entry{QString::fromUtf8(type), data ? std::optional<QByteArray>(QByteArray(data)) : std::nullopt};
    return out;
}

} // namespace vorlith::test

#include "support/FakePasteboard.h"

#include "core/Async.h"
#include "core/CancellationError.h"

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
            if (entry.data && !entry.stalls)
                plain.setData(entry.type, *entry.data);
        }
        out << plain;
    }
    return out;
}

QCoro::Task<std::optional<QList<QStringList>>> FakePasteboard::readItems(std::stop_token stop)
{
    ++reads;
    auto turn = nextTurn();
    co_await turn;
    if (stop.stop_requested())
        throw CancellationError();
    if (typesStall) {
        auto stall = sleepFor(stallFor, stop);
        co_await stall;
        co_return std::nullopt;
    }
    QList<QStringList> out;
    for (const Item& item : items) {
        QStringList types;
        for (const Entry& entry : item)
            types << entry.type;
        out << types;
    }
    co_return out;
}

QCoro::Task<PasteboardRead> FakePasteboard::readData(int item, QString type, std::stop_token stop)
{
    ++reads;
    if (onRead)
        onRead(*this);
    auto turn = nextTurn();
    co_await turn;
    if (stop.stop_requested())
        throw CancellationError();
    const Entry* found = nullptr;
    if (item >= 0 && item < items.size()) {
        for (const Entry& entry : items[item]) {
            if (entry.type == type)
                found = &entry;
        }
    }
    if (found && found->stalls) {
        auto stall = sleepFor(stallFor, stop);
        co_await stall;
        co_return PasteboardRead::stalledOwner();
    }
    if (!found || !found->data)
        co_return PasteboardRead::unreadableType();
    co_return PasteboardRead::bytes(*found->data);
}

qint64 FakePasteboard::clearContents()
{
    if (onClear)
        onClear(*this);
    ++clears;
    if (writesInOneStep)
        return m_changeCount;
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
            item << Entry{type, object.data(type), false};
        items << item;
    }
    ++m_changeCount;
    return true;
}

FakePasteboard::Item FakePasteboard::item(std::initializer_list<std::pair<const char*, const char*>> entries)
{
    Item out;
    for (const auto& [type, data] : entries)
        out << Entry{QString::fromUtf8(type), data ? std::optional<QByteArray>(QByteArray(data)) : std::nullopt, false};
    return out;
}

} // namespace vorlith::test

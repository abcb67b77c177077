#pragma once

#include "platform/Pasteboard.h"

#include <functional>
#include <optional>

namespace vorlith::test {

// An in-memory clipboard with a failure for every branch of a clipboard transaction: types
// that cannot be read, writes that fail, and another application writing at chosen moments.
class FakePasteboard final : public Pasteboard {
public:
    // A type whose data is absent cannot be read.
    struct Entry {
        QString type;
        std::optional<QByteArray> data;
    };
    using Item = QList<Entry>;

    // What is on the clipboard; assigning does not move the change count (use
    // `writeAsOtherApplication` for that).
    QList<Item> items;

    // The next this many writes fail (the clipboard stays as the write found it).
    int failingWrites = 0;
    // Called at the start of every data read, every write and every clear, before it acts.
    std::function<void(FakePasteboard&)> onRead;
    std::function<void(FakePasteboard&)> onWrite;
    std::function<void(FakePasteboard&)> onClear;

    // What another application does: replaces the contents and moves the change count.
    void writeAsOtherApplication(QList<Item> contents);

    // Every write attempted, in order, with its items.
    QList<QList<PasteboardItem>> writes;
    int clears = 0;

    // The contents as plain items (unreadable types left out).
    QList<PasteboardItem> readableItems() const;

    qint64 changeCount() override { return m_changeCount; }
    int itemCount() override { return int(items.size()); }
    QStringList types(int item) override;
    std::optional<QByteArray> data(int item, const QString& type) override;
    qint64 clearContents() override;
    bool writeObjects(const QList<PasteboardItem>& objects) override;

    // Shorthand for a readable item.
    static Item item(std::initializer_list<std::pair<const char*, const char*>> entries);

private:
    qint64 m_changeCount = 0;
};

} // namespace vorlith::test

#pragma once

#include "platform/Pasteboard.h"

#include <chrono>
#include <functional>
#include <optional>

namespace vorlith::test {

// An in-memory clipboard with a failure for every branch of a clipboard transaction: types
// that cannot be read, owners that stall, writes that fail, and another application writing at
// chosen moments. Every read suspends at least until a later turn of the event loop, as a
// read from another program does.
class FakePasteboard final : public Pasteboard {
public:
    // A type whose data is absent cannot be read; a stalling one answers `stalled` after
    // `stallFor`.
    struct Entry {
        QString type;
        std::optional<QByteArray> data;
        bool stalls = false;
    };
    using Item = QList<Entry>;

    // What is on the clipboard; assigning does not move the change count (use
    // `writeAsOtherApplication` for that).
    QList<Item> items;

    // The owner does not list its types: `readItems` answers nothing after `stallFor`.
    bool typesStall = false;
    // How long a stalled read waits before it gives up (the real one's no-progress timeout).
    std::chrono::milliseconds stallFor = noProgressTimeout;
    // Reads started (lists and data).
    int reads = 0;

    // The next this many writes fail (the clipboard stays as the write found it).
    int failingWrites = 0;
    // As on X11: the clear only counts (contents and change count stay) and a write replaces
    // the contents in one step, so a failed write leaves them as they were.
    bool writesInOneStep = false;
    // Called at the start of every data read, every write and every clear, before it acts.
    std::function<void(FakePasteboard&)> onRead;
    std::function<void(FakePasteboard&)> onWrite;
    std::function<void(FakePasteboard&)> onClear;

    // What another application does: replaces the contents and moves the change count.
    void writeAsOtherApplication(QList<Item> contents);

    // Every write attempted, in order, with its items.
    QList<QList<PasteboardItem>> writes;
    int clears = 0;
    // Calls of `handOverToClipboardManager`.
    int handOvers = 0;

    // The contents as plain items (unreadable types left out).
    QList<PasteboardItem> readableItems() const;

    qint64 changeCount() override { return m_changeCount; }
    QCoro::Task<std::optional<QList<QStringList>>> readItems(std::stop_token stop) override;
    QCoro::Task<PasteboardRead> readData(int item, QString type, std::stop_token stop) override;
    qint64 clearContents() override;
    bool writeObjects(const QList<PasteboardItem>& objects) override;
    bool failedWriteKeepsContents() const override { return writesInOneStep; }
    void handOverToClipboardManager() override { ++handOvers; }

    // Shorthand for a readable item.
    static Item item(std::initializer_list<std::pair<const char*, const char*>> entries);

private:
    qint64 m_changeCount = 0;
};

} // namespace vorlith::test

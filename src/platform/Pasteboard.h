#pragma once

#include "platform/PasteboardItem.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QStringList>

#include <chrono>
#include <optional>
#include <stop_token>

namespace vorlith {

// The answer to one bounded clipboard read.
struct PasteboardRead {
    enum class Outcome {
        read,       // `data` holds the bytes (possibly zero of them)
        unreadable, // the owner refused the type, or the type is no longer offered
        stalled,    // the owner made no progress for `Pasteboard::noProgressTimeout`
    };
    Outcome outcome = Outcome::unreadable;
    QByteArray data;

    bool isRead() const { return outcome == Outcome::read; }
    static PasteboardRead bytes(QByteArray data) { return {Outcome::read, std::move(data)}; }
    static PasteboardRead unreadableType() { return {Outcome::unreadable, {}}; }
    static PasteboardRead stalledOwner() { return {Outcome::stalled, {}}; }
};

// The system clipboard: a list of items, each readable type by type, a counter that moves
// whenever anybody changes the contents, a clear and a write. Main thread only.
//
// Reading never blocks the event loop. Another program owns the contents and answers when it
// likes, or never (a stopped process, a hung one), so every read is a task that suspends while
// the owner answers and gives up on an owner that makes no progress for
// `noProgressTimeout`; data that arrives in pieces counts as progress with every piece, so a
// large image that takes longer than that in total is still read. Every caller reads through
// these tasks: the copy's snapshot of the previous contents (where one is needed, see
// `failedWriteKeepsContents`), and the clipboard import
// ("image/png", "image/tiff", "text/uri-list", "x-special/gnome-copied-files", ...). A reader
// compares `changeCount()` before and after its reads to know that they belong together.
//
// On X11 the clipboard holds one item (or none): one owner with one list of targets. The
// selection protocol's own targets (TARGETS, MULTIPLE, TIMESTAMP, ...) are not types of the
// contents, and the text targets (UTF8_STRING, STRING, ...) read and write as "text/plain".
class Pasteboard {
public:
    static constexpr std::chrono::milliseconds noProgressTimeout{1000};

    virtual ~Pasteboard() = default;

    // Moves on every change of the contents, by this process or any other.
    virtual qint64 changeCount() = 0;

    // The types of every item now on the clipboard, in order; an empty list for an empty
    // clipboard. Nothing when the owner does not answer (stalled, or refused to list its
    // types): the contents exist but cannot be known. Throws CancellationError once `stop` is
    // triggered.
    virtual QCoro::Task<std::optional<QList<QStringList>>> readItems(std::stop_token stop) = 0;
    // The data of one type of one item. Throws CancellationError once `stop` is triggered.
    virtual QCoro::Task<PasteboardRead> readData(int item, QString type, std::stop_token stop) = 0;

    // Empties the clipboard and returns the change count after it. On X11 the clipboard is
    // never left without owner (a clipboard manager would take it back at once and win over
    // the write that follows): the clear only returns the count, and the next write replaces
    // the owner in one step.
    virtual qint64 clearContents() = 0;
    // Puts the items on the clipboard; false when the clipboard did not take them.
    virtual bool writeObjects(const QList<PasteboardItem>& items) = 0;
    // True when a clear followed by a write that fails leaves the previous contents as they
    // were: the clear only counts and the write replaces the contents in one step or not at
    // all (X11). A copy then needs no snapshot of the previous contents to restore.
    virtual bool failedWriteKeepsContents() const = 0;

    // Called once when the application quits. On X11 what we wrote is served by this process
    // and would vanish with it: a running clipboard manager is asked to keep a copy. Blocks
    // for a bounded time (2 s at most, nothing when no manager runs or another program owns
    // the clipboard): call it when nothing else needs the event loop. Destroying the
    // pasteboard does the same when this was not called.
    virtual void handOverToClipboardManager() = 0;
};

} // namespace vorlith

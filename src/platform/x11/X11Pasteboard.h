#pragma once

#include "platform/Pasteboard.h"
#include "platform/x11/X11SelectionOwner.h"

#include <QHash>
#include <QObject>

#include <xcb/xcb.h>

#include <memory>

class QSocketNotifier;

namespace vorlith {

class XcbConnection;
class X11SelectionReader;

// The CLIPBOARD selection on a connection of our own: reads through `X11SelectionReader` (never
// waiting for the owner on the event loop), writes through `X11SelectionOwner` (served from
// this process by a thread of its own, taken over from the previous owner in one step with a
// current server time). A read task uses the pasteboard after it suspends: its caller keeps
// the pasteboard alive (the shared_ptr the seam is held by).
//
// The change count counts XFixes selection-owner events (ours included), read as they come.
//
// Without an X server (Qt on its offscreen platform) the clipboard is Qt's in-process one: the
// reads answer at once and the count moves only on our own clears and writes.
class X11Pasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    explicit X11Pasteboard(QObject* parent = nullptr);
    ~X11Pasteboard() override;

    // False when the X server offers no XFixes; the count then moves only on our own writes.
    bool observesOwnerChanges() const { return m_observing; }

    qint64 changeCount() override;
    QCoro::Task<std::optional<QList<QStringList>>> readItems(std::stop_token stop) override;
    QCoro::Task<PasteboardRead> readData(int item, QString type, std::stop_token stop) override;
    qint64 clearContents() override;
    bool writeObjects(const QList<PasteboardItem>& items) override;
    // On the X server: the clear leaves the owner in place and the write takes the selection
    // in one step or not at all. Qt's in-process clipboard is emptied by the clear.
    bool failedWriteKeepsContents() const override { return m_connection != nullptr; }
    void handOverToClipboardManager() override;
    // How the last hand-over ended; nothing before the first one, or without an X server.
    std::optional<X11SelectionOwner::HandOver> lastHandOver() const { return m_lastHandOver; }

    // Targets that belong to the selection protocol, not to the contents.
    static bool isProtocolTarget(const QString& type);

private:
    void connectToServer();
    // Reads every queued event and hands it on; with `sync`, first makes sure the server has
    // delivered every event caused by requests that it processed before now.
    void drainEvents(bool sync);
    void dispatch(const xcb_generic_event_t* event);
    unsigned currentOwner();
    // The owner's target names, or nothing when it does not answer.
    QCoro::Task<std::optional<QStringList>> readTargets(std::stop_token stop);
    QStringList atomNames(const std::vector<unsigned>& atoms);

    std::unique_ptr<XcbConnection> m_xcb; // on the default screen of $DISPLAY
    xcb_connection_t* m_connection = nullptr;
    unsigned m_clipboardAtom = 0;
    unsigned char m_xfixesEventBase = 0;
    bool m_observing = false;
    bool m_draining = false;
    qint64 m_changeCount = 0;
    std::unique_ptr<X11SelectionReader> m_reader;
    std::unique_ptr<X11SelectionOwner> m_owner;
    std::optional<X11SelectionOwner::HandOver> m_lastHandOver;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QHash<unsigned, QString> m_atomNames;
    // The last owner's targets, while the change count stays where it was read.
    qint64 m_targetsCount = -1;
    QStringList m_targets;
};

} // namespace vorlith

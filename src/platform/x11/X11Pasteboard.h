#pragma once

#include "platform/Pasteboard.h"

#include <QObject>

#include <memory>

struct xcb_connection_t;

namespace vorlith {
class XcbConnection;
}
class QMimeData;
class QSocketNotifier;

namespace vorlith {

// The CLIPBOARD selection through QClipboard, which serves the data from our own process.
//
// X11 has one owner with a list of targets rather than a list of items, so the clipboard
// holds one item (or none) whose types are the owner's targets without the selection
// protocol's own (TARGETS, MULTIPLE, TIMESTAMP, ...). Written data is served exactly as given,
// so a PNG is encoded once, not for every paste.
//
// The change count counts XFixes selection-owner events, received on a connection of our own:
// QClipboard's signals do not arrive while Qt waits for another owner's answer.
//
// Qt stamps its clear and write with the newest server time its event loop has processed. A
// write in the same turn as another program's copy can therefore be refused by the server;
// `writeObjects` then reports failure (it checks who owns the clipboard afterwards), and the
// transaction leaves the other program's contents in place.
class X11Pasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    explicit X11Pasteboard(QObject* parent = nullptr);
    ~X11Pasteboard() override;

    // False when the X server offers no XFixes; the count then moves only on our own writes.
    bool observesOwnerChanges() const { return m_observing; }

    qint64 changeCount() override;
    int itemCount() override;
    QStringList types(int item) override;
    std::optional<QByteArray> data(int item, const QString& type) override;
    qint64 clearContents() override;
    bool writeObjects(const QList<PasteboardItem>& items) override;

    // Targets that belong to the selection protocol, not to the contents.
    static bool isProtocolTarget(const QString& type);
    // Qt's own name for "some image type is offered": Qt adds it to a foreign owner's types,
    // and its data is merely the bytes of one of them. Written back as data, it would make Qt
    // offer image targets it cannot serve, so it is never a type of the contents.
    static bool isQtImageAlias(const QString& type);

private:
    const QMimeData* contents() const;
    void connectToServer();
    // Reads every queued event; with `sync`, first makes sure the server has delivered every
    // event caused by requests that it processed before now.
    void drainEvents(bool sync);
    bool qtOwnsClipboard();

    std::unique_ptr<XcbConnection> m_xcb; // on the default screen of $DISPLAY
    xcb_connection_t* m_connection = nullptr;
    unsigned m_window = 0;
    unsigned m_clipboardAtom = 0;
    unsigned char m_xfixesEventBase = 0;
    bool m_observing = false;
    qint64 m_changeCount = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace vorlith

#include "platform/x11/X11Pasteboard.h"

#include "core/CancellationError.h"
#include "platform/x11/X11ClipboardTargets.h"
#include "platform/x11/X11SelectionOwner.h"
#include "platform/x11/X11SelectionReader.h"
#include "platform/x11/XcbConnection.h"

#include <QAbstractEventDispatcher>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSocketNotifier>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace vorlith {

namespace {

// Qt's in-process clipboard, for a process without an X server.
QClipboard* clipboard()
{
    return QGuiApplication::clipboard();
}

QStringList qtClipboardTypes()
{
    const QMimeData* mime = clipboard() ? clipboard()->mimeData(QClipboard::Clipboard) : nullptr;
    QStringList out;
    if (!mime)
        return out;
    for (const QString& format : mime->formats()) {
        if (!X11ClipboardTargets::isProtocolTarget(format) && !out.contains(format))
            out << format;
    }
    return out;
}

} // namespace

X11Pasteboard::X11Pasteboard(QObject* parent) : QObject(parent)
{
    connectToServer();
}

X11Pasteboard::~X11Pasteboard()
{
    // The owner hands our contents over on its way out unless that was done already.
    m_notifier.reset();
    m_reader.reset();
    m_owner.reset();
}

void X11Pasteboard::handOverToClipboardManager()
{
    // Without an X server Qt's own clipboard holds the contents and hands them over itself.
    if (m_owner)
        m_lastHandOver = m_owner->handOver();
}

void X11Pasteboard::connectToServer()
{
    m_xcb = XcbConnection::open();
    if (!m_xcb)
        return;
    xcb_connection_t* connection = m_xcb->get();
    m_connection = connection;
    m_xcb->preloadAtoms({"CLIPBOARD", "TARGETS", "INCR", "VORLITH_SELECTION", "UTF8_STRING", "text/plain;charset=utf-8",
                         "text/plain", "STRING", "TEXT"});
    m_clipboardAtom = m_xcb->atom("CLIPBOARD");
    m_reader = std::make_unique<X11SelectionReader>(*m_xcb, m_clipboardAtom, noProgressTimeout);
    m_owner = X11SelectionOwner::open("CLIPBOARD");
    if (!m_owner) {
        m_reader.reset();
        m_xcb.reset();
        m_connection = nullptr;
        return;
    }

    // Events are read as they come; replies we wait for can leave events queued inside xcb
    // without waking the socket, so the queue is also emptied before the event loop sleeps.
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { drainEvents(false); });
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { drainEvents(false); });

    if (const std::optional<uint8_t> eventBase = m_xcb->watchSelectionOwner(m_clipboardAtom)) {
        m_xfixesEventBase = *eventBase;
        m_observing = true;
    }
    drainEvents(true);
    m_changeCount = 0;
}

void X11Pasteboard::drainEvents(bool sync)
{
    if (!m_connection || m_draining)
        return;
    m_draining = true;
    if (sync)
        XcbConnection::sync(m_connection);
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        dispatch(event);
        std::free(event);
    }
    m_draining = false;
}

void X11Pasteboard::dispatch(const xcb_generic_event_t* event)
{
    if (m_observing && (event->response_type & 0x7F) == m_xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->selection == m_clipboardAtom)
            ++m_changeCount;
        return;
    }
    m_reader->handle(event);
}

qint64 X11Pasteboard::changeCount()
{
    drainEvents(true);
    return m_changeCount;
}

bool X11Pasteboard::isProtocolTarget(const QString& type)
{
    return X11ClipboardTargets::isProtocolTarget(type);
}

unsigned X11Pasteboard::currentOwner()
{
    XcbReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_clipboardAtom), nullptr));
    return reply ? reply->owner : unsigned(XCB_WINDOW_NONE);
}

QStringList X11Pasteboard::atomNames(const std::vector<unsigned>& atoms)
{
    std::vector<std::pair<unsigned, xcb_get_atom_name_cookie_t>> pending;
    for (const unsigned atom : atoms) {
        if (!m_atomNames.contains(atom))
            pending.emplace_back(atom, xcb_get_atom_name(m_connection, atom));
    }
    for (const auto& [atom, cookie] : pending) {
        XcbReply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(m_connection, cookie, nullptr));
        m_atomNames.insert(atom, reply ? QString::fromUtf8(xcb_get_atom_name_name(reply.get()),
                                                           xcb_get_atom_name_name_length(reply.get()))
                                       : QString());
    }
    QStringList names;
    for (const unsigned atom : atoms)
        names << m_atomNames.value(atom);
    return names;
}

QCoro::Task<std::optional<QStringList>> X11Pasteboard::readTargets(std::stop_token stop)
{
    const qint64 count = changeCount();
    if (count == m_targetsCount && m_observing)
        co_return QStringList(m_targets); // an explicit copy: co_return moves from what it names
    auto conversion = m_reader->convert(m_xcb->atom("TARGETS"), stop);
    const X11SelectionReader::Answer answer = co_await conversion;
    if (answer.outcome != PasteboardRead::Outcome::read || answer.format != 32)
        co_return std::nullopt;
    std::vector<unsigned> atoms(size_t(answer.data.size()) / sizeof(uint32_t));
    std::memcpy(atoms.data(), answer.data.constData(), atoms.size() * sizeof(uint32_t));
    QStringList targets = atomNames(atoms);
    m_targets = targets;
    m_targetsCount = count;
    co_return targets;
}

QCoro::Task<std::optional<QList<QStringList>>> X11Pasteboard::readItems(std::stop_token stop)
{
    if (stop.stop_requested())
        throw CancellationError();
    if (!m_connection) {
        const QStringList types = qtClipboardTypes();
        co_return types.isEmpty() ? QList<QStringList>{} : QList<QStringList>{types};
    }
    const unsigned owner = currentOwner();
    if (owner == XCB_WINDOW_NONE)
        co_return QList<QStringList>{};
    if (owner == m_owner->window()) {
        QList<QStringList> items;
        for (const PasteboardItem& item : m_owner->contents())
            items << item.types();
        co_return items;
    }
    auto reading = readTargets(stop);
    const std::optional<QStringList> targets = co_await reading;
    if (!targets)
        co_return std::nullopt;
    // An owner is one item, even one that lists no type of contents.
    co_return QList<QStringList>{X11ClipboardTargets::typesOf(*targets)};
}

QCoro::Task<PasteboardRead> X11Pasteboard::readData(int item, QString type, std::stop_token stop)
{
    if (stop.stop_requested())
        throw CancellationError();
    if (!m_connection) {
        const QMimeData* mime = clipboard() ? clipboard()->mimeData(QClipboard::Clipboard) : nullptr;
        if (item != 0 || !mime || !mime->hasFormat(type))
            co_return PasteboardRead::unreadableType();
        co_return PasteboardRead::bytes(mime->data(type));
    }
    const unsigned owner = currentOwner();
    if (item != 0 || owner == XCB_WINDOW_NONE)
        co_return PasteboardRead::unreadableType();
    if (owner == m_owner->window()) {
        const QList<PasteboardItem> contents = m_owner->contents();
        const std::optional<QByteArray> data = contents.isEmpty() ? std::nullopt : contents.first().data(type);
        co_return data ? PasteboardRead::bytes(*data) : PasteboardRead::unreadableType();
    }
    auto reading = readTargets(stop);
    const std::optional<QStringList> targets = co_await reading;
    if (!targets)
        co_return PasteboardRead::stalledOwner();
    const QString target = X11ClipboardTargets::targetToRead(type, *targets);
    if (target.isEmpty())
        co_return PasteboardRead::unreadableType();
    auto conversion = m_reader->convert(m_xcb->atom(target.toUtf8().constData()), stop);
    X11SelectionReader::Answer answer = co_await conversion;
    if (answer.outcome != PasteboardRead::Outcome::read)
        co_return PasteboardRead{answer.outcome, {}};
    co_return PasteboardRead::bytes(X11ClipboardTargets::fromTarget(target, answer.data));
}

qint64 X11Pasteboard::clearContents()
{
    if (!m_connection) {
        if (clipboard())
            clipboard()->clear(QClipboard::Clipboard);
        ++m_changeCount;
        return m_changeCount;
    }
    // Never without owner: the write that follows replaces the owner in one step.
    return changeCount();
}

bool X11Pasteboard::writeObjects(const QList<PasteboardItem>& items)
{
    if (!m_connection) {
        if (!clipboard())
            return false;
        auto* mime = new QMimeData;
        for (const PasteboardItem& item : items) {
            for (const QString& type : item.types()) {
                if (!mime->hasFormat(type))
                    mime->setData(type, *item.data(type));
            }
        }
        clipboard()->setMimeData(mime, QClipboard::Clipboard);
        ++m_changeCount;
        return true;
    }
    const bool owned = m_owner->own(items);
    if (!m_observing)
        ++m_changeCount;
    return owned;
}

} // namespace vorlith

#include "platform/x11/X11Pasteboard.h"

#include "platform/x11/XcbConnection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSocketNotifier>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>

namespace vorlith {

namespace {

QClipboard* clipboard()
{
    return QGuiApplication::clipboard();
}

} // namespace

X11Pasteboard::X11Pasteboard(QObject* parent) : QObject(parent)
{
    connectToServer();
}

X11Pasteboard::~X11Pasteboard()
{
    m_notifier.reset();
}

void X11Pasteboard::connectToServer()
{
    m_xcb = XcbConnection::open();
    if (!m_xcb)
        return;
    xcb_connection_t* connection = m_xcb->get();
    m_connection = connection;

    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (!extension || !extension->present)
        return;
    m_xfixesEventBase = extension->first_event;
    xcb_xfixes_query_version_reply_t* version =
        xcb_xfixes_query_version_reply(connection, xcb_xfixes_query_version(connection, 1, 0), nullptr);
    if (!version)
        return;
    std::free(version);

    m_clipboardAtom = m_xcb->atom("CLIPBOARD");
    if (m_clipboardAtom == XCB_ATOM_NONE)
        return;

    // Selection events need a window to be reported to; an unmapped input-only one will do.
    m_window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_window, m_xcb->root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_xfixes_select_selection_input(connection, m_window, m_clipboardAtom,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(connection);
    m_observing = true;

    // Events are also read as they come, so that they never pile up on the server's side.
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { drainEvents(false); });
    drainEvents(true);
    m_changeCount = 0;
}

void X11Pasteboard::drainEvents(bool sync)
{
    if (!m_connection)
        return;
    if (sync && m_observing)
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        if ((event->response_type & 0x7F) == m_xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
            if (notify->selection == m_clipboardAtom)
                ++m_changeCount;
        }
        std::free(event);
    }
}

qint64 X11Pasteboard::changeCount()
{
    drainEvents(true);
    return m_changeCount;
}

bool X11Pasteboard::isProtocolTarget(const QString& type)
{
    static const QStringList protocol{
        QStringLiteral("TARGETS"),         QStringLiteral("MULTIPLE"),         QStringLiteral("TIMESTAMP"),
        QStringLiteral("SAVE_TARGETS"),    QStringLiteral("INCR"),             QStringLiteral("DELETE"),
        QStringLiteral("INSERT_SELECTION"), QStringLiteral("INSERT_PROPERTY"), QStringLiteral("ATOM_PAIR"),
        QStringLiteral("CLIPBOARD_MANAGER"), QStringLiteral("LENGTH"),         QStringLiteral("NULL"),
    };
    return type.isEmpty() || protocol.contains(type);
}

bool X11Pasteboard::isQtImageAlias(const QString& type)
{
    return type == QLatin1String("application/x-qt-image");
}

const QMimeData* X11Pasteboard::contents() const
{
    return clipboard() ? clipboard()->mimeData(QClipboard::Clipboard) : nullptr;
}

int X11Pasteboard::itemCount()
{
    return types(0).isEmpty() ? 0 : 1;
}

QStringList X11Pasteboard::types(int item)
{
    const QMimeData* mime = item == 0 ? contents() : nullptr;
    if (!mime)
        return {};
    QStringList out;
    for (const QString& format : mime->formats()) {
        if (!isProtocolTarget(format) && !isQtImageAlias(format) && !out.contains(format))
            out << format;
    }
    return out;
}

std::optional<QByteArray> X11Pasteboard::data(int item, const QString& type)
{
    const QMimeData* mime = item == 0 ? contents() : nullptr;
    if (!mime || !mime->hasFormat(type))
        return std::nullopt;
    // Qt gives a null array when the owner refused or did not answer in time.
    QByteArray bytes = mime->data(type);
    if (bytes.isNull())
        return std::nullopt;
    return bytes;
}

qint64 X11Pasteboard::clearContents()
{
    if (clipboard())
        clipboard()->clear(QClipboard::Clipboard);
    if (!m_observing)
        ++m_changeCount;
    return changeCount();
}

bool X11Pasteboard::writeObjects(const QList<PasteboardItem>& items)
{
    if (!clipboard())
        return false;
    // One owner serves one list of targets: the items' types merge, the first item's data
    // winning for a type that appears twice.
    auto* mime = new QMimeData;
    for (const PasteboardItem& item : items) {
        for (const QString& type : item.types()) {
            if (!mime->hasFormat(type))
                mime->setData(type, *item.data(type));
        }
    }
    clipboard()->setMimeData(mime, QClipboard::Clipboard);
    if (!m_observing)
        ++m_changeCount;
    return qtOwnsClipboard();
}

bool X11Pasteboard::qtOwnsClipboard()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11)
        return true; // Qt keeps the data in this process: nothing to lose ownership to
    if (!clipboard()->ownsClipboard())
        return false;
    if (!m_connection || !m_clipboardAtom)
        return true;
    // The owner window must be one of Qt's: its id lies in Qt's connection's id range.
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_clipboardAtom), nullptr);
    if (!reply)
        return false;
    const xcb_window_t owner = reply->owner;
    std::free(reply);
    const xcb_setup_t* setup = xcb_get_setup(x11->connection());
    return owner != XCB_NONE && (owner & ~setup->resource_id_mask) == setup->resource_id_base;
}

} // namespace vorlith

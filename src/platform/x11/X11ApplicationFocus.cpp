#include "platform/x11/X11ApplicationFocus.h"

#include "platform/x11/X11WindowList.h"
#include "platform/x11/XcbConnection.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>

#include <cstdlib>

namespace vorlith {

X11ApplicationFocus::X11ApplicationFocus() = default;
X11ApplicationFocus::~X11ApplicationFocus() = default;

XcbConnection* X11ApplicationFocus::connection()
{
    if (!m_opened) {
        m_opened = true;
        m_connection = XcbConnection::open();
    }
    return m_connection.get();
}

std::optional<FrontApplication> X11ApplicationFocus::frontApplication()
{
    if (!connection())
        return std::nullopt;
    XcbConnection& connection = *m_connection;
    const std::optional<uint32_t> window = X11WindowList::activeWindow(connection);
    if (!window)
        return std::nullopt;

    FrontApplication front;
    front.window = *window;
    front.pid = X11WindowList::ownerOf(connection, *window);
    xcb_connection_t* c = connection.get();
    XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(
        c, xcb_get_property(c, 0, *window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
    if (property && property->type == XCB_ATOM_STRING && property->format == 8) {
        const QByteArray value(static_cast<const char*>(xcb_get_property_value(property.get())),
                               xcb_get_property_value_length(property.get()));
        front.windowClass = classOf(value);
    }
    // The replies may have brought change events along, which the socket will not announce.
    if (m_notifier)
        QMetaObject::invokeMethod(this, [this] { readEvents(); }, Qt::QueuedConnection);
    return front;
}

void X11ApplicationFocus::restore(const FrontApplication& application)
{
    if (!application.window || !connection())
        return;
    xcb_connection_t* c = m_connection->get();
    // A window that has gone is left alone: another window of that program may be anywhere.
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, application.window), nullptr));
    if (!attributes)
        return;
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = application.window;
    message.type = m_connection->atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2; // from a pager: the window manager does not second-guess it
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, m_connection->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

void X11ApplicationFocus::watchChanges()
{
    if (m_notifier || !connection())
        return;
    xcb_connection_t* c = m_connection->get();
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, m_connection->root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    // Replies we waited for may have left events queued that the socket no longer announces.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { readEvents(); });
}

void X11ApplicationFocus::readEvents()
{
    xcb_connection_t* c = m_connection->get();
    const xcb_atom_t active = m_connection->atom("_NET_ACTIVE_WINDOW");
    bool changed = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY
            && reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == active)
            changed = true;
        std::free(event);
    }
    if (changed && onChanged)
        onChanged(frontApplication());
}

std::optional<QString> X11ApplicationFocus::classOf(const QByteArray& wmClass)
{
    // Two NUL-terminated strings; some clients leave out the last NUL.
    const qsizetype split = wmClass.indexOf('\0');
    if (split < 0)
        return std::nullopt;
    QByteArray name = wmClass.mid(split + 1);
    const qsizetype end = name.indexOf('\0');
    if (end >= 0)
        name.truncate(end);
    if (name.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(name);
}

} // namespace vorlith

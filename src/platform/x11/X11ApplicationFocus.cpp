#include "platform/x11/X11ApplicationFocus.h"

#include "platform/x11/X11WindowList.h"
#include "platform/x11/XcbConnection.h"

namespace vorlith {

X11ApplicationFocus::X11ApplicationFocus() = default;
X11ApplicationFocus::~X11ApplicationFocus() = default;

std::optional<FrontApplication> X11ApplicationFocus::frontApplication()
{
    if (!m_opened) {
        m_opened = true;
        m_connection = XcbConnection::open();
    }
    if (!m_connection)
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
    return front;
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

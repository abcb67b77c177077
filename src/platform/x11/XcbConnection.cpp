#include "platform/x11/XcbConnection.h"

namespace vorlith {

std::unique_ptr<XcbConnection> XcbConnection::open()
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection)
            xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem || !it.data) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<XcbConnection>(new XcbConnection(connection, screenNumber, it.data));
}

XcbConnection::XcbConnection(xcb_connection_t* connection, int screenNumber, xcb_screen_t* screen)
    : m_connection(connection), m_screenNumber(screenNumber), m_screen(screen)
{
}

XcbConnection::~XcbConnection()
{
    xcb_disconnect(m_connection);
}

void XcbConnection::preloadAtoms(const std::vector<const char*>& names)
{
    std::vector<std::pair<const char*, xcb_intern_atom_cookie_t>> pending;
    for (const char* name : names) {
        if (!m_atoms.contains(QByteArray(name)))
            pending.emplace_back(name, xcb_intern_atom(m_connection, 0, uint16_t(qstrlen(name)), name));
    }
    for (const auto& [name, cookie] : pending) {
        XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
        m_atoms.insert(QByteArray(name), reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
    }
}

xcb_atom_t XcbConnection::atom(const char* name)
{
    const auto found = m_atoms.constFind(QByteArray(name));
    if (found != m_atoms.constEnd())
        return *found;
    preloadAtoms({name});
    return m_atoms.value(QByteArray(name), XCB_ATOM_NONE);
}

QString XcbConnection::atomName(xcb_atom_t atom)
{
    XcbReply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr));
    if (!reply)
        return {};
    return QString::fromLatin1(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
}

bool XcbConnection::hasExtension(xcb_extension_t* extension) const
{
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(m_connection, extension);
    return data && data->present;
}

bool XcbConnection::hasCompositingManager()
{
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(m_screenNumber);
    const xcb_atom_t selection = atom(name.constData());
    if (selection == XCB_ATOM_NONE)
        return false;
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, selection), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

void XcbConnection::sync(xcb_connection_t* connection)
{
    XcbReply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

} // namespace vorlith

#include "platform/x11/XcbConnection.h"

#include <xcb/xfixes.h>

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

xcb_window_t XcbConnection::createHiddenWindow(uint32_t eventMask)
{
    const xcb_window_t window = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, eventMask ? uint32_t(XCB_CW_EVENT_MASK) : 0u, eventMask ? &eventMask : nullptr);
    return window;
}

std::optional<uint8_t> XcbConnection::watchSelectionOwner(xcb_atom_t selection)
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
    if (!extension || !extension->present)
        return std::nullopt;
    XcbReply<xcb_xfixes_query_version_reply_t> version(
        xcb_xfixes_query_version_reply(m_connection, xcb_xfixes_query_version(m_connection, 1, 0), nullptr));
    if (!version)
        return std::nullopt;
    xcb_xfixes_select_selection_input(m_connection, createHiddenWindow(), selection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(m_connection);
    return extension->first_event;
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

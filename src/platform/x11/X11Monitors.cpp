#include "platform/x11/X11Monitors.h"

#include "platform/x11/XcbConnection.h"

#include <xcb/randr.h>

namespace vorlith {

namespace {

bool hasMonitorRequests(XcbConnection& connection)
{
    if (!connection.hasExtension(&xcb_randr_id))
        return false;
    xcb_connection_t* c = connection.get();
    XcbReply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
    return version && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 5));
}

std::vector<X11Monitor> randrMonitors(XcbConnection& connection)
{
    xcb_connection_t* c = connection.get();
    XcbReply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, connection.root(), 1), nullptr));
    std::vector<X11Monitor> monitors;
    if (!reply)
        return monitors;
    std::vector<xcb_get_atom_name_cookie_t> names;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* info = it.data;
        if (info->width == 0 || info->height == 0)
            continue;
        monitors.push_back({info->name, {}, QRect(info->x, info->y, info->width, info->height)});
        names.push_back(xcb_get_atom_name(c, info->name));
    }
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        XcbReply<xcb_get_atom_name_reply_t> name(xcb_get_atom_name_reply(c, names[i], nullptr));
        if (name)
            monitors[i].name = QString::fromLatin1(xcb_get_atom_name_name(name.get()),
                                                   xcb_get_atom_name_name_length(name.get()));
    }
    return monitors;
}

} // namespace

std::vector<X11Monitor> X11Monitors::query(XcbConnection& connection)
{
    if (hasMonitorRequests(connection)) {
        std::vector<X11Monitor> monitors = randrMonitors(connection);
        if (!monitors.empty())
            return monitors;
    }
    const xcb_screen_t* screen = connection.screen();
    return {X11Monitor{connection.root(), {}, QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels)}};
}

} // namespace vorlith

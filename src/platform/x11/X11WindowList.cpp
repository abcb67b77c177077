#include "platform/x11/X11WindowList.h"

#include "platform/x11/XcbConnection.h"

#include <xcb/res.h>

#include <algorithm>
#include <limits>

namespace vorlith {

namespace {

// A viewable child of the root: the window manager's frame, or the window itself when no
// window manager reparents it.
struct TopLevel {
    xcb_window_t frame = 0;
    xcb_window_t client = 0;
    bool overrideRedirect = false;
    Rect bounds;
};

// Frames that a window manager wraps several times still hold their client within a few levels.
constexpr int clientSearchDepth = 3;

// Every request of a batch is sent before the first reply is read, so a batch costs one round
// trip whatever its size.
std::vector<TopLevel> viewableTopLevels(xcb_connection_t* c, xcb_window_t root)
{
    std::vector<TopLevel> out;
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!tree)
        return out;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    std::vector<xcb_get_window_attributes_cookie_t> attributes(count);
    std::vector<xcb_get_geometry_cookie_t> geometries(count);
    for (int i = 0; i < count; ++i) {
        attributes[i] = xcb_get_window_attributes(c, children[i]);
        geometries[i] = xcb_get_geometry(c, children[i]);
    }
    for (int i = 0; i < count; ++i) {
        XcbReply<xcb_get_window_attributes_reply_t> attr(xcb_get_window_attributes_reply(c, attributes[i], nullptr));
        XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometries[i], nullptr));
        if (!attr || !geometry || attr->map_state != XCB_MAP_STATE_VIEWABLE ||
            attr->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
            continue;
        const double border = geometry->border_width;
        out.push_back(TopLevel{children[i], children[i], attr->override_redirect != 0,
                               Rect(geometry->x, geometry->y, geometry->width + 2 * border,
                                    geometry->height + 2 * border)});
    }
    std::reverse(out.begin(), out.end()); // the tree lists bottom to top
    return out;
}

// The client of each frame is the window carrying WM_STATE, searched breadth-first below it;
// a frame without one is its own client (override-redirect windows, no window manager).
void findClients(xcb_connection_t* c, xcb_atom_t wmState, std::vector<TopLevel>& topLevels)
{
    if (wmState == XCB_ATOM_NONE)
        return;
    std::vector<std::pair<std::size_t, xcb_window_t>> level; // top-level index, window to look at
    for (std::size_t i = 0; i < topLevels.size(); ++i)
        level.emplace_back(i, topLevels[i].frame);
    std::vector<bool> found(topLevels.size(), false);
    for (int depth = 0; depth <= clientSearchDepth && !level.empty(); ++depth) {
        std::vector<xcb_get_property_cookie_t> cookies;
        for (const auto& entry : level)
            cookies.push_back(xcb_get_property(c, 0, entry.second, wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
        std::vector<std::pair<std::size_t, xcb_window_t>> unresolved;
        for (std::size_t k = 0; k < level.size(); ++k) {
            XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookies[k], nullptr));
            const std::size_t index = level[k].first;
            if (found[index])
                continue;
            if (reply && reply->type != XCB_ATOM_NONE) {
                found[index] = true;
                topLevels[index].client = level[k].second;
            } else {
                unresolved.push_back(level[k]);
            }
        }
        if (depth == clientSearchDepth)
            break;
        std::vector<xcb_query_tree_cookie_t> trees;
        for (const auto& entry : unresolved)
            trees.push_back(xcb_query_tree(c, entry.second));
        level.clear();
        for (std::size_t k = 0; k < unresolved.size(); ++k) {
            XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, trees[k], nullptr));
            if (!tree)
                continue;
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            for (int j = 0; j < xcb_query_tree_children_length(tree.get()); ++j)
                level.emplace_back(unresolved[k].first, children[j]);
        }
    }
}

xcb_get_property_cookie_t askProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                      xcb_atom_t type, uint32_t length)
{
    return xcb_get_property(c, 0, window, property, type, 0, length);
}

std::vector<uint32_t> values32(xcb_connection_t* c, xcb_get_property_cookie_t cookie)
{
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(data, data + xcb_get_property_value_length(reply.get()) / 4);
}

bool hasClientIdRequests(XcbConnection& connection)
{
    if (!connection.hasExtension(&xcb_res_id))
        return false;
    xcb_connection_t* c = connection.get();
    XcbReply<xcb_res_query_version_reply_t> version(
        xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
    return version && (version->server_major > 1 || (version->server_major == 1 && version->server_minor >= 2));
}

std::optional<qint32> processFromClientIds(xcb_connection_t* c, xcb_res_query_client_ids_cookie_t cookie)
{
    XcbReply<xcb_res_query_client_ids_reply_t> reply(xcb_res_query_client_ids_reply(c, cookie, nullptr));
    if (!reply)
        return std::nullopt;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) && it.data->length >= 4)
            return qint32(*xcb_res_client_id_value_value(it.data));
    }
    return std::nullopt;
}

// A client that draws its own decorations (GTK, browsers) paints an invisible shadow inside
// its window and announces its width, as left, right, top, bottom: the visible window is the
// rectangle within. Nonsense extents leave the bounds as they are.
Rect withoutFrameExtents(const Rect& bounds, const std::vector<uint32_t>& extents)
{
    if (extents.size() != 4)
        return bounds;
    const double left = extents[0], right = extents[1], top = extents[2], bottom = extents[3];
    const double width = bounds.size.width - left - right;
    const double height = bounds.size.height - top - bottom;
    if (!(width > 0) || !(height > 0))
        return bounds;
    return Rect(bounds.origin.x + left, bounds.origin.y + top, width, height);
}

struct Properties {
    xcb_get_property_cookie_t pid, type, state, opacity, frameOpacity, frameExtents;
    std::optional<xcb_res_query_client_ids_cookie_t> clientIds;
};

} // namespace

std::vector<WindowListEntry> X11WindowList::query(XcbConnection& connection)
{
    xcb_connection_t* c = connection.get();
    connection.preloadAtoms({"WM_STATE", "_NET_WM_PID", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP",
                             "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_NOTIFICATION", "_NET_WM_STATE",
                             "_NET_WM_STATE_ABOVE", "_NET_WM_WINDOW_OPACITY", "_GTK_FRAME_EXTENTS"});
    // Without a compositing manager every window is drawn opaque, whatever opacity it asks for.
    const bool compositing = connection.hasCompositingManager();
    std::vector<TopLevel> topLevels = viewableTopLevels(c, connection.root());
    findClients(c, connection.atom("WM_STATE"), topLevels);

    const bool clientIds = hasClientIdRequests(connection);
    std::vector<Properties> properties;
    properties.reserve(topLevels.size());
    for (const TopLevel& top : topLevels) {
        Properties p;
        p.pid = askProperty(c, top.client, connection.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 1);
        p.type = askProperty(c, top.client, connection.atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32);
        p.state = askProperty(c, top.client, connection.atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 64);
        p.opacity = askProperty(c, top.client, connection.atom("_NET_WM_WINDOW_OPACITY"), XCB_ATOM_CARDINAL, 1);
        p.frameOpacity = askProperty(c, top.frame, connection.atom("_NET_WM_WINDOW_OPACITY"), XCB_ATOM_CARDINAL, 1);
        p.frameExtents = askProperty(c, top.client, connection.atom("_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 4);
        if (clientIds) {
            xcb_res_client_id_spec_t spec{top.client, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
            p.clientIds = xcb_res_query_client_ids(c, 1, &spec);
        }
        properties.push_back(p);
    }

    std::vector<WindowListEntry> entries;
    for (std::size_t i = 0; i < topLevels.size(); ++i) {
        const TopLevel& top = topLevels[i];
        const Properties& p = properties[i];
        const std::vector<uint32_t> pid = values32(c, p.pid);
        const std::vector<uint32_t> types = values32(c, p.type);
        const std::vector<uint32_t> states = values32(c, p.state);
        std::vector<uint32_t> opacity = values32(c, p.opacity);
        const std::vector<uint32_t> frameOpacity = values32(c, p.frameOpacity);
        const std::vector<uint32_t> frameExtents = values32(c, p.frameExtents);
        const std::optional<qint32> resPid = p.clientIds ? processFromClientIds(c, *p.clientIds) : std::nullopt;

        const auto hasAtom = [&](const std::vector<uint32_t>& list, const char* name) {
            return std::find(list.begin(), list.end(), connection.atom(name)) != list.end();
        };
        if (hasAtom(types, "_NET_WM_WINDOW_TYPE_DESKTOP"))
            continue;

        WindowListEntry entry;
        entry.number = top.client;
        if (resPid)
            entry.ownerPID = resPid;
        else if (!pid.empty())
            entry.ownerPID = qint32(pid.front());
        if (top.overrideRedirect)
            entry.layer = overrideRedirectLayer;
        else if (hasAtom(types, "_NET_WM_WINDOW_TYPE_NOTIFICATION"))
            entry.layer = notificationLayer;
        else if (hasAtom(types, "_NET_WM_WINDOW_TYPE_DOCK"))
            entry.layer = dockLayer;
        else if (hasAtom(states, "_NET_WM_STATE_ABOVE"))
            entry.layer = aboveLayer;
        else
            entry.layer = normalLayer;
        if (opacity.empty())
            opacity = frameOpacity;
        entry.alpha = opacity.empty() || !compositing ? 1.0
                                                      : double(opacity.front()) / std::numeric_limits<uint32_t>::max();
        entry.bounds = withoutFrameExtents(top.bounds, frameExtents);
        entry.isOnscreen = true;
        // X11 has no per-window capture protection: every window can be read.
        entry.sharingState = sharingReadOnly;
        entries.push_back(entry);
    }
    return entries;
}

} // namespace vorlith

#include "platform/x11/X11WindowList.h"

#include "platform/x11/XcbConnection.h"

#include <QHash>

#include <xcb/res.h>

#include <algorithm>
#include <limits>

namespace vorlith {

// The list costs a handful of round trips whatever the number of windows: each step sends
// every request it can before it reads the first reply, and a window's geometry, attributes,
// properties and owner are all asked in the same step as its place in the tree.
//
// 1. The root's children, with the compositing manager's selection, the XRes version and the
//    window manager's list of the clients it manages (_NET_CLIENT_LIST).
// 2. For each child: attributes, geometry, WM_STATE, its children, and everything read of a
//    client (which it is without a window manager, and whose opacity counts for a frame). For
//    each managed client: WM_STATE, its parent, and everything read of a client. A frame whose
//    child is a managed client carrying WM_STATE has found its client here.
// 3. Below each frame still without a client, one level at a time: WM_STATE, then the children
//    of the windows whose frame is still without a client. A frame holds dozens of decoration
//    windows beside its client, so this is what step 2 spares under a window manager.
// 4. Everything read of a client, for the clients found in step 3.

namespace {

// Frames that a window manager wraps several times still hold their client within a few levels.
constexpr int clientSearchDepth = 3;
constexpr uint32_t maximumManagedClients = 1 << 16;

struct Atoms {
    xcb_atom_t wmState, clientList, pid, type, state, opacity, frameExtents;
    xcb_atom_t desktop, dock, notification, above;
};

Atoms atomsOf(XcbConnection& connection)
{
    connection.preloadAtoms({"WM_STATE", "_NET_CLIENT_LIST", "_NET_WM_PID", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP",
                             "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_NOTIFICATION", "_NET_WM_STATE",
                             "_NET_WM_STATE_ABOVE", "_NET_WM_WINDOW_OPACITY", "_GTK_FRAME_EXTENTS"});
    return Atoms{connection.atom("WM_STATE"),
                 connection.atom("_NET_CLIENT_LIST"),
                 connection.atom("_NET_WM_PID"),
                 connection.atom("_NET_WM_WINDOW_TYPE"),
                 connection.atom("_NET_WM_STATE"),
                 connection.atom("_NET_WM_WINDOW_OPACITY"),
                 connection.atom("_GTK_FRAME_EXTENTS"),
                 connection.atom("_NET_WM_WINDOW_TYPE_DESKTOP"),
                 connection.atom("_NET_WM_WINDOW_TYPE_DOCK"),
                 connection.atom("_NET_WM_WINDOW_TYPE_NOTIFICATION"),
                 connection.atom("_NET_WM_STATE_ABOVE")};
}

std::vector<uint32_t> values32(xcb_connection_t* c, xcb_get_property_cookie_t cookie)
{
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(data, data + xcb_get_property_value_length(reply.get()) / 4);
}

bool hasProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie)
{
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    return reply && reply->type != XCB_ATOM_NONE;
}

std::vector<xcb_window_t> childrenOf(xcb_connection_t* c, xcb_query_tree_cookie_t cookie)
{
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, cookie, nullptr));
    if (!tree)
        return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return std::vector<xcb_window_t>(children, children + xcb_query_tree_children_length(tree.get()));
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

// What is read of a client window, asked before any of it is awaited.
struct ClientRequests {
    xcb_get_property_cookie_t pid, type, state, opacity, frameExtents;
    std::optional<xcb_res_query_client_ids_cookie_t> clientIds;
};

struct Client {
    std::vector<uint32_t> pid, types, states, opacity, frameExtents;
    std::optional<qint32> serverPid; // XRes: the process the server knows, which a property cannot fake
};

ClientRequests askClient(xcb_connection_t* c, const Atoms& atoms, xcb_window_t window, bool clientIds)
{
    ClientRequests r;
    r.pid = xcb_get_property(c, 0, window, atoms.pid, XCB_ATOM_CARDINAL, 0, 1);
    r.type = xcb_get_property(c, 0, window, atoms.type, XCB_ATOM_ATOM, 0, 32);
    r.state = xcb_get_property(c, 0, window, atoms.state, XCB_ATOM_ATOM, 0, 64);
    r.opacity = xcb_get_property(c, 0, window, atoms.opacity, XCB_ATOM_CARDINAL, 0, 1);
    r.frameExtents = xcb_get_property(c, 0, window, atoms.frameExtents, XCB_ATOM_CARDINAL, 0, 4);
    if (clientIds) {
        xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        r.clientIds = xcb_res_query_client_ids(c, 1, &spec);
    }
    return r;
}

Client readClient(xcb_connection_t* c, const ClientRequests& r)
{
    Client client;
    client.pid = values32(c, r.pid);
    client.types = values32(c, r.type);
    client.states = values32(c, r.state);
    client.opacity = values32(c, r.opacity);
    client.frameExtents = values32(c, r.frameExtents);
    if (r.clientIds)
        client.serverPid = processFromClientIds(c, *r.clientIds);
    return client;
}

std::optional<qint32> ownerOf(const Client& client)
{
    if (client.serverPid)
        return client.serverPid;
    if (!client.pid.empty())
        return qint32(client.pid.front());
    return std::nullopt;
}

// A viewable child of the root: the window manager's frame, or the window itself when no
// window manager reparents it.
struct TopLevel {
    xcb_window_t frame = 0;
    xcb_window_t client = 0;
    bool overrideRedirect = false;
    Rect bounds;
    Client framed;                 // what the frame says of itself
    std::optional<Client> found;   // the client below the frame, once one is found there
    std::vector<xcb_window_t> children; // where the search below a frame without WM_STATE starts
};

struct RootAnswers {
    std::vector<xcb_window_t> children;
    std::vector<xcb_window_t> managed; // the window manager's clients, when it lists them
    bool compositing = false;
    bool clientIds = false;
};

// XRes 1.2 is the first to tell a client's process.
bool answersClientIds(xcb_connection_t* c, xcb_res_query_version_cookie_t cookie)
{
    XcbReply<xcb_res_query_version_reply_t> reply(xcb_res_query_version_reply(c, cookie, nullptr));
    return reply && (reply->server_major > 1 || (reply->server_major == 1 && reply->server_minor >= 2));
}

// Step 1.
RootAnswers askRoot(XcbConnection& connection, const Atoms& atoms)
{
    xcb_connection_t* c = connection.get();
    const xcb_query_tree_cookie_t tree = xcb_query_tree(c, connection.root());
    const xcb_get_property_cookie_t managed =
        xcb_get_property(c, 0, connection.root(), atoms.clientList, XCB_ATOM_WINDOW, 0, maximumManagedClients);
    const QByteArray selectionName = "_NET_WM_CM_S" + QByteArray::number(connection.screenNumber());
    const xcb_atom_t selection = connection.atom(selectionName.constData());
    std::optional<xcb_get_selection_owner_cookie_t> owner;
    if (selection != XCB_ATOM_NONE)
        owner = xcb_get_selection_owner(c, selection);
    std::optional<xcb_res_query_version_cookie_t> version;
    if (connection.hasExtension(&xcb_res_id))
        version = xcb_res_query_version(c, 1, 2);

    RootAnswers answers;
    answers.children = childrenOf(c, tree);
    answers.managed = values32(c, managed);
    if (owner) {
        XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(c, *owner, nullptr));
        // Without a compositing manager every window is drawn opaque, whatever opacity it asks for.
        answers.compositing = reply && reply->owner != XCB_WINDOW_NONE;
    }
    if (version)
        answers.clientIds = answersClientIds(c, *version);
    return answers;
}

// Step 2, asked of each child of the root.
struct TopLevelRequests {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    xcb_get_property_cookie_t wmState;
    xcb_query_tree_cookie_t tree;
    ClientRequests client;
};

// Step 2, asked of each client the window manager lists.
struct ManagedRequests {
    xcb_get_property_cookie_t wmState;
    xcb_query_tree_cookie_t tree;
    ClientRequests client;
};

// The listed clients that carry WM_STATE, by the window that holds them.
using ManagedClients = QHash<xcb_window_t, std::vector<std::pair<xcb_window_t, Client>>>;

std::vector<TopLevelRequests> askTopLevels(xcb_connection_t* c, const Atoms& atoms, const RootAnswers& root)
{
    std::vector<TopLevelRequests> requests;
    requests.reserve(root.children.size());
    for (xcb_window_t child : root.children) {
        requests.push_back({xcb_get_window_attributes(c, child), xcb_get_geometry(c, child),
                            xcb_get_property(c, 0, child, atoms.wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
                            xcb_query_tree(c, child), askClient(c, atoms, child, root.clientIds)});
    }
    return requests;
}

std::vector<ManagedRequests> askManaged(xcb_connection_t* c, const Atoms& atoms, const RootAnswers& root)
{
    std::vector<ManagedRequests> requests;
    requests.reserve(root.managed.size());
    for (xcb_window_t window : root.managed) {
        requests.push_back({xcb_get_property(c, 0, window, atoms.wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
                            xcb_query_tree(c, window), askClient(c, atoms, window, root.clientIds)});
    }
    return requests;
}

// The viewable InputOutput children of the root, bottom to top as the tree lists them.
std::vector<TopLevel> readTopLevels(xcb_connection_t* c, const RootAnswers& root,
                                    const std::vector<TopLevelRequests>& requests)
{
    std::vector<TopLevel> out;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const TopLevelRequests& r = requests[i];
        // Every reply is read, also of the windows left out, so none stays queued.
        XcbReply<xcb_get_window_attributes_reply_t> attr(xcb_get_window_attributes_reply(c, r.attributes, nullptr));
        XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, r.geometry, nullptr));
        const bool isClient = hasProperty(c, r.wmState);
        std::vector<xcb_window_t> children = childrenOf(c, r.tree);
        Client client = readClient(c, r.client);
        if (!attr || !geometry || attr->map_state != XCB_MAP_STATE_VIEWABLE ||
            attr->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
            continue;
        const double border = geometry->border_width;
        TopLevel top;
        top.frame = top.client = root.children[i];
        top.overrideRedirect = attr->override_redirect != 0;
        top.bounds = Rect(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
        top.framed = std::move(client);
        if (!isClient)
            top.children = std::move(children);
        out.push_back(std::move(top));
    }
    return out;
}

ManagedClients readManaged(xcb_connection_t* c, const RootAnswers& root, const std::vector<ManagedRequests>& requests)
{
    ManagedClients byParent;
    for (std::size_t k = 0; k < requests.size(); ++k) {
        const ManagedRequests& r = requests[k];
        const bool isClient = hasProperty(c, r.wmState);
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, r.tree, nullptr));
        Client client = readClient(c, r.client);
        if (isClient && tree)
            byParent[tree->parent].emplace_back(root.managed[k], std::move(client));
    }
    return byParent;
}

// A frame without WM_STATE whose child is a listed client has found it: the first in the
// frame's own order, as the search would find it.
void takeListedClients(std::vector<TopLevel>& topLevels, const ManagedClients& managed)
{
    for (TopLevel& top : topLevels) {
        const auto held = managed.constFind(top.frame);
        if (top.children.empty() || held == managed.constEnd())
            continue;
        for (xcb_window_t child : top.children) {
            const auto match = std::find_if(held->begin(), held->end(), [&](const auto& m) { return m.first == child; });
            if (match != held->end()) {
                top.client = match->first;
                top.found = match->second;
                top.children.clear();
                break;
            }
        }
    }
}

// Step 3: the client of each frame without WM_STATE is the window below it carrying it,
// searched breadth-first; a frame without one is its own client (override-redirect windows, no
// window manager). A level's WM_STATE is asked first, and the next level only below the frames
// still unresolved: a window manager's frame holds dozens of decoration windows beside its
// client, and their trees are not worth asking for. Returns the top-levels whose client was found.
std::vector<std::size_t> findClients(xcb_connection_t* c, const Atoms& atoms, std::vector<TopLevel>& topLevels)
{
    std::vector<std::size_t> found;
    if (atoms.wmState == XCB_ATOM_NONE)
        return found;
    std::vector<std::pair<std::size_t, xcb_window_t>> level; // top-level index, window to look at
    for (std::size_t i = 0; i < topLevels.size(); ++i)
        for (xcb_window_t child : topLevels[i].children)
            level.emplace_back(i, child);
    std::vector<bool> resolved(topLevels.size(), false);
    for (int depth = 1; depth <= clientSearchDepth && !level.empty(); ++depth) {
        std::vector<xcb_get_property_cookie_t> states;
        states.reserve(level.size());
        for (const auto& entry : level)
            states.push_back(xcb_get_property(c, 0, entry.second, atoms.wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
        for (std::size_t k = 0; k < level.size(); ++k) {
            const bool isClient = hasProperty(c, states[k]);
            const std::size_t index = level[k].first;
            if (isClient && !resolved[index]) {
                resolved[index] = true;
                topLevels[index].client = level[k].second;
                found.push_back(index);
            }
        }
        if (depth == clientSearchDepth)
            break;
        std::erase_if(level, [&](const auto& entry) { return resolved[entry.first]; });
        std::vector<xcb_query_tree_cookie_t> trees;
        trees.reserve(level.size());
        for (const auto& entry : level)
            trees.push_back(xcb_query_tree(c, entry.second));
        std::vector<std::pair<std::size_t, xcb_window_t>> next;
        for (std::size_t k = 0; k < level.size(); ++k)
            for (xcb_window_t child : childrenOf(c, trees[k]))
                next.emplace_back(level[k].first, child);
        level = std::move(next);
    }
    return found;
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

bool contains(const std::vector<uint32_t>& list, xcb_atom_t atom)
{
    return atom != XCB_ATOM_NONE && std::find(list.begin(), list.end(), atom) != list.end();
}

std::optional<WindowListEntry> entryOf(const TopLevel& top, const Atoms& atoms, bool compositing)
{
    const Client& client = top.found ? *top.found : top.framed;
    if (contains(client.types, atoms.desktop))
        return std::nullopt;
    WindowListEntry entry;
    entry.number = top.client;
    entry.ownerPID = ownerOf(client);
    if (top.overrideRedirect)
        entry.layer = X11WindowList::overrideRedirectLayer;
    else if (contains(client.types, atoms.notification))
        entry.layer = X11WindowList::notificationLayer;
    else if (contains(client.types, atoms.dock))
        entry.layer = X11WindowList::dockLayer;
    else if (contains(client.states, atoms.above))
        entry.layer = X11WindowList::aboveLayer;
    else
        entry.layer = X11WindowList::normalLayer;
    const std::vector<uint32_t>& opacity = client.opacity.empty() ? top.framed.opacity : client.opacity;
    entry.alpha = opacity.empty() || !compositing ? 1.0 : double(opacity.front()) / std::numeric_limits<uint32_t>::max();
    entry.bounds = withoutFrameExtents(top.bounds, client.frameExtents);
    entry.isOnscreen = true;
    // X11 has no per-window capture protection: every window can be read.
    entry.sharingState = sharingReadOnly;
    return entry;
}

} // namespace

std::vector<WindowListEntry> X11WindowList::query(XcbConnection& connection)
{
    xcb_connection_t* c = connection.get();
    const Atoms atoms = atomsOf(connection);
    const RootAnswers root = askRoot(connection, atoms);
    // Step 2.
    const std::vector<TopLevelRequests> topLevelRequests = askTopLevels(c, atoms, root);
    const std::vector<ManagedRequests> managedRequests = askManaged(c, atoms, root);
    std::vector<TopLevel> topLevels = readTopLevels(c, root, topLevelRequests);
    takeListedClients(topLevels, readManaged(c, root, managedRequests));
    const std::vector<std::size_t> found = findClients(c, atoms, topLevels);

    // Step 4.
    std::vector<ClientRequests> requests;
    requests.reserve(found.size());
    for (std::size_t index : found)
        requests.push_back(askClient(c, atoms, topLevels[index].client, root.clientIds));
    for (std::size_t k = 0; k < found.size(); ++k)
        topLevels[found[k]].found = readClient(c, requests[k]);
    std::vector<WindowListEntry> entries;
    entries.reserve(topLevels.size());
    for (auto top = topLevels.rbegin(); top != topLevels.rend(); ++top) // the tree lists bottom to top
        if (std::optional<WindowListEntry> entry = entryOf(*top, atoms, root.compositing))
            entries.push_back(std::move(*entry));
    return entries;
}

std::optional<qint32> X11WindowList::ownerOf(XcbConnection& connection, uint32_t window)
{
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    xcb_connection_t* c = connection.get();
    const Atoms atoms = atomsOf(connection);
    bool clientIds = false;
    if (connection.hasExtension(&xcb_res_id))
        clientIds = answersClientIds(c, xcb_res_query_version(c, 1, 2));
    return vorlith::ownerOf(readClient(c, askClient(c, atoms, window, clientIds)));
}

std::optional<uint32_t> X11WindowList::activeWindow(XcbConnection& connection)
{
    xcb_connection_t* c = connection.get();
    const xcb_atom_t active = connection.atom("_NET_ACTIVE_WINDOW");
    XcbReply<xcb_get_property_reply_t> property(
        xcb_get_property_reply(c, xcb_get_property(c, 0, connection.root(), active, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (property && property->type != XCB_ATOM_NONE) {
        // A window manager runs: its word is final, also when no window is active.
        if (property->format != 32 || xcb_get_property_value_length(property.get()) < 4)
            return std::nullopt;
        const uint32_t window = *static_cast<const uint32_t*>(xcb_get_property_value(property.get()));
        if (window == XCB_WINDOW_NONE)
            return std::nullopt;
        return window;
    }
    XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus || focus->focus == XCB_WINDOW_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT
        || focus->focus == connection.root())
        return std::nullopt;
    // The focus may sit in a subwindow; _NET_WM_PID is on the top-level.
    xcb_window_t window = focus->focus;
    for (int depth = 0; depth < 64; ++depth) {
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree || tree->parent == XCB_WINDOW_NONE || tree->parent == connection.root())
            break;
        window = tree->parent;
    }
    return window;
}

std::optional<qint32> X11WindowList::activeOwner(XcbConnection& connection)
{
    const std::optional<uint32_t> window = activeWindow(connection);
    if (!window)
        return std::nullopt;
    return ownerOf(connection, *window);
}

} // namespace vorlith

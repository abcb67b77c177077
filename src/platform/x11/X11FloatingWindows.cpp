#include "platform/x11/X11FloatingWindows.h"

#include "platform/x11/X11MapExposeFilter.h"
#include "platform/x11/XcbConnection.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHash>
#include <QRect>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>

#include <xcb/xfixes.h>

#include <algorithm>
#include <cstring>

namespace vorlith {

namespace {

Qt::WindowFlags flagsFor(WindowLevel level, bool takesFocus, Qt::WindowFlags type)
{
    Qt::WindowFlags flags = type | Qt::FramelessWindowHint;
    if (windowLevel::bypassesWindowManager(level))
        flags |= Qt::BypassWindowManagerHint;
    if (windowLevel::staysOnTop(level))
        flags |= Qt::WindowStaysOnTopHint;
    if (!takesFocus)
        flags |= Qt::WindowDoesNotAcceptFocus;
    return flags;
}

xcb_connection_t* qtConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

X11FloatingWindows::X11FloatingWindows(QObject* parent) : FloatingWindows(parent)
{
    m_grabRetry.setInterval(grabRetryInterval);
    connect(&m_grabRetry, &QTimer::timeout, this, [this] { settleKeyboard(); });
    watchCompositor();
    if (qGuiApp) {
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &X11FloatingWindows::forgetActivation);
        if (qtConnection()) {
            m_exposeFilter = std::make_unique<X11MapExposeFilter>(
                [this](uint32_t window) { return bypassesWindowManager(window); });
            qGuiApp->installNativeEventFilter(m_exposeFilter.get());
        }
    }
}

X11FloatingWindows::~X11FloatingWindows()
{
    if (m_exposeFilter && qGuiApp)
        qGuiApp->removeNativeEventFilter(m_exposeFilter.get());
    if (!m_holders.empty()) {
        m_holders.clear();
        settleKeyboard();
    }
    m_notifier.reset();
}

void X11FloatingWindows::place(QWidget* window, WindowLevel level, bool takesFocus)
{
    Q_ASSERT(window && window->isWindow());
    if (!window)
        return;
    // Toasts and hint panels are tools: no task-bar entry, no decoration.
    window->setWindowFlags(flagsFor(level, takesFocus, Qt::Tool));
    window->setAttribute(Qt::WA_ShowWithoutActivating, !takesFocus);
    m_order.add(window, level);
}

void X11FloatingWindows::placeDialog(QWidget* dialog, QWidget* parent, WindowLevel level)
{
    Q_ASSERT(dialog && dialog->isWindow());
    if (!dialog)
        return;
    const std::optional<WindowLevel> parentLevel = parent ? levelOf(parent) : std::nullopt;
    WindowLevel effective = level;
    if (parentLevel && windowLevel::rank(*parentLevel) > windowLevel::rank(level))
        effective = *parentLevel;
    // The parent is restacked with its dialog, so it joins our windows if it was not one.
    if (parent && !m_order.contains(parent))
        m_order.add(parent, *parentLevel);
    // A dialog keeps its title bar when a window manager places it; only above the overlays
    // must it bypass the window manager.
    Qt::WindowFlags flags = dialog->windowFlags() | Qt::Dialog;
    if (windowLevel::bypassesWindowManager(effective))
        flags |= Qt::BypassWindowManagerHint;
    if (windowLevel::staysOnTop(effective))
        flags |= Qt::WindowStaysOnTopHint;
    dialog->setWindowFlags(flags);
    m_order.addDialog(dialog, parent, effective);
    // WM_TRANSIENT_FOR: the window manager keeps the dialog with its parent as well.
    dialog->winId();
    if (parent && parent->windowHandle() && dialog->windowHandle())
        dialog->windowHandle()->setTransientParent(parent->windowHandle());
}

std::optional<WindowLevel> X11FloatingWindows::levelOf(QWidget* window) const
{
    if (const std::optional<WindowLevel> placed = m_order.level(window))
        return placed;
    // A window placed by its own flags: judge its level by them.
    const Qt::WindowFlags flags = window->windowFlags();
    if (flags.testFlag(Qt::BypassWindowManagerHint))
        return WindowLevel::captureOverlay;
    if (flags.testFlag(Qt::WindowStaysOnTopHint))
        return WindowLevel::pin;
    return WindowLevel::normal;
}

void X11FloatingWindows::show(QWidget* window)
{
    if (!window)
        return;
    window->show();
    if (QWidget* owner = satelliteOwner(window)) {
        restackSatellites(owner);
        return;
    }
    m_order.raised(window);
    restack(window);
}

void X11FloatingWindows::raise(QWidget* window)
{
    if (!window)
        return;
    if (QWidget* owner = satelliteOwner(window)) {
        restackSatellites(owner);
        return;
    }
    m_order.raised(window);
    restack(window);
}

void X11FloatingWindows::restack(QWidget* subject)
{
    // Bottom first: each raise puts the window on top of everything raised before it. Ordinary
    // windows (settings, About) are left where the user put them, unless one is the window
    // being shown or raised.
    for (QWidget* window : m_order.ordered()) {
        if (!window->isVisible())
            continue;
        if (window != subject && m_order.level(window) == WindowLevel::normal)
            continue;
        window->raise();
    }
    // The satellites of the owners just raised; the window manager may restack the owners'
    // frames later, which the root's events report.
    for (const Satellites& group : m_satellites)
        if (group.owner && group.owner->isVisible())
            restackSatellites(group.owner);
}

void X11FloatingWindows::activate(QWidget* window)
{
    if (!window)
        return;
    // Asked a moment ago, and the focus has not moved since: it is on its way. After a while
    // the request is made again: the server ignores one whose time is older than the last
    // focus change, and a click must then still bring the keyboard.
    if (m_activating == window && window->isVisible() && m_activationAge.isValid()
        && std::chrono::milliseconds(m_activationAge.elapsed()) < activationGrace)
        return;
    m_order.raised(window);
    restack(window);
    m_activating = window;
    m_activationAge.start();
    if (QWindow* handle = window->windowHandle())
        connect(handle, &QWindow::visibleChanged, this, &X11FloatingWindows::forgetActivation, Qt::UniqueConnection);
    // Qt sets the input focus itself for a window that bypasses the window manager, and asks
    // the window manager (_NET_ACTIVE_WINDOW) for any other.
    window->activateWindow();
}

void X11FloatingWindows::forgetActivation()
{
    m_activating = nullptr;
}

void X11FloatingWindows::setPixelGeometry(QWidget* window, const QRect& pixels)
{
    xcb_connection_t* c = qtConnection();
    if (!window || !c || pixels.isEmpty())
        return;
    // On Qt's connection, after its own requests for the window: its ConfigureNotify then
    // tells Qt the exact size, and no later request of Qt's overtakes ours.
    const uint32_t values[] = {uint32_t(pixels.x()), uint32_t(pixels.y()), uint32_t(pixels.width()),
                               uint32_t(pixels.height())};
    xcb_configure_window(c, xcb_window_t(window->winId()),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(c);
}

void X11FloatingWindows::holdKeyboard(QWidget* window)
{
    if (!window)
        return;
    // Held for it already: asking the server again would only wait for its answer. A grab that
    // one of our own windows took over meanwhile is settled when that window closes.
    if (m_grabbed == window && !m_holders.empty() && m_holders.back() == window)
        return;
    std::erase_if(m_holders, [window](const QPointer<QWidget>& each) { return !each || each == window; });
    if (m_holders.empty() && qApp)
        qApp->installEventFilter(this); // to see our other windows close, which may end our grab
    m_holders.emplace_back(window);
    connect(window, &QObject::destroyed, this, &X11FloatingWindows::settleKeyboard, Qt::UniqueConnection);
    settleKeyboard();
}

void X11FloatingWindows::releaseKeyboard(QWidget* window)
{
    std::erase_if(m_holders, [window](const QPointer<QWidget>& each) { return !each || each == window; });
    if (window)
        disconnect(window, &QObject::destroyed, this, &X11FloatingWindows::settleKeyboard);
    settleKeyboard();
}

bool X11FloatingWindows::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        const bool holder = std::any_of(m_holders.begin(), m_holders.end(),
                                        [widget](const QPointer<QWidget>& each) { return each == widget; });
        // A top-level of ours that closes may have taken the grab for itself: Qt's popups
        // grab and ungrab, and so does a dialog's own window service.
        const bool windowGone = type == QEvent::Hide && widget->isWindow();
        // After the event: a shown window is mapped by then, a closed one has let go.
        if (holder || windowGone)
            QTimer::singleShot(0, this, &X11FloatingWindows::settleKeyboard);
    }
    return FloatingWindows::eventFilter(watched, event);
}

void X11FloatingWindows::settleKeyboard()
{
    std::erase_if(m_holders, [](const QPointer<QWidget>& each) { return !each; });
    QWidget* wanted = nullptr;
    for (auto each = m_holders.rbegin(); each != m_holders.rend(); ++each)
        if ((*each)->isVisible()) {
            wanted = *each;
            break;
        }
    if (m_holders.empty() && qApp)
        qApp->removeEventFilter(this);
    if (!wanted) {
        m_grabRetry.stop();
        ungrabKeyboard();
        return;
    }
    if (grabKeyboardFor(wanted)) {
        m_grabbed = wanted;
        m_grabRetry.stop();
    } else {
        m_grabbed = nullptr;
        m_grabRetry.start();
    }
}

bool X11FloatingWindows::grabKeyboardFor(QWidget* window)
{
    xcb_connection_t* c = qtConnection();
    if (!c || !window->testAttribute(Qt::WA_WState_Created))
        return false;
    // Every key is reported to the grabbing window (owner_events false); Qt passes it on to
    // whichever of our windows has its focus. Grabbing again while we hold the grab only moves it.
    XcbReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(
        c,
        xcb_grab_keyboard(c, 0, xcb_window_t(window->winId()), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                          XCB_GRAB_MODE_ASYNC),
        nullptr));
    // AlreadyGrabbed: another client (the hot key's own grab while its key is down);
    // NotViewable: not mapped yet. Both pass; the retry comes back.
    return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
}

void X11FloatingWindows::ungrabKeyboard()
{
    const bool held = m_grabbed != nullptr;
    m_grabbed = nullptr;
    xcb_connection_t* c = qtConnection();
    if (!held || !c)
        return;
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
}

void X11FloatingWindows::setClickThrough(QWidget* window, bool clickThrough)
{
    if (!window)
        return;
    // On the QWindow, not the widget: changing a widget's window flags hides the window.
    window->winId();
    if (QWindow* handle = window->windowHandle())
        handle->setFlag(Qt::WindowTransparentForInput, clickThrough);
    window->setAttribute(Qt::WA_TransparentForMouseEvents, clickThrough);
}

void X11FloatingWindows::watchCompositor()
{
    m_xcb = XcbConnection::open();
    if (!m_xcb)
        return;
    xcb_connection_t* c = m_xcb->get();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(m_xcb->screenNumber());
    m_selection = m_xcb->atom(name.constData());
    if (const std::optional<uint8_t> eventBase = m_xcb->watchSelectionOwner(m_selection))
        m_xfixesEventBase = *eventBase;
    // Other programs' top-levels as they are mapped and restacked (event masks are per client,
    // so this takes nothing from anyone).
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, m_xcb->root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { drainEvents(); });
    refreshCompositor();
}

void X11FloatingWindows::drainEvents()
{
    if (!m_xcb)
        return;
    bool changed = false;
    bool foreignRestack = false;
    bool ownerMoved = false; // a frame that satellites follow may have been restacked
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_xcb->get())) {
        const uint8_t type = event->response_type & 0x7F;
        if (m_xfixesEventBase >= 0 && type == m_xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY)
            changed = true;
        else if (type == XCB_MAP_NOTIFY) {
            const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            foreignRestack |= !ownsWindow(window);
            ownerMoved |= !isSatellite(window);
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            const auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
            foreignRestack |= !ownsWindow(configure->window);
            // Satellites follow a restack, not a move or a resize (a pin being zoomed). A frame
            // that now lies directly above a satellite has been raised over its group even when
            // its recorded sibling looks unchanged: that record predates our own restack of the
            // satellites above it, which sends the frame no event.
            auto [above, added] = m_aboveSibling.try_emplace(configure->window, configure->above_sibling);
            const bool restacked =
                added || above->second != configure->above_sibling || isSatellite(configure->above_sibling);
            above->second = configure->above_sibling;
            ownerMoved |= restacked && !isSatellite(configure->window);
        } else if (type == XCB_DESTROY_NOTIFY) {
            m_aboveSibling.erase(reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window);
        }
        std::free(event);
    }
    if (changed)
        refreshCompositor();
    if (foreignRestack)
        keepAbove();
    if (ownerMoved)
        followOwners();
}

bool X11FloatingWindows::ownsWindow(uint32_t window) const
{
    // Any top-level of this process, placed here or not (a dialog's popup, a message box).
    for (QWindow* each : QGuiApplication::topLevelWindows())
        if (each->handle() && each->winId() == WId(window))
            return true;
    return false;
}

bool X11FloatingWindows::bypassesWindowManager(uint32_t window) const
{
    for (QWindow* each : QGuiApplication::topLevelWindows())
        if (each->handle() && each->winId() == WId(window))
            return each->flags().testFlag(Qt::BypassWindowManagerHint);
    return false;
}

void X11FloatingWindows::keepAbove()
{
    // Once per turn of the event loop, however many windows moved.
    if (m_keepAboveQueued)
        return;
    m_keepAboveQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_keepAboveQueued = false;
        raiseAboveOthers();
    });
}

void X11FloatingWindows::raiseAboveOthers()
{
    const std::vector<QWidget*> placed = m_order.ordered();
    const bool overlaysUp = std::any_of(placed.begin(), placed.end(), [this](QWidget* window) {
        const std::optional<WindowLevel> level = m_order.level(window);
        return window->isVisible() && level && windowLevel::bypassesWindowManager(*level);
    });
    if (!overlaysUp || !m_xcb)
        return;
    // Every visible window of ours that bypasses the window manager (the placed ones, and those
    // that stand above them by their own flags: a save panel, its popups) is raised in the order
    // they stand in now, bottom first: all of them end above the other programs' windows and
    // keep their order among themselves. Their own ConfigureNotify is ours and is ignored.
    xcb_connection_t* c = m_xcb->get();
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, m_xcb->root()), nullptr));
    if (!tree)
        return;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    QHash<WId, QWindow*> ours;
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (window->handle() && window->isVisible()
            && (window->flags().testFlag(Qt::BypassWindowManagerHint) || window->type() == Qt::Popup
                || window->type() == Qt::ToolTip))
            ours.insert(window->winId(), window);
    for (int i = 0; i < count; ++i) // bottom to top
        if (QWindow* window = ours.value(WId(children[i])))
            window->raise();
}

void X11FloatingWindows::refreshCompositor()
{
    bool running = false;
    if (m_xcb && m_selection != XCB_ATOM_NONE) {
        xcb_connection_t* c = m_xcb->get();
        XcbReply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_selection), nullptr));
        running = owner && owner->owner != XCB_WINDOW_NONE;
    }
    if (running == m_compositor)
        return;
    m_compositor = running;
    emit compositorChanged(running);
}

// --- Satellites ---

void X11FloatingWindows::attachSatellite(QWidget* window, QWidget* owner)
{
    Q_ASSERT(window && window->isWindow() && owner);
    if (!window || !owner)
        return;
    // Bypassing the window manager: a managed frame would take the clicks meant for the
    // window beneath a click-through ring, and would be stacked as the manager likes.
    window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint
                           | Qt::WindowDoesNotAcceptFocus);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    auto group = std::find_if(m_satellites.begin(), m_satellites.end(),
                              [owner](const Satellites& each) { return each.owner == owner; });
    if (group == m_satellites.end()) {
        m_satellites.push_back({owner, {}});
        group = std::prev(m_satellites.end());
    }
    group->windows.emplace_back(window);
}

QWidget* X11FloatingWindows::satelliteOwner(const QWidget* window) const
{
    for (const Satellites& group : m_satellites)
        for (const QPointer<QWidget>& each : group.windows)
            if (each == window)
                return group.owner;
    return nullptr;
}

bool X11FloatingWindows::isSatellite(uint32_t window) const
{
    for (const Satellites& group : m_satellites)
        for (const QPointer<QWidget>& each : group.windows)
            if (each && each->testAttribute(Qt::WA_WState_Created) && each->winId() == WId(window))
                return true;
    return false;
}

uint32_t X11FloatingWindows::topLevelOf(uint32_t window) const
{
    xcb_connection_t* c = qtConnection();
    if (!c)
        return XCB_WINDOW_NONE;
    for (int depth = 0; depth < 16; ++depth) {
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree)
            return XCB_WINDOW_NONE;
        if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

void X11FloatingWindows::restackSatellites(QWidget* owner)
{
    xcb_connection_t* c = qtConnection();
    if (!c || !owner || !owner->isVisible() || !owner->testAttribute(Qt::WA_WState_Created))
        return;
    auto group = std::find_if(m_satellites.begin(), m_satellites.end(),
                              [owner](const Satellites& each) { return each.owner == owner; });
    if (group == m_satellites.end())
        return;
    std::erase_if(group->windows, [](const QPointer<QWidget>& each) { return !each; });
    // Each directly above the one before it, the first directly above the owner's frame:
    // nothing else of ours moves, and the owner's dialogs (above its frame) stay above.
    xcb_window_t sibling = topLevelOf(uint32_t(owner->winId()));
    if (sibling == XCB_WINDOW_NONE)
        return;
    for (const QPointer<QWidget>& satellite : group->windows) {
        if (!satellite->isVisible())
            continue;
        const xcb_window_t window = xcb_window_t(satellite->winId());
        const uint32_t values[] = {sibling, XCB_STACK_MODE_ABOVE};
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
        sibling = window;
    }
    xcb_flush(c);
}

void X11FloatingWindows::followOwners()
{
    if (m_followQueued || m_satellites.empty())
        return;
    m_followQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_followQueued = false;
        restackGroups();
    });
}

void X11FloatingWindows::restackGroups()
{
    std::erase_if(m_satellites, [](const Satellites& each) { return !each.owner; });
    for (const Satellites& group : m_satellites)
        if (group.owner->isVisible())
            restackSatellites(group.owner);
}

std::vector<QWidget*> X11FloatingWindows::frontToBack() const
{
    std::vector<QWidget*> result;
    xcb_connection_t* c = qtConnection();
    if (!c || !m_xcb)
        return result;
    // A managed window stands where its frame stands.
    QHash<uint32_t, QWidget*> byTopLevel;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->testAttribute(Qt::WA_WState_Created))
            if (const uint32_t top = topLevelOf(uint32_t(widget->winId())); top != XCB_WINDOW_NONE)
                byTopLevel.insert(top, widget);
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, m_xcb->root()), nullptr));
    if (!tree)
        return result;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) // top first
        if (QWidget* widget = byTopLevel.value(children[i]))
            result.push_back(widget);
    return result;
}

void X11FloatingWindows::flush()
{
    QGuiApplication::sync();
}

void X11FloatingWindows::keepOnAllDesktops(QWidget* window)
{
    xcb_connection_t* c = qtConnection();
    if (!window || !c)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    const uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, internAtom(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    // Qt merges its own states into the ones it finds when it maps the window.
    const xcb_atom_t states[] = {internAtom(c, "_NET_WM_STATE_STICKY"), internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 internAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, internAtom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 3, states);
    xcb_flush(c);
}

void X11FloatingWindows::setRole(QWidget* window, const QString& role)
{
    xcb_connection_t* c = qtConnection();
    if (!window || !c)
        return;
    const QByteArray bytes = role.toUtf8();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), internAtom(c, "WM_WINDOW_ROLE"),
                        XCB_ATOM_STRING, 8, uint32_t(bytes.size()), bytes.constData());
    xcb_flush(c);
}

} // namespace vorlith

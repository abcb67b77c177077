#include "platform/x11/X11FloatingWindows.h"

#include "platform/x11/XcbConnection.h"

#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>

#include <xcb/xfixes.h>

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

} // namespace

X11FloatingWindows::X11FloatingWindows(QObject* parent) : FloatingWindows(parent)
{
    watchCompositor();
}

X11FloatingWindows::~X11FloatingWindows()
{
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
    m_order.raised(window);
    restack(window);
}

void X11FloatingWindows::raise(QWidget* window)
{
    if (!window)
        return;
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
    if (const std::optional<uint8_t> eventBase = m_xcb->watchSelectionOwner(m_selection)) {
        m_xfixesEventBase = *eventBase;
        m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { drainEvents(); });
    }
    refreshCompositor();
}

void X11FloatingWindows::drainEvents()
{
    if (!m_xcb)
        return;
    bool changed = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_xcb->get())) {
        if (m_xfixesEventBase >= 0 && (event->response_type & 0x7F) == m_xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY)
            changed = true;
        std::free(event);
    }
    if (changed)
        refreshCompositor();
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

} // namespace vorlith

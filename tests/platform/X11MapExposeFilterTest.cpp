#include "platform/x11/X11FloatingWindows.h"
#include "platform/x11/X11MapExposeFilter.h"
#include "platform/x11/XcbConnection.h"
#include "support/TestSupport.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <vector>

using namespace vorlith;
using namespace vorlith::test;

namespace {

constexpr uint32_t ours = 0x400001;
constexpr uint32_t other = 0x400002;

xcb_map_notify_event_t mapNotify(uint32_t window, uint16_t sequence, bool overrideRedirect = true)
{
    xcb_map_notify_event_t event{};
    event.response_type = XCB_MAP_NOTIFY;
    event.sequence = sequence;
    event.event = window;
    event.window = window;
    event.override_redirect = overrideRedirect;
    return event;
}

xcb_expose_event_t expose(uint32_t window, uint16_t sequence, uint16_t count = 0)
{
    xcb_expose_event_t event{};
    event.response_type = XCB_EXPOSE;
    event.sequence = sequence;
    event.window = window;
    event.width = 100;
    event.height = 100;
    event.count = count;
    return event;
}

xcb_unmap_notify_event_t unmapNotify(uint32_t window, uint16_t sequence)
{
    xcb_unmap_notify_event_t event{};
    event.response_type = XCB_UNMAP_NOTIFY;
    event.sequence = sequence;
    event.event = window;
    event.window = window;
    return event;
}

template <typename Event> bool dropped(X11MapExposeFilter& filter, Event event)
{
    return filter.nativeEventFilter("xcb_generic_event_t", &event, nullptr);
}

} // namespace

// Only the exposures that the server sends for our own map of a window we bypass the window
// manager with are dropped; every other one reaches Qt.
TEST(X11MapExposeFilter, DropsOnlyTheExposuresOfOurOwnMap)
{
    X11MapExposeFilter filter([](uint32_t window) { return window == ours; });

    // The map's exposures, in two parts, carry the map's sequence: both go.
    EXPECT_FALSE(dropped(filter, mapNotify(ours, 10)));
    EXPECT_TRUE(dropped(filter, expose(ours, 10, 1)));
    EXPECT_TRUE(dropped(filter, expose(ours, 10, 0)));
    // A later exposure (a window above it went away) is the server asking for pixels.
    EXPECT_FALSE(dropped(filter, expose(ours, 14)));

    // An exposure with another sequence ends the map's; a late one of the same number passes.
    EXPECT_FALSE(dropped(filter, mapNotify(ours, 20)));
    EXPECT_FALSE(dropped(filter, expose(ours, 21)));
    EXPECT_FALSE(dropped(filter, expose(ours, 20)));

    // Unmapped before its exposures arrived: nothing is dropped.
    EXPECT_FALSE(dropped(filter, mapNotify(ours, 30)));
    EXPECT_FALSE(dropped(filter, unmapNotify(ours, 31)));
    EXPECT_FALSE(dropped(filter, expose(ours, 30)));

    // Windows it does not cover, and windows the window manager maps (not override-redirect).
    EXPECT_FALSE(dropped(filter, mapNotify(other, 40)));
    EXPECT_FALSE(dropped(filter, expose(other, 40)));
    EXPECT_FALSE(dropped(filter, mapNotify(ours, 50, false)));
    EXPECT_FALSE(dropped(filter, expose(ours, 50)));

    // Other kinds of native events are not looked at.
    xcb_expose_event_t event = expose(ours, 50);
    EXPECT_FALSE(filter.nativeEventFilter("windows_generic_MSG", &event, nullptr));
    EXPECT_EQ(filter.dropped(), 2);
}

namespace {

// Counts the exposures Qt hands a window, and sees a marker event go by.
class ExposeCounter final : public QObject, public QAbstractNativeEventFilter {
public:
    explicit ExposeCounter(QWindow* window) : m_window(window)
    {
        window->installEventFilter(this);
        qApp->installNativeEventFilter(this);
    }
    ~ExposeCounter() override { qApp->removeNativeEventFilter(this); }

    int exposures = 0;
    bool markerSeen = false;
    uint32_t markerAtom = 0;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Expose && m_window->isExposed())
            ++exposures;
        return false;
    }
    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override
    {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY
            && reinterpret_cast<const xcb_property_notify_event_t*>(event)->atom == markerAtom)
            markerSeen = true;
        return false;
    }

private:
    QWindow* m_window;
};

} // namespace

// Showing an overlay-level window exposes it once: Qt paints and flushes it on its map, and the
// server's exposure of the same map does not make Qt send every pixel again.
TEST(X11MapExposeFilter, AnOverrideRedirectWindowIsExposedOnceWhenShown)
{
    auto windows = std::make_shared<X11FloatingWindows>();
    QWidget window;
    windows->place(&window, WindowLevel::captureOverlay, false);
    window.setGeometry(40, 40, 300, 200);
    window.winId();
    ExposeCounter counter(window.windowHandle());

    windows->show(&window);
    ASSERT_TRUE(runUntil([&] { return counter.exposures > 0; }));

    // Everything the server sent for the map comes before the marker's PropertyNotify.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* c = x11->connection();
    const char name[] = "VORLITH_EXPOSE_MARKER";
    XcbReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr));
    ASSERT_TRUE(atom);
    counter.markerAtom = atom->atom;
    const uint32_t value = 1;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window.winId()), atom->atom, XCB_ATOM_CARDINAL, 32, 1,
                        &value);
    xcb_flush(c);
    ASSERT_TRUE(runUntil([&] { return counter.markerSeen; }));
    spin(50ms); // exposures that Qt had queued when the marker went by
    EXPECT_EQ(counter.exposures, 1);
}

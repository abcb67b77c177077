#include "support/X11ClipboardPeer.h"

#include "support/TestSupport.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace vorlith::test {

namespace {

using Clock = std::chrono::steady_clock;

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template<typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t intern(xcb_connection_t* c, const QByteArray& name)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// One INCR transfer to one requestor.
struct Transfer {
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t type;
    QByteArray data;
    int offset = 0;
    bool deleted = false;     // the requestor took the last piece: the next may go
    Clock::time_point due{};  // not before
    bool finished = false;
};

} // namespace

X11ClipboardPeer::X11ClipboardPeer(Options options) : m_options(std::move(options)) {}

X11ClipboardPeer::~X11ClipboardPeer()
{
    stop();
}

bool X11ClipboardPeer::start(const QString& display)
{
    m_display = display.toLocal8Bit();
    if (::pipe(m_wake) != 0)
        return false;
    m_thread = std::thread([this] { run(); });
    return runUntil([this] { return m_owning.load() || m_failed.load(); }) && m_owning;
}

void X11ClipboardPeer::stop()
{
    if (!m_thread.joinable())
        return;
    const char byte = 0;
    [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
    m_thread.join();
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void X11ClipboardPeer::run()
{
    xcb_connection_t* c = xcb_connect(m_display.constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        m_failed = true;
        return;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t clipboard = intern(c, "CLIPBOARD");
    const xcb_atom_t targetsAtom = intern(c, "TARGETS");
    const xcb_atom_t incr = intern(c, "INCR");
    const xcb_atom_t stalled = m_options.stalledTarget.isEmpty() ? xcb_atom_t(XCB_ATOM_NONE) : intern(c, m_options.stalledTarget);
    std::map<xcb_atom_t, QByteArray> offers;
    std::vector<xcb_atom_t> targets{targetsAtom};
    for (const auto& [name, data] : m_options.offers) {
        const xcb_atom_t atom = intern(c, name);
        offers[atom] = data;
        targets.push_back(atom);
    }
    if (stalled != XCB_ATOM_NONE)
        targets.push_back(stalled);

    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    uint8_t xfixesBase = 0;
    if (m_options.refillsEmptyClipboard) {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_xfixes_id);
        Reply<xcb_xfixes_query_version_reply_t> version(
            xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 1, 0), nullptr));
        xfixesBase = ext->first_event;
        xcb_xfixes_select_selection_input(c, window, clipboard,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr));
    m_owning = owner && owner->owner == window;

    std::vector<Transfer> transfers;
    const auto notify = [&](const xcb_selection_request_event_t& request, xcb_atom_t property) {
        xcb_selection_notify_event_t event{};
        event.response_type = XCB_SELECTION_NOTIFY;
        event.time = request.time;
        event.requestor = request.requestor;
        event.selection = request.selection;
        event.target = request.target;
        event.property = property;
        xcb_send_event(c, 0, request.requestor, 0, reinterpret_cast<const char*>(&event));
    };

    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const uint8_t type = event->response_type & 0x7F;
            if (xfixesBase && type == xfixesBase + XCB_XFIXES_SELECTION_NOTIFY) {
                const auto* e = reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event);
                const bool ownerless =
                    e->subtype != XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER || e->owner == XCB_WINDOW_NONE;
                if (ownerless) { // nobody owns it: take it back at once
                    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
                    ++m_refills;
                }
            } else if (type == XCB_SELECTION_REQUEST) {
                const auto& r = *reinterpret_cast<xcb_selection_request_event_t*>(event);
                const xcb_atom_t property = r.property ? r.property : r.target;
                if (r.target == stalled) {
                    // never answered
                } else if (r.target == targetsAtom) {
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, XCB_ATOM_ATOM, 32,
                                        uint32_t(targets.size()), targets.data());
                    notify(r, property);
                } else if (const auto found = offers.find(r.target); found != offers.end()) {
                    const QByteArray& data = found->second;
                    if (m_options.pieceBytes > 0 && data.size() > m_options.pieceBytes) {
                        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                        xcb_change_window_attributes(c, r.requestor, XCB_CW_EVENT_MASK, &mask);
                        const uint32_t size = uint32_t(data.size());
                        xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, incr, 32, 1, &size);
                        transfers.push_back(Transfer{r.requestor, property, r.target, data});
                    } else {
                        xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, r.target, 8,
                                            uint32_t(data.size()), data.constData());
                    }
                    notify(r, property);
                } else {
                    notify(r, XCB_ATOM_NONE);
                }
            } else if (type == XCB_PROPERTY_NOTIFY) {
                const auto* e = reinterpret_cast<xcb_property_notify_event_t*>(event);
                for (Transfer& t : transfers) {
                    if (t.requestor == e->window && t.property == e->atom && e->state == XCB_PROPERTY_DELETE) {
                        t.deleted = true;
                        // The first piece goes at once, as a real owner does; the pause is between pieces.
                        t.due = Clock::now() + (t.offset == 0 ? std::chrono::milliseconds(0) : m_options.pieceDelay);
                    }
                }
            }
            std::free(event);
        }
        // Pieces whose pause is over go out.
        int timeout = -1;
        const Clock::time_point now = Clock::now();
        for (Transfer& t : transfers) {
            if (t.finished || !t.deleted)
                continue;
            if (t.due > now) {
                const int wait = int(std::chrono::ceil<std::chrono::milliseconds>(t.due - now).count());
                timeout = timeout < 0 ? wait : std::min(timeout, wait);
                continue;
            }
            const int length = std::min<int>(m_options.pieceBytes, int(t.data.size()) - t.offset);
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, t.requestor, t.property, t.type, 8, uint32_t(length),
                                t.data.constData() + t.offset);
            t.offset += length;
            t.deleted = false;
            t.finished = length == 0;
            ++m_pieces;
        }
        std::erase_if(transfers, [](const Transfer& t) { return t.finished; });
        xcb_flush(c);

        if (xcb_connection_has_error(c))
            break;
        pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        ::poll(fds, 2, timeout);
        if (fds[1].revents)
            break;
    }
    xcb_disconnect(c);
}

} // namespace vorlith::test

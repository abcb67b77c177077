#include "support/X11ClipboardPeer.h"

#include "support/TestSupport.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
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

Reply<xcb_get_property_reply_t> getProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, bool remove)
{
    return Reply<xcb_get_property_reply_t>(xcb_get_property_reply(
        c, xcb_get_property(c, remove, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1FFFFFFF), nullptr));
}

std::vector<xcb_atom_t> atomsOf(const xcb_get_property_reply_t* reply)
{
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    return {values, values + xcb_get_property_value_length(reply) / 4};
}

void sendNotify(xcb_connection_t* c, const xcb_selection_request_event_t& request, xcb_atom_t property)
{
    xcb_selection_notify_event_t event{};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request.time;
    event.requestor = request.requestor;
    event.selection = request.selection;
    event.target = request.target;
    event.property = property;
    xcb_send_event(c, 0, request.requestor, 0, reinterpret_cast<const char*>(&event));
}

// A clipboard manager's side of SAVE_TARGETS: reads the targets the requestor listed from the
// CLIPBOARD owner, in one MULTIPLE request or one request per target, following INCR, then
// answers the requestor.
class Saver {
public:
    Saver(xcb_connection_t* c, xcb_window_t window, bool throughMultiple, xcb_atom_t unlisted)
        : m_c(c), m_window(window), m_throughMultiple(throughMultiple), m_unlisted(unlisted),
          m_clipboard(intern(c, "CLIPBOARD")),
          m_multiple(intern(c, "MULTIPLE")), m_incr(intern(c, "INCR")), m_atomPair(intern(c, "ATOM_PAIR")),
          m_pairs(intern(c, "PEER_MULTIPLE"))
    {
    }

    bool active() const { return m_active; }
    std::vector<std::pair<xcb_atom_t, QByteArray>> saved;
    int multipleRequests = 0;
    int singleRequests = 0;
    int refusedPairs = 0;

    // True when the save is complete and answered already (nothing listed).
    bool begin(const xcb_selection_request_event_t& request)
    {
        m_request = request;
        m_active = true;
        saved.clear();
        const auto listed = getProperty(m_c, request.requestor, request.property, false);
        std::vector<xcb_atom_t> targets = atomsOf(listed.get());
        if (targets.empty())
            return progress();
        if (!m_throughMultiple) {
            m_pending.assign(targets.begin(), targets.end());
            askNext();
            return false;
        }
        if (m_unlisted != XCB_ATOM_NONE)
            targets.push_back(m_unlisted);
        std::vector<xcb_atom_t> pairs;
        for (size_t i = 0; i < targets.size(); ++i) {
            const xcb_atom_t property = dataProperty(int(i));
            pairs.insert(pairs.end(), {targets[i], property});
            m_incoming[property] = Incoming{targets[i]};
        }
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, m_window, m_pairs, m_atomPair, 32, uint32_t(pairs.size()),
                            pairs.data());
        xcb_convert_selection(m_c, m_window, m_clipboard, m_multiple, m_pairs, XCB_CURRENT_TIME);
        ++multipleRequests;
        return false;
    }

    // True when the save is complete and answered.
    bool selectionNotified(const xcb_selection_notify_event_t& e)
    {
        if (!m_active || e.requestor != m_window || e.selection != m_clipboard)
            return false;
        if (e.target == m_multiple) {
            std::vector<xcb_atom_t> pairs;
            if (e.property != XCB_ATOM_NONE)
                pairs = atomsOf(getProperty(m_c, m_window, m_pairs, true).get());
            for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
                if (pairs[i + 1] != XCB_ATOM_NONE)
                    read(pairs[i + 1]);
                else
                    ++refusedPairs;
            }
            std::erase_if(m_incoming, [&](const auto& in) {
                return std::find(pairs.begin(), pairs.end(), in.first) == pairs.end();
            });
        } else if (e.property == XCB_ATOM_NONE) {
            m_incoming.clear(); // refused: saved without it
        } else {
            read(e.property);
        }
        return progress();
    }

    bool propertyNotified(const xcb_property_notify_event_t& e)
    {
        const auto in = m_incoming.find(e.atom);
        if (!m_active || e.window != m_window || e.state != XCB_PROPERTY_NEW_VALUE || in == m_incoming.end()
            || !in->second.incr)
            return false;
        const auto piece = getProperty(m_c, m_window, e.atom, true);
        const int length = piece ? xcb_get_property_value_length(piece.get()) : 0;
        in->second.data.append(piece ? static_cast<const char*>(xcb_get_property_value(piece.get())) : "", length);
        in->second.done = length == 0;
        return progress();
    }

private:
    struct Incoming {
        xcb_atom_t target;
        QByteArray data;
        bool incr = false;
        bool done = false;
    };

    xcb_atom_t dataProperty(int index) { return intern(m_c, "PEER_DATA_" + QByteArray::number(index)); }

    void askNext()
    {
        const xcb_atom_t property = dataProperty(0);
        m_incoming[property] = Incoming{m_pending.front()};
        xcb_convert_selection(m_c, m_window, m_clipboard, m_pending.front(), property, XCB_CURRENT_TIME);
        m_pending.erase(m_pending.begin());
        ++singleRequests;
    }

    void read(xcb_atom_t property)
    {
        const auto in = m_incoming.find(property);
        if (in == m_incoming.end())
            return;
        const auto value = getProperty(m_c, m_window, property, true); // deleting starts an INCR
        if (value && value->type == m_incr) {
            in->second.incr = true;
            return;
        }
        if (value)
            in->second.data = QByteArray(static_cast<const char*>(xcb_get_property_value(value.get())),
                                         xcb_get_property_value_length(value.get()));
        in->second.done = true;
    }

    bool progress()
    {
        for (const auto& [property, in] : m_incoming) {
            if (!in.done)
                return false;
        }
        for (const auto& [property, in] : m_incoming)
            saved.emplace_back(in.target, in.data);
        m_incoming.clear();
        if (!m_pending.empty()) {
            askNext();
            return false;
        }
        sendNotify(m_c, m_request, m_request.property);
        m_active = false;
        return true;
    }

    xcb_connection_t* m_c;
    xcb_window_t m_window;
    bool m_throughMultiple;
    xcb_atom_t m_unlisted;
    xcb_atom_t m_clipboard, m_multiple, m_incr, m_atomPair, m_pairs;
    bool m_active = false;
    xcb_selection_request_event_t m_request{};
    std::vector<xcb_atom_t> m_pending;
    std::map<xcb_atom_t, Incoming> m_incoming; // by the property it arrives in
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
    const uint32_t propertyChanges = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &propertyChanges);
    const xcb_atom_t manager = intern(c, "CLIPBOARD_MANAGER");
    const xcb_atom_t saveTargets = intern(c, "SAVE_TARGETS");
    Saver saver(c, window, m_options.savesThroughMultiple,
                m_options.unlistedTarget.isEmpty() ? xcb_atom_t(XCB_ATOM_NONE) : intern(c, m_options.unlistedTarget));
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
    const xcb_atom_t owned = m_options.clipboardManager ? manager : clipboard;
    xcb_set_selection_owner(c, window, owned, XCB_CURRENT_TIME);
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, owned), nullptr));
    m_owning = owner && owner->owner == window;

    std::vector<Transfer> transfers;
    const auto notify = [&](const xcb_selection_request_event_t& request, xcb_atom_t property) {
        sendNotify(c, request, property);
    };
    // A finished save: the manager serves what it saved from now on.
    const auto takeOverSaved = [&] {
        offers.clear();
        targets.assign({targetsAtom});
        for (const auto& [target, data] : saver.saved) {
            offers[target] = data;
            targets.push_back(target);
        }
        xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
        ++m_saves;
        m_multipleRequests = saver.multipleRequests;
        m_singleRequests = saver.singleRequests;
        m_refusedPairs = saver.refusedPairs;
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
            } else if (type == XCB_SELECTION_NOTIFY) {
                if (saver.selectionNotified(*reinterpret_cast<xcb_selection_notify_event_t*>(event)))
                    takeOverSaved();
            } else if (type == XCB_SELECTION_REQUEST) {
                const auto& r = *reinterpret_cast<xcb_selection_request_event_t*>(event);
                const xcb_atom_t property = r.property ? r.property : r.target;
                if (r.selection == manager) {
                    if (r.target == saveTargets && m_options.answersSave && !saver.active()) {
                        if (saver.begin(r))
                            takeOverSaved();
                    } else if (m_options.answersSave)
                        notify(r, XCB_ATOM_NONE);
                } else if (r.target == stalled) {
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
                if (saver.propertyNotified(*e))
                    takeOverSaved();
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

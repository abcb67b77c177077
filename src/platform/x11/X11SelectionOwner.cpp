#include "platform/x11/X11SelectionOwner.h"

#include "platform/x11/X11ClipboardTargets.h"
#include "platform/x11/XcbConnection.h"

#include <algorithm>
#include <limits>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace vorlith {

struct X11SelectionOwner::Transfer {
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t type;
    QByteArray bytes;
    qsizetype offset = 0;
    Clock::time_point deadline;
};

std::unique_ptr<X11SelectionOwner> X11SelectionOwner::open(const char* selection)
{
    std::unique_ptr<XcbConnection> xcb = XcbConnection::open();
    if (!xcb)
        return nullptr;
    xcb->preloadAtoms({selection, "VORLITH_TIMESTAMP", "TARGETS", "TIMESTAMP", "INCR", "MULTIPLE",
                       "CLIPBOARD_MANAGER", "SAVE_TARGETS", "VORLITH_SAVE_TARGETS"});
    const xcb_atom_t atom = xcb->atom(selection);
    auto owner = std::unique_ptr<X11SelectionOwner>(new X11SelectionOwner(std::move(xcb), atom));
    if (::pipe2(owner->m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    owner->m_thread = std::thread([raw = owner.get()] { raw->run(); });
    return owner;
}

X11SelectionOwner::X11SelectionOwner(std::unique_ptr<XcbConnection> xcb, xcb_atom_t selection)
    : m_xcb(std::move(xcb)),
      m_selection(selection),
      m_stampProperty(m_xcb->atom("VORLITH_TIMESTAMP")),
      m_targets(m_xcb->atom("TARGETS")),
      m_timestamp(m_xcb->atom("TIMESTAMP")),
      m_incr(m_xcb->atom("INCR")),
      m_multiple(m_xcb->atom("MULTIPLE")),
      m_manager(m_xcb->atom("CLIPBOARD_MANAGER")),
      m_saveTargets(m_xcb->atom("SAVE_TARGETS")),
      m_saveProperty(m_xcb->atom("VORLITH_SAVE_TARGETS"))
{
    m_window = m_xcb->createHiddenWindow(XCB_EVENT_MASK_PROPERTY_CHANGE);
    xcb_flush(m_xcb->get());
}

X11SelectionOwner::~X11SelectionOwner()
{
    if (m_thread.joinable()) {
        bool pending;
        {
            std::lock_guard lock(m_mutex);
            pending = m_owns && !m_handedOver;
        }
        if (pending)
            handOver();
        m_stopping = true;
        wake();
        m_thread.join();
    }
    for (const int fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
    }
    // The connection closes with m_xcb; the server destroys the window and drops the selection.
}

void X11SelectionOwner::wake()
{
    const char byte = 0;
    [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
}

QList<PasteboardItem> X11SelectionOwner::contents() const
{
    std::lock_guard lock(m_mutex);
    return m_contents;
}

QList<X11SelectionOwner::Offer> X11SelectionOwner::offersFor(const PasteboardItem& merged)
{
    std::vector<QByteArray> names;
    for (const QString& type : merged.types()) {
        for (const QString& target : X11ClipboardTargets::targetsFor(type)) {
            names.push_back(target.toUtf8());
            names.push_back(X11ClipboardTargets::answerTypeFor(target).toUtf8());
        }
    }
    std::vector<const char*> pointers;
    for (const QByteArray& name : names)
        pointers.push_back(name.constData());
    m_xcb->preloadAtoms(pointers);

    QList<Offer> offers;
    for (const QString& type : merged.types()) {
        const QByteArray bytes = *merged.data(type);
        for (const QString& target : X11ClipboardTargets::targetsFor(type)) {
            const xcb_atom_t atom = m_xcb->atom(target.toUtf8().constData());
            const bool offered = std::any_of(offers.begin(), offers.end(), [&](const Offer& o) { return o.target == atom; });
            if (atom == XCB_ATOM_NONE || offered)
                continue;
            offers.append(Offer{atom, m_xcb->atom(X11ClipboardTargets::answerTypeFor(target).toUtf8().constData()),
                                X11ClipboardTargets::toTarget(target, bytes)});
        }
    }
    return offers;
}

std::optional<xcb_timestamp_t> X11SelectionOwner::serverTime()
{
    // Appending nothing to a property of our window changes nothing, but the server reports
    // it, to the owner's thread, with its current time.
    std::unique_lock lock(m_mutex);
    m_stamp.reset();
    xcb_change_property(m_xcb->get(), XCB_PROP_MODE_APPEND, m_window, m_stampProperty, XCB_ATOM_INTEGER, 8, 0, nullptr);
    xcb_flush(m_xcb->get());
    m_stamped.wait_for(lock, std::chrono::seconds(2), [this] { return m_stamp.has_value(); });
    return m_stamp;
}

bool X11SelectionOwner::own(const QList<PasteboardItem>& items)
{
    PasteboardItem merged;
    for (const PasteboardItem& item : items) {
        for (const QString& type : item.types()) {
            if (!merged.data(type))
                merged.setData(type, *item.data(type));
        }
    }
    QList<Offer> offers = offersFor(merged);
    // Waiting for a reply here may read events off the socket for the owner's thread: it is
    // woken to look at its queue after each wait.
    wake();
    const std::optional<xcb_timestamp_t> time = serverTime();
    if (!time)
        return false;

    // The offers are in place before the server can send the first request for them.
    {
        std::lock_guard lock(m_mutex);
        m_ownedSince = *time;
        m_owns = true;
        m_contents = merged.isEmpty() ? QList<PasteboardItem>{} : QList<PasteboardItem>{merged};
        m_offers = std::move(offers);
        m_handedOver = false;
    }
    xcb_connection_t* connection = m_xcb->get();
    xcb_set_selection_owner(connection, m_window, m_selection, *time);
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, m_selection), nullptr));
    wake();
    if (owner && owner->owner == m_window)
        return true;
    std::lock_guard lock(m_mutex);
    if (m_ownedSince == *time) {
        m_owns = false;
        m_contents.clear();
        m_offers.clear();
    }
    return false;
}

xcb_window_t X11SelectionOwner::selectionOwner(xcb_atom_t selection)
{
    xcb_connection_t* connection = m_xcb->get();
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr));
    wake(); // the wait may have read events off the socket for the owner's thread
    return owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
}

X11SelectionOwner::HandOver X11SelectionOwner::handOver(std::chrono::milliseconds bound)
{
    const Clock::time_point deadline = Clock::now() + bound;
    std::vector<xcb_atom_t> targets;
    {
        std::lock_guard lock(m_mutex);
        m_handedOver = true;
        if (!m_owns)
            return HandOver::notOwner;
        for (const Offer& offer : m_offers)
            targets.push_back(offer.target);
    }
    if (selectionOwner(m_selection) != m_window)
        return HandOver::notOwner;
    if (selectionOwner(m_manager) == XCB_WINDOW_NONE)
        return HandOver::noManager;
    // A manager refuses a request stamped before it took CLIPBOARD_MANAGER: stamp it now.
    const std::optional<xcb_timestamp_t> time = serverTime();
    if (!time)
        return HandOver::timedOut;

    xcb_connection_t* connection = m_xcb->get();
    // The targets worth keeping, for a manager that reads the list; the protocol's own are not.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, m_window, m_saveProperty, XCB_ATOM_ATOM, 32,
                        uint32_t(targets.size()), targets.data());
    std::unique_lock lock(m_mutex);
    m_saved.reset();
    xcb_convert_selection(connection, m_window, m_manager, m_saveTargets, m_saveProperty, *time);
    xcb_flush(connection);
    // The manager now reads our targets from the owner's thread and answers when it has them.
    if (!m_saveAnswered.wait_until(lock, deadline, [this] { return m_saved.has_value(); }))
        return HandOver::timedOut;
    return *m_saved ? HandOver::saved : HandOver::refused;
}

// ---- the owner's thread ----

void X11SelectionOwner::run()
{
    xcb_connection_t* connection = m_xcb->get();
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            handle(event);
            std::free(event);
        }
        const int timeout = dropStalledTransfers();
        xcb_flush(connection);
        if (xcb_connection_has_error(connection))
            return;
        pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        ::poll(fds, 2, timeout);
        if (fds[1].revents) {
            char bytes[64];
            [[maybe_unused]] const auto read = ::read(m_wake[0], bytes, sizeof bytes);
            if (m_stopping)
                return;
        }
    }
}

void X11SelectionOwner::handle(const xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7F) {
    case XCB_PROPERTY_NOTIFY: {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->window == m_window && notify->atom == m_stampProperty) {
            std::lock_guard lock(m_mutex);
            m_stamp = notify->time;
            m_stamped.notify_all();
            return;
        }
        if (notify->state != XCB_PROPERTY_DELETE)
            return;
        for (const auto& transfer : m_transfers) {
            if (transfer->requestor == notify->window && transfer->property == notify->atom) {
                sendPiece(*transfer);
                return;
            }
        }
        return;
    }
    case XCB_SELECTION_CLEAR: {
        const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event);
        std::lock_guard lock(m_mutex);
        // A clear older than our latest take belongs to an ownership we have already replaced.
        if (clear->selection == m_selection && clear->time >= m_ownedSince) {
            // Transfers already started keep their own copy of the data.
            m_owns = false;
            m_contents.clear();
            m_offers.clear();
        }
        return;
    }
    case XCB_SELECTION_NOTIFY:
        saveAnswered(*reinterpret_cast<const xcb_selection_notify_event_t*>(event));
        return;
    case XCB_SELECTION_REQUEST:
        answer(*reinterpret_cast<const xcb_selection_request_event_t*>(event));
        return;
    default:
        return; // errors: a requestor window that vanished during a transfer needs no answer
    }
}

void X11SelectionOwner::answer(const xcb_selection_request_event_t& request)
{
    // Obsolete requestors name no property: the answer goes into the target's own name.
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    const bool answered = request.selection == m_selection && put(request, property);

    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = answered ? property : xcb_atom_t(XCB_ATOM_NONE);
    xcb_send_event(m_xcb->get(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
}

void X11SelectionOwner::saveAnswered(const xcb_selection_notify_event_t& notify)
{
    if (notify.requestor != m_window || notify.selection != m_manager || notify.target != m_saveTargets)
        return;
    std::lock_guard lock(m_mutex);
    m_saved = notify.property != XCB_ATOM_NONE;
    m_saveAnswered.notify_all();
}

bool X11SelectionOwner::put(const xcb_selection_request_event_t& request, xcb_atom_t property)
{
    if (request.target == m_multiple) // an obsolete requestor cannot name the list's property
        return request.property != XCB_ATOM_NONE && putMultiple(request.requestor, property);
    std::lock_guard lock(m_mutex);
    return putTarget(request.requestor, request.target, property);
}

bool X11SelectionOwner::putMultiple(xcb_window_t requestor, xcb_atom_t property)
{
    // The requestor lists (target, property) pairs in the property it named; each pair is
    // answered as a request of its own, and a refused one has its property replaced by None.
    xcb_connection_t* connection = m_xcb->get();
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1FFFFFFF),
        nullptr));
    if (!reply || reply->format != 32 || reply->type == XCB_ATOM_NONE)
        return false;
    const int length = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    std::vector<xcb_atom_t> pairs(values, values + (length - length % 2));

    std::lock_guard lock(m_mutex);
    if (!m_owns)
        return false;
    bool refusedAny = false;
    for (size_t i = 0; i < pairs.size(); i += 2) {
        const bool answered = pairs[i] != m_multiple && pairs[i + 1] != XCB_ATOM_NONE
            && putTarget(requestor, pairs[i], pairs[i + 1]);
        if (!answered) {
            pairs[i + 1] = XCB_ATOM_NONE;
            refusedAny = true;
        }
    }
    if (refusedAny) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, reply->type, 32,
                            uint32_t(pairs.size()), pairs.data());
    }
    return true;
}

bool X11SelectionOwner::putTarget(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property)
{
    xcb_connection_t* connection = m_xcb->get();
    // A request stamped before our take is answered all the same: requestors stamp with the
    // newest time they have seen, which can predate a take made with a fresh server time
    // (Qt in this very process does), and the server sends us only requests made while we own.
    if (!m_owns)
        return false;
    if (target == m_targets) {
        std::vector<xcb_atom_t> targets{m_targets, m_timestamp, m_multiple};
        for (const Offer& offer : m_offers)
            targets.push_back(offer.target);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            uint32_t(targets.size()), targets.data());
        return true;
    }
    if (target == m_timestamp) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1,
                            &m_ownedSince);
        return true;
    }
    const auto offer =
        std::find_if(m_offers.cbegin(), m_offers.cend(), [&](const Offer& o) { return o.target == target; });
    if (offer == m_offers.cend())
        return false; // every target we do not offer
    if (offer->bytes.size() <= pieceBytes) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, offer->type, 8,
                            uint32_t(offer->bytes.size()), offer->bytes.constData());
        return true;
    }
    // We hear the requestor delete each piece; then the size announcement, as INCR.
    endTransfer(requestor, property); // a repeated request starts over
    m_transfers.push_back(std::make_unique<Transfer>(
        Transfer{requestor, property, offer->type, offer->bytes, 0, Clock::now() + transferTimeout}));
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, requestor, XCB_CW_EVENT_MASK, &events);
    const uint32_t size = uint32_t(qMin<qsizetype>(offer->bytes.size(), std::numeric_limits<uint32_t>::max()));
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, m_incr, 32, 1, &size);
    return true;
}

void X11SelectionOwner::sendPiece(Transfer& transfer)
{
    const qsizetype length = qMin(pieceBytes, transfer.bytes.size() - transfer.offset);
    xcb_change_property(m_xcb->get(), XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property, transfer.type, 8,
                        uint32_t(length), transfer.bytes.constData() + transfer.offset);
    if (length == 0) { // the empty piece that ends the transfer has gone out
        endTransfer(transfer.requestor, transfer.property);
        return;
    }
    transfer.offset += length;
    transfer.deadline = Clock::now() + transferTimeout;
}

void X11SelectionOwner::endTransfer(xcb_window_t requestor, xcb_atom_t property)
{
    const auto before = m_transfers.size();
    std::erase_if(m_transfers, [&](const auto& t) { return t->requestor == requestor && t->property == property; });
    if (m_transfers.size() == before)
        return;
    const bool requestorStillServed =
        std::any_of(m_transfers.begin(), m_transfers.end(), [&](const auto& t) { return t->requestor == requestor; });
    if (!requestorStillServed) {
        const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(m_xcb->get(), requestor, XCB_CW_EVENT_MASK, &none);
    }
}

int X11SelectionOwner::dropStalledTransfers()
{
    // Pieces go when the requestor deletes the last one; one that stopped taking them is dropped.
    const Clock::time_point now = Clock::now();
    std::vector<std::pair<xcb_window_t, xcb_atom_t>> expired;
    int timeout = -1;
    for (const auto& transfer : m_transfers) {
        if (transfer->deadline <= now) {
            expired.emplace_back(transfer->requestor, transfer->property);
            continue;
        }
        const int wait = int(std::chrono::ceil<std::chrono::milliseconds>(transfer->deadline - now).count());
        timeout = timeout < 0 ? wait : std::min(timeout, wait);
    }
    for (const auto& [requestor, property] : expired)
        endTransfer(requestor, property);
    return timeout;
}

} // namespace vorlith

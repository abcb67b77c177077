#include "platform/x11/X11SelectionOwner.h"

#include "platform/x11/X11ClipboardTargets.h"
#include "platform/x11/XcbConnection.h"

#include <QTimer>

#include <algorithm>
#include <limits>

namespace vorlith {

namespace {

// A transfer's timer may end its transfer from its own timeout.
struct DeleteLater {
    void operator()(QTimer* timer) const { timer->deleteLater(); }
};

} // namespace

struct X11SelectionOwner::Transfer {
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t type;
    QByteArray bytes;
    qsizetype offset = 0;
    std::unique_ptr<QTimer, DeleteLater> timer;
};

X11SelectionOwner::X11SelectionOwner(XcbConnection& xcb, xcb_atom_t selection, std::function<void()> roundTrip)
    : m_xcb(xcb), m_selection(selection), m_roundTrip(std::move(roundTrip)), m_stampProperty(xcb.atom("VORLITH_TIMESTAMP"))
{
    xcb_connection_t* connection = m_xcb.get();
    m_window = xcb_generate_id(connection);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_window, m_xcb.root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    xcb_flush(connection);
}

X11SelectionOwner::~X11SelectionOwner()
{
    m_transfers.clear();
    xcb_destroy_window(m_xcb.get(), m_window);
    xcb_flush(m_xcb.get());
}

xcb_timestamp_t X11SelectionOwner::serverTime()
{
    // Appending nothing to a property of our window changes nothing, but the server reports
    // it with its current time.
    m_stamp.reset();
    xcb_change_property(m_xcb.get(), XCB_PROP_MODE_APPEND, m_window, m_stampProperty, XCB_ATOM_INTEGER, 8, 0, nullptr);
    m_roundTrip();
    return m_stamp.value_or(XCB_CURRENT_TIME);
}

bool X11SelectionOwner::own(const QList<PasteboardItem>& items)
{
    QList<Offer> offers;
    PasteboardItem merged;
    std::vector<QByteArray> names;
    for (const PasteboardItem& item : items) {
        for (const QString& type : item.types()) {
            if (merged.data(type))
                continue;
            merged.setData(type, *item.data(type));
            for (const QString& target : X11ClipboardTargets::targetsFor(type))
                names.push_back(target.toUtf8());
        }
    }
    std::vector<const char*> pointers;
    for (const QByteArray& name : names)
        pointers.push_back(name.constData());
    m_xcb.preloadAtoms(pointers);
    for (const QString& type : merged.types()) {
        const QByteArray bytes = *merged.data(type);
        for (const QString& target : X11ClipboardTargets::targetsFor(type)) {
            const xcb_atom_t atom = m_xcb.atom(target.toUtf8().constData());
            const bool offered = std::any_of(offers.begin(), offers.end(), [&](const Offer& o) { return o.target == atom; });
            if (atom == XCB_ATOM_NONE || offered)
                continue;
            offers.append(Offer{atom, m_xcb.atom(X11ClipboardTargets::answerTypeFor(target).toUtf8().constData()),
                                X11ClipboardTargets::toTarget(target, bytes)});
        }
    }

    const xcb_timestamp_t time = serverTime();
    xcb_connection_t* connection = m_xcb.get();
    xcb_set_selection_owner(connection, m_window, m_selection, time);
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, m_selection), nullptr));
    m_owns = owner && owner->owner == m_window;
    if (!m_owns) {
        m_contents.clear();
        m_offers.clear();
        return false;
    }
    m_ownedSince = time;
    m_contents = merged.isEmpty() ? QList<PasteboardItem>{} : QList<PasteboardItem>{merged};
    m_offers = std::move(offers);
    return true;
}

bool X11SelectionOwner::handle(const xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7F) {
    case XCB_PROPERTY_NOTIFY: {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->window == m_window && notify->atom == m_stampProperty) {
            m_stamp = notify->time;
            return true;
        }
        const auto transfer = m_transfers.value({notify->window, notify->atom});
        if (!transfer)
            return false;
        if (notify->state == XCB_PROPERTY_DELETE)
            sendPiece(*transfer);
        return true;
    }
    case XCB_SELECTION_CLEAR: {
        const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event);
        if (clear->owner != m_window || clear->selection != m_selection)
            return false;
        // Transfers already started keep their own copy of the data.
        m_owns = false;
        m_contents.clear();
        m_offers.clear();
        return true;
    }
    case XCB_SELECTION_REQUEST: {
        const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
        if (request->owner != m_window)
            return false;
        answer(*request);
        return true;
    }
    default:
        return false;
    }
}

void X11SelectionOwner::answer(const xcb_selection_request_event_t& request)
{
    // Obsolete requestors name no property: the answer goes into the target's own name.
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    const bool current = request.time == XCB_CURRENT_TIME || request.time >= m_ownedSince;
    const bool answered = m_owns && request.selection == m_selection && current && put(request, property);

    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = answered ? property : xcb_atom_t(XCB_ATOM_NONE);
    xcb_send_event(m_xcb.get(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_flush(m_xcb.get());
}

bool X11SelectionOwner::put(const xcb_selection_request_event_t& request, xcb_atom_t property)
{
    xcb_connection_t* connection = m_xcb.get();
    if (request.target == m_xcb.atom("TARGETS")) {
        std::vector<xcb_atom_t> targets{m_xcb.atom("TARGETS"), m_xcb.atom("TIMESTAMP")};
        for (const Offer& offer : m_offers)
            targets.push_back(offer.target);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
                            uint32_t(targets.size()), targets.data());
        return true;
    }
    if (request.target == m_xcb.atom("TIMESTAMP")) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_INTEGER, 32, 1,
                            &m_ownedSince);
        return true;
    }
    for (const Offer& offer : m_offers) {
        if (offer.target != request.target)
            continue;
        if (offer.bytes.size() > pieceBytes) {
            startTransfer(request.requestor, property, offer);
        } else {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, offer.type, 8,
                                uint32_t(offer.bytes.size()), offer.bytes.constData());
        }
        return true;
    }
    return false; // MULTIPLE and every target we do not offer
}

void X11SelectionOwner::startTransfer(xcb_window_t requestor, xcb_atom_t property, const Offer& offer)
{
    xcb_connection_t* connection = m_xcb.get();
    endTransfer(requestor, property); // a repeated request starts over
    auto transfer = std::make_shared<Transfer>(Transfer{requestor, property, offer.type, offer.bytes, 0, nullptr});
    transfer->timer.reset(new QTimer);
    transfer->timer->setSingleShot(true);
    transfer->timer->setInterval(transferTimeout);
    QObject::connect(transfer->timer.get(), &QTimer::timeout, [this, requestor, property] { endTransfer(requestor, property); });
    transfer->timer->start();
    m_transfers.insert({requestor, property}, transfer);

    // We hear the requestor delete each piece; then the size announcement, as INCR.
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, requestor, XCB_CW_EVENT_MASK, &events);
    const uint32_t size = uint32_t(qMin<qsizetype>(offer.bytes.size(), std::numeric_limits<uint32_t>::max()));
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, m_xcb.atom("INCR"), 32, 1, &size);
}

void X11SelectionOwner::sendPiece(Transfer& transfer)
{
    const qsizetype length = qMin(pieceBytes, transfer.bytes.size() - transfer.offset);
    xcb_change_property(m_xcb.get(), XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property, transfer.type, 8,
                        uint32_t(length), transfer.bytes.constData() + transfer.offset);
    xcb_flush(m_xcb.get());
    if (length == 0) { // the empty piece that ends the transfer has gone out
        endTransfer(transfer.requestor, transfer.property);
        return;
    }
    transfer.offset += length;
    transfer.timer->start();
}

void X11SelectionOwner::endTransfer(xcb_window_t requestor, xcb_atom_t property)
{
    if (!m_transfers.remove({requestor, property}))
        return;
    const bool requestorStillServed = std::any_of(m_transfers.keyBegin(), m_transfers.keyEnd(),
                                                  [&](const auto& key) { return key.first == requestor; });
    if (!requestorStillServed) {
        const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(m_xcb.get(), requestor, XCB_CW_EVENT_MASK, &none);
        xcb_flush(m_xcb.get());
    }
}

} // namespace vorlith

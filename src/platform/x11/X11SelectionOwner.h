#pragma once

#include "platform/PasteboardItem.h"

#include <QHash>
#include <QList>

#include <xcb/xcb.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace vorlith {

class XcbConnection;

// Owns a selection on a window of its own and serves what was written, exactly as given (a PNG
// is encoded once, not for every paste). Taking the selection replaces the previous owner in
// one step, stamped with a current server time: the selection is never without owner in
// between, so a clipboard manager that refills an empty clipboard has nothing to refill, and
// the server never refuses the take as older than another client's.
//
// Answers TARGETS, TIMESTAMP and every offered target; data larger than `pieceBytes` goes in
// INCR pieces, each after the requestor has deleted the one before; a requestor that takes no
// piece for `transferTimeout` is dropped. Events come through `handle`.
class X11SelectionOwner {
public:
    static constexpr qsizetype pieceBytes = 256 * 1024;
    static constexpr std::chrono::milliseconds transferTimeout{5000};

    // `roundTrip` makes the server process everything sent so far and hands every event that
    // arrived meanwhile to `handle`.
    X11SelectionOwner(XcbConnection& xcb, xcb_atom_t selection, std::function<void()> roundTrip);
    ~X11SelectionOwner();
    X11SelectionOwner(const X11SelectionOwner&) = delete;
    X11SelectionOwner& operator=(const X11SelectionOwner&) = delete;

    // Serves the items (their types merged, the first item's data winning for a type that
    // appears twice). True when the server has made us the owner.
    bool own(const QList<PasteboardItem>& items);

    xcb_window_t window() const { return m_window; }
    // What we serve while we own the selection; empty once another client took it.
    const QList<PasteboardItem>& contents() const { return m_contents; }
    int activeTransfers() const { return int(m_transfers.size()); }

    // True when the event was for us.
    bool handle(const xcb_generic_event_t* event);

private:
    struct Offer {
        xcb_atom_t target;
        xcb_atom_t type;
        QByteArray bytes;
    };
    struct Transfer;

    xcb_timestamp_t serverTime();
    void answer(const xcb_selection_request_event_t& request);
    bool put(const xcb_selection_request_event_t& request, xcb_atom_t property);
    void startTransfer(xcb_window_t requestor, xcb_atom_t property, const Offer& offer);
    void sendPiece(Transfer& transfer);
    void endTransfer(xcb_window_t requestor, xcb_atom_t property);

    XcbConnection& m_xcb;
    xcb_atom_t m_selection;
    std::function<void()> m_roundTrip;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_stampProperty;
    std::optional<xcb_timestamp_t> m_stamp;
    xcb_timestamp_t m_ownedSince = XCB_CURRENT_TIME;
    bool m_owns = false;
    QList<PasteboardItem> m_contents;
    QList<Offer> m_offers;
    QHash<QPair<xcb_window_t, xcb_atom_t>, std::shared_ptr<Transfer>> m_transfers;
};

} // namespace vorlith

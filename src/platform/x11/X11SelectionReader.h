#pragma once

#include "platform/Pasteboard.h"

#include <QCoro/QCoroTask>
#include <QHash>

#include <xcb/xcb.h>

#include <memory>
#include <stop_token>
#include <vector>

namespace vorlith {

class XcbConnection;

// Reads a selection from its owner without ever waiting for the owner: ConvertSelection to a
// private window made for each request, then the answer as the events bring it, in one
// property or in INCR pieces. An owner that makes no progress for the no-progress timeout (no
// answer, or no next piece) is reported stalled; every piece restarts the timeout. The window
// of a request that was never answered is kept, so that a late answer finds it.
//
// The events come through `handle`, called by whoever reads the connection's events on the
// main thread. Only the server is waited for (property reads), never another client.
class X11SelectionReader {
public:
    struct Answer {
        PasteboardRead::Outcome outcome = PasteboardRead::Outcome::unreadable;
        xcb_atom_t type = XCB_ATOM_NONE; // the property type the owner answered with
        int format = 8;
        QByteArray data;
    };

    X11SelectionReader(XcbConnection& xcb, xcb_atom_t selection, std::chrono::milliseconds noProgressTimeout);
    ~X11SelectionReader();
    X11SelectionReader(const X11SelectionReader&) = delete;
    X11SelectionReader& operator=(const X11SelectionReader&) = delete;

    // Asks the owner for `target`. Throws CancellationError once `stop` is triggered, or when
    // the reader is destroyed first.
    QCoro::Task<Answer> convert(xcb_atom_t target, std::stop_token stop);

    // True when the event belonged to one of our requests.
    bool handle(const xcb_generic_event_t* event);

    int pendingRequests() const { return int(m_requests.size()); }

private:
    struct Request;

    void readAnswer(Request& request);
    void readPiece(Request& request);
    void finish(Request& request, Answer answer);
    void forget(const Request& request);

    XcbConnection& m_xcb;
    xcb_atom_t m_selection;
    xcb_atom_t m_property;
    xcb_atom_t m_incr;
    std::chrono::milliseconds m_timeout;
    QHash<xcb_window_t, std::shared_ptr<Request>> m_requests;
    std::vector<xcb_window_t> m_parked; // of requests the owner never answered
};

} // namespace vorlith

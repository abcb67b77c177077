#pragma once

#include "platform/PasteboardItem.h"

#include <QList>

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vorlith {

class XcbConnection;

// Owns a selection on a window of its own and serves what was written, exactly as given (a PNG
// is encoded once, not for every paste). Taking the selection replaces the previous owner in
// one step, stamped with a current server time: the selection is never without owner in
// between, so a clipboard manager that refills an empty clipboard has nothing to refill, and
// the server never refuses the take as older than another client's.
//
// Requests are answered on a thread of its own, with a connection of its own: a reader that
// waits for the answer on our main thread (Qt's own clipboard does, for a text field's paste)
// is answered all the same, and so is everybody while the main thread is busy. Answers
// TARGETS, TIMESTAMP, MULTIPLE and every offered target; data larger than `pieceBytes` goes
// in INCR pieces, each after the requestor has deleted the one before; a requestor that takes
// no piece for `transferTimeout` is dropped.
//
// What we serve would vanish with the process. Before the owner goes (`handOver`, and the
// destructor when that has not run since the last take), a clipboard manager, when one owns
// CLIPBOARD_MANAGER, is asked to copy it: ConvertSelection of CLIPBOARD_MANAGER to
// SAVE_TARGETS. The manager then reads our targets like any requestor (the thread keeps
// answering) and answers the conversion when it has them.
class X11SelectionOwner {
public:
    static constexpr qsizetype pieceBytes = 256 * 1024;
    static constexpr std::chrono::milliseconds transferTimeout{5000};
    // How long a hand-over may hold up the exit in total.
    static constexpr std::chrono::milliseconds handOverTimeout{2000};

    enum class HandOver {
        notOwner,  // nothing of ours is on the clipboard
        noManager, // nobody owns CLIPBOARD_MANAGER
        saved,     // the manager answered that it has copied the contents
        refused,   // the manager answered that it did not
        timedOut,  // no answer within the bound
    };

    // Absent when no X server answers.
    static std::unique_ptr<X11SelectionOwner> open(const char* selection);
    ~X11SelectionOwner();
    X11SelectionOwner(const X11SelectionOwner&) = delete;
    X11SelectionOwner& operator=(const X11SelectionOwner&) = delete;

    // Serves the items (their types merged, the first item's data winning for a type that
    // appears twice). True when the server has made us the owner. Main thread.
    bool own(const QList<PasteboardItem>& items);

    // Asks the clipboard manager to copy what we serve and waits for its answer, at most
    // `bound`; returns at once when we own nothing or no manager runs. Blocks the calling
    // thread (meant for the exit, when nothing else runs); requests are answered meanwhile on
    // the owner's thread. Main thread.
    HandOver handOver(std::chrono::milliseconds bound = handOverTimeout);

    xcb_window_t window() const { return m_window; }
    // What we serve while we own the selection; empty once another client took it.
    QList<PasteboardItem> contents() const;

private:
    struct Offer {
        xcb_atom_t target;
        xcb_atom_t type;
        QByteArray bytes;
    };
    struct Transfer;
    using Clock = std::chrono::steady_clock;

    X11SelectionOwner(std::unique_ptr<XcbConnection> xcb, xcb_atom_t selection);
    QList<Offer> offersFor(const PasteboardItem& merged);
    std::optional<xcb_timestamp_t> serverTime();

    // The owner's thread.
    void run();
    void handle(const xcb_generic_event_t* event);
    void answer(const xcb_selection_request_event_t& request);
    bool put(const xcb_selection_request_event_t& request, xcb_atom_t property);
    bool putTarget(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property);
    bool putMultiple(xcb_window_t requestor, xcb_atom_t property);
    void saveAnswered(const xcb_selection_notify_event_t& notify);
    xcb_window_t selectionOwner(xcb_atom_t selection);
    void sendPiece(Transfer& transfer);
    void endTransfer(xcb_window_t requestor, xcb_atom_t property);
    int dropStalledTransfers(); // the poll timeout until the next deadline, -1 for none
    void wake();

    // Used from both threads (xcb is thread-safe); its atom cache only from the main thread.
    std::unique_ptr<XcbConnection> m_xcb;
    xcb_atom_t m_selection;
    xcb_atom_t m_stampProperty;
    xcb_atom_t m_targets;
    xcb_atom_t m_timestamp;
    xcb_atom_t m_incr;
    xcb_atom_t m_multiple;
    xcb_atom_t m_manager;
    xcb_atom_t m_saveTargets;
    xcb_atom_t m_saveProperty;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    std::thread m_thread;
    int m_wake[2] = {-1, -1}; // wakes the thread to read its queue, or to stop
    std::atomic<bool> m_stopping = false;

    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_stamped;
    std::optional<xcb_timestamp_t> m_stamp;
    xcb_timestamp_t m_ownedSince = XCB_CURRENT_TIME;
    bool m_owns = false;
    QList<PasteboardItem> m_contents;
    QList<Offer> m_offers;
    bool m_handedOver = false; // since the last take
    std::condition_variable m_saveAnswered;
    std::optional<bool> m_saved; // the manager's answer to the pending SAVE_TARGETS
    std::vector<std::unique_ptr<Transfer>> m_transfers; // the owner's thread only
};

} // namespace vorlith

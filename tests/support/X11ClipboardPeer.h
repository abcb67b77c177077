#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

namespace vorlith::test {

// Another X client that owns CLIPBOARD, played on a thread of its own with its own connection,
// the way real peers behave:
// - a clipboard manager that takes the clipboard back the moment it has no owner (as KDE's
//   does by default), with a newer timestamp than anybody's;
// - a slow owner that answers large data in INCR pieces with a pause between them;
// - an owner that lists a target but never answers for it;
// - a clipboard manager in the freedesktop sense: it owns CLIPBOARD_MANAGER, answers a
//   SAVE_TARGETS request by reading the targets the requestor listed (in one MULTIPLE request
//   or one by one, INCR included), then takes CLIPBOARD and serves what it saved.
class X11ClipboardPeer {
public:
    struct Options {
        // Targets and their data, as served (the text target is "UTF8_STRING").
        QList<std::pair<QByteArray, QByteArray>> offers;
        // Takes CLIPBOARD whenever it has no owner.
        bool refillsEmptyClipboard = false;
        // Data longer than this goes in INCR pieces of this size; 0: always in one property.
        int pieceBytes = 0;
        std::chrono::milliseconds pieceDelay{0};
        // A target offered in TARGETS whose requests are never answered.
        QByteArray stalledTarget;
        // Owns CLIPBOARD_MANAGER instead of CLIPBOARD (`offers` start empty then).
        bool clipboardManager = false;
        bool savesThroughMultiple = false;
        // Asked for in the MULTIPLE request besides the listed targets (the owner must refuse
        // it in its pair and still answer the rest).
        QByteArray unlistedTarget;
        // Never answers SAVE_TARGETS (a hung manager).
        bool answersSave = true;
    };

    explicit X11ClipboardPeer(Options options);
    ~X11ClipboardPeer();
    X11ClipboardPeer(const X11ClipboardPeer&) = delete;
    X11ClipboardPeer& operator=(const X11ClipboardPeer&) = delete;

    // Connects to the test's X server and takes CLIPBOARD; false when it could not.
    bool start(const QString& display);
    void stop();

    // How often it took the clipboard back after it was left without owner.
    int refills() const { return m_refills; }
    // Pieces sent in INCR transfers.
    int piecesSent() const { return m_pieces; }
    // SAVE_TARGETS requests answered, and the data requests they took.
    int saves() const { return m_saves; }
    int multipleRequests() const { return m_multipleRequests; }
    int singleRequests() const { return m_singleRequests; }
    // Pairs of MULTIPLE requests that came back refused.
    int refusedPairs() const { return m_refusedPairs; }

private:
    void run();

    Options m_options;
    std::thread m_thread;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_owning = false;
    std::atomic<bool> m_failed = false;
    std::atomic<int> m_refills = 0;
    std::atomic<int> m_pieces = 0;
    std::atomic<int> m_saves = 0;
    std::atomic<int> m_multipleRequests = 0;
    std::atomic<int> m_singleRequests = 0;
    std::atomic<int> m_refusedPairs = 0;
    QByteArray m_display;
};

} // namespace vorlith::test

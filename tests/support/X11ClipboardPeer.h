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
// - an owner that lists a target but never answers for it.
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

private:
    void run();

    Options m_options;
    std::thread m_thread;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_owning = false;
    std::atomic<bool> m_failed = false;
    std::atomic<int> m_refills = 0;
    std::atomic<int> m_pieces = 0;
    QByteArray m_display;
};

} // namespace vorlith::test

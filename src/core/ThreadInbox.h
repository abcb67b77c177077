#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace vorlith {

// Runs functions on one thread's event loop, on a later turn, whoever posts them.
//
// Every cross-thread hand-back of the async toolkit goes through here: the poster pushes
// under our own mutex and only wakes the loop through Qt, so the data handed over is ordered
// by a lock the thread sanitizer can see (Qt's own locks are invisible to it).
class ThreadInbox : public QObject {
    Q_OBJECT

public:
    // The inbox of the calling thread, made on first use and kept for the life of the
    // process (posted hand-backs may still be in flight when anything else is torn down).
    // The thread must run an event loop for posted functions to run.
    static ThreadInbox* current();

    // Any thread: queues the function to run on this inbox's thread. Never runs it inline.
    void post(std::function<void()> function);

private:
    ThreadInbox() = default;
    Q_INVOKABLE void drain();

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_pending;
    bool m_wakeQueued = false;
};

} // namespace vorlith

#include "core/ThreadInbox.h"

#include <QMetaObject>

namespace vorlith {

ThreadInbox* ThreadInbox::current()
{
    // Deliberately never deleted: see the header.
    thread_local ThreadInbox* inbox = new ThreadInbox;
    return inbox;
}

void ThreadInbox::post(std::function<void()> function)
{
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(function));
        wake = !wakeQueued_;
        wakeQueued_ = true;
    }
    // The wake-up call is made by name so that Qt allocates and frees everything it posts.
    if (wake)
        QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
}

void ThreadInbox::drain()
{
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(pending_);
        wakeQueued_ = false;
    }
    // Functions posted while this batch runs wait for the next wake-up, a later turn.
    for (auto& function : batch)
        function();
}

} // namespace vorlith

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
        std::lock_guard lock(m_mutex);
        m_pending.push_back(std::move(function));
        wake = !m_wakeQueued;
        m_wakeQueued = true;
    }
    // The wake-up call is made by name so that Qt allocates and frees everything it posts.
    if (wake)
        QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
}

void ThreadInbox::drain()
{
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_pending);
        m_wakeQueued = false;
    }
    // Functions posted while this batch runs wait for the next wake-up, a later turn.
    for (auto& function : batch)
        function();
}

} // namespace vorlith

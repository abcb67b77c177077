#include "core/WorkerPool.h"

#include <QtGlobal>

namespace vorlith {

WorkerPool::WorkerPool(int threads)
{
    Q_ASSERT(threads > 0);
    m_threads.setMaxThreadCount(threads);
}

WorkerPool::~WorkerPool()
{
    m_threads.waitForDone();
}

void WorkerPool::submit(std::unique_ptr<PendingWork> work)
{
    {
        std::lock_guard lock(m_mutex);
        m_queued.push_back(std::move(work));
    }
    m_threads.start(&m_runner);
}

void WorkerPool::runNext()
{
    std::unique_ptr<PendingWork> work;
    {
        std::lock_guard lock(m_mutex);
        if (m_queued.empty())
            return;
        work = std::move(m_queued.front());
        m_queued.pop_front();
    }
    work->run();
}

} // namespace vorlith

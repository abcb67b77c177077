#include "core/WorkerPool.h"

#include <QtGlobal>

namespace vorlith {

WorkerPool::WorkerPool(int threads)
{
    Q_ASSERT(threads > 0);
    threads_.setMaxThreadCount(threads);
}

WorkerPool::~WorkerPool()
{
    threads_.waitForDone();
}

void WorkerPool::submit(std::unique_ptr<PendingWork> work)
{
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(std::move(work));
    }
    threads_.start(&runner_);
}

void WorkerPool::runNext()
{
    std::unique_ptr<PendingWork> work;
    {
        std::lock_guard lock(mutex_);
        if (queued_.empty())
            return;
        work = std::move(queued_.front());
        queued_.pop_front();
    }
    work->run();
}

} // namespace vorlith

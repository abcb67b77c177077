#include "app/output/PngBandPool.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <latch>
#include <memory>
#include <new>

namespace vorlith {

namespace {

QThreadPool& pool()
{
    struct Pool {
        Pool()
        {
            threads.setMaxThreadCount(std::max(1, PngBandPool::threads() - 1));
            threads.setObjectName(QStringLiteral("vorlith-png-bands"));
        }
        QThreadPool threads;
    };
    static Pool pool;
    return pool.threads;
}

// One forEach, shared with its helpers: they may outlive the call, touching only the counter.
struct Run {
    Run(int count, std::function<PngBandPool::Work()> worker) : count(count), finished(count), worker(std::move(worker)) {}

    void drain()
    {
        PngBandPool::Work work;
        for (int item; (item = next.fetch_add(1)) < count;) {
            try {
                if (!work)
                    work = worker();
                work(item);
            } catch (const std::bad_alloc&) {
                failed = true;
            }
            finished.count_down();
        }
    }

    const int count;
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::latch finished;
    const std::function<PngBandPool::Work()> worker;
};

} // namespace

int PngBandPool::threads()
{
    return std::max(1, QThread::idealThreadCount());
}

bool PngBandPool::forEach(int count, std::function<Work()> worker)
{
    if (count <= 0)
        return true;
    const auto run = std::make_shared<Run>(count, std::move(worker));
    QThreadPool& helpers = pool();
    for (int i = std::min(count - 1, helpers.maxThreadCount()); i > 0; --i)
        helpers.start([run] { run->drain(); });
    run->drain();
    run->finished.wait();
    return !run->failed;
}

} // namespace vorlith

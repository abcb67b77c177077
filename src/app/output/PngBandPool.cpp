#include "app/output/PngBandPool.h"

#include <QRunnable>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <deque>
#include <latch>
#include <memory>
#include <mutex>
#include <new>

namespace vorlith {

namespace {

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

// The runs that want a helper travel under our own mutex, picked up by one shared runnable
// started once a helper, so every hand-over between threads is one the thread sanitizer sees.
class Pool {
public:
    Pool()
    {
        m_threads.setMaxThreadCount(std::max(1, PngBandPool::threads() - 1));
        m_threads.setObjectName(QStringLiteral("vorlith-png-bands"));
    }

    int threadCount() const { return m_threads.maxThreadCount(); }

    void help(const std::shared_ptr<Run>& run, int helpers)
    {
        {
            std::lock_guard lock(m_mutex);
            m_waiting.insert(m_waiting.end(), size_t(helpers), run);
        }
        for (int i = 0; i < helpers; ++i)
            m_threads.start(&m_runner);
    }

private:
    class Runner final : public QRunnable {
    public:
        explicit Runner(Pool* pool) : m_pool(pool) { setAutoDelete(false); }
        void run() override { m_pool->helpNext(); }

    private:
        Pool* m_pool;
    };

    void helpNext()
    {
        std::shared_ptr<Run> run;
        {
            std::lock_guard lock(m_mutex);
            if (m_waiting.empty())
                return;
            run = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        run->drain();
    }

    std::mutex m_mutex;
    std::deque<std::shared_ptr<Run>> m_waiting;
    Runner m_runner{this};
    QThreadPool m_threads;
};

// Kept for the life of the process, like the work queues that encode: an encoding still in
// flight at exit never meets a destroyed pool.
Pool& pool()
{
    static auto* pool = new Pool;
    return *pool;
}

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
    Pool& helpers = pool();
    helpers.help(run, std::min(count - 1, helpers.threadCount()));
    run->drain();
    run->finished.wait();
    return !run->failed;
}

} // namespace vorlith

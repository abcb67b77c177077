#pragma once

#include "core/CancellationError.h"
#include "core/OneShot.h"

#include <QCoro/QCoroTask>
#include <QRunnable>
#include <QThreadPool>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <type_traits>
#include <optional>
#include <utility>
#include <variant>

namespace vorlith {

// What a worker job returns: jobs take a std::stop_token (their own, see WorkerPool::run)
// or nothing.
template <typename Job>
using JobResult = typename std::conditional_t<std::is_invocable_v<Job&, std::stop_token>,
                                     std::invoke_result<Job&, std::stop_token>, std::invoke_result<Job&>>::type;

// A dedicated pool of worker threads, one per job queue, sized to what the queue lets run at
// once. The global QThreadPool is never used: its threads are shared with Qt and with
// anything else in the process.
class WorkerPool {
public:
    explicit WorkerPool(int threads);
    // Waits for the jobs already started.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int threadCount() const { return m_threads.maxThreadCount(); }

    // Runs `job` on a worker and hands its value or error back to the calling thread on a
    // later turn. The job gets a stop token of its own, triggered when `stop` is; it is
    // refused with CancellationError if that has happened before it starts.
    //
    // The awaiting caller always waits for the job to actually end. If `stop` was triggered
    // meanwhile, the result is dropped and CancellationError thrown, whatever the job did.
    template <typename Job>
    QCoro::Task<JobResult<Job>> run(std::stop_token stop, Job job)
    {
        using R = JobResult<Job>;
        std::stop_source jobStop;
        OneShot<Stored<R>> result;
        submit(std::make_unique<Work<Job, R>>(std::move(job), jobStop.get_token(), result));
        std::stop_callback onStop(stop, [jobStop]() mutable { jobStop.request_stop(); });
        std::optional<Stored<R>> value;
        try {
            value.emplace(co_await result);
        } catch (...) {
            if (stop.stop_requested())
                throw CancellationError();
            throw;
        }
        if (stop.stop_requested())
            throw CancellationError();
        if constexpr (!std::is_void_v<R>)
            co_return std::move(*value);
    }

private:
    struct PendingWork {
        virtual ~PendingWork() = default;
        virtual void run() = 0;
    };

    // A job's value as handed back; a job without one hands back an empty value.
    template <typename R>
    using Stored = std::conditional_t<std::is_void_v<R>, std::monostate, R>;

    template <typename Job, typename R>
    struct Work final : PendingWork {
        Work(Job job, std::stop_token stop, OneShot<Stored<R>> result)
            : job(std::move(job)), stop(std::move(stop)), result(std::move(result))
        {
        }
        // The job (and all it captured) is destroyed before the result is handed back, so
        // the job has wholly ended when its caller continues.
        void run() override
        {
            std::optional<Stored<R>> value;
            std::exception_ptr error;
            try {
                if (stop.stop_requested())
                    throw CancellationError();
                value.emplace(call());
            } catch (...) {
                error = std::current_exception();
            }
            job.reset();
            // Moved, not copied: the worker keeps no reference to the error or the value,
            // so only the caller's thread ever releases them.
            if (error)
                result.fail(std::move(error));
            else
                result.resume(std::move(*value));
        }
        Stored<R> call()
        {
            if constexpr (std::is_void_v<R>) {
                invoke();
                return {};
            } else {
                return invoke();
            }
        }
        R invoke()
        {
            if constexpr (std::is_invocable_v<Job&, std::stop_token>)
                return (*job)(stop);
            else
                return (*job)();
        }

        std::optional<Job> job;
        std::stop_token stop;
        OneShot<Stored<R>> result;
    };

    // Picks the next queued work item off our own list. One shared runnable is started once
    // per submitted item; the item itself travels under our mutex.
    class Runner final : public QRunnable {
    public:
        explicit Runner(WorkerPool* pool) : m_pool(pool) { setAutoDelete(false); }
        void run() override { m_pool->runNext(); }

    private:
        WorkerPool* m_pool;
    };

    void submit(std::unique_ptr<PendingWork> work);
    void runNext();

    std::mutex m_mutex;
    std::deque<std::unique_ptr<PendingWork>> m_queued;
    Runner m_runner{this};
    QThreadPool m_threads;
};

} // namespace vorlith

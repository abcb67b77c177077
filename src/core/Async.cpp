#include "core/Async.h"

#include "core/CancellationError.h"
#include "core/OneShot.h"
#include "core/ThreadInbox.h"

#include <QTimer>

namespace vorlith {

void NextTurn::await_suspend(std::coroutine_handle<> awaiting) const
{
    ThreadInbox::current()->post([awaiting] { awaiting.resume(); });
}

QCoro::Task<> sleepFor(std::chrono::milliseconds duration, std::stop_token stop)
{
    if (stop.stop_requested())
        throw CancellationError();
    OneShot<> elapsed;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5% early
    QObject::connect(&timer, &QTimer::timeout, [elapsed]() mutable { elapsed.resume(); });
    timer.start(duration);
    std::stop_callback onStop(stop, [elapsed]() mutable { elapsed.fail(CancellationError()); });
    co_await elapsed;
}

} // namespace vorlith

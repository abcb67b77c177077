#include "app/base/Diagnostics.h"

#include "app/base/JournalSink.h"

#include <QMutex>

namespace vorlith {

namespace {

QMutex& sinkMutex()
{
    static QMutex mutex;
    return mutex;
}

std::shared_ptr<LogSink>& currentSink()
{
    static std::shared_ptr<LogSink> sink = std::make_shared<JournalSink>();
    return sink;
}

} // namespace

void Diagnostics::event(const QString& name)
{
    std::shared_ptr<LogSink> sink;
    {
        QMutexLocker lock(&sinkMutex());
        sink = currentSink();
    }
    if (sink)
        sink->write(QString::fromLatin1(subsystem), QString::fromLatin1(category), name);
}

std::shared_ptr<LogSink> Diagnostics::setSink(std::shared_ptr<LogSink> sink)
{
    QMutexLocker lock(&sinkMutex());
    if (!sink)
        sink = std::make_shared<JournalSink>();
    std::swap(currentSink(), sink);
    return sink;
}

} // namespace vorlith

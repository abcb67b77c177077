#include "app/base/Diagnostics.h"

#include <QMutex>

#include <syslog.h>

namespace vorlith {

namespace {

class SyslogSink final : public LogSink {
public:
    SyslogSink()
    {
        // openlog keeps the pointer: the identifier is a literal that lives for the process.
        openlog(Diagnostics::subsystem, LOG_PID | LOG_NDELAY, LOG_USER);
    }
    void write(const QString&, const QString&, const QString& text) override
    {
        const QByteArray bytes = text.toUtf8();
        // The default level; syslog() hands the record to the journal socket without waiting
        // for its readers.
        syslog(LOG_NOTICE, "%s", bytes.constData());
    }
};

QMutex& sinkMutex()
{
    static QMutex mutex;
    return mutex;
}

std::shared_ptr<LogSink>& currentSink()
{
    static std::shared_ptr<LogSink> sink = std::make_shared<SyslogSink>();
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
        sink = std::make_shared<SyslogSink>();
    std::swap(currentSink(), sink);
    return sink;
}

} // namespace vorlith
